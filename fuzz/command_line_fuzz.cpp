// The command-line parser: any text splits into at most the tokens asked for, and a path
// joined into a command line as the program's arguments are reaches the parser whole.
#include "CommandLine.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const int maxArgs = data[0] % 8;
    const QString text = fuzzText(data + 1, size - 1);
    FUZZ_CHECK(CommandLine::ParseKeyValueString(text, maxArgs).size() <= maxArgs);
    (void)CommandLine::ParseKeyValueString(text, 1000);
    (void)CommandLine::CommandLineGetValue(text, QStringLiteral("/f"));
    (void)CommandLine::GetCmdLine(text);

    // An argument that is itself the key, or the key joined to a value ("/f=x", "/F:x"), is
    // taken as such (see joinArguments); any other reaches the parser whole.
    const bool key = text.size() >= 2 && text[0] == u'/' && text[1].toLower() == u'f' &&
                     (text.size() == 2 || text[2] == u'=' || text[2] == u':');
    if (!text.isEmpty() && !key) {
        const QString joined = CommandLine::joinArguments({QStringLiteral("/f"), text});
        FUZZ_CHECK(CommandLine::CommandLineGetValue(joined, QStringLiteral("/f")) == text);
        const QString keyJoined = CommandLine::joinArguments({QStringLiteral("/f=") + text});
        FUZZ_CHECK(CommandLine::CommandLineGetValue(keyJoined, QStringLiteral("/F")) == text);
    }
    return 0;
}
