// The INI reader: any file reads, and comes back byte for byte when nothing is changed; a
// value written reads back, also from the file written, and is gone once removed.
#include "FuzzInput.h"
#include "IniDocument.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    IniDocument doc(bytes);
    FUZZ_CHECK(doc.bytes() == bytes);

    // Names from the file itself are looked up as the settings catalogue would.
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size() && i < 16; ++i) {
        const QByteArray &line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            (void)doc.value(QStringLiteral("Scan"), QString::fromUtf8(line.left(eq)));
    }
    (void)doc.value(QStringLiteral("Appearance"), QStringLiteral("Object_Size"));

    const QString value = QStringLiteral("v ") + QString::number(size);
    doc.setValue(QStringLiteral("Fuzz"), QStringLiteral("Key"), value);
    FUZZ_CHECK(doc.value(QStringLiteral("fuzz"), QStringLiteral("KEY")) == value);
    const IniDocument reread(doc.bytes());
    FUZZ_CHECK(reread.value(QStringLiteral("Fuzz"), QStringLiteral("Key")) == value);
    FUZZ_CHECK(reread.bytes() == doc.bytes());
    doc.removeKey(QStringLiteral("Fuzz"), QStringLiteral("Key"));
    FUZZ_CHECK(!doc.value(QStringLiteral("Fuzz"), QStringLiteral("Key")).has_value());
    doc.removeSection(QStringLiteral("Scan"));
    FUZZ_CHECK(!doc.value(QStringLiteral("Scan"), QStringLiteral("Recurse_Subfolders")));
    return 0;
}
