#include "CommandLine.h"
#include "NativeText.h"

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

TEST(CommandLineTest, EveryPathArgumentReachesTheScanWhole) {
    auto pathOf = [](std::initializer_list<const char *> args) {
        std::vector<const char *> argv{"cairnmeter"};
        argv.insert(argv.end(), args);
        return GetCmdLine(fromArgv(static_cast<int>(argv.size()), argv.data()));
    };
    EXPECT_EQ(pathOf({"/f", "/srv/a:b"}), "/srv/a:b/");
    EXPECT_EQ(pathOf({"/f", "/srv/x=y"}), "/srv/x=y/");
    EXPECT_EQ(pathOf({"/F", "/home/ana/My Files\t2"}), "/home/ana/My Files\t2/");
    EXPECT_EQ(pathOf({"/f", "/srv/say \"hi\""}), "/srv/say \"hi\"/");
    EXPECT_EQ(pathOf({"/f", "\"quoted\""}), "\"quoted\"/");
    EXPECT_EQ(pathOf({"/f=/srv/a:b c"}), "/srv/a:b c/");
    EXPECT_EQ(pathOf({"/f:/srv/\"x\"=1"}), "/srv/\"x\"=1/");
    EXPECT_EQ(pathOf({"-v", "/f", "/one", "/f", "/two:2"}), "/two:2/");
    EXPECT_EQ(pathOf({"/foo", "/f"}), ""); // "/foo" is a word, not the key
    EXPECT_EQ(pathOf({"/f", ""}), "");
    EXPECT_EQ(pathOf({"/f", "  "}), "");
    // A blank after the joiner: the next word is the path.
    EXPECT_EQ(pathOf({"/f:", "/srv/data"}), "/srv/data/");
    EXPECT_EQ(pathOf({"/F=", "/srv/My Files"}), "/srv/My Files/");
    // Blanks at either end belong to the name.
    EXPECT_EQ(pathOf({"/f", "tr "}), "tr /");
    EXPECT_EQ(pathOf({"/f", " /srv"}), " /srv/");
    // A name that is not UTF-8 keeps its bytes.
    const QString latin1 = pathOf({"/f", "/srv/caf\xe9:1"});
    EXPECT_EQ(NativeText::encode(latin1), QByteArray("/srv/caf\xe9:1/"));
}

TEST(CommandLineTest, ReportRequestsNeedAFormatAFileAndAPath) {
    using Mode = Request::Mode;
    EXPECT_EQ(parseArguments({}).mode, Mode::Window);
    EXPECT_EQ(parseArguments({"/f", "/srv", "-v"}).mode, Mode::Window);
    for (const char *help : {"/?", "-h", "--help"})
        EXPECT_EQ(parseArguments({"/f", "/srv", help}).mode, Mode::Help) << help;
    EXPECT_EQ(parseArguments({"--version"}).mode, Mode::Version);

    const Request r = parseArguments({"/f", "/srv/my data", "/R=PDF", "/o:/tmp/a b:c.pdf"});
    EXPECT_EQ(r.mode, Mode::Report);
    EXPECT_EQ(r.scanPath, "/srv/my data/");
    EXPECT_EQ(r.reportFormat, 1);
    EXPECT_EQ(r.reportFile, "/tmp/a b:c.pdf");
    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "xlsx", "/o", "x"}).reportFormat, 4);
    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "text", "/o", "x"}).reportFormat, 3);

    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "xls", "/o", "x"}).error,
              "unknown report format \"xls\" (use html, pdf, csv, text or xlsx)");
    // The error is one line on standard error, whatever the format's text holds.
    EXPECT_EQ(errorLine(parseArguments({"/f", "/srv", "/r", "c\n\nsv\t", "/o", "x"}).error),
              "cairnmeter: unknown report format \"c??sv\" (use html, pdf, csv, text or xlsx)\n");
    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "csv"}).mode, Mode::Invalid);
    EXPECT_EQ(parseArguments({"/f", "/srv", "/o", "x"}).mode, Mode::Invalid);
    EXPECT_EQ(parseArguments({"/r", "csv", "/o", "x"}).mode, Mode::Invalid);
    EXPECT_EQ(parseArguments({"/f", "/a", "/i", "s.json", "/r", "csv", "/o", "x"}).mode,
              Mode::Invalid);
    const Request saved = parseArguments({"/i=/tmp/my scan.json", "/r", "html", "/o", "x"});
    EXPECT_EQ(saved.mode, Mode::Report);
    EXPECT_EQ(saved.scanFile, "/tmp/my scan.json");
    EXPECT_EQ(saved.scanPath, "");
    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "", "/o", "x"}).mode, Mode::Invalid);
    // The file name keeps its blanks, colons and equal signs.
    EXPECT_EQ(parseArguments({"/f", "/srv", "/r", "csv", "/o", "/tmp/x=1 2"}).reportFile,
              "/tmp/x=1 2");
}

