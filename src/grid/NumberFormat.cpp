#include "NumberFormat.h"

#include "ExactDecimal.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The text being built: on the stack, so a call allocates only the QString it returns.
class Out {
public:
    Out &operator+=(QChar c) {
        m_buf.append(c);
        return *this;
    }
    Out &operator+=(QStringView s) {
        m_buf.append(s.data(), s.size());
        return *this;
    }
    Out &operator+=(QLatin1StringView s) {
        for (char c : s)
            m_buf.append(QLatin1Char(c));
        return *this;
    }
    QString toString() const { return QString(m_buf.constData(), m_buf.size()); }

private:
    QVarLengthArray<QChar, 64> m_buf;
};

struct Token {
    enum Kind : char { Zero, Hash, Literal };
    Kind kind;
    QString text;
};

struct Section {
    std::vector<Token> integer;  // tokens before the decimal point
    std::vector<Token> fraction; // tokens after it
    int integerPlaces = 0;
    int minIntegerDigits = 0; // from the first "0" place on
    int decimals = 0;
    int minDecimals = 0; // up to the last "0" place
    int shift = 0;       // power of ten applied first: +2 per "%", -3 per scaling comma
    bool grouping = false;
    bool plain = false; // shortest form, no picture
    bool empty = false;
};

Section parseSection(QStringView text) {
    Section s;
    s.empty = text.isEmpty();
    if (s.empty || text.compare(u"General", Qt::CaseInsensitive) == 0 ||
        text.compare(u"General Number", Qt::CaseInsensitive) == 0) {
        s.plain = true;
        return s;
    }
    bool inFraction = false, seenPlace = false;
    int pendingCommas = 0;
    auto tokens = [&]() -> std::vector<Token> & { return inFraction ? s.fraction : s.integer; };
    auto literal = [&](QStringView t) {
        auto &v = tokens();
        if (!v.empty() && v.back().kind == Token::Literal)
            v.back().text += t;
        else
            v.push_back({Token::Literal, t.toString()});
    };
    // Commas right after the last integer place scale the value down by 1000 each.
    auto settleCommas = [&] {
        if (seenPlace)
            s.shift -= 3 * pendingCommas;
        pendingCommas = 0;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (text[i].unicode()) {
        case u'"': {
            qsizetype end = text.indexOf(u'"', i + 1);
            if (end < 0)
                end = text.size();
            literal(text.sliced(i + 1, end - i - 1));
            i = end;
            break;
        }
        case u'\\':
            if (i + 1 < text.size())
                literal(text.sliced(++i, 1));
            break;
        case u'0':
        case u'#':
            if (!inFraction && pendingCommas > 0)
                s.grouping = true;
            pendingCommas = 0; // a comma between decimal places means nothing
            tokens().push_back({text[i] == u'0' ? Token::Zero : Token::Hash, {}});
            seenPlace = true;
            break;
        case u'.':
            if (inFraction) {
                literal(u".");
            } else {
                settleCommas();
                inFraction = true;
            }
            break;
        case u',':
            ++pendingCommas;
            break;
        case u'%':
            s.shift += 2;
            literal(u"%");
            break;
        default:
            literal(text.sliced(i, 1));
        }
    }
    settleCommas();

    auto places = [](const std::vector<Token> &v, int &count, int &firstZero, int &lastZero) {
        count = 0;
        firstZero = lastZero = -1;
        for (const Token &t : v) {
            if (t.kind == Token::Literal)
                continue;
            if (t.kind == Token::Zero) {
                if (firstZero < 0)
                    firstZero = count;
                lastZero = count;
            }
            ++count;
        }
    };
    int firstZero, lastZero;
    places(s.fraction, s.decimals, firstZero, lastZero);
    s.minDecimals = lastZero + 1;
    places(s.integer, s.integerPlaces, firstZero, lastZero);
    if (s.integerPlaces == 0 && s.decimals > 0) {
        // ".00" still shows the integer digits of 12.5, just before the point.
        s.integer.push_back({Token::Hash, {}});
        s.integerPlaces = 1;
    }
    s.minIntegerDigits = firstZero < 0 ? 0 : s.integerPlaces - firstZero;
    return s;
}

// Splits on ";" outside quotes and escapes; at most three sections count.
std::vector<Section> parsePicture(QStringView picture) {
    std::vector<Section> sections;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= picture.size() && sections.size() < 3; ++i) {
        if (i == picture.size() || (!quoted && picture[i] == u';')) {
            sections.push_back(parseSection(picture.sliced(start, i - start)));
            start = i + 1;
        } else if (picture[i] == u'"') {
            quoted = !quoted;
        } else if (!quoted && picture[i] == u'\\' && i + 1 < picture.size()) {
            ++i;
        }
    }
    return sections;
}

QString expandNamed(const QString &picture) {
    if (picture.compare(u"Fixed", Qt::CaseInsensitive) == 0)
        return QStringLiteral("0.00");
    if (picture.compare(u"Standard", Qt::CaseInsensitive) == 0)
        return QStringLiteral("#,##0.00");
    if (picture.compare(u"Percent", Qt::CaseInsensitive) == 0)
        return QStringLiteral("0.00%");
    return picture;
}

} // namespace

