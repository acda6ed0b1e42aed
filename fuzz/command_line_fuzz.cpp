// The command-line parser: any text splits into at most the tokens asked for, a path joined
// into a command line as the program's arguments are reaches the parser whole, and any list of
// arguments is read into a request that can be carried out or says in one line why not.
#include "CommandLine.h"
#include "FuzzInput.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const int maxArgs = data[0] % 8;
    const QString text = fuzzText(data + 1, size - 1);
    FUZZ_CHECK(CommandLine::ParseKeyValueString(text, maxArgs).size() <= maxArgs);
    (void)CommandLine::ParseKeyValueString(text, 1000);
    (void)CommandLine::CommandLineGetValue(text, QStringLiteral("/f"));
    (void)CommandLine::GetCmdLine(text);

    // An argument that is itself a key that takes a value (/f, /i, /o, /r, /s, /c), or such a key
    // joined to a value ("/f=x", "/R:x"), is taken as such (see joinArguments); any other reaches
    // the parser whole.
    const bool key = text.size() >= 2 && text[0] == u'/' &&
                     QStringLiteral("fiorsc").contains(text[1].toLower()) &&
                     (text.size() == 2 || text[2] == u'=' || text[2] == u':');
    if (!text.isEmpty() && !key) {
        const QString joined = CommandLine::joinArguments({QStringLiteral("/f"), text});
        FUZZ_CHECK(CommandLine::CommandLineGetValue(joined, QStringLiteral("/f")) == text);
        const QString keyJoined = CommandLine::joinArguments({QStringLiteral("/f=") + text});
        FUZZ_CHECK(CommandLine::CommandLineGetValue(keyJoined, QStringLiteral("/F")) == text);
    }

    // The input's NUL bytes separate arguments.
    QStringList arguments;
    for (const QByteArray &a : fuzzBytes(data + 1, size - 1).split('\0'))
        arguments << QString::fromUtf8(a);
    const CommandLine::Request request = CommandLine::parseArguments(arguments);
    using Mode = CommandLine::Request::Mode;
    if (request.mode == Mode::Report) {
        // Either a report (a known format and a file for it) or only a saved scan ("/s FILE").
        if (request.reportFormat == -1)
            FUZZ_CHECK(request.reportFile.isEmpty() && !request.saveFile.isEmpty());
        else
            FUZZ_CHECK(request.reportFormat >= 0 && request.reportFormat <= 4 &&
                       !request.reportFile.isEmpty());
        FUZZ_CHECK(!request.scanPath.isEmpty() || !request.scanFile.isEmpty());
    }
    if (request.mode == Mode::Invalid)
        FUZZ_CHECK(!request.error.isEmpty() &&
                   CommandLine::errorLine(request.error).count('\n') == 1);
    return 0;
}
