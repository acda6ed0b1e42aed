// Reports written into folders that other users can write, as an attacker sharing the machine
// would set them up: links at the report's name or on the way to it, an unfinished file swapped
// for a link, a link at the picture's name. Another user's links and folders are made with
// chown to "nobody", so most cases need root (as CI runs the tests).
#include "GridToHTML.h"
#include "OutlineGrid.h"
#include "ReportFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <span>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ExportSafety : ::testing::Test {
    QTemporaryDir dir;
    uid_t nobody = 65534;
    gid_t nogroup = 65534;

    void SetUp() override {
        if (const passwd *pw = ::getpwnam("nobody")) {
            nobody = pw->pw_uid;
            nogroup = pw->pw_gid;
        }
    }
    static void needRoot() {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to make another user's files";
    }
    QByteArray path(const QString &name) const { return QFile::encodeName(dir.filePath(name)); }
    void write(const QString &name, const QByteArray &bytes, mode_t mode = 0644) const {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        ASSERT_EQ(::chmod(path(name).constData(), mode), 0);
    }
    void folder(const QString &name, mode_t mode, uid_t owner) const {
        ASSERT_TRUE(QDir(dir.path()).mkpath(name));
        ASSERT_EQ(::chmod(path(name).constData(), mode), 0);
        ASSERT_EQ(::chown(path(name).constData(), owner, static_cast<gid_t>(-1)), 0);
    }
    void link(const QString &to, const QString &name, uid_t owner) const {
        ASSERT_EQ(::symlink(path(to).constData(), path(name).constData()), 0);
        ASSERT_EQ(::lchown(path(name).constData(), owner, static_cast<gid_t>(-1)), 0);
    }
    bool writeReport(const QString &name, const QByteArray &bytes = "report") const {
        return ReportFile::writeReplacing(dir.filePath(name), [&](ReplacingFile &out) {
            return out.file().write(bytes) == bytes.size();
        });
    }
    QStringList entries(const QString &name = QString()) const {
        return QDir(dir.filePath(name))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
};

} // namespace

// Whether a link at the report's name, or a "Reports" folder that is a link, is followed.
TEST_F(ExportSafety, ALinkIsFollowedOnlyWhereNobodyElseCanHavePlacedIt) {
    needRoot();
    write("secret", "root only", 0600);
    folder("own", 0755, 0);
    folder("sticky", 01777, 0);
    folder("shared", 0777, 0);
    folder("theirs", 0755, nobody);
    folder("elsewhere", 0755, 0);
    const struct {
        const char *link;
        bool mine, followed;
    } cases[] = {
        {"own/r.csv", true, true},      {"sticky/r.csv", true, true},
        {"sticky/n.csv", false, false}, {"shared/r.csv", true, false},
        {"theirs/r.csv", true, false},  {"own/n.csv", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.link);
        write("secret", "root only", 0600);
        link("secret", c.link, c.mine ? 0 : nobody);
        if (c.followed) {
            EXPECT_TRUE(writeReport(c.link));
            EXPECT_EQ(readAll(dir.filePath("secret")), "report");
            EXPECT_TRUE(QFileInfo(dir.filePath(c.link)).isSymLink());
        } else {
            try {
                writeReport(c.link);
                ADD_FAILURE() << "the link was followed";
            } catch (const std::system_error &e) {
                EXPECT_EQ(e.code().value(), EPERM);
                EXPECT_NE(std::string(e.what()).find(path(c.link).toStdString()), std::string::npos)
                    << e.what();
            }
            EXPECT_EQ(readAll(dir.filePath("secret")), "root only");
        }
    }
    // A folder on the way is judged the same: another user's "Reports" in a sticky folder.
    link("elsewhere", "sticky/Reports", nobody);
    EXPECT_THROW(writeReport("sticky/Reports/r.csv"), std::system_error);
    EXPECT_TRUE(entries("elsewhere").isEmpty());
    link("elsewhere", "sticky/Mine", 0);
    EXPECT_TRUE(writeReport("sticky/Mine/r.csv"));
    EXPECT_EQ(entries("elsewhere"), QStringList{"r.csv"});
}

