// Comparing a scan with an earlier one, the history that keeps earlier scans, and the window's
// commands for both.
#include "../scan/ScanFixture.h"
#include "AppError.h"
#include "Gzip.h"
#include "MainFixture.h"
#include "ScanCompare.h"
#include "ScanFile.h"
#include "ScanHistory.h"
#include "SortChoice.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

#include <ctime>
#include <filesystem>
#include <map>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Sums {
    FixedRaw bytes = 0, files = 0;
};

// What `du --apparent-size` would add up per folder (files counted as well), by path below
// `top` ("" for top itself).
std::map<QString, Sums> duSums(const QString &top) {
    std::map<QString, Sums> sums;
    sums[QString()];
    QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString rel = QDir(top).relativeFilePath(info.filePath());
        if (info.isDir()) {
            sums[rel];
            continue;
        }
        // The file counts in every folder above it.
        for (QString folder = QFileInfo(rel).path();; folder = QFileInfo(folder).path()) {
            Sums &s = sums[folder == QStringLiteral(".") ? QString() : folder];
            s.bytes += FixedRaw(info.size()) * Fixed::Scale;
            s.files += Fixed::Scale;
            if (folder == QStringLiteral("."))
                break;
        }
    }
    return sums;
}

// The folder rows below `root`, by path below it.
std::map<QString, int> foldersByPath(const OutlineGrid &grid, int root) {
    std::map<QString, int> rows;
    const QString base = grid.rowData(root);
    for (int r = root, end = grid.subtreeEnd(root); r < end; ++r)
        if (!grid.rowDataBytes(r).isEmpty()) {
            QString rel = grid.rowData(r).mid(base.size());
            if (rel.endsWith(u'/'))
                rel.chop(1);
            rows[rel] = r;
        }
    return rows;
}

FixedRaw at(const OutlineGrid &grid, int row, int col) {
    return grid.fixedValue(row, col).value_or(-1);
}

} // namespace

