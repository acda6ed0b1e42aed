#include "FilePattern.h"

#include <QStringList>

namespace {

// Wildcard match with one backtrack point: on a mismatch, let the last "*" swallow one more
// character. Linear in practice and never exponential.
template <typename Ch, typename Eq>
bool wildMatch(const Ch *p, std::size_t pn, const Ch *s, std::size_t sn, Ch star, Ch any, Eq eq) {
    std::size_t pi = 0, si = 0, starP = std::size_t(-1), starS = 0;
    while (si < sn) {
        if (pi < pn && p[pi] == star) {
            starP = pi++;
            starS = si;
        } else if (pi < pn && (p[pi] == any || eq(p[pi], s[si]))) {
            ++pi;
            ++si;
        } else if (starP != std::size_t(-1)) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < pn && p[pi] == star)
        ++pi;
    return pi == pn;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool isAscii(const char *s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

} // namespace

FilePattern::FilePattern(const QString &pattern) {
    for (const QString &piece : pattern.split(u';')) {
        const QString wildcard = piece.trimmed();
        if (wildcard.isEmpty())
            continue;
        if (wildcard == AllFiles || wildcard.count(u'*') == wildcard.size())
            m_all = true;
        Wildcard s;
        s.folded = wildcard.toCaseFolded();
        bool ascii = true;
        for (QChar c : wildcard)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            s.ascii = wildcard.toLatin1().toLower();
        m_wildcards.push_back(std::move(s));
    }
}

bool FilePattern::matches(const char *name, std::size_t length) const {
    if (m_all)
        return true;
    if (!isAscii(name, length))
        return matches(QString::fromUtf8(name, static_cast<qsizetype>(length)));
    for (const Wildcard &s : m_wildcards) {
        if (s.ascii.isEmpty()) {
            // Folding can turn a non-ASCII pattern character into an ASCII one (the Kelvin sign).
            if (matchFolded(s, QString::fromLatin1(name, static_cast<qsizetype>(length))))
                return true;
        } else if (wildMatch(s.ascii.constData(), static_cast<std::size_t>(s.ascii.size()), name,
                             length, '*', '?', [](char a, char b) { return a == lowerAscii(b); })) {
            return true;
        }
    }
    return false;
}

bool FilePattern::matches(const QString &name) const {
    if (m_all)
        return true;
    for (const Wildcard &s : m_wildcards)
        if (matchFolded(s, name))
            return true;
    return false;
}

bool FilePattern::matchFolded(const Wildcard &wildcard, const QString &name) {
    const QString folded = name.toCaseFolded();
    return wildMatch(wildcard.folded.constData(), static_cast<std::size_t>(wildcard.folded.size()),
                     folded.constData(), static_cast<std::size_t>(folded.size()), QChar(u'*'),
                     QChar(u'?'), [](QChar a, QChar b) { return a == b; });
}
