// Scans saved to and opened from files in ncdu's JSON export format.
#include "ScanFixture.h"

#include "AppError.h"
#include "Gzip.h"
#include "KeptFiles.h"
#include "ScanFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

struct ScanFileTest : ::testing::Test {
    QTemporaryDir dir;
    ScanFixture s;

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        s.settings.Object_Size = 1; // KB: sizes with decimals
        s.tree.SetSizeFactor();
        // Every folder's children by name, so that trees listed in different orders compare.
        s.grid.setColSort(TreeCol::Name, GridSort::GenericAscending);
    }
    // The tree holds links to folders and paths longer than PATH_MAX, which QDir cannot remove.
    void TearDown() override { QProcess::execute("rm", {"-rf", dir.path() + "/tree"}); }
    QByteArray base() const { return tempPath(dir) + "/tree/"; }
    QString file(const char *name) const { return dir.filePath(name); }

    // The walker's hostile cases: names that are not UTF-8 or hold newlines, tabs, quotes and
    // backslashes; links (never followed); hard links; a sparse file over 4 GiB; a fifo; empty
    // folders; a tree deeper than PATH_MAX.
    void makeHostileTree(bool deep) {
        makeDir(base());
        makeDir(base() + "caf\xe9");
        makeFile(base() + "caf\xe9/new\nline.txt", 11);
        makeFile(base() + "caf\xe9/tab\there", 12);
        makeDir(base() + "say \"hi\" \\ back");
        makeFile(base() + "say \"hi\" \\ back/q", 2048);
        makeDir(base() + "with\ttab");
        makeDir(base() + "empty");
        makeDir(base() + "links");
        makeFile(base() + "links/data", 1000);
        ASSERT_EQ(::symlink(".", (base() + "links/self").constData()), 0);
        ASSERT_EQ(::symlink("data", (base() + "links/to-data").constData()), 0);
        ASSERT_EQ(::link((base() + "links/data").constData(), (base() + "links/hard").constData()),
                  0);
        makeFile(base() + "big", (qint64(5) << 30) + 3);
        ASSERT_EQ(::mkfifo((base() + "fifo").constData(), 0644), 0);
        makeFile(base() + "\xf0\x9f\x93\x81 photos", 1048576);
        if (!deep)
            return;
        const std::string longName(200, 'd');
        int fd = ::open(base().constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < PATH_MAX / 200 + 5; ++i) {
            ASSERT_EQ(::mkdirat(fd, longName.c_str(), 0755), 0);
            const int next = ::openat(fd, longName.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        const int f = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::ftruncate(f, 77), 0);
        ::close(f);
        ::close(fd);
    }

    // Every row of a root's subtree below the root, as level, cells 0 to 4 and (with `bytes`)
    // the row's path relative to the root's.
    std::vector<std::string> rowsBelow(int root, bool bytes = true) const {
        std::vector<std::string> out;
        const QByteArray rootPath = s.grid.rowDataBytes(root);
        const int rootLevel = s.grid.level(root);
        for (int r = root + 1; r < s.grid.rows() && s.grid.level(r) > rootLevel; ++r) {
            std::string line = s.line(r) + "#" + std::to_string(s.grid.outlineState(r));
            if (bytes && !s.grid.text(r, 0).startsWith(u'<'))
                line += " @" + s.grid.rowDataBytes(r).mid(rootPath.size()).toStdString();
            out.push_back(line);
        }
        return out;
    }
    // The root's own size, unit, count and byte cells.
    std::string totals(int row) const { return s.line(row).substr(s.line(row).find('|', 2)); }

    void expectRejected(const QString &path, const QString &reason) {
        const int rows = s.grid.rows();
        const QString top = s.grid.text(ScanTree::TopRow, TreeCol::Bytes);
        try {
            ScanFile::Open(s.tree, path);
            ADD_FAILURE() << "opened: " << path.toStdString();
        } catch (const AppError &e) {
            EXPECT_EQ(e.number(), AppError::InvalidScanFile) << e.description().toStdString();
            EXPECT_EQ(e.description().left(reason.size()), reason) << path.toStdString();
        }
        EXPECT_EQ(s.grid.rows(), rows) << path.toStdString();
        EXPECT_EQ(s.grid.text(ScanTree::TopRow, TreeCol::Bytes), top);
    }

    // Runs ncdu or gdu on the tree; the test fails when the program is missing (scripts/setup
    // installs both).
    QString exportWith(const QString &program, const QStringList &arguments, const char *name) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            ADD_FAILURE() << program.toStdString() << " is not installed; run scripts/setup";
            return QString();
        }
        QProcess p;
        p.start(program, arguments + QStringList{file(name), QFile::decodeName(base())});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_TRUE(QFile::exists(file(name))) << p.readAllStandardError().data();
        return file(name);
    }
};

