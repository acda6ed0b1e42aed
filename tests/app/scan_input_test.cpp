// The scan as a user starts it: keys in the path box, clicks on the real buttons and menus.
#include "MainFixture.h"

#include "NativeText.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "mdlFileSearch.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct ScanInputFixture : MainFixture {
    QPushButton *button(const char *name) const {
        auto *b = form->findChild<QPushButton *>(QString::fromLatin1(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    int roots() const {
        int n = 0;
        for (int r = 2; r < form->grid().rows(); ++r)
            n += form->grid().level(r) == 0;
        return n;
    }
    // Types a path into the path box and presses Enter, as a user would. The window system
    // delivers the keys to the combo box, which holds the focus and passes them on to its line
    // edit itself.
    void typeAndEnter(const QString &path) {
        QComboBox *box = form->startPathBox();
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box, path);
        QTest::keyClick(box, Qt::Key_Return);
    }
};

} // namespace

TEST_F(ScanInputFixture, EnterOnANewPathScansItOnce) {
    typeAndEnter(root);
    QCoreApplication::processEvents();
    EXPECT_EQ(roots(), 1);
    EXPECT_EQ(form->grid().text(1, 4), "2130"); // "Scans" holds one scan's bytes
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The scan has finished.");
    // Enter again on the same path, now in the list: one more scan, not two.
    typeAndEnter(root + "/");
    QCoreApplication::processEvents();
    EXPECT_EQ(roots(), 2);
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST_F(ScanInputFixture, ChoosingAListEntryScansOnceWhenImmediateScanningIsOn) {
    form->AddToList(root + "/sub/");
    form->AddToList(root + "/");
    QComboBox *box = form->startPathBox();
    box->showPopup();
    QAbstractItemView *list = box->view();
    const QModelIndex second = list->model()->index(1, 0);
    list->setCurrentIndex(second);
    QTest::keyClick(list, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(roots(), 1);
    EXPECT_EQ(form->grid().text(2, 0), root + "/sub/");
    EXPECT_EQ(prompts.shown.size(), 1u);

    form->settings().Imm_Scan_On_Path_Selection = false;
    box->showPopup();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(roots(), 1); // chosen, not scanned
    EXPECT_EQ(box->currentText(), root + "/");
}

TEST_F(ScanInputFixture, OnlyAbortActsWhileAWalkRuns) {
    form->AddToList(root + "/sub/");
    QPushButton *begin = button("cmdBeginScan"), *clear = button("cmdClear"),
                *browse = button("cmdBrowse"), *abort = button("cmdAbort");
    EXPECT_FALSE(abort->isEnabled()); // nothing to abort yet
    prompts.folders << root + "/sub";
    bool tried = false;
    form->fileSearch().setYieldFunction([&] {
        if (tried)
            return;
        tried = true;
        // Every control but Abort is disabled, and pressing them does nothing.
        EXPECT_FALSE(begin->isEnabled());
        EXPECT_FALSE(clear->isEnabled());
        EXPECT_FALSE(browse->isEnabled());
        EXPECT_FALSE(form->startPathBox()->isEnabled());
        EXPECT_FALSE(form->gridView()->isEnabled());
        EXPECT_TRUE(abort->isEnabled());
        QTest::mouseClick(begin, Qt::LeftButton);
        QTest::mouseClick(clear, Qt::LeftButton);
        QTest::mouseClick(browse, Qt::LeftButton);
        QTest::keyClick(form->startPathBox()->lineEdit(), Qt::Key_Return);
        QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier); // the File menu
        for (QAction *menu : form->menuBar()->actions()) {
            EXPECT_FALSE(menu->isEnabled()) << menu->text().toStdString();
            const QRect at = form->menuBar()->actionGeometry(menu);
            QTest::mouseClick(form->menuBar(), Qt::LeftButton, {}, at.center());
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << menu->text().toStdString();
        }
        EXPECT_EQ(prompts.shown.size(), 0u);      // no other command ran, no dialog opened
        EXPECT_EQ(prompts.folders.size(), 1);     // the folder dialog was never asked
        EXPECT_EQ(roots(), 1);                    // no second scan inside this one
        QTest::mouseClick(abort, Qt::LeftButton); // the one control that acts
    });
    typeAndEnter(root);
    EXPECT_TRUE(tried);
    EXPECT_EQ(roots(), 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Scan was aborted.");
    EXPECT_EQ(form->grid().text(form->grid().rows() - 1, 0), "Scan aborted");
    EXPECT_TRUE(begin->isEnabled());
    EXPECT_FALSE(abort->isEnabled());
}

TEST_F(ScanInputFixture, APathThatIsNoFolderIsRefusedAndStaysOutOfTheList) {
    const int listed = form->startPathBox()->count();
    for (const QString &bad : {root + "/no-such-folder", root + "/a.txt"}) {
        prompts.shown.clear();
        typeAndEnter(bad);
        QCoreApplication::processEvents();
        ASSERT_EQ(prompts.shown.size(), 1u) << bad.toStdString();
        EXPECT_EQ(prompts.shown[0].title, "Error in scanning");
        EXPECT_EQ(prompts.shown[0].text, "-2147220904\nInvalid start path.\nLine: 7");
        EXPECT_EQ(form->statusText(2), "Error encountered.");
        EXPECT_EQ(form->grid().rows(), 2); // no root row
        EXPECT_EQ(form->startPathBox()->count(), listed);
        EXPECT_TRUE(button("cmdBeginScan")->isEnabled());
    }
}

TEST_F(ScanInputFixture, AFolderNamedInBytesThatAreNotUtf8IsScannedByThoseBytes) {
    const QByteArray native = QFile::encodeName(root) + "/caf\xe9 a:b=c \"q\"";
    ASSERT_EQ(::mkdir(native.constData(), 0755), 0);
    const int fd = ::open((native + "/f").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "12345", 5), 5);
    ::close(fd);
    scan(NativeText::decode(native));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The scan has finished.");
    EXPECT_EQ(form->grid().rowDataBytes(2), native + "/");
    EXPECT_EQ(form->grid().text(2, 4), "5");
}

TEST_F(ScanInputFixture, BrowseOpensAtTheFolderInThePathBoxOrTheNearestAboveIt) {
    form->settings().Imm_Scan_On_Path_Selection = false;
    QComboBox *box = form->startPathBox();
    QPushButton *browse = button("cmdBrowse");
    const auto browseFrom = [&](const QString &typed) {
        box->setEditText(typed);
        prompts.shown.clear();
        QTest::mouseClick(browse, Qt::LeftButton);
        EXPECT_EQ(prompts.shown.size(), 1u);
        return prompts.shown.empty() ? QString("<no dialog>") : prompts.shown.back().text;
    };
    EXPECT_EQ(browseFrom(root + "/sub/"), root + "/sub/");
    // A path half typed, or one that has vanished: the nearest folder above it that exists.
    EXPECT_EQ(browseFrom(root + "/sub/not-there/deeper"), root + "/sub");
    EXPECT_EQ(browseFrom("/no-such-top-folder-for-cairnmeter"), "/");
    EXPECT_EQ(browseFrom(QString()), QString()); // nothing typed: the dialog's own default
    // The dialog was cancelled each time: the path box keeps what was typed.
    EXPECT_EQ(box->currentText(), QString());
}

// After a scan of a folder, typing the start of its path and Enter scans what was typed: the
// path box offers folders in a pop-up but never completes the typed text itself.
TEST_F(ScanInputFixture, TypedTextIsNeverCompletedFromTheList) {
    typeAndEnter(root + "/sub");
    QCoreApplication::processEvents();
    ASSERT_EQ(form->startPathBox()->itemText(0), root + "/sub/");
    QComboBox *box = form->startPathBox();
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, root + "/s");
    EXPECT_EQ(box->currentText(), root + "/s");
    EXPECT_FALSE(box->lineEdit()->hasSelectedText()) << "no completion waiting for Enter";
    typeAndEnter(root);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->grid().text(rowNamed(root + "/"), 0), root + "/") << "the typed folder";
}

