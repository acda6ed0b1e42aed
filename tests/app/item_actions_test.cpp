#include "MainFixture.h"

#include "Chart.h"

#include "FileTypesView.h"
#include "ItemActions.h"
#include "KeptFilesModel.h"
#include "LargestFilesView.h"
#include "NativePath.h"
#include "OutlineGridView.h"
#include "RecordingShellLauncher.h"
#include "ScanTree.h"
#include "mdlFileSearch.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStorageInfo>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A scan's start as a walk of it records it.
ScannedPath::Start scanned(const QByteArray &path) {
    return {path, ScannedPath::Identity::ofPath(path)};
}

// The window of MainFixture with a trash of the test's own.
struct ItemFixture : MainFixture {
    QString trash;
    void SetUp() override {
        MainFixture::SetUp();
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        trash = dir.path() + "/data/Trash";
        // The test's trash is on the file system of its files; a real trash is never used.
        ASSERT_EQ(QStorageInfo(dir.path()).rootPath(), QStorageInfo(root).rootPath());
        form->settings().Collapse_Root_Nodes_B4_Scan = false;
        form->settings().Clear_Nodes_B4_Scan = true;
        form->mnuSort_Click(4); // by size, descending: a rescan must keep it
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    // Level, name and figures of every row of a scan root's subtree.
    QStringList rowsOf(int top) const {
        const OutlineGrid &g = form->grid();
        QStringList out;
        for (int r = top; r < g.subtreeEnd(top); ++r)
            out << QString::number(g.level(r)) + ' ' + g.text(r, 0) + ' ' + g.text(r, 1) + ' ' +
                       g.text(r, 3) + ' ' + g.text(r, 4);
        return out;
    }
    // The names the Largest files list shows, top to bottom.
    QStringList listed() const {
        const QAbstractItemModel *m = form->largestFilesView()->table()->model();
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, KeptFilesModel::Name).data().toString();
        return out;
    }
    void pressInList(int row, QKeySequence key) {
        QTableView *table = form->largestFilesView()->table();
        table->setCurrentIndex(table->model()->index(row, 0));
        table->setFocus();
        QTest::keySequence(table, key);
    }
    void pressOn(int row, QKeySequence key) {
        form->grid().select(row, 0);
        form->gridView()->setFocus();
        QTest::keySequence(form->gridView(), key);
    }
};

} // namespace

TEST_F(ItemFixture, RescanGivesWhatAFreshScanGivesAndKeepsTheView) {
    scan(root);
    OutlineGrid &g = form->grid();
    g.setOutlineState(rowNamed("sub"), OutlineExpanded);
    // The disk changes: files come and go, a folder goes, another comes.
    makeFile(root + "/sub/new.bin", 5000);
    QFile::remove(root + "/sub/b.bin");
    QDir(root + "/sub/deep").removeRecursively();
    QDir().mkpath(root + "/sub/more");
    makeFile(root + "/sub/more/m", 70);
    pressOn(rowNamed("sub"), QKeySequence(Qt::Key_F5));
    const int sub = rowNamed("sub");
    EXPECT_TRUE(g.isRowSelected(sub));
    EXPECT_EQ(g.outlineState(sub), OutlineExpanded);
    EXPECT_EQ(g.text(1, 4), "5170");
    EXPECT_TRUE(form->statusText(3).startsWith("2 folders, 2 files, 5070 B"))
        << form->statusText(3).toStdString();
    // A folder that grows past its siblings moves ahead of them.
    makeFile(root + "/empty/big", 9000);
    g.select(rowNamed("empty"), 0);
    form->mnuRescan_Click();
    EXPECT_EQ(g.firstChild(2), rowNamed("empty"));
    EXPECT_EQ(g.text(1, 4), "14170");
    const QStringList rescanned = rowsOf(2);
    const int rows = g.rows();
    scan(root); // the fresh scan replaces the old one
    EXPECT_EQ(rowsOf(2), rescanned);
    EXPECT_EQ(g.rows(), rows);
    EXPECT_EQ(g.text(1, 4), "14170");

    // An aborted rescan leaves the branch as it was.
    makeFile(root + "/sub/more/late", 9);
    form->fileSearch().setYieldFunction([&] { form->cmdAbort_Click(); });
    g.select(rowNamed("sub"), 0);
    form->mnuRescan_Click();
    EXPECT_EQ(rowsOf(2), rescanned);
    EXPECT_EQ(prompts.shown.back().title, "Warning in Scan");
}