TEST_F(ScanFileTest, ASavedScanOpensWithEveryRowAndTotalExactly) {
    makeHostileTree(true);
    const int scanned = s.scan(base());
    s.tree.UpdateRoots();
    ScanFile::Save(s.tree, scanned, file("scan.json"));

    ScanFile::Info info;
    const int opened = ScanFile::Open(s.tree, file("scan.json"), &info);
    EXPECT_EQ(info.program, "Cairnmeter");
    EXPECT_LE(std::abs(info.written.secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_GT(info.entries, 20u);
    EXPECT_EQ(s.grid.text(opened, TreeCol::Name), QString::fromUtf8(base()));
    EXPECT_EQ(s.grid.rowDataBytes(opened), base());
    EXPECT_EQ(s.grid.cellPicture(opened, TreeCol::Name), s.tree.pictureId(TreePicture::ScanFile));
    EXPECT_TRUE(s.grid.cellBold(opened, TreeCol::Name));
    EXPECT_EQ(totals(opened), totals(scanned));
    EXPECT_EQ(rowsBelow(opened), rowsBelow(scanned));
    EXPECT_EQ(s.grid.text(scanned, TreeCol::Bytes), "5369761852"); // 5 GiB + 3 + the rest

    // Saved again, the opened root writes the same tree.
    ScanFile::Save(s.tree, opened, file("again.json"));
    auto body = [](QByteArray text) { return text.mid(text.indexOf("\n")); };
    EXPECT_EQ(body(readAll(file("again.json"))), body(readAll(file("scan.json"))));
    // The top row holds both roots.
    s.tree.UpdateRoots();
    EXPECT_EQ(s.tree.cellValue(ScanTree::TopRow, TreeCol::Bytes), Fixed::fromInt(2 * 5369761852LL));
}

TEST_F(ScanFileTest, AScanOfTheSpaceOnDiskOpensAsOneAgain) {
    makeHostileTree(true);
    s.search.searchParams.SizeBasis = SizeBasis::DiskUsage;
    const int scanned = s.scan(base());
    ScanTree::setBasisOfRoot(s.grid, scanned, SizeBasis::DiskUsage); // as the scan command marks it
    s.tree.UpdateRoots();
    ScanFile::Save(s.tree, scanned, file("disk.json"));
    const QByteArray text = readAll(file("disk.json"));
    EXPECT_TRUE(text.contains("\"cairnmeter_size_basis\":\"disk\"")) << text.left(200).data();
    EXPECT_TRUE(text.contains("\"dsize\":"));
    EXPECT_FALSE(text.contains("\"asize\":")); // other programs read its sizes as disk space

    const int opened = ScanFile::Open(s.tree, file("disk.json"));
    EXPECT_EQ(ScanTree::basisOfRoot(s.grid, opened), SizeBasis::DiskUsage);
    EXPECT_EQ(totals(opened), totals(scanned));
    EXPECT_EQ(rowsBelow(opened), rowsBelow(scanned));

    // A scan of the files' sizes stays one.
    s.search.searchParams.SizeBasis = SizeBasis::FileSize;
    const int sized = s.scan(base());
    ScanFile::Save(s.tree, sized, file("size.json"));
    EXPECT_EQ(ScanTree::basisOfRoot(s.grid, ScanFile::Open(s.tree, file("size.json"))),
              SizeBasis::FileSize);
    EXPECT_NE(totals(sized), totals(scanned)); // the two bases differ on this tree
}

TEST_F(ScanFileTest, FilesWrittenByNcduAndGduOpenAsTheScanOfTheSameTree) {
    makeHostileTree(false);
    const int scanned = s.scan(base());
    const QString ncdu = exportWith("ncdu", {"-0", "-o"}, "ncdu.json");
    const QString gdu = exportWith("gdu", {"-n", "-o"}, "gdu.json");
    ASSERT_FALSE(ncdu.isEmpty());
    ASSERT_FALSE(gdu.isEmpty());

    ScanFile::Info info;
    const int fromNcdu = ScanFile::Open(s.tree, ncdu, &info);
    EXPECT_EQ(info.program, "ncdu");
    EXPECT_EQ(totals(fromNcdu), totals(scanned));
    EXPECT_EQ(rowsBelow(fromNcdu), rowsBelow(scanned)); // names byte for byte

    const int fromGdu = ScanFile::Open(s.tree, gdu, &info);
    EXPECT_EQ(info.program, "gdu");
    EXPECT_EQ(totals(fromGdu), totals(scanned));
    // gdu writes names that are not UTF-8 with replacement characters: they show the same.
    EXPECT_EQ(rowsBelow(fromGdu, false), rowsBelow(scanned, false));
}

TEST_F(ScanFileTest, AnNcduFileOfATreeDeeperThanPathMaxOpensToTheBottom) {
    makeHostileTree(true);
    const int scanned = s.scan(base());
    const QString ncdu = exportWith("ncdu", {"-0", "-o"}, "deep.json");
    ASSERT_FALSE(ncdu.isEmpty());
    const int opened = ScanFile::Open(s.tree, ncdu);
    EXPECT_EQ(totals(opened), totals(scanned));
    EXPECT_EQ(rowsBelow(opened), rowsBelow(scanned));
}

TEST_F(ScanFileTest, EntriesOfOtherProgramsCountAsTheirProgramsCountThem) {
    // Folders' own sizes are not counted (the scan counts files); an entry excluded by a
    // pattern is left out; a file system not entered shows as a folder with an empty files
    // row; unknown keys and nested values are passed over.
    writeAll(file("x.json"),
             "[1,2,{\"progname\":\"ncdu\",\"extra\":[1,{\"a\":[]}],\"timestamp\":86400},\n"
             "[{\"name\":\"/srv\",\"asize\":4096,\"dsize\":4096,\"dev\":12},\n"
             " {\"name\":\"a\",\"asize\":10,\"dsize\":4096,\"mode\":420,\"xattr\":{\"k\":[1,2]}},\n"
             " {\"name\":\"skipped\",\"asize\":999,\"excluded\":\"pattern\"},\n"
             " {\"name\":\"proc\",\"excluded\":\"kernfs\"},\n"
             " [{\"name\":\"d\",\"asize\":4096,\"read_error\":true},\n"
             "  {\"name\":\"h1\",\"asize\":7,\"ino\":5,\"hlnkc\":true,\"nlink\":2},\n"
             "  {\"name\":\"h2\",\"asize\":7,\"ino\":5,\"hlnkc\":true,\"nlink\":2},\n"
             "  {\"name\":\"nosize\",\"notreg\":true}]]]\n");
    s.settings.Object_Size = 0;
    s.tree.SetSizeFactor();
    ScanFile::Info info;
    const int root = ScanFile::Open(s.tree, file("x.json"), &info);
    EXPECT_EQ(info.written, QDateTime::fromSecsSinceEpoch(86400));
    EXPECT_EQ(s.line(root), "0|/srv/|24|B|4|24");
    EXPECT_EQ(rowsBelow(root),
              (std::vector<std::string>{"1|<Files in /srv/>|10|B|1|10#0", "1|d|14|B|3|14#2 @d/",
                                        "2|<Files in d>|14|B|3|14#0", "1|proc|0|B|0|0#2 @proc/",
                                        "2|<Files in proc>|0|B|0|0#0"}));
}

TEST_F(ScanFileTest, BadInputIsRefusedWithItsReasonAndAddsNoRow) {
    makeDir(base());
    makeFile(base() + "f", 5);
    s.scan(base());
    s.tree.UpdateRoots();
    const QString notAScan = ScanFile::NotAScan;
    auto bad = [&](const char *name, const QByteArray &text, const QString &reason) {
        writeAll(file(name), text);
        expectRejected(file(name), reason);
    };
    const QByteArray head = "[1,2,{},\n[{\"name\":\"/r\"},";
    bad("empty", "", notAScan);
    bad("text", "hello, world", notAScan);
    bad("object", "{\"name\":\"x\"}", notAScan);
    bad("v2", "[2,0,{},[{\"name\":\"/r\"}]]", "The scan file is of format version 2");
    bad("v0", "[0,0,{},[{\"name\":\"/r\"}]]", "The scan file is of format version 0");
    bad("minor", "[1,10001,{},[{\"name\":\"/r\"}]]", notAScan);
    bad("nometa", "[1,2,[{\"name\":\"/r\"}]]", notAScan);
    bad("noroot", "[1,2,{}]", notAScan);
    bad("tworoots", "[1,2,{},[{\"name\":\"/r\"}],[{\"name\":\"/s\"}]]", notAScan);
    bad("after", "[1,2,{},[{\"name\":\"/r\"}]] x", notAScan);
    bad("emptydir", head + "[]]]", notAScan);
    bad("dirnoinfo", head + "[[{\"name\":\"x\"}]]]]", notAScan);
    bad("barevalue", head + "3]]", notAScan);
    bad("noname", head + "{\"asize\":1}]]", "The scan file holds an entry without a name.");
    bad("emptyname", head + "{\"name\":\"\"}]]", "The scan file holds an entry without a name.");
    bad("numname", head + "{\"name\":5}]]", notAScan);
    bad("nul", head + "{\"name\":\"a\\u0000b\"}]]",
        "The scan file holds a name with a NUL character.");
    bad("slash", head + "[{\"name\":\"a/b\"}]]]", "The scan file holds a name no file system");
    bad("dotdot", head + "{\"name\":\"..\"}]]", "The scan file holds a name no file system");
    bad("negative", head + "{\"name\":\"a\",\"asize\":-1}]]", "The scan file holds a size");
    bad("fraction", head + "{\"name\":\"a\",\"asize\":1.5}]]", "The scan file holds a size");
    bad("huge", head + "{\"name\":\"a\",\"asize\":18446744073709551615}]]",
        "The scan file holds a size");
    bad("textsize", head + "{\"name\":\"a\",\"asize\":\"12\"}]]", "The scan file holds a size");
    bad("nestedsize", head + "{\"name\":\"a\",\"asize\":[1]}]]", notAScan);
    // Entries each within range whose sum is not, whatever the width of the totals.
    const auto maxWhole = [](auto fixed) -> long double {
        using F = decltype(fixed);
        if constexpr (requires { F::MaxWhole; })
            return static_cast<long double>(F::MaxWhole);
        else
            return static_cast<long double>(std::numeric_limits<qint64>::max() / F::Scale);
    }(Fixed());
    const qint64 each =
        static_cast<qint64>(std::min<long double>(maxWhole, std::numeric_limits<qint64>::max()));
    QByteArray many = head;
    for (int i = 0; static_cast<long double>(each) * i <= maxWhole; ++i)
        many += "{\"name\":\"f" + QByteArray::number(i) +
                "\",\"asize\":" + QByteArray::number(each) + "},";
    bad("sum", many + "{\"name\":\"a\",\"asize\":1}]]", "The scan file's totals are out of range.");
    bad("surrogate", head + "{\"name\":\"\\ud800\"}]]", notAScan);

    // Cut anywhere, a good file is refused as truncated (or, cut before the scan, as no scan).
    ScanFile::Save(s.tree, 2, file("good.json"));
    const QByteArray good = readAll(file("good.json"));
    for (qsizetype cut :
         {qsizetype(1), qsizetype(7), good.indexOf("[{") + 3, good.size() / 2, good.size() - 2})
        bad("cut", good.left(cut),
            cut > good.indexOf("\"}") ? "The scan file ends before" : "The file is not a scan");
    EXPECT_NO_THROW(ScanFile::Open(s.tree, file("good.json")));
}

TEST_F(ScanFileTest, EndlessGarbageStopsEarly) {
    makeDir(base());
    s.scan(base());
    // /dev/urandom and /dev/zero never end; garbage is refused at its first bytes.
    expectRejected("/dev/zero", ScanFile::NotAScan);
    expectRejected("/dev/urandom", ScanFile::NotAScan);
    ::signal(SIGPIPE, SIG_IGN);
    // A name, a nesting of unused values or of folders that never ends stops at a bound, not
    // at the end of memory.
    struct Case {
        QByteArray start, repeated;
        QString reason;
        int depthLimit;
    };
    const Case cases[] = {
        {"[1,2,{},[{\"name\":\"", "a", "The scan file holds a value longer than any name.",
         ScanFile::maxDepth()},
        {"[1,2,{\"x\":", "[", ScanFile::NotAScan, ScanFile::maxDepth()},
        {"[1,2,{},[{\"name\":\"r\"},", "[{\"name\":\"d\"},",
         "The scan file nests folders deeper than 1000 levels.", 1000},
    };
    for (const Case &c : cases) {
        const QString fifo = file("fifo");
        QFile::remove(fifo);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        std::thread writer([&] {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY);
            if (fd < 0)
                return;
            QByteArray chunk;
            while (chunk.size() < (1 << 16))
                chunk += c.repeated;
            // Until the reader closes its end (a write then fails), at most 64 MiB.
            bool ok = ::write(fd, c.start.constData(), c.start.size()) == c.start.size();
            for (int i = 0; ok && i < 1024; ++i)
                ok = ::write(fd, chunk.constData(), chunk.size()) > 0;
            ::close(fd);
        });
        const int rows = s.grid.rows();
        try {
            ScanFile::Open(s.tree, fifo, nullptr, c.depthLimit);
            ADD_FAILURE() << "opened endless input";
        } catch (const AppError &e) {
            EXPECT_EQ(e.description(), c.reason);
        }
        EXPECT_EQ(s.grid.rows(), rows);
        writer.join();
    }
}

namespace {

// A gzip stream of `head`, `chunk` `times` over and `tail`, made without holding or deflating
// the whole text: after a full flush deflate starts afresh, so a repeated chunk deflates to the
// same bytes each time.
QByteArray gzipOfRepeats(const QByteArray &head, const QByteArray &chunk, int times,
                         const QByteArray &tail) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    auto deflated = [&z](const QByteArray &in, int flush) {
        QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(in.size()))) + 64,
                       '\0');
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = static_cast<uInt>(in.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        out.truncate(out.size() - z.avail_out);
        return out;
    };
    QByteArray gz("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
    gz += deflated(head, Z_FULL_FLUSH);
    const QByteArray block = deflated(chunk, Z_FULL_FLUSH);
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(head.constData()), uInt(head.size()));
    const uLong chunkCrc =
        crc32(0, reinterpret_cast<const Bytef *>(chunk.constData()), uInt(chunk.size()));
    for (int i = 0; i < times; ++i) {
        gz += block;
        crc = crc32_combine(crc, chunkCrc, chunk.size());
    }
    gz += deflated(tail, Z_FINISH);
    deflateEnd(&z);
    crc = crc32(crc, reinterpret_cast<const Bytef *>(tail.constData()), uInt(tail.size()));
    const quint32 size = quint32(head.size() + qint64(chunk.size()) * times + tail.size());
    for (const quint32 word : {quint32(crc), size})
        for (int b = 0; b < 4; ++b)
            gz += char((word >> (8 * b)) & 0xff);
    return gz;
}