// The buttons answer Alt and their underlined letter, as the manual says; the browse button
// has a name a screen reader can say.
TEST_F(ScanInputFixture, ButtonsHaveMnemonicsAndTheBrowseButtonAName) {
    for (const char *name : {"cmdBeginScan", "cmdClear", "cmdAbort"})
        EXPECT_TRUE(button(name)->text().contains('&')) << name;
    EXPECT_EQ(button("cmdBrowse")->accessibleName(), "Browse for a folder");
    form->startPathBox()->setEditText(root);
    // Mnemonics act in the active window only.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // A mnemonic presses its button the way a click does, shown pressed for a moment first.
    QTest::keyClick(form.get(), Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return findRow(root + "/") >= 0; }))
        << "Alt+B began the scan";
    QTest::keyClick(form.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return findRow(root + "/") < 0; })) << "Alt+C cleared it";
}

// A deep path in the first status panel is elided in the middle to the panel's width, whole in
// its tooltip, and leaves the other panels their room.
TEST_F(ScanInputFixture, ALongStatusPathIsElidedAndLeavesTheOtherPanelsInPlace) {
    scan(root);
    auto *panel1 = form->statusBar()->findChild<QLabel *>("sbrPanel1");
    auto *panel2 = form->statusBar()->findChild<QLabel *>("sbrPanel2");
    auto *panel3 = form->statusBar()->findChild<QLabel *>("sbrPanel3");
    ASSERT_TRUE(panel1 && panel2 && panel3);
    const QRect panel2Before = panel2->geometry(), panel3Before = panel3->geometry();
    QString deep = "/srv";
    while (deep.size() < 600)
        deep += "/a-rather-long-folder-name";
    form->startPathBox()->setEditText(deep + "/end");
    QCoreApplication::processEvents();
    EXPECT_EQ(form->statusText(1), deep + "/end");
    EXPECT_TRUE(panel1->text().startsWith("/srv/a-rather")) << panel1->text().toStdString();
    EXPECT_TRUE(panel1->text().endsWith("/end")) << panel1->text().toStdString();
    EXPECT_TRUE(panel1->text().contains(QChar(0x2026)));
    EXPECT_LE(panel1->fontMetrics().horizontalAdvance(panel1->text()), panel1->width());
    EXPECT_EQ(panel1->toolTip(), deep + "/end");
    EXPECT_EQ(panel2->geometry(), panel2Before);
    EXPECT_EQ(panel3->geometry(), panel3Before);
    EXPECT_LT(panel1->geometry().right(), panel2->geometry().left());
}

// Typing a folder's path opens the pop-up of folders; Enter then scans what was typed at once,
// rather than only closing the pop-up.
TEST_F(ScanInputFixture, EnterWhileTheFolderPopUpShowsScansTheTypedPath) {
    QComboBox *box = form->startPathBox();
    QAbstractItemView *popup = box->completer()->popup();
    box->setFocus();
    box->lineEdit()->selectAll();
    // The folder model lists in the background; the pop-up shows once it knows the folder.
    auto *model = qobject_cast<QFileSystemModel *>(box->completer()->model());
    ASSERT_NE(model, nullptr);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    model->fetchMore(model->index(root));
    while (!loaded.contains(QVariantList{root}))
        ASSERT_TRUE(loaded.wait(10000));
    QTest::keyClicks(box, root + "/su");
    ASSERT_TRUE(popup->isVisible());
    QTest::keyClicks(popup, "b");
    EXPECT_EQ(box->currentText(), root + "/sub");
    QTest::keyClick(popup, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(findRow(root + "/sub/"), 2) << "scanned with one Enter";
}
