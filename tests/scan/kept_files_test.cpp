// The large files a walk keeps and its totals by type, checked against find(1) on the same tree.
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

// find(1) started with a plain fork(): QProcess starts its children in a way the thread
// sanitizer does not follow, after which it misreads the walk's locks as races.
QStringList findLines(const QByteArray &root, const QStringList &tests) {
    std::vector<QByteArray> args{"find", root, "-type", "f"};
    for (const QString &t : tests)
        args.push_back(t.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execvp("find", argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(out[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
}

// A tree of files of many sizes, some of them equal, in a few folders, with types in mixed case,
// and many small folders.
QByteArray makeTree(const QTemporaryDir &dir) {
    const QByteArray root = tempPath(dir) + "/t/";
    makeDir(root);
    const char *folders[] = {"", "a/", "a/b/", "c/"};
    const char *names[] = {"x.txt", "Y.TXT", "z.tar.gz", "p.JPG", "noext", ".bashrc", "w.jpg"};
    std::mt19937 random(7);
    int n = 0;
    for (const char *folder : folders) {
        makeDir(root + folder);
        for (int i = 0; i < 40; ++i) {
            const qint64 size = i % 9 == 0 ? 5000 : qint64(random() % 100000);
            const char *name = names[i % 7];
            const QByteArray number = QByteArray::number(n++);
            makeFile(root + folder + (*name == '.' ? name + number : number + name), size);
        }
    }
    makeFile(root + "c/huge.img", qint64(5) << 32); // beyond 4 GiB, sparse
    // More folders than a reader lists before it hands its type totals over with a listing.
    makeDir(root + "d/");
    for (int i = 0; i < 150; ++i) {
        makeDir(root + "d/" + QByteArray::number(i) + "/");
        makeFile(root + "d/" + QByteArray::number(i) + "/k" + QByteArray::number(i) + ".txt", i);
    }
    return root;
}

} // namespace

TEST(KeptFiles, WalkKeepsExactlyTheFilesAtOrAboveTheThresholdWithinTheCap) {
    QTemporaryDir dir;
    const QByteArray root = makeTree(dir);
    const int total = static_cast<int>(findLines(root, {}).size());
    ASSERT_EQ(total, 311);
    for (int workers : {-1, 2}) {
        for (std::size_t cap : {std::size_t(1000), std::size_t(30), std::size_t(1)}) {
            SCOPED_TRACE(std::to_string(workers) + " workers, cap " + std::to_string(cap));
            ScanFixture f;
            f.search.setWorkers(workers);
            auto kept = std::make_shared<KeptFiles>(root, cap);
            f.search.setKeptFiles(kept);
            const int rootRow = f.scan(root);

            std::set<QByteArray> got;
            for (std::size_t i = 0; i < kept->size(); ++i) {
                const KeptFiles::File &file = kept->file(i);
                got.insert(kept->filePath(file));
                struct stat st;
                ASSERT_EQ(::stat(kept->filePath(file).constData(), &st), 0);
                EXPECT_EQ(file.bytes, static_cast<std::uint64_t>(st.st_size));
                EXPECT_EQ(file.mtime, st.st_mtime);
            }
            const std::uint64_t t = kept->threshold();
            std::set<QByteArray> expected;
            const QStringList atLeast =
                t == 0
                    ? findLines(root, {})
                    : findLines(root, {QStringLiteral("-size"), QStringLiteral("+%1c").arg(t - 1)});
            for (const QString &line : atLeast)
                expected.insert(QFile::encodeName(line));
            EXPECT_EQ(got, expected);
            EXPECT_LE(kept->size(), cap);
            if (cap >= std::size_t(total)) {
                EXPECT_EQ(kept->size(), std::size_t(total));
            } else {
                // The cap holds with the largest: nothing left out is larger than what is kept,
                // and ties at the cut are all left out rather than some of them.
                EXPECT_GT(kept->size(), 0u);
                EXPECT_FALSE(
                    findLines(root, {QStringLiteral("-size"), QStringLiteral("+%1c").arg(t - 2)})
                        .size() <= static_cast<qsizetype>(cap));
            }
            EXPECT_TRUE(got.count(root + "c/huge.img"));
            EXPECT_LT(kept->memoryBytes(), std::size_t(1) << 20);

            // The types count every file, kept or not.
            std::map<QString, std::uint64_t> bytes, files;
            for (const KeptFiles::TypeTotal &type : kept->types()) {
                bytes[type.extension] = static_cast<std::uint64_t>(type.bytes);
                files[type.extension] = type.files;
            }
            std::uint64_t typedBytes = 0, typedFiles = 0;
            for (const QString ext : {"txt", "gz", "jpg", "img"}) {
                std::uint64_t sum = 0;
                const QStringList sizes =
                    findLines(root, {QStringLiteral("-iname"), QStringLiteral("*.") + ext,
                                     QStringLiteral("-printf"), QStringLiteral("%s\\n")});
                for (const QString &size : sizes)
                    sum += size.toULongLong();
                EXPECT_EQ(bytes[ext], sum) << ext.toStdString();
                EXPECT_EQ(files[ext], std::uint64_t(sizes.size())) << ext.toStdString();
                typedBytes += sum;
                typedFiles += std::uint64_t(sizes.size());
            }
            EXPECT_EQ(bytes.size(), 5u); // and "", which holds "noext" and ".bashrc"
            EXPECT_EQ(files[QString()], std::uint64_t(total) - typedFiles);
            EXPECT_EQ(
                bytes[QString()] + typedBytes,
                static_cast<std::uint64_t>(f.tree.cellValue(rootRow, TreeCol::Bytes).whole()));
        }
    }
}

// Names of every length a file system allows, each measured off the end of its entry's record:
// kept with every byte, and typed by their last dot.
TEST(KeptFiles, NamesOfEveryLength) {
    QTemporaryDir dir;
    const QByteArray root = tempPath(dir) + "/n/";
    makeDir(root);
    std::set<QByteArray> made;
    for (int length = 1; length <= 255; ++length) {
        QByteArray name(length, 'x');
        if (length >= 4)
            name[length - 4] = '.'; // a type of three letters
        if (length % 5 == 0)
            name[0] = '\xc3', name[1 % length] = '\xa9'; // a two-byte letter
        if (name == "." || name == "..")
            continue;
        makeFile(root + name, length);
        made.insert(name);
    }
    ScanFixture f;
    auto kept = std::make_shared<KeptFiles>(root, 1000);
    f.search.setKeptFiles(kept);
    f.scan(root);
    std::set<QByteArray> got;
    for (std::size_t i = 0; i < kept->size(); ++i)
        got.insert(kept->name(kept->file(i)));
    EXPECT_EQ(got, made);
    std::uint64_t typed = 0;
    for (const KeptFiles::TypeTotal &type : kept->types())
        typed += type.extension == "xxx" ? type.files : 0;
    // Lengths 4 to 255, less ".xxx" (its dot begins the name) and the name of five bytes,
    // whose dot the two-byte letter took.
    EXPECT_EQ(typed, 252u - 2u);
}

TEST(KeptFiles, FolderQueriesAndTypesOfOddNames) {
    KeptFiles kept("/r/", 10);
    kept.add("/r/a/", "big", 3, 100, 1);
    kept.add("/r/ab/", "other", 5, 200, 2);
    kept.add("/r/a/deep/", "x", 1, 300, 3);
    EXPECT_EQ(kept.filesUnder("/r/a/").size(), 2u);
    EXPECT_EQ(kept.filesUnder("/r/").size(), 3u);
    EXPECT_EQ(kept.filesUnder("/elsewhere/").size(), 0u);
    EXPECT_EQ(kept.folderPath(kept.file(2)), "/r/a/deep/");

    // Folders in any order, with or without their last slash, names that are prefixes of
    // others, and trims that renumber folders: each file still names its own folder.
    KeptFiles many("/r", 40);
    std::mt19937 random(5);
    const char *names[] = {"a", "ab", "a.b", "abcdefghij", "abcdefghijk", "x"};
    std::map<QByteArray, QByteArray> folderOf; // file name -> folder path with its slash
    for (int i = 0; i < 600; ++i) {
        QByteArray path = "/r/";
        for (int depth = int(random() % 5); depth > 0; --depth)
            path += QByteArray(names[random() % 6]) + '/';
        const QByteArray name = "f" + QByteArray::number(i);
        folderOf[name] = path;
        if (random() % 2 && path.size() > 3)
            path.chop(1);
        const char *first[] = {name.constData()};
        many.addFolderFiles(path, first, [i](const char *n) {
            return std::tuple(n, std::uint64_t(1000 + i), std::int64_t(0));
        });
    }
    many.finish();
    ASSERT_EQ(many.size(), 40u);
    for (std::size_t i = 0; i < many.size(); ++i)
        EXPECT_EQ(many.folderPath(many.file(i)), folderOf[many.name(many.file(i))]);

    const std::pair<const char *, const char *> cases[] = {
        {"a.TXT", "txt"},
        {".bashrc", ""},
        {"trailing.", ""},
        {"a.b.C", "c"},
        {"noext", ""},
        {"x.with space", ""},
        {"x.verylongextension", ""},
        {"é.ÄB", "Äb"},
        // the letters' neighbours keep their case; 15 bytes are a type, 16 are not; a blank
        // or a capital in the second eight bytes counts as in the first
        {"n.@AZ[`az{", "@az[`az{"},
        {"n.abcdefghijklmnO", "abcdefghijklmno"},
        {"n.abcdefghijklmnop", ""},
        {"n.abcdefghij lm", ""},
        {"n.a.b c", ""},
        {"..", ""},
        {"a.x", "x"},
        // a name longer than eight bytes, whose type lies in its last eight or not
        {"longer.a b", ""},
        {"longer.name.", ""},
        {".1234567", ""},
        {"a.1234567", "1234567"},
        {"longname.ABCDEFGH", "abcdefgh"},
        {"longname.Tar.GZ", "gz"},
        {"x.abcdefghi", "abcdefghi"},
        {"12345678.a", "a"},
    };
    for (const auto &[name, ext] : cases) {
        char out[KeptFiles::MaxExtension];
        const std::size_t n = KeptFiles::extensionOf(name, std::strlen(name), out);
        EXPECT_EQ(std::string(out, n), std::string(ext)) << name;
    }
}

// Kept files fed in any order keep exactly the largest that fit the cap, ties at the cut left
// out, whatever the sizes: tiny, equal, spread over every power of two, or as large as a file can
// be.
TEST(KeptFiles, CapKeepsTheLargestForAnySizes) {
    std::mt19937_64 random(11);
    const std::pair<const char *, std::function<std::uint64_t(int)>> kinds[] = {
        {"small", [&](int) { return random() % 20; }},
        {"equal", [&](int) { return std::uint64_t(4096); }},
        {"powers", [&](int) { return random() >> (random() % 64); }},
        {"largest possible",
         [&](int i) { return (std::uint64_t(1) << 63) - 1 - std::uint64_t(i % 7); }},
        {"rising", [&](int i) { return std::uint64_t(i) * 1000; }},
    };
    for (const auto &[kind, size] : kinds) {
        for (std::size_t cap : {std::size_t(1), std::size_t(64), std::size_t(1000)}) {
            SCOPED_TRACE(std::string(kind) + ", cap " + std::to_string(cap));
            KeptFiles kept("/r/", cap);
            std::vector<std::uint64_t> all;
            for (int i = 0; i < 3000; ++i) {
                all.push_back(size(i));
                const QByteArray folder = "/r/" + QByteArray::number(i % 13) + "/";
                const QByteArray name = "f" + QByteArray::number(i);
                kept.add(folder, name.constData(), all.back(), i);
            }
            kept.finish();
            std::sort(all.begin(), all.end(), std::greater<>());
            // What a sort says: the cap's largest, less those equal to the first left out.
            std::size_t expected = std::min(cap, all.size());
            while (expected > 0 && expected < all.size() && all[expected - 1] == all[expected])
                --expected;
            ASSERT_EQ(kept.size(), expected);
            // The threshold is just above the largest file left out, however it was left out.
            EXPECT_EQ(kept.threshold(), expected < all.size() ? all[expected] + 1 : 0);
            std::multiset<std::uint64_t> got;
            for (std::size_t i = 0; i < kept.size(); ++i) {
                got.insert(kept.file(i).bytes);
                const KeptFiles::File &f = kept.file(i);
                EXPECT_EQ(kept.name(f), "f" + QByteArray::number(qint64(f.mtime)));
                EXPECT_EQ(kept.relativeFolder(f), QByteArray::number(f.mtime % 13) + "/");
            }
            EXPECT_EQ(got, std::multiset<std::uint64_t>(all.begin(), all.begin() + expected));

            // Files removed (gone from the disk), then more kept: names and folders stay right.
            std::vector<std::uint32_t> removed;
            for (std::uint32_t i = 0; i < kept.size(); i += 3)
                removed.push_back(i);
            kept.removeFiles(removed);
            const std::size_t left = kept.size();
            EXPECT_EQ(left, expected - removed.size());
            for (int round = 0; round < 2; ++round) {
                for (std::size_t i = 0; i < kept.size(); ++i) {
                    const KeptFiles::File &f = kept.file(i);
                    EXPECT_EQ(kept.name(f), "f" + QByteArray::number(qint64(f.mtime)));
                    EXPECT_EQ(kept.relativeFolder(f), QByteArray::number(f.mtime % 13) + "/");
                }
                for (int i = 3000; i < 3000 + int(cap) * 3 && round == 0; ++i) {
                    const QByteArray name = "f" + QByteArray::number(i);
                    kept.add("/r/" + QByteArray::number(i % 13) + "/", name.constData(),
                             kept.threshold() + std::uint64_t(i), i);
                }
                kept.finish();
            }
            EXPECT_GT(kept.size(), left / 2);
        }
    }

    // A file that the largest kept kept out comes in once that one is gone, as when its folder
    // is scanned again.
    KeptFiles kept("/r/", 1);
    kept.add("/r/a/", "big", 1000, 0);
    kept.add("/r/b/", "small", 10, 0);
    kept.finish();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.threshold(), 11u);
    kept.removeFiles({0});
    kept.add("/r/a/", "new", 500, 0);
    kept.finish();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.name(kept.file(0)), "new");
}

// A folder of far more files than the cap keeps only its own largest while it is listed; what
// the scan keeps is still exactly the largest of all.
TEST(KeptFiles, FolderOfManyMoreFilesThanTheCap) {
    QTemporaryDir dir;
    const QByteArray root = tempPath(dir) + "/flat/";
    makeDir(root);
    makeDir(root + "sub/");
    std::mt19937 random(5);
    std::vector<std::uint64_t> sizes;
    for (int i = 0; i < 600; ++i) {
        sizes.push_back(i % 50 == 0 ? 777 : random() % 5000);
        makeFile(root + (i % 4 == 0 ? "sub/" : "") + QByteArray::number(i), qint64(sizes.back()));
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    for (int workers : {-1, 2}) {
        for (std::size_t cap : {std::size_t(3), std::size_t(40), std::size_t(150)}) {
            SCOPED_TRACE(std::to_string(workers) + " workers, cap " + std::to_string(cap));
            ScanFixture f;
            f.search.setWorkers(workers);
            auto kept = std::make_shared<KeptFiles>(root, cap);
            f.search.setKeptFiles(kept);
            f.scan(root);
            std::size_t expected = cap;
            while (expected > 0 && sizes[expected - 1] == sizes[expected])
                --expected;
            std::multiset<std::uint64_t> got;
            for (std::size_t i = 0; i < kept->size(); ++i)
                got.insert(kept->file(i).bytes);
            EXPECT_EQ(got, std::multiset<std::uint64_t>(sizes.begin(), sizes.begin() + expected));
        }
    }
}
