// Number-format pictures: any picture formats any number without failing, and a fixed-point
// value shows the same whether given as a value or as its text.
#include "Fixed.h"
#include "FuzzInput.h"
#include "NumberFormat.h"

#include <QLocale>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France)};
    const QLocale &locale = locales[data[0] % 3];
    // The picture, then a NUL, then the number's text.
    const QByteArray rest = fuzzBytes(data + 1, size - 1);
    const qsizetype nul = rest.indexOf('\0');
    const QString picture = QString::fromUtf8(nul < 0 ? rest : rest.left(nul));
    const QString number = nul < 0 ? QString() : QString::fromUtf8(rest.mid(nul + 1));
    const NumberFormat format(picture, locale);

    const QString shown = format.formatText(number);
    FUZZ_CHECK(shown.size() < 100000);

    FixedRaw raw = 0;
    std::memcpy(&raw, rest.constData(), std::min<std::size_t>(sizeof raw, rest.size()));
    raw %= Fixed::MaxRaw + 1;
    const Fixed value = Fixed::fromRaw(raw);
    FUZZ_CHECK(format.formatFixed(raw) == format.formatText(value.text(u'.')));

    double d = 0;
    std::memcpy(&d, rest.constData(), std::min<std::size_t>(sizeof d, rest.size()));
    FUZZ_CHECK(format.formatDouble(d).size() < 100000);
    return 0;
}
