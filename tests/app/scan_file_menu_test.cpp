// The File menu's saved scans, driven through the real window.
#include "MainFixture.h"

#include "AppError.h"
#include "ScanTree.h"

#include "OutlineGridView.h"

#include <QAction>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolTip>

namespace {

QAction *fileItem(frmMain &form, const QString &text) {
    for (QAction *a : form.fileMenu()->actions())
        if (a->text() == text)
            return a;
    ADD_FAILURE() << "no File menu item " << text.toStdString();
    return nullptr;
}

} // namespace

struct ScanFileMenu : MainFixture {
    // Every row below the top row as "level|name|size|unit|files|bytes", without the root's name.
    QStringList rowsOf(int root) const {
        QStringList out;
        const int level = form->grid().level(root);
        for (int r = root; r < form->grid().rows() && (r == root || form->grid().level(r) > level);
             ++r) {
            QString line = QString::number(form->grid().level(r));
            for (int c = r == root ? 1 : 0; c <= 4; ++c)
                line += u'|' + form->grid().text(r, c);
            out << line;
        }
        return out;
    }
    QStringList messages() const {
        QStringList out;
        for (const auto &s : prompts.shown)
            if (s.kind == "message")
                out << s.title + ": " + s.text;
        return out;
    }
};

TEST_F(ScanFileMenu, SavedFromTheMenuAndOpenedFromTheMenuTheScanComesBackWhole) {
    EXPECT_EQ(form->fileMenu()->actions().at(0)->text(), "Open Scan...");
    EXPECT_EQ(form->fileMenu()->actions().at(1)->text(), "Save Scan As...");
    scan(root);
    const int scanned = rowNamed(root + "/");
    const QStringList before = rowsOf(scanned);
    // A folder deep in the scan is selected: its whole scan is saved.
    form->grid().select(rowNamed("deep"), 0);
    const QString saved = dir.path() + "/saved scan.json";
    prompts.saveNames << saved;
    prompts.shown.clear();
    fileItem(*form, "Save Scan As...")->trigger();
    ASSERT_TRUE(QFile::exists(saved));
    EXPECT_TRUE(messages().isEmpty()) << messages().join("; ").toStdString();
    EXPECT_EQ(prompts.shown.at(0).kind, "save");
    EXPECT_EQ(prompts.shown.at(0).title, "Save Scan As...");

    // Saving over it asks first; No keeps the file as it was (blank lines added at its end
    // tell it from what saving again would write).
    const auto readSaved = [&] {
        QFile f(saved);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray bytes = readSaved() + "\n\n";
    {
        QFile f(saved);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    prompts.saveNames << saved;
    prompts.answers = {Prompts::No};
    form->mnuSaveScan_Click();
    ASSERT_FALSE(messages().isEmpty());
    EXPECT_TRUE(messages().last().startsWith("Over-write File?: " + saved));
    EXPECT_EQ(readSaved(), bytes);

    prompts.openNames << saved;
    prompts.shown.clear();
    fileItem(*form, "Open Scan...")->trigger();
    EXPECT_TRUE(messages().isEmpty()) << messages().join("; ").toStdString();
    const int roots = form->grid().rows();
    int opened = -1;
    for (int r = 2; r < roots; ++r)
        if (form->grid().level(r) == 0 && r != rowNamed(root + "/") &&
            form->grid().text(r, 0) == root + "/")
            opened = r;
    ASSERT_GE(opened, 0);
    EXPECT_EQ(rowsOf(opened), rowsOf(rowNamed(root + "/")));
    EXPECT_EQ(rowsOf(rowNamed(root + "/")), before);
    EXPECT_EQ(form->grid().cellPicture(opened, 0),
              form->scanTree().pictureId(TreePicture::ScanFile));
    const QString tip = form->grid().cellNote(opened, 0);
    EXPECT_TRUE(tip.startsWith("Opened from " + saved + "\nSaved ")) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(" by Cairnmeter")) << tip.toStdString();
    // The pointer resting on the row shows it.
    OutlineGridView *view = form->gridView();
    form->grid().showCell(opened, 0);
    const QPoint at = view->cellRect(opened, 0).center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &help);
    EXPECT_TRUE(QToolTip::text().contains("Opened from " + saved))
        << QToolTip::text().toStdString();
    // Totals as after a scan: the top row holds both roots, the new root is selected, charted.
    EXPECT_EQ(form->grid().text(ScanTree::TopRow, 4), "4260");
    EXPECT_EQ(form->grid().selectedRow(form->grid().selectedRowCount() - 1), opened);
    EXPECT_EQ(form->statusText(2), "Opened saved scan.json");
}

TEST_F(ScanFileMenu, ABadFileIsReportedAndAddsNothing) {
    scan(root);
    const int rows = form->grid().rows();
    const QString bad = dir.path() + "/bad.json";
    makeFile(bad, 100);
    prompts.openNames << bad;
    prompts.shown.clear();
    form->mnuOpenScan_Click();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages().at(0), QString("Error in mnuOpenScan_Click: %1\nThe file is not a scan in "
                                        "a known format.\nLine: 3")
                                    .arg(AppError::InvalidScanFile));
    EXPECT_EQ(form->grid().rows(), rows);
    EXPECT_TRUE(form->grid().isEnabled());
    EXPECT_TRUE(form->fileMenu()->menuAction()->isEnabled());

    // Cancelling the dialog does nothing at all.
    prompts.shown.clear();
    form->mnuOpenScan_Click();
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(form->grid().rows(), rows);
}

TEST_F(ScanFileMenu, SavingWithNothingScannedSaysSo) {
    form->mnuSaveScan_Click();
    EXPECT_EQ(messages(), QStringList{"No Data: No scan to save."});
    scan(root);
    form->grid().select(ScanTree::TopRow, 0);
    prompts.shown.clear();
    form->mnuSaveScan_Click();
    EXPECT_EQ(messages(), QStringList{"No Data: Select a scan, or a folder in it, to save."});
}

TEST_F(ScanFileMenu, AScanFileOnTheCommandLineOpensAtStart) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    scan(root);
    const QString saved = dir.path() + "/s.json";
    prompts.saveNames << saved;
    form->mnuSaveScan_Click();
    ASSERT_TRUE(QFile::exists(saved));
    form = std::make_unique<frmMain>(&prompts);
    prompts.shown.clear();
    form->Form_Load("/i \"" + saved + "\"");
    EXPECT_TRUE(messages().isEmpty()) << messages().join("; ").toStdString();
    ASSERT_EQ(form->grid().rows(), 2 + 8); // root, sub, deep, files x3, empty, files, files
    EXPECT_EQ(form->grid().text(2, 0), root + "/");
    EXPECT_EQ(form->grid().text(2, 4), "2130");
    form.reset();
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(ScanFileMenu, TheThirdPanelTellsTheOpenedScansFigures) {
    scan(root + "/sub");
    form->grid().select(rowNamed(root + "/sub/"), 0);
    const QString saved = dir.path() + "/sub.json";
    prompts.saveNames << saved;
    form->mnuSaveScan_Click();
    scan(root);
    EXPECT_TRUE(form->statusText(3).startsWith("4 folders, 3 files, "))
        << form->statusText(3).toStdString();
    prompts.openNames << saved;
    fileItem(*form, "Open Scan...")->trigger();
    EXPECT_TRUE(form->statusText(3).startsWith("2 folders, 2 files, "))
        << form->statusText(3).toStdString();
}