// Someone who can write the folder swaps the unfinished file for a link before the rename.
TEST_F(ExportSafety, AnUnfinishedFileSwappedForALinkDoesNotWin) {
    write("r.csv", "old");
    write("victim", "theirs");
    EXPECT_THROW(ReportFile::writeReplacing(dir.filePath("r.csv"),
                                            [&](ReplacingFile &out) {
                                                out.file().write("new");
                                                const QString part = dir.filePath(out.partName());
                                                EXPECT_TRUE(QFile::rename(part, part + "-moved"));
                                                EXPECT_TRUE(
                                                    QFile::link(dir.filePath("victim"), part));
                                                return true;
                                            }),
                 std::system_error);
    EXPECT_FALSE(QFileInfo(dir.filePath("r.csv")).isSymLink());
    EXPECT_EQ(readAll(dir.filePath("r.csv")), "old");
    EXPECT_EQ(readAll(dir.filePath("victim")), "theirs");
}

// The picture goes in with its report under a name nobody could know; a link planted at that
// name before the rename stops the report, and neither file is left behind.
TEST_F(ExportSafety, ThePictureIsTheReportsOwnAndNeverWrittenThroughALink) {
    OutlineGrid grid;
    grid.setCols(4);
    grid.setRows(2);
    GridExport::HtmlOptions options;
    options.includeChart = true;
    options.saveChartPicture = [](QIODevice &out) { return out.write("png") == 3; };
    ASSERT_TRUE(GridExport::GridToHTML(grid, dir.filePath("a.htm"), options));
    ASSERT_TRUE(GridExport::GridToHTML(grid, dir.filePath("b.htm"), options));
    const QStringList pictures = QDir(dir.path()).entryList({"*.png"}, QDir::Files);
    ASSERT_EQ(pictures.size(), 2) << "reports of the same second keep their own pictures";
    EXPECT_TRUE(pictures[0].startsWith("a-") && pictures[1].startsWith("b-"));

    write("victim", "theirs");
    EXPECT_THROW(ReportFile::writeReplacing(dir.filePath("c.htm"),
                                            [&](ReplacingFile &out) {
                                                QString name;
                                                out.addCompanion(".png", &name).write("png");
                                                EXPECT_TRUE(QFile::link(dir.filePath("victim"),
                                                                        dir.filePath(name)));
                                                return out.file().write("html") == 4;
                                            }),
                 std::system_error);
    EXPECT_EQ(readAll(dir.filePath("victim")), "theirs");
    EXPECT_FALSE(QFile::exists(dir.filePath("c.htm")));
    EXPECT_TRUE(QDir(dir.path()).entryList({".*.part"}, QDir::Files | QDir::Hidden).isEmpty());
}

