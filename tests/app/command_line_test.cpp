#include "CommandLine.h"

#include <gtest/gtest.h>

using namespace CommandLine;

TEST(CommandLineTest, TokensSplitAtBlanksEqualsAndColonsOutsideQuotes) {
    EXPECT_EQ(ParseKeyValueString("  /f   a=b:c\td ", 25), (QStringList{"/f", "a", "b", "c", "d"}));
    EXPECT_EQ(ParseKeyValueString("/f \"/home/ana/My Files: 2=x\"", 25),
              (QStringList{"/f", "/home/ana/My Files: 2=x"}));
    EXPECT_EQ(ParseKeyValueString("ab\"c d\"e", 25), (QStringList{"abc de"}));
    EXPECT_EQ(ParseKeyValueString("/f \"\" x", 25), (QStringList{"/f", "", "x"}));
    EXPECT_TRUE(ParseKeyValueString(" \t=: ", 25).isEmpty());
    EXPECT_EQ(ParseKeyValueString("a b c d", 2), (QStringList{"a", "b"}));
}

TEST(CommandLineTest, TheValueFollowsTheLastMatchingKey) {
    EXPECT_EQ(CommandLineGetValue("/f \"/home/ana/My Files\"", "/f"), "/home/ana/My Files");
    EXPECT_EQ(CommandLineGetValue("/f /home/ana/My Files", "/f"), "/home/ana/My");
    EXPECT_EQ(CommandLineGetValue("/F=/srv", "/f"), "/srv");
    EXPECT_EQ(CommandLineGetValue("/f:/srv", "/f"), "/srv");
    EXPECT_EQ(CommandLineGetValue("/f /one /f /two", "/f"), "/two");
    EXPECT_EQ(CommandLineGetValue("/f /one /f", "/f"), "/one"); // last word: search ends there
    EXPECT_EQ(CommandLineGetValue("/f", "/f"), "");
    EXPECT_EQ(CommandLineGetValue("", "/f"), "");
    EXPECT_EQ(CommandLineGetValue("/f /x", "  "), "");
    EXPECT_EQ(CommandLineGetValue("-v /q /f /usr", "/f"), "/usr");
    QString many;
    for (int i = 0; i < 24; ++i)
        many += "w ";
    EXPECT_EQ(CommandLineGetValue(many + "/f /usr", "/f"), ""); // beyond the 25th token
}

TEST(CommandLineTest, ArgumentsWithBlanksSurviveJoiningAndSplitting) {
    const QString line = joinArguments({"/f", "/home/ana/My Files"});
    EXPECT_EQ(line, "/f \"/home/ana/My Files\"");
    EXPECT_EQ(CommandLineGetValue(line, "/f"), "/home/ana/My Files");
    EXPECT_EQ(CommandLineGetValue(joinArguments({"/f=/srv/data"}), "/f"), "/srv/data");
}
