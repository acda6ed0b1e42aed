#include "FilePattern.h"
#include "mdlFileSearch.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

bool match(const char *name, const char *pattern) {
    const FilePattern compiled{QString::fromUtf8(pattern)};
    const bool bytes = compiled.matches(name, std::strlen(name));
    const bool text = compiled.matches(QString::fromUtf8(name));
    EXPECT_EQ(bytes, text) << name << " / " << pattern; // both ways agree
    EXPECT_EQ(mdlFileSearch::MatchesSpec(QString::fromUtf8(name), QString::fromUtf8(pattern)),
              text);
    return text;
}

TEST(MatchPattern, StarDotStarMatchesEveryName) {
    for (const char *name : {"a.txt", "README", ".hidden", "x.", "many.dots.here", "ü"})
        EXPECT_TRUE(match(name, "*.*")) << name;
    EXPECT_TRUE(FilePattern(QStringLiteral("*.*")).matchesAll());
    EXPECT_TRUE(FilePattern(QStringLiteral("*.mp3; * ")).matchesAll());
    EXPECT_FALSE(FilePattern(QStringLiteral("*.mp3")).matchesAll());
}

TEST(MatchPattern, ListsWildcardsAndCase) {
    const char *audio = "*.mp3;*.mp2;*.mp1";
    EXPECT_TRUE(match("song.mp3", audio));
    EXPECT_TRUE(match("SONG.MP2", audio));
    EXPECT_TRUE(match("a.Mp1", audio));
    EXPECT_FALSE(match("b.doc", audio));
    EXPECT_FALSE(match("song.mp30", audio));
    EXPECT_FALSE(match("mp3", audio));
    EXPECT_TRUE(match("x.md", " *.txt ;  *.MD "));
    EXPECT_FALSE(match("x.md", ";;"));
    EXPECT_FALSE(match("x", ""));

    EXPECT_TRUE(match("a", "?"));
    EXPECT_FALSE(match("ab", "?"));
    EXPECT_TRUE(match("ab", "??"));
    EXPECT_TRUE(match("é", "?")); // one character, two bytes
    EXPECT_TRUE(match("file1.txt", "file?.txt"));
    EXPECT_FALSE(match("file10.txt", "file?.txt"));

    EXPECT_TRUE(match("abcb", "*b"));
    EXPECT_TRUE(match("aXbYb", "a*b*b"));
    EXPECT_FALSE(match("aXbY", "a*b*b"));
    EXPECT_TRUE(match("report 2024.pdf", "*202?*"));
    EXPECT_TRUE(match(std::string(300, 'a').c_str(), "*a*a*a*a*a*a*a*a*"));
    EXPECT_FALSE(match(std::string(300, 'a').c_str(), "*a*a*a*a*a*a*a*a*b"));

    EXPECT_TRUE(match("ÄPFEL.TXT", "äpfel.*"));
    EXPECT_TRUE(match("Ölkanne", "öl*"));
    EXPECT_FALSE(match("Olkanne", "öl*"));
    EXPECT_TRUE(match("new\nline.txt", "*.txt"));
    // A name that is not UTF-8 still matches by its readable part.
    EXPECT_TRUE(FilePattern(QStringLiteral("caf*")).matches("caf\xe9", 4));
    EXPECT_FALSE(FilePattern(QStringLiteral("*.txt")).matches("caf\xe9", 4));
}

TEST(PathHelpers, NormalizeStripAndExist) {
    EXPECT_EQ(mdlFileSearch::NormalizePath(QString()), "/");
    EXPECT_EQ(mdlFileSearch::NormalizePath(QStringLiteral("/home/ana")), "/home/ana/");
    EXPECT_EQ(mdlFileSearch::NormalizePath(QStringLiteral("/home/ana/")), "/home/ana/");
    EXPECT_EQ(mdlFileSearch::NormalizePath(QString::fromUtf16(u"/data\0junk", 10)), "/data/");
    EXPECT_EQ(mdlFileSearch::StripNul(QString::fromUtf16(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(mdlFileSearch::StripNul(QStringLiteral("abc")), "abc");
    EXPECT_EQ(mdlFileSearch::StripNul(QString::fromUtf16(u"\0x", 2)), "");

    EXPECT_EQ(mdlFileSearch::StripTrailingSlash(QStringLiteral("  /srv/data/  ")), "/srv/data");
    EXPECT_EQ(mdlFileSearch::StripTrailingSlash(QStringLiteral("/srv/data//")), "/srv/data/");
    EXPECT_EQ(mdlFileSearch::StripTrailingSlash(QStringLiteral("/srv")), "/srv");
    EXPECT_EQ(mdlFileSearch::StripTrailingSlash(QStringLiteral("\t/srv/")), "\t/srv");

    QTemporaryDir dir;
    const QString d = dir.path();
    EXPECT_TRUE(mdlFileSearch::FolderExists(QStringLiteral("/")));
    EXPECT_TRUE(mdlFileSearch::FolderExists(QStringLiteral(" / ")));
    EXPECT_TRUE(mdlFileSearch::FolderExists(d));
    EXPECT_TRUE(mdlFileSearch::FolderExists(d + QStringLiteral("/ ")));
    EXPECT_FALSE(mdlFileSearch::FolderExists(d + QStringLiteral("/missing/")));
    EXPECT_FALSE(mdlFileSearch::FolderExists(QString()));
    QFile file(d + QStringLiteral("/plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(mdlFileSearch::FolderExists(file.fileName()));
    ASSERT_EQ(::symlink(QFile::encodeName(d).constData(),
                        QFile::encodeName(d + QStringLiteral("/link")).constData()),
              0);
    EXPECT_TRUE(mdlFileSearch::FolderExists(d + QStringLiteral("/link/")));
}

} // namespace