// A replaced report keeps its mode and owner; but where others may write the folder, a file
// of that name may have been planted to be written by root and handed back: the new report is
// then the writer's own, and nobody else may write it.
TEST_F(ExportSafety, AReplacedReportKeepsItsModeAndOwner) {
    const mode_t savedMask = ::umask(022); // 0664 would come out 0644 as a new file
    const bool root = ::geteuid() == 0;
    const uid_t me = ::geteuid();
    const struct {
        const char *folder;
        mode_t folderMode, mode;
        bool theirs;
        mode_t kept;
        bool keepsOwner;
    } cases[] = {
        {"own", 0755, 0600, true, 0600, true},     {"own", 0755, 0664, true, 0664, true},
        {"own", 0755, 0666, false, 0666, true},    {"sticky", 01777, 0666, true, 0644, false},
        {"shared", 0777, 0666, true, 0644, false}, {"sticky", 01777, 0664, false, 0644, true},
    };
    for (const auto &c : cases) {
        if (c.theirs && !root)
            continue; // another user's file needs root to make
        const QString name = QStringLiteral("%1/kept.csv").arg(c.folder);
        SCOPED_TRACE(name.toStdString() + " " + std::to_string(c.mode));
        folder(c.folder, c.folderMode, me);
        write(name, "old", c.mode);
        if (c.theirs) {
            ASSERT_EQ(::chown(path(name).constData(), nobody, nogroup), 0);
        }
        ASSERT_TRUE(writeReport(name));
        struct stat st {};
        ASSERT_EQ(::stat(path(name).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.kept);
        if (c.theirs) {
            EXPECT_EQ(st.st_uid, c.keepsOwner ? nobody : me);
            EXPECT_EQ(st.st_gid == nogroup, c.keepsOwner);
        }
        EXPECT_EQ(readAll(dir.filePath(name)), "report");
        QFile::remove(dir.filePath(name));
    }
    ::umask(savedMask);
}

// Only the user's own leftovers go: in a shared folder another user's unfinished file of the
// same name, however old, may be a write of theirs still going on.
TEST_F(ExportSafety, LeftoversOfTheSameNameOlderThanADayAreRemoved) {
    const char *stale[] = {".r.csv.k3j9x.part", ".r.csv.0.part"};
    const char *kept[] = {".r.csv.fresh1.part", ".r.csv.not.a.tag.part", ".rr.csv.k3j9x.part",
                          ".other.csv.k3j9x.part"};
    const char *theirs = ".r.csv.n0b0dy.part";
    const bool root = ::geteuid() == 0;
    const utimbuf twoDaysAgo{std::time(nullptr) - 2 * 86400, std::time(nullptr) - 2 * 86400};
    for (const char *name : stale)
        write(name, "x");
    for (const char *name : kept)
        write(name, "x");
    for (const char *name : stale)
        ASSERT_EQ(::utime(path(name).constData(), &twoDaysAgo), 0);
    for (const char *name : std::span(kept).subspan(1))
        ASSERT_EQ(::utime(path(name).constData(), &twoDaysAgo), 0);
    if (root) {
        write(theirs, "x");
        ASSERT_EQ(::chown(path(theirs).constData(), nobody, nogroup), 0);
        ASSERT_EQ(::utime(path(theirs).constData(), &twoDaysAgo), 0);
    }
    ASSERT_TRUE(writeReport("r.csv"));
    QStringList expected{"r.csv"};
    for (const char *name : kept)
        expected << name;
    if (root)
        expected << theirs;
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

// Someone who can write the folder swaps the unfinished file with a file of theirs over and
// over, while the report goes into place: whatever has the hidden name at the rename, only the
// written file or the old report ever has the report's name.
TEST_F(ExportSafety, AFileSwappedInAtTheRenameNeverTakesTheReportsPlace) {
    for (const bool over : {true, false}) {
        SCOPED_TRACE(over ? "over an old report" : "a new report");
        int wrong = 0, saved = 0;
        QString first;
        for (int attempt = 0; attempt < 50; ++attempt) {
            for (const QString &name : entries())
                QFile::remove(dir.filePath(name));
            if (over)
                write("r.csv", "old");
            write("planted", "planted");
            std::atomic<bool> stop{false};
            std::thread swapper;
            bool done = false;
            try {
                done = ReportFile::writeReplacing(dir.filePath("r.csv"), [&](ReplacingFile &out) {
                    swapper = std::thread(
                        [&stop, part = path(out.partName()), planted = path("planted")] {
                            while (!stop.load())
                                ::renameat2(AT_FDCWD, part.constData(), AT_FDCWD,
                                            planted.constData(), RENAME_EXCHANGE);
                        });
                    return out.file().write("new") == 3;
                });
            } catch (const std::system_error &) {
            }
            stop = true;
            if (swapper.joinable())
                swapper.join();
            const QFileInfo report(dir.filePath("r.csv"));
            const QByteArray now = report.exists() ? readAll(report.filePath()) : "(none)";
            saved += done;
            const bool right =
                done ? now == "new" : now == (over ? "old" : "(none)") || now == "new";
            if (!right && wrong++ == 0)
                first = QStringLiteral("attempt %1: %2 %3")
                            .arg(attempt)
                            .arg(done ? "saved" : "refused", QString::fromUtf8(now));
        }
        EXPECT_EQ(wrong, 0) << first.toStdString();
        EXPECT_GT(saved, 0) << "the swaps never left the report a chance";
    }
}