// The peak memory of the process since the last reset, in KiB; -1 where it cannot be reset.
long peakKiB(bool reset) {
    if (reset) {
        QFile clear("/proc/self/clear_refs");
        if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
            return -1;
    }
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

} // namespace

// A compressed scan is inflated as it is read: a file of a megabyte that inflates to a gigabyte
// is refused once its text passes what real scans compress to, before it costs memory; a
// damaged or cut one is refused as such, and a good one opens as its text does.
TEST_F(ScanFileTest, ACompressedScanIsRefusedOnceItInflatesBeyondAnyScan) {
    makeDir(base());
    makeFile(base() + "f", 5);
    s.scan(base());
    s.tree.UpdateRoots();
    ScanFile::Save(s.tree, 2, file("good.json"));
    const QByteArray good = readAll(file("good.json"));
    writeAll(file("good.json.gz"), Gzip::compress(good));
    const int before = s.grid.rows();
    ScanFile::Open(s.tree, file("good.json"));
    const int added = s.grid.rows() - before;
    ScanFile::Open(s.tree, file("good.json.gz"));
    EXPECT_EQ(s.grid.rows() - before, 2 * added);

    const QByteArray packed = Gzip::compress(good);
    writeAll(file("cut.json.gz"), packed.left(packed.size() - 6));
    expectRejected(file("cut.json.gz"), "The compressed scan is damaged or cut short.");
    QByteArray wrongSum = packed;
    wrongSum[wrongSum.size() - 5] = char(wrongSum[wrongSum.size() - 5] ^ 1);
    writeAll(file("sum.json.gz"), wrongSum);
    expectRejected(file("sum.json.gz"), "The compressed scan is damaged or cut short.");

    // 1.1 GiB of unused values in the metadata, each of them an event of the parser.
    QByteArray zeros;
    while (zeros.size() < (1 << 20))
        zeros += "0,";
    const QByteArray bomb = gzipOfRepeats("[1,2,{\"x\":[", zeros, 1100, "0]},[{\"name\":\"/r\"}]]");
    ASSERT_LT(bomb.size(), 2 << 20);
    writeAll(file("bomb.json.gz"), bomb);
    if (peakKiB(true) < 0)
        GTEST_SKIP() << "the peak memory of the process cannot be measured here";
    const long peakBefore = peakKiB(false);
    expectRejected(file("bomb.json.gz"), "The compressed scan inflates to more than 64 times");
    EXPECT_LT(peakKiB(false) - peakBefore, 64 * 1024) << "KiB more at the peak";
}