// Two trees a few changes apart: files grown, folders added, removed and renamed.
TEST(ScanCompare, ChangeOfEveryFolderIsTheDifferenceOfItsSums) {
    QTemporaryDir dir;
    const QByteArray top = tempPath(dir) + "/t";
    for (const char *folder :
         {"", "/keep", "/keep/sub", "/keep/sub/s2", "/grow", "/old", "/old/y", "/ren"})
        makeDir(top + folder);
    const std::pair<const char *, qint64> files[] = {
        {"/top.txt", 10}, {"/keep/f1", 1000}, {"/keep/sub/f", 500}, {"/grow/f", 100},
        {"/old/x", 300},  {"/old/y/z", 50},   {"/ren/r", 70},       {"/keep/sub/s2/q", 9}};
    for (const auto &[name, size] : files)
        makeFile(top + name, size);
    const auto before = duSums(QString::fromUtf8(top));

    ScanFixture scans;
    scans.settings.Object_Size = 0; // bytes
    scans.tree.SetSizeFactor();
    const QString saved = dir.filePath("before.json");
    ScanFile::Save(scans.tree, scans.scan(top), saved);

    makeFile(top + "/grow/f", qint64(5000));
    makeFile(top + "/grow/g", qint64(1));
    makeDir(top + "/new");
    makeFile(top + "/new/n", qint64(2000));
    ASSERT_TRUE(QDir(QString::fromUtf8(top + "/old")).removeRecursively());
    ASSERT_TRUE(QDir(QString::fromUtf8(top + "/keep/sub/s2")).removeRecursively());
    ASSERT_TRUE(QDir().rename(QString::fromUtf8(top + "/ren"), QString::fromUtf8(top + "/ren2")));
    const auto after = duSums(QString::fromUtf8(top));

    const int root = scans.scan(top);
    const int rowsBefore = scans.grid.rows();
    const auto result = ScanCompare::compareWithFile(scans.tree, root, saved, scans.settings,
                                                     QDateTime::currentDateTime());
    EXPECT_EQ(result.gone, 3) << "old, ren and keep/sub/s2";
    EXPECT_EQ(result.added, 2) << "new and ren2, each once with what it holds";
    ASSERT_TRUE(ScanCompare::active(scans.grid));

    const OutlineGrid &grid = scans.grid;
    const auto rows = foldersByPath(grid, root);
    for (const auto &[path, now] : after) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(rows.count(path));
        const int r = rows.at(path);
        const Sums was = before.count(path) ? before.at(path) : Sums{};
        EXPECT_EQ(at(grid, r, TreeCol::ChangeBytes), now.bytes - was.bytes);
        EXPECT_EQ(grid.text(r, TreeCol::ChangeMark) == QStringLiteral("new"), !before.count(path));
    }
    EXPECT_EQ(grid.text(rows.at("grow"), TreeCol::Change), QStringLiteral("+4,901 B"));
    EXPECT_EQ(grid.text(rows.at("grow"), TreeCol::FilesChange), QStringLiteral("+1"));

    // Gone folders: a row of size 0 each, under their old parent, their old size the change.
    for (const auto &[name, path] : {std::pair{"old", "old"}, std::pair{"ren", "ren"}}) {
        SCOPED_TRACE(name);
        int gone = -1;
        for (int c = grid.firstChild(root); c >= 0; c = grid.nextSibling(c))
            if (grid.text(c, TreeCol::Name) == QLatin1StringView(name))
                gone = c;
        ASSERT_GE(gone, 0);
        EXPECT_EQ(grid.text(gone, TreeCol::ChangeMark), QStringLiteral("gone"));
        EXPECT_EQ(at(grid, gone, TreeCol::Bytes), 0);
        EXPECT_EQ(at(grid, gone, TreeCol::ChangeBytes), -before.at(path).bytes);
        EXPECT_TRUE(grid.text(gone, TreeCol::Change).startsWith(u'\u2212'));
    }
    EXPECT_EQ(at(grid, root, TreeCol::Bytes), after.at(QString()).bytes)
        << "gone rows add nothing to the totals";
    // Every folder's change is the sum of its children's, gone ones included.
    for (int r = root; r < grid.subtreeEnd(root); ++r) {
        if (!grid.hasChildren(r))
            continue;
        FixedRaw sum = 0;
        for (int c = grid.firstChild(r); c >= 0; c = grid.nextSibling(c))
            sum += at(grid, c, TreeCol::ChangeBytes);
        EXPECT_EQ(sum, at(grid, r, TreeCol::ChangeBytes)) << grid.text(r, 0).toStdString();
    }
    EXPECT_FALSE(ScanFile::Encode(scans.tree, root).contains("\"old\""))
        << "a saved scan holds what is on disk, not the gone rows";
    EXPECT_NE(ScanCompare::heading(grid).indexOf("changes from the scan of"), -1);

    ScanCompare::stop(scans.tree);
    EXPECT_FALSE(ScanCompare::active(grid));
    EXPECT_EQ(grid.cols(), TreeCol::Count);
    EXPECT_EQ(grid.rows(), rowsBefore);
    EXPECT_TRUE(ScanCompare::heading(grid).isEmpty());
}

// A scanned folder, its scan as a history file holds it, and a history folder to keep it in.
struct HistoryFixture : ::testing::Test {
    QTemporaryDir dir;
    QString folder = dir.filePath("History");
    ScanFixture scans;
    int root = -1;
    QByteArray text, path;
    const QDateTime t0{QDate(2026, 1, 1), QTime(12, 0)};
    void SetUp() override {
        makeDir(tempPath(dir) + "/p");
        makeFile(tempPath(dir) + "/p/f", qint64(123));
        root = scans.scan(tempPath(dir) + "/p");
        text = ScanFile::Encode(scans.tree, root);
        path = scans.grid.rowDataBytes(root);
    }
};