// The word after a key is its value whatever it looks like: a folder named like an option is
// scanned, a file named like a key written; every key joins its value with "=" or ":".
TEST(CommandLineTest, TheWordAfterAKeyIsAlwaysItsValue) {
    using Mode = Request::Mode;
    struct Case {
        QStringList arguments;
        Mode mode;
        QString Request::*field;
        QString value;
    };
    const Case cases[] = {
        {{"/f", "--help"}, Mode::Window, &Request::scanPath, "--help/"},
        {{"/f", "-h", "/r", "csv", "/o", "x"}, Mode::Report, &Request::scanPath, "-h/"},
        {{"/F=/?", "/r", "csv", "/o", "x"}, Mode::Report, &Request::scanPath, "/?/"},
        {{"/f", "/o", "/r", "csv", "/o", "x"}, Mode::Report, &Request::scanPath, "/o/"},
        {{"/i", "--version", "/r", "csv", "/o", "x"},
         Mode::Report,
         &Request::scanFile,
         "--version"},
        {{"/i", "/f", "/r", "csv", "/o", "x"}, Mode::Report, &Request::scanFile, "/f"},
        {{"/f", "/srv", "/r", "csv", "/o", "--help"}, Mode::Report, &Request::reportFile, "--help"},
        {{"/f", "/srv", "/o", "/r", "/r", "csv"}, Mode::Report, &Request::reportFile, "/r"},
        {{"/f", "/srv", "/r", "-h", "/o", "x"},
         Mode::Invalid,
         &Request::error,
         "unknown report format \"-h\" (use html, pdf, csv, text or xlsx)"},
        {{"/f", "/srv", "/s", "--help"}, Mode::Report, &Request::saveFile, "--help"},
        {{"/f", "/srv", "/s=/tmp/my scan:1.json"},
         Mode::Report,
         &Request::saveFile,
         "/tmp/my scan:1.json"},
        {{"/f", "/srv", "/S:", "s.json"}, Mode::Report, &Request::saveFile, "s.json"},
        {{"/f", "/srv", "/c:/tmp/old=1.json", "/r", "csv", "/o", "x"},
         Mode::Report,
         &Request::compareFile,
         "/tmp/old=1.json"},
        {{"/f", "/srv", "/c", "/r", "/r", "csv", "/o", "x"},
         Mode::Report,
         &Request::compareFile,
         "/r"},
        // Not a value: asks for the usage as before.
        {{"/f", "/srv", "--help", "/r", "csv"}, Mode::Help, &Request::scanPath, ""},
        {{"/o", "x", "/?"}, Mode::Help, &Request::scanPath, ""},
    };
    for (const Case &c : cases) {
        const Request r = parseArguments(c.arguments);
        EXPECT_EQ(r.mode, c.mode) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(r.*c.field, c.value) << c.arguments.join(' ').toStdString();
        // The window reads the same path and saved scan from the joined line.
        if (c.mode == Mode::Window || c.mode == Mode::Report) {
            EXPECT_EQ(GetCmdLine(r.commandLine), r.scanPath);
            EXPECT_EQ(CommandLineGetValue(r.commandLine, "/i"), r.scanFile);
        }
    }
}
