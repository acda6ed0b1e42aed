#include "NativeText.h"

namespace NativeText {

namespace {

constexpr char16_t EscapeBase = 0xdc00;

// Length of the valid UTF-8 sequence starting at `i`, or 0 when the byte there starts none
// (overlong forms, surrogates and code points above U+10FFFF are not valid).
qsizetype sequenceLength(QByteArrayView b, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(b[k]); };
    const unsigned char c = at(i);
    if (c < 0x80)
        return 1;
    qsizetype n;
    unsigned char lo = 0x80, hi = 0xbf;
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        if (c == 0xe0)
            lo = 0xa0;
        else if (c == 0xed)
            hi = 0x9f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        if (c == 0xf0)
            lo = 0x90;
        else if (c == 0xf4)
            hi = 0x8f;
    } else {
        return 0;
    }
    if (i + n > b.size())
        return 0;
    if (at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (qsizetype k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xbf)
            return 0;
    return n;
}

} // namespace

QString decode(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0, run = 0; // run: start of the pending valid stretch
    while (i < bytes.size()) {
        const qsizetype n = sequenceLength(bytes, i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(bytes.sliced(run, i - run));
        out += QChar(static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(bytes[i])));
        run = ++i;
    }
    out += QString::fromUtf8(bytes.sliced(run));
    return out;
}

QByteArray encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // a valid pair
            continue;
        }
        if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xff) {
            out += text.sliced(run, i - run).toUtf8();
            out += static_cast<char>(u - EscapeBase);
            run = i + 1;
        }
    }
    out += text.sliced(run).toUtf8();
    return out;
}

} // namespace NativeText