// The history keeps the newest scans of each folder within its cap, and skips what it cannot
// read; a kept scan opens gzipped, and a damaged one is refused without touching the tree.
TEST_F(HistoryFixture, KeepsTheNewestAndSkipsDamagedFiles) {
    for (int day = 0; day < 4; ++day)
        ScanHistory::write(folder, path, t0.addDays(day), text, 2, qint64(1) << 30);
    ScanHistory::write(folder, "/other/", t0, text, 2, qint64(1) << 30);

    QFile bad(ScanHistory::fileNameFor(folder, path, t0.addDays(9)));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a scan");
    bad.close();
    int skipped = 0;
    const auto kept = ScanHistory::entriesFor(folder, path, &skipped);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].taken, t0.addDays(3)) << "newest first";
    EXPECT_EQ(kept[1].taken, t0.addDays(2));
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(ScanHistory::entriesFor(folder, "/other/").size(), 1u);

    // The file written by the program is gzip, and opens as a scan.
    QFile packed(kept[0].fileName);
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    EXPECT_LT(packed.size(), text.size());
    const auto same = ScanCompare::compareWithFile(scans.tree, root, kept[0].fileName,
                                                   scans.settings, QDateTime());
    EXPECT_EQ(same.gone + same.added, 0);
    EXPECT_EQ(at(scans.grid, root, TreeCol::ChangeBytes), 0);

    const int rows = scans.grid.rows();
    EXPECT_THROW(
        ScanCompare::compareWithFile(scans.tree, root, bad.fileName(), scans.settings, QDateTime()),
        AppError);
    EXPECT_EQ(scans.grid.rows(), rows);

    // A cap that holds one file leaves only the one just written, of whatever folder.
    const QString newest = ScanHistory::write(folder, path, t0.addDays(5), text, 10, 1);
    EXPECT_EQ(QDir(folder).entryList({"*.json.gz"}, QDir::Files),
              QStringList{QFileInfo(newest).fileName()});
}

// The history touches only what it named: its own unfinished files once a day old, and of
// the files it keeps only those under its names and the user's own; two scans of a folder
// finished within one second are both kept.
TEST_F(HistoryFixture, TouchesOnlyItsOwnFilesAndKeepsScansOfOneSecond) {
    const QString first = ScanHistory::write(folder, path, t0, text, 10, qint64(1) << 30);

    const bool root_ = ::geteuid() == 0;
    const uid_t nobody = [] {
        const passwd *pw = ::getpwnam("nobody");
        return pw ? pw->pw_uid : uid_t(65534);
    }();
    auto put = [&](const QString &name, int daysOld, bool theirs = false) {
        const QString file = folder + "/" + name;
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, 'x'));
        f.close();
        const timespec when{std::time(nullptr) - daysOld * 24 * 3600 - 60, 0};
        const timespec times[2] = {when, when};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
        if (theirs) {
            EXPECT_EQ(::chown(QFile::encodeName(file).constData(), nobody, gid_t(-1)), 0);
        }
        return file;
    };
    const QString named =
        QFileInfo(ScanHistory::fileNameFor(folder, path, t0.addDays(-1))).fileName();
    const QString staleOwn = put("." + named + ".k3x9.part", 2);
    const QString freshOwn = put("." + named + ".a1.part", 0);
    const QString staleForeign = put(".notes.json.gz.k3x9.part", 2);
    const QString mine = put("my-backup.json.gz", 30);
    const QString likeOurs = put(named + ".bak", 30);
    const QString staleTheirs = root_ ? put("." + named + ".z.part", 2, true) : QString();
    const QString keptTheirs = root_ ? put(named, 30, true) : QString();

    // Within the same second: both kept, the later one listed as the newer.
    const QString second = ScanHistory::write(folder, path, t0, text, 10, qint64(1) << 30);
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFileInfo::exists(first));
    const auto kept = ScanHistory::entriesFor(folder, path);
    EXPECT_EQ(kept.size(), 2u);
    if (kept.size() == 2) {
        EXPECT_EQ(kept[0].fileName, second);
        EXPECT_EQ(kept[1].fileName, first);
        EXPECT_EQ(kept[0].taken, t0);
    }
    const auto same = ScanCompare::compareWithFile(scans.tree, root, second, scans.settings, {});
    EXPECT_EQ(same.gone + same.added, 0);

    EXPECT_FALSE(QFileInfo::exists(staleOwn)) << "a killed write's leftover";
    EXPECT_TRUE(QFileInfo::exists(freshOwn)) << "may be another copy's write in progress";
    EXPECT_TRUE(QFileInfo::exists(staleForeign));

    // A cap that holds one file: every scan it named but the new one goes, nothing else.
    const QString third = ScanHistory::write(folder, path, t0, text, 10, 1);
    EXPECT_TRUE(QFileInfo::exists(third));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    for (const QString &survivor :
         {freshOwn, staleForeign, mine, likeOurs, staleTheirs, keptTheirs})
        if (!survivor.isEmpty()) {
            EXPECT_TRUE(QFileInfo::exists(survivor)) << survivor.toStdString();
        }
}