TEST_F(ItemFixture, TrashMovesAFolderAwayAfterAskingAndTheTotalsFall) {
    scan(root);
    OutlineGrid &g = form->grid();
    // No changes nothing.
    prompts.answers = {Prompts::No};
    pressOn(rowNamed("sub"), QKeySequence(Qt::Key_Delete));
    ASSERT_EQ(prompts.shown.back().title, "Move to Trash");
    EXPECT_TRUE(prompts.shown.back().text.contains(" in 2 files"));
    EXPECT_TRUE(QFileInfo::exists(root + "/sub/b.bin"));
    EXPECT_EQ(g.text(1, 4), "2130");

    prompts.answers = {Prompts::Yes};
    form->mnuTrash_Click();
    EXPECT_FALSE(QFileInfo::exists(root + "/sub"));
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/sub/deep/c"));
    QFile info(trash + "/info/sub.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray text = info.readAll();
    EXPECT_TRUE(text.startsWith("[Trash Info]\nPath=" + QFile::encodeName(root) + "/sub\n"));
    EXPECT_TRUE(text.contains("\nDeletionDate=20"));
    EXPECT_EQ(findRow("sub"), -1);
    EXPECT_EQ(g.text(2, 4), "100");
    EXPECT_EQ(g.text(1, 4), "100");

    // A trash that cannot be used refuses and changes nothing.
    QDir(trash).removeRecursively();
    makeFile(trash, 1);
    prompts.answers = {Prompts::Yes};
    g.select(rowNamed("empty"), 0);
    form->mnuTrash_Click();
    EXPECT_TRUE(QFileInfo(root + "/empty").isDir());
    EXPECT_EQ(prompts.shown.back().icon, Prompts::Icon::Critical);
    EXPECT_TRUE(prompts.shown.back().text.endsWith("Nothing was changed."));
    EXPECT_GE(findRow("empty"), 0);
}

TEST_F(ItemFixture, LinksGoAsLinksAndDeletingAsksTwiceAndStaysInside) {
    // A link to a folder outside the scan goes to the trash as the link.
    QDir().mkpath(dir.path() + "/outside");
    makeFile(dir.path() + "/outside/keep", 5);
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/outside"),
                        QFile::encodeName(root + "/sub/link")),
              0);
    const QByteArray r = QFile::encodeName(root);
    EXPECT_TRUE(ItemActions::moveToTrash(r + "/sub/link/", scanned(r), false).ok());
    EXPECT_TRUE(QFileInfo(trash + "/files/link").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/outside/keep"));
    // Nothing outside the scanned folder is touched.
    EXPECT_FALSE(
        ItemActions::deletePermanently(QFile::encodeName(dir.path() + "/outside"), scanned(r), true)
            .ok());
    EXPECT_FALSE(ItemActions::moveToTrash(r + "/../outside", scanned(r), true).ok());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/outside/keep"));

    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/outside"),
                        QFile::encodeName(root + "/sub/deep/inner")),
              0);
    scan(root);
    OutlineGrid &g = form->grid();
    g.select(rowNamed(root + "/"), 0);
    EXPECT_FALSE(form->deleteItemAction()->isEnabled()); // never a scan's own folder
    prompts.answers = {Prompts::Yes, Prompts::No};
    pressOn(rowNamed("sub"), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_TRUE(QFileInfo::exists(root + "/sub/deep/c"));
    prompts.answers = {Prompts::Yes, Prompts::Yes};
    form->mnuDeleteItem_Click();
    EXPECT_FALSE(QFileInfo::exists(root + "/sub"));
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/outside/keep")); // the inner link went alone
    EXPECT_EQ(g.text(1, 4), "100");
}

