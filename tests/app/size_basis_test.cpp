// What sizes count, chosen in the View menu or the options dialog of the real window: the two
// agree, each scan root keeps the basis it was counted in, and reports name it.
#include "MainFixture.h"

#include "OutlineGridView.h"
#include "ScanTree.h"
#include "TreeCol.h"
#include "frmOptions.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

namespace {

qint64 du(const QString &path) {
    QProcess p;
    p.start(QStringLiteral("du"), {QStringLiteral("-s"), QStringLiteral("-B1"), path});
    p.waitForFinished(60000);
    return p.readAllStandardOutput().split('\t').value(0).toLongLong();
}

struct SizeBasisTest : MainFixture {
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        MainFixture::SetUp();
        form->LocateSettingsFile();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    // Runs `step` while the options dialog, opened from the Tools menu, is up.
    void withOptions(const std::function<void(frmOptions &)> &step) {
        bool ran = false;
        QTimer::singleShot(0, qApp, [&] {
            auto *dialog = form->findChild<frmOptions *>();
            ASSERT_NE(dialog, nullptr);
            ran = true;
            step(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        form->optionsAction()->trigger();
        EXPECT_TRUE(ran);
    }
    QPushButton *button(frmOptions &d, const char *name) {
        return d.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    int checkedMenuItem() const {
        int checked = -1;
        for (int i = 0; i < 2; ++i)
            if (form->sizeBasisAction(i)->isChecked()) {
                EXPECT_EQ(checked, -1) << "both items checked";
                checked = i;
            }
        return checked;
    }
    qint64 bytes(int row) const { return form->grid().text(row, TreeCol::Bytes).toLongLong(); }
    // The tooltip the tree shows over a row's name.
    QString toolTipOver(int row) {
        OutlineGridView *view = form->gridView();
        form->grid().showCell(row, TreeCol::Name);
        QApplication::processEvents();
        const QPoint at = view->cellRect(row, TreeCol::Name).center();
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText(); // it goes on a timer: the next question waits for it
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
        return text;
    }
};

TEST_F(SizeBasisTest, TheViewMenuAndTheOptionsPageAgree) {
    // The pair follows the View menu's existing items, the default checked.
    const QList<QAction *> items = form->menuBar()->actions()[1]->menu()->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[items.size() - 2], form->sizeBasisAction(0));
    EXPECT_EQ(items.back(), form->sizeBasisAction(1));
    EXPECT_TRUE(items[items.size() - 3]->isSeparator());
    EXPECT_EQ(form->sizeBasisAction(0)->text(), "Size of the files");
    EXPECT_EQ(form->sizeBasisAction(1)->text(), "Space used on disk");
    EXPECT_EQ(checkedMenuItem(), 0);

    form->sizeBasisAction(1)->trigger();
    EXPECT_EQ(form->settings().Size_Basis, 1);
    EXPECT_EQ(checkedMenuItem(), 1);
    form->sizeBasisAction(1)->trigger(); // choosing it again keeps it
    EXPECT_EQ(checkedMenuItem(), 1);

    withOptions([&](frmOptions &d) {
        EXPECT_EQ(d.findChild<QLabel *>("lblSizeBasis")->text(), "Count sizes as:");
        EXPECT_EQ(d.sizeBasisOption(0)->text(), "Size of the files");
        EXPECT_EQ(d.sizeBasisOption(1)->text(), "Space used on disk");
        EXPECT_TRUE(d.sizeBasisOption(1)->isChecked());
        QTest::mouseClick(d.sizeBasisOption(0), Qt::LeftButton);
        EXPECT_TRUE(button(d, "cmdApply")->isEnabled());
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
    });
    EXPECT_EQ(form->settings().Size_Basis, 0);
    EXPECT_EQ(checkedMenuItem(), 0);

    // Apply, then Cancel: what was applied stays, in the menu too.
    withOptions([&](frmOptions &d) {
        QTest::mouseClick(d.sizeBasisOption(1), Qt::LeftButton);
        QTest::mouseClick(button(d, "cmdApply"), Qt::LeftButton);
        QTest::mouseClick(button(d, "cmdCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(form->settings().Size_Basis, 1);
    EXPECT_EQ(checkedMenuItem(), 1);

    // Defaults go back to the size of the files.
    withOptions([&](frmOptions &d) {
        QTest::mouseClick(button(d, "cmdDefaults"), Qt::LeftButton);
        EXPECT_TRUE(d.sizeBasisOption(0)->isChecked());
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
    });
    EXPECT_EQ(form->settings().Size_Basis, 0);
    EXPECT_EQ(checkedMenuItem(), 0);
}

TEST_F(SizeBasisTest, EachRootKeepsItsBasisInItsTooltipAndReportsNameIt) {
    form->settings().Clear_Nodes_B4_Scan = false;
    scan(root);
    const int bySize = rowNamed(root + "/");
    ASSERT_GT(bySize, 0);
    EXPECT_EQ(bytes(bySize), 2130);

    form->sizeBasisAction(1)->trigger();
    EXPECT_EQ(bytes(bySize), 2130); // a change applies from the next scan on
    scan(root);
    int onDisk = -1, sized = -1;
    for (int r = form->grid().firstChild(ScanTree::TopRow); r >= 0; r = form->grid().nextSibling(r))
        (ScanTree::basisOfRoot(form->grid(), r) == SizeBasis::DiskUsage ? onDisk : sized) = r;
    ASSERT_GT(onDisk, 0);
    ASSERT_GT(sized, 0);
    EXPECT_EQ(bytes(onDisk), du(root));
    EXPECT_EQ(bytes(sized), 2130);

    // (The tip may also carry the whole name, when the column cuts it short.)
    EXPECT_TRUE(toolTipOver(onDisk).contains("Sizes counted as space used on disk"));
    EXPECT_TRUE(toolTipOver(sized).contains("Sizes counted as size of the files"));
    EXPECT_FALSE(toolTipOver(form->grid().firstChild(onDisk)).contains("Sizes counted"));

    // The HTML report names the basis under its heading, scan by scan when they differ.
    const QString report = dir.filePath("mixed.htm");
    ASSERT_TRUE(form->session().writeReport(0, report, {}).done());
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("Sizes: space used on disk in the scans of " + root +
                              "/; size of the files in the others<br>"))
        << html.left(600).toStdString();
    EXPECT_LT(html.indexOf("by Velmoria<br>"), html.indexOf("Sizes: "));
}

TEST_F(SizeBasisTest, AReportOfDefaultScansHasNoBasisLine) {
    scan(root);
    const QString report = dir.filePath("plain.htm");
    ASSERT_TRUE(form->session().writeReport(0, report, {}).done());
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("Sizes:"));

    form->sizeBasisAction(1)->trigger();
    form->settings().Clear_Nodes_B4_Scan = true;
    scan(root);
    EXPECT_EQ(ScanTree::basisHeading(form->grid()), "Sizes: space used on disk");
}

} // namespace