TEST_F(ScanFileTest, FoldersNestedExactlyAsDeepAsTheLimitOpenOneLevelMoreDoesNot) {
    // `Limit` levels of folders, the root's included: the deepest folder's files row then
    // sits at outline level `Limit`, as deep as the limit lets rows go.
    constexpr int Limit = 5;
    for (const int levels : {Limit, Limit + 1}) {
        QByteArray json = "[1,2,{},[{\"name\":\"/r\"}";
        for (int i = 1; i < levels; ++i)
            json += ",[{\"name\":\"d\"}";
        json += QByteArray(levels - 1, ']') + "]]";
        QFile out(file("deep.json"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(json);
        out.close();
        const int rows = s.grid.rows();
        if (levels == Limit) {
            const int root = ScanFile::Open(s.tree, file("deep.json"), nullptr, Limit);
            int deepest = 0;
            for (int r = root; r < s.grid.rows(); ++r)
                deepest = std::max(deepest, s.grid.level(r));
            EXPECT_EQ(deepest, Limit);
        } else {
            EXPECT_THROW(ScanFile::Open(s.tree, file("deep.json"), nullptr, Limit), AppError);
            EXPECT_EQ(s.grid.rows(), rows);
        }
    }
}

TEST_F(ScanFileTest, KeptFilesAreSavedAsFileEntriesAndOpenAsKeptFilesAgain) {
    makeHostileTree(false);
    auto kept = std::make_shared<KeptFiles>(base(), 2);
    s.search.setKeptFiles(kept);
    const int scanned = s.scan(base());
    s.tree.addKeptFiles(kept);
    ASSERT_EQ(kept->size(), 2u);
    ScanFile::Save(s.tree, scanned, file("kept.json"));
    const QByteArray saved = readAll(file("kept.json"));
    for (std::size_t i = 0; i < kept->size(); ++i)
        EXPECT_TRUE(saved.contains("{\"name\":\"" + kept->name(kept->file(i)) + "\",\"asize\":"))
            << kept->name(kept->file(i)).constData();

    // Opened, the tree is the same and so are the kept files, from the same size on; the types
    // are not known, since the other files were saved as their folders' "<Files>".
    const int opened = ScanFile::Open(s.tree, file("kept.json"));
    EXPECT_EQ(totals(opened), totals(scanned));
    EXPECT_EQ(rowsBelow(opened), rowsBelow(scanned));
    const KeptFilesPtr back = s.tree.keptFilesOf(opened);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->threshold(), kept->threshold());
    std::set<std::pair<QByteArray, std::uint64_t>> before, after;
    for (std::size_t i = 0; i < kept->size(); ++i)
        before.insert({kept->filePath(kept->file(i)), kept->file(i).bytes});
    for (std::size_t i = 0; i < back->size(); ++i) {
        after.insert({back->filePath(back->file(i)), back->file(i).bytes});
        EXPECT_EQ(back->file(i).mtime, kept->file(i).mtime);
    }
    EXPECT_EQ(after, before);
    EXPECT_TRUE(back->types().empty());
    // Saved again, the opened root writes the same tree.
    ScanFile::Save(s.tree, opened, file("kept-again.json"));
    auto body = [](QByteArray text) { return text.mid(text.indexOf("\n")); };
    EXPECT_EQ(body(readAll(file("kept-again.json"))), body(saved));
}