TEST_F(ItemFixture, TerminalCopyAndWhenTheCommandsAreOff) {
    auto launcher = std::make_unique<RecordingShellLauncher>();
    RecordingShellLauncher &shell = *launcher;
    form->setShellLauncher(std::move(launcher));
    const QByteArray odd = QFile::encodeName(root) + "/caf\xe9";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    scan(root);
    OutlineGrid &g = form->grid();
    int row = -1;
    for (int r = 2; r < g.rows(); ++r)
        row = g.rowDataBytes(r) == odd + '/' ? r : row;
    ASSERT_GE(row, 0);
    g.select(row, 0);
    form->mnuTerminal_Click();
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].folder, odd + '/');
    form->mnuCopyPath_Click();
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(NativePath::fromFileUri(copied->data("text/uri-list").trimmed()), odd);

    g.select(ScanTree::TopRow, 0);
    EXPECT_FALSE(form->trashAction()->isEnabled());
    // A saved scan describes a disk that may be another's.
    const QString saved = dir.path() + "/saved.cairnscan";
    ASSERT_TRUE(form->session().saveScanFile(2, saved).done());
    ASSERT_TRUE(form->OpenScanFile(saved));
    g.select(ScanSession::rootOf(g, g.rows() - 1), 0);
    EXPECT_FALSE(form->trashAction()->isEnabled());
    EXPECT_TRUE(form->trashAction()->toolTip().contains("opened from a file"));
    EXPECT_FALSE(form->copyPathAction()->isEnabled());
    // During a scan every command is off, and says why.
    bool checked = false;
    form->fileSearch().setYieldFunction([&] {
        form->updateItemActions();
        checked = true;
        EXPECT_FALSE(form->rescanAction()->isEnabled());
        EXPECT_EQ(form->rescanAction()->toolTip(), "Not while a scan runs.");
    });
    scan(root);
    EXPECT_TRUE(checked);
    g.select(rowNamed("sub"), 0);
    EXPECT_TRUE(form->rescanAction()->isEnabled());
    ::rmdir(odd.constData()); // QTemporaryDir cannot remove a name that is not UTF-8
}