struct NumberFormat::Parsed {
    std::vector<Section> sections; // one to three; the first is never missing
    QString group;
    QString decimal;

    QString format(const ExactDecimal &value) const;
    void appendZero(Out &out) const;
    void appendPlain(Out &out, const ExactDecimal &value) const;
    void appendSection(Out &out, const Section &s, const ExactDecimal &m) const;
};

QString NumberFormat::Parsed::format(const ExactDecimal &value) const {
    Out out;
    if (value.isZero()) {
        appendZero(out);
        return out.toString();
    }
    const Section *s = &sections[0];
    bool minus = false;
    if (value.negative) {
        if (sections.size() > 1 && !sections[1].empty)
            s = &sections[1];
        else
            minus = true;
    }
    ExactDecimal m = value;
    m.negative = false;
    if (s->plain) {
        if (minus)
            out += u'-';
        appendPlain(out, m);
        return out.toString();
    }
    m.exponent += s->shift;
    m.roundTo(s->decimals);
    // Whatever shows as zero is shown as zero: no "-0.00", no "(0.00)".
    if (m.isZero())
        appendZero(out);
    else {
        if (minus)
            out += u'-';
        appendSection(out, *s, m);
    }
    return out.toString();
}

void NumberFormat::Parsed::appendZero(Out &out) const {
    const Section &s = sections.size() > 2 && !sections[2].empty ? sections[2] : sections[0];
    if (s.plain)
        out += u'0';
    else
        appendSection(out, s, ExactDecimal{});
}

void NumberFormat::Parsed::appendPlain(Out &out, const ExactDecimal &m) const {
    if (m.isZero()) {
        out += u'0';
        return;
    }
    const int intDigits = m.integerDigits();
    const int leadingPower = intDigits - 1;
    if (leadingPower >= 21 || leadingPower < -7) {
        out += QLatin1Char(m.digits[0]);
        if (m.count > 1) {
            out += decimal;
            out += QLatin1StringView(m.digits.data() + 1, m.count - 1);
        }
        out += QLatin1StringView(leadingPower < 0 ? "E-" : "E+");
        out += QString::number(std::abs(leadingPower));
        return;
    }
    if (intDigits <= 0) {
        out += u'0';
        out += decimal;
        for (int i = intDigits; i < 0; ++i)
            out += u'0';
        out += QLatin1StringView(m.digits.data(), m.count);
        return;
    }
    for (int i = 0; i < intDigits; ++i)
        out += QLatin1Char(m.digitAt(i));
    if (m.count > intDigits) {
        out += decimal;
        out += QLatin1StringView(m.digits.data() + intDigits, m.count - intDigits);
    }
}

void NumberFormat::Parsed::appendSection(Out &out, const Section &s, const ExactDecimal &m) const {
    const int intLen = std::max(m.integerDigits(), 0);
    const int len = std::max(intLen, s.minIntegerDigits);
    const int pad = len - intLen;
    auto emitDigit = [&](int i) {
        out += QLatin1Char(i < pad ? '0' : m.digitAt(i - pad));
        const int fromRight = len - 1 - i;
        if (s.grouping && fromRight > 0 && fromRight % 3 == 0)
            out += group;
    };
    int place = 0;
    for (const Token &t : s.integer) {
        if (t.kind == Token::Literal) {
            out += t.text;
            continue;
        }
        const int fromRight = s.integerPlaces - 1 - place; // the digit this place stands for
        if (place == 0) {
            for (int i = 0; i < len - fromRight; ++i) // the first place takes any extra digits
                emitDigit(i);
        } else if (fromRight < len) {
            emitDigit(len - 1 - fromRight);
        }
        ++place;
    }
    const int first = m.integerDigits(); // index of the first decimal digit
    int shown = s.decimals;
    while (shown > s.minDecimals && m.digitAt(first + shown - 1) == '0')
        --shown;
    if (shown > 0)
        out += decimal;
    place = 0;
    for (const Token &t : s.fraction) {
        if (t.kind == Token::Literal)
            out += t.text;
        else if (place++ < shown)
            out += QLatin1Char(m.digitAt(first + place - 1));
    }
}

NumberFormat::NumberFormat(const QString &picture, const QLocale &locale)
    : m_picture(picture), m_locale(locale) {
    auto parsed = std::make_shared<Parsed>();
    parsed->sections = parsePicture(expandNamed(picture));
    parsed->group = locale.groupSeparator();
    parsed->decimal = locale.decimalPoint();
    m_parsed = std::move(parsed);
}

QString NumberFormat::formatFixed(FixedRaw tenThousandths) const {
    return m_parsed->format(ExactDecimal::fromFixed(tenThousandths));
}

QString NumberFormat::formatDouble(double value) const {
    if (!std::isfinite(value))
        return m_locale.toString(value);
    return m_parsed->format(ExactDecimal::fromDouble(value));
}

QString NumberFormat::formatText(QStringView text) const {
    ExactDecimal d;
    if (!ExactDecimal::parse(text, m_parsed->decimal, d))
        return text.toString();
    return m_parsed->format(d);
}

QString NumberFormat::apply(const QString &picture, double value, const QLocale &locale) {
    return NumberFormat(picture, locale).formatDouble(value);
}
