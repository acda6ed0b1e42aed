#include "ReportStream.h"

#include <cerrno>
#include <system_error>

ReportStream::ReportStream(QIODevice &out, const QString &fileName)
    : m_out(out), m_fileName(fileName) {
    m_buffer.reserve(FlushAt + 4096);
}

void ReportStream::write(QStringView text) {
    // Most texts of a report are ASCII: those are copied without an intermediate string.
    const qsizetype at = m_buffer.size();
    m_buffer.resize(at + text.size());
    char *out = m_buffer.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            // Names that were not valid UTF-8 on disk reach here with replacement characters,
            // so the encoded text is always valid UTF-8.
            m_buffer.resize(at + i);
            m_buffer.append(text.sliced(i).toUtf8());
            break;
        }
        out[i] = static_cast<char>(c);
    }
    spill();
}

void ReportStream::write(QLatin1StringView text) {
    m_buffer.append(text.data(), text.size());
    spill();
}

void ReportStream::flush() {
    if (m_buffer.isEmpty())
        return;
    errno = 0;
    if (m_out.write(m_buffer) != m_buffer.size())
        fail("Could not write ");
    m_buffer.resize(0);
}

void ReportStream::close() {
    flush();
}

void ReportStream::fail(const char *what) {
    const int code = errno != 0 ? errno : EIO;
    const std::string message = what + m_fileName.toStdString();
    throw std::system_error(code, std::generic_category(), message);
}