TEST_F(ItemFixture, LargestFilesListRemovesAFileAndEveryTotalAboveItFalls) {
    scan(root);
    OutlineGrid &g = form->grid();
    form->chartTabs()->setCurrentIndex(1);
    ASSERT_EQ(listed(), QStringList({"b.bin", "a.txt", "c"}));
    prompts.answers = {Prompts::No};
    pressInList(0, QKeySequence(Qt::Key_Delete));
    ASSERT_EQ(prompts.shown.back().title, "Move to Trash");
    EXPECT_TRUE(prompts.shown.back().text.contains("sub/b.bin\n"))
        << qPrintable(prompts.shown.back().text);
    EXPECT_TRUE(prompts.shown.back().text.contains(" in 1 file"));
    EXPECT_TRUE(QFileInfo::exists(root + "/sub/b.bin"));

    prompts.answers = {Prompts::Yes};
    pressInList(0, QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/b.bin"));
    EXPECT_FALSE(QFileInfo::exists(root + "/sub/b.bin"));
    EXPECT_EQ(listed(), QStringList({"a.txt", "c"}));
    // Its folder's files row and every total above it, up to the Scans row, lost it.
    const int subFiles = rowNamed("<Files in sub>");
    EXPECT_EQ(g.text(subFiles, 4) + ' ' + g.text(subFiles, 3), "0 0");
    EXPECT_EQ(g.text(rowNamed("sub"), 4) + ' ' + g.text(rowNamed("sub"), 3), "30 1");
    EXPECT_EQ(g.text(rowNamed(root + "/"), 4) + ' ' + g.text(rowNamed(root + "/"), 3), "130 2");
    EXPECT_EQ(g.text(1, 4) + ' ' + g.text(1, 3), "130 2");
    form->chartTabs()->setCurrentIndex(2);
    QTreeWidget *types = form->fileTypesView()->list();
    QStringList typeRows;
    for (int i = 0; i < types->topLevelItemCount(); ++i)
        typeRows << types->topLevelItem(i)->text(0);
    EXPECT_EQ(typeRows, QStringList({"txt", "(no extension)"}));

    // Deleting for good asks twice, and the file is gone, not in the trash.
    form->chartTabs()->setCurrentIndex(1);
    prompts.answers = {Prompts::Yes, Prompts::Yes};
    const std::size_t asked = prompts.shown.size();
    pressInList(1, QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_EQ(prompts.shown.size(), asked + 2);
    EXPECT_EQ(prompts.shown.back().title, "Delete Permanently");
    EXPECT_FALSE(QFileInfo::exists(root + "/sub/deep/c"));
    EXPECT_FALSE(QFileInfo::exists(trash + "/files/c"));
    EXPECT_EQ(listed(), QStringList({"a.txt"}));
    EXPECT_EQ(g.text(1, 4) + ' ' + g.text(1, 3), "100 1");
    EXPECT_EQ(form->statusText(2), "Deleted: c");

    // A scan opened from a file lists files that may not be on this disk: nothing to remove.
    const QString saved = dir.path() + "/saved.cairnscan";
    ASSERT_TRUE(form->session().saveScanFile(2, saved).done());
    ASSERT_TRUE(form->OpenScanFile(saved));
    g.select(ScanSession::rootOf(g, g.rows() - 1), 0);
    form->fgTree_Click();
    ASSERT_EQ(listed(), QStringList({"a.txt"}));
    prompts.answers = {Prompts::Yes, Prompts::Yes};
    const std::size_t before = prompts.shown.size();
    pressInList(0, QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(prompts.shown.size(), before);
    EXPECT_FALSE(form->largestFilesView()->trashAction()->isEnabled());
    EXPECT_TRUE(form->largestFilesView()->trashAction()->toolTip().contains("opened from a file"));
    EXPECT_TRUE(QFileInfo::exists(root + "/a.txt"));
}

TEST_F(ItemFixture, KeptFilesFollowATrashedFolderAndARescan) {
    makeFile(root + "/sub/deep/d.iso", 4000);
    scan(root);
    form->chartTabs()->setCurrentIndex(1);
    ASSERT_EQ(listed(), QStringList({"d.iso", "b.bin", "a.txt", "c"}));
    // A rescan replaces the branch's files with what is there now.
    QFile::remove(root + "/sub/b.bin");
    makeFile(root + "/sub/new.bin", 3000);
    pressOn(rowNamed("sub"), QKeySequence(Qt::Key_F5));
    form->grid().select(rowNamed(root + "/"), 0);
    form->fgTree_Click();
    EXPECT_EQ(listed(), QStringList({"d.iso", "new.bin", "a.txt", "c"}));
    // A folder in the trash takes its files with it.
    prompts.answers = {Prompts::Yes};
    pressOn(rowNamed("deep"), QKeySequence(Qt::Key_Delete));
    form->grid().select(rowNamed(root + "/"), 0);
    form->fgTree_Click();
    EXPECT_EQ(listed(), QStringList({"new.bin", "a.txt"}));
    // So does a rescan of the whole scan, whose files are all new then.
    makeFile(root + "/empty/e", 50);
    pressOn(rowNamed(root + "/"), QKeySequence(Qt::Key_F5));
    form->fgTree_Click();
    EXPECT_EQ(listed(), QStringList({"new.bin", "a.txt", "e"}));
}

TEST(ItemActionsMounts, AnotherFileSystemHasItsOwnTrashAndStopsADeletion) {
    QTemporaryDir dir;
    const QString mnt = dir.path() + "/a/mnt";
    QDir().mkpath(mnt);
    makeFile(dir.path() + "/a/x", 10);
    if (::mount("none", QFile::encodeName(mnt).constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(mnt)};
    makeFile(mnt + "/keep", 5);
    makeFile(mnt + "/old", 5);
    const QByteArray top = QFile::encodeName(dir.path());
    const ItemActions::Result refused =
        ItemActions::deletePermanently(top + "/a", scanned(top), true);
    EXPECT_TRUE(refused.reason.contains("another file system is mounted"));
    EXPECT_FALSE(refused.partly);
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/a/x"));
    EXPECT_TRUE(QFileInfo::exists(mnt + "/keep"));
    // An item on the mounted file system goes to the trash at its top, renamed, never copied.
    EXPECT_TRUE(
        ItemActions::moveToTrash(QFile::encodeName(mnt + "/old"), scanned(top), false).ok());
    const QString trash = mnt + "/.Trash-" + QString::number(::getuid());
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/old"));
    QFile info(trash + "/info/old.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().startsWith("[Trash Info]\nPath=old\n"));
}

// Since the scan a folder on the way to an item became a link (or the scanned folder itself was
// replaced): every command on the item refuses and says why; what the link leads to stays.
TEST_F(ItemFixture, ItemsAreReachedOnlyThroughTheFoldersThatWereScanned) {
    const QString out = dir.path() + "/out";
    QDir().mkpath(out + "/deep");
    makeFile(out + "/deep/c", 30);
    makeFile(out + "/deep/more", 7000);
    scan(root);
    OutlineGrid &g = form->grid();
    ASSERT_EQ(::rename(QFile::encodeName(root + "/sub").constData(),
                       QFile::encodeName(root + "/sub.orig").constData()),
              0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(out).constData(), QFile::encodeName(root + "/sub").constData()),
        0);
    struct Case {
        const char *row;
        QKeySequence key;
        std::vector<Prompts::Answer> answers;
    };
    const Case cases[] = {
        {"deep", QKeySequence(Qt::SHIFT | Qt::Key_Delete), {Prompts::Yes, Prompts::Yes}},
        {"deep", QKeySequence(Qt::Key_Delete), {Prompts::Yes}},
        {"deep", QKeySequence(Qt::Key_F5), {}},
        {"sub", QKeySequence(Qt::Key_F5), {}},
        {"sub", QKeySequence(Qt::SHIFT | Qt::Key_Delete), {Prompts::Yes, Prompts::Yes}},
        {"sub", QKeySequence(Qt::Key_Delete), {Prompts::Yes}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.row) + ' ' + c.key.toString().toStdString());
        prompts.answers = c.answers;
        pressOn(rowNamed(c.row), c.key);
        ASSERT_FALSE(prompts.shown.empty());
        EXPECT_EQ(prompts.shown.back().icon, Prompts::Icon::Critical);
        EXPECT_TRUE(prompts.shown.back().text.contains("no longer the folder that was scanned"))
            << qPrintable(prompts.shown.back().text);
        EXPECT_TRUE(QFileInfo::exists(out + "/deep/c"));
        EXPECT_TRUE(QFileInfo(root + "/sub").isSymLink()); // nor was the link taken for it
        EXPECT_EQ(g.text(1, 4), "2130"); // the rescan took nothing in from the link
    }
    // The scanned folder itself replaced by another of the same name.
    ASSERT_EQ(::unlink(QFile::encodeName(root + "/sub").constData()), 0);
    ASSERT_EQ(
        ::rename(QFile::encodeName(root).constData(), QFile::encodeName(root + ".old").constData()),
        0);
    QDir().mkpath(root + "/sub.orig/deep");
    makeFile(root + "/sub.orig/deep/c", 30);
    ASSERT_EQ(::rename(QFile::encodeName(root + "/sub.orig").constData(),
                       QFile::encodeName(root + "/sub").constData()),
              0);
    prompts.answers = {Prompts::Yes};
    pressOn(rowNamed("deep"), QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(prompts.shown.back().text.contains("no longer the folder that was scanned"));
    EXPECT_TRUE(QFileInfo::exists(root + "/sub/deep/c"));
    // Once scanned, the new folder is the one acted on: it goes to the trash whole.
    scan(root);
    prompts.answers = {Prompts::Yes};
    pressOn(rowNamed(root + "/"), QKeySequence(Qt::Key_Delete));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/root/sub/deep/c"));
}

namespace {

// Runs `job` in a child process as the user `pw`; true when it returned true there. The job
// makes only system calls: the parent has threads, so the child must not allocate.
bool runAs(const passwd &pw, const std::function<bool()> &job) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgid(pw.pw_gid) == 0 && ::setuid(pw.pw_uid) == 0 && job() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

// Root scans a shared sticky folder where another user keeps a folder; that user swaps it for a
// link to a folder only root may read. Root's files there are neither deleted nor trashed.
TEST(ItemActionsSafety, AnotherUsersLinkOnTheWayIsNotFollowed) {
    const passwd *pw = ::getpwnam("nobody");
    if (::getuid() != 0 || !pw)
        GTEST_SKIP() << "needs root and the user nobody";
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QByteArray shared = QFile::encodeName(dir.path() + "/shared");
    const QByteArray secret = QFile::encodeName(dir.path() + "/secret");
    ASSERT_EQ(::mkdir(shared.constData(), 0777), 0);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    ASSERT_EQ(::mkdir(secret.constData(), 0700), 0);
    makeFile(QFile::decodeName(secret + "/victim"), 10);
    const QByteArray att = shared + "/att", victim = att + "/victim", orig = att + ".orig";
    ASSERT_TRUE(runAs(*pw, [&] {
        return ::mkdir(att.constData(), 0755) == 0 &&
               ::close(::open(victim.constData(), O_CREAT | O_WRONLY, 0644)) == 0;
    }));
    const ScannedPath::Start start = scanned(shared);
    ASSERT_TRUE(runAs(*pw, [&] {
        return ::rename(att.constData(), orig.constData()) == 0 &&
               ::symlink(secret.constData(), att.constData()) == 0;
    }));
    for (const bool permanently : {true, false}) {
        const ItemActions::Result result =
            permanently ? ItemActions::deletePermanently(victim, start, false)
                        : ItemActions::moveToTrash(victim, start, false);
        EXPECT_TRUE(result.reason.contains("no longer the folder that was scanned"))
            << qPrintable(result.reason);
        EXPECT_TRUE(QFileInfo::exists(QFile::decodeName(secret + "/victim")));
    }
}

// A bind mount of the same file system stops a deletion before anything goes, as another file
// system does; a tree deeper than the descriptors a process may hold is deleted whole, and a link
// in it goes as the link.
TEST(ItemActionsSafety, BindMountsStopADeletionAndDeepTreesGo) {
    QTemporaryDir dir;
    const QByteArray top = QFile::encodeName(dir.path());
    QDir().mkpath(dir.path() + "/outside");
    makeFile(dir.path() + "/outside/keep", 5);

    // 5,000 levels, made one name at a time (the path is longer than any path may be).
    ASSERT_EQ(::mkdir((top + "/deep").constData(), 0755), 0);
    int fd = ::open((top + "/deep").constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 5000 && fd >= 0; ++level) {
        const int next = ::mkdirat(fd, "d", 0755) == 0 ? ::openat(fd, "d", O_RDONLY) : -1;
        if (level == 4000) {
            ASSERT_EQ(::symlinkat((top + "/outside").constData(), fd, "link"), 0);
        }
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(fd);
    const ItemActions::Result deep =
        ItemActions::deletePermanently(top + "/deep", scanned(top), true);
    EXPECT_TRUE(deep.ok()) << qPrintable(deep.reason);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/deep"));
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/outside/keep"));

    QDir().mkpath(dir.path() + "/a/bind");
    makeFile(dir.path() + "/a/x", 10);
    const QByteArray bind = top + "/a/bind";
    if (::mount((top + "/outside").constData(), bind.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mount can be made here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{bind};
    for (const QByteArray &item : {top + "/a", bind}) {
        const ItemActions::Result refused =
            ItemActions::deletePermanently(item, scanned(top), true);
        EXPECT_TRUE(refused.reason.contains("another file system is mounted"))
            << qPrintable(refused.reason);
        EXPECT_FALSE(refused.partly);
        EXPECT_TRUE(QFileInfo::exists(dir.path() + "/a/x"));
        EXPECT_TRUE(QFileInfo::exists(dir.path() + "/outside/keep"));
    }
}

// A folder may be named like a files row: it is charted, has its commands, carries a chart into
// reports and stays a folder through a saved scan; its own files row stays a files row.
TEST_F(ItemFixture, AFolderNamedLikeAFilesRowIsAFolder) {
    QDir().mkpath(root + "/<old>/inner");
    makeFile(root + "/<old>/inner/x", 400);
    makeFile(root + "/<old>/y", 200);
    scan(root);
    OutlineGrid &g = form->grid();
    const auto pick = [&](int row) {
        g.select(row, 0);
        form->fgTree_Click();
        form->updateItemActions();
    };
    pick(rowNamed("<old>"));
    EXPECT_EQ(form->chart().title(), "<old>");
    EXPECT_EQ(form->chart().legendTexts().size(), 2);
    EXPECT_TRUE(form->trashAction()->isEnabled());
    EXPECT_TRUE(ScanSession::selectionHasChart(g));
    pick(rowNamed("<Files in <old>>"));
    EXPECT_FALSE(form->trashAction()->isEnabled());
    EXPECT_FALSE(ScanSession::selectionHasChart(g));

    const QString saved = dir.path() + "/saved.cairnscan";
    ASSERT_TRUE(form->session().saveScanFile(2, saved).done());
    ASSERT_TRUE(form->OpenScanFile(saved));
    const int reopened = ScanSession::rootOf(g, g.rows() - 1);
    QStringList kinds;
    for (int r = reopened; r < g.subtreeEnd(reopened); ++r)
        if (g.text(r, 0).contains("old"))
            kinds << g.text(r, 0) + (ScanTree::isFolderRow(g, r) ? " folder" : " files");
    EXPECT_EQ(kinds, QStringList({"<old> folder", "<Files in <old>> files"}));
}

// A rescan walks as its scan did: the folders it left out (by name, or another file system
// below) stay out even when the settings have changed since, so F5 on an unchanged folder gives
// the rows, totals and file types the scan gave.
TEST_F(ItemFixture, RescanKeepsTheLimitsOfItsScan) {
    makeFile(root + "/sub/cache", 1); // a file of that name is not a folder: counted
    QDir().mkpath(root + "/sub/deep/cache");
    makeFile(root + "/sub/deep/cache/big", 300000);
    QDir().mkpath(root + "/empty/mnt");
    const QByteArray mnt = QFile::encodeName(root + "/empty/mnt");
    const bool mounted = ::mount("none", mnt.constData(), "tmpfs", 0, nullptr) == 0;
    struct Unmount {
        QByteArray path;
        bool on;
        ~Unmount() {
            if (on)
                ::umount2(path.constData(), MNT_DETACH);
        }
    } unmount{mnt, mounted};
    if (mounted)
        makeFile(root + "/empty/mnt/other", 7000);
    form->settings().Exclude_Folders = "cache";
    form->settings().Stay_On_File_System = true;
    scan(root);
    const auto types = [&] {
        const QTreeWidget *list = form->fileTypesView()->list();
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            for (int col = 0; col < list->columnCount(); ++col)
                out << list->topLevelItem(i)->text(col);
        return out.join(u' ').toStdString();
    };
    form->chartTabs()->setCurrentIndex(2);
    const std::string scanned = rowsOf(2).join(u'\n').toStdString(), typesScanned = types();
    EXPECT_EQ(form->grid().text(1, 4), "2131");
    form->settings().Exclude_Folders.clear();
    form->settings().Stay_On_File_System = false;
    for (const QString &row : {QStringLiteral("sub"), QStringLiteral("empty"), root + "/"}) {
        SCOPED_TRACE(row.toStdString());
        pressOn(rowNamed(row), QKeySequence(Qt::Key_F5));
        EXPECT_EQ(rowsOf(2).join(u'\n').toStdString(), scanned);
        EXPECT_EQ(form->grid().text(1, 4), "2131");
        form->grid().select(rowNamed(root + "/"), 0);
        form->fgTree_Click();
        EXPECT_EQ(types(), typesScanned);
    }
}