// A link on the way to the history that another user may have placed is not followed, and
// the window says which one.
TEST_F(MainFixture, ARefusedLinkOnTheWayToTheHistoryIsNamed) {
    const QString shared = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("elsewhere")));
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), shared + "/data"));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0777), 0); // anyone may swap it
    form->setHistoryFolder(shared + "/data/History");
    scan(root);
    form->historyWriter().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->statusText(2).startsWith("The scan was not kept in the history: "));
    EXPECT_TRUE(form->statusText(2).contains(shared + "/data"))
        << form->statusText(2).toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("elsewhere/History")));
}

// The window: a finished scan is kept, "Compare With" shows the change columns, "By Change"
// puts the largest growth first, "Stop Comparing" gives the plain tree back.
TEST_F(MainFixture, CompareWithAnEarlierScanInTheWindow) {
    form->setHistoryFolder(dir.filePath("History"));
    scan(root);
    form->historyWriter().waitForDone();
    const QByteArray path = QFile::encodeName(root + "/");
    auto kept = ScanHistory::entriesFor(dir.filePath("History"), path);
    ASSERT_EQ(kept.size(), 1u);
    // A copy of it, to compare with by a name of the test's own.
    const QString earlier = dir.filePath("first.json.gz");
    ASSERT_TRUE(QFile::copy(kept[0].fileName, earlier));
    // It lists the scan's large files by name, as file entries beside the folders.
    QFile packed(earlier);
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    const QByteArray saved = Gzip::uncompress(packed.readAll(), 1 << 20);
    EXPECT_TRUE(saved.contains("{\"name\":\"b.bin\",")) << saved.toStdString();

    makeFile(root + "/sub/deep/c", 9000);
    makeFile(root + "/empty/e", 50);
    scan(root);
    form->historyWriter().waitForDone();
    const int top = rowNamed(root + "/");
    const int newRoot = form->grid().firstChild(ScanTree::TopRow) == top
                            ? form->grid().nextSibling(top)
                            : form->grid().firstChild(ScanTree::TopRow);
    ASSERT_GE(newRoot, 0);
    ASSERT_TRUE(form->CompareWith(newRoot, earlier));
    for (const auto &shown : prompts.shown)
        EXPECT_FALSE(shown.title.startsWith("Error")) << shown.text.toStdString();
    OutlineGrid &grid = form->grid();
    EXPECT_EQ(grid.text(0, TreeCol::Change), QStringLiteral("Change"));
    EXPECT_EQ(grid.fixedValue(newRoot, TreeCol::ChangeBytes).value_or(0), 9020 * Fixed::Scale);
    // Its file entries are no folders: nothing of them is new or gone, and the files row that
    // holds b.bin did not change.
    EXPECT_EQ(findRow("b.bin"), -1);
    int subFiles = -1;
    for (int r = newRoot; r < grid.subtreeEnd(newRoot); ++r)
        if (grid.text(r, TreeCol::Name) == "<Files in sub>")
            subFiles = r;
    ASSERT_GE(subFiles, 0);
    EXPECT_EQ(grid.fixedValue(subFiles, TreeCol::ChangeBytes).value_or(-1), 0);

    int byChange = -1;
    for (std::size_t i = 0; i < SortChoice::all().size(); ++i)
        if (SortChoice::all()[i].column == TreeCol::ChangeBytes)
            byChange = static_cast<int>(i);
    ASSERT_GE(byChange, 0);
    form->mnuSort_Click(byChange);
    const int compared = grid.firstChild(ScanTree::TopRow);
    EXPECT_TRUE(ScanCompare::isCompared(grid, compared)) << "the root that grew comes first";
    const int first = grid.firstChild(compared);
    EXPECT_EQ(grid.text(first, TreeCol::Name), QStringLiteral("sub")) << "the largest growth";
    EXPECT_EQ(grid.text(grid.nextSibling(first), TreeCol::Name), QStringLiteral("empty"));

    form->mnuStopComparing_Click();
    EXPECT_EQ(grid.cols(), TreeCol::Count);
}
