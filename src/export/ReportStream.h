#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

/// A report file written through a large buffer: texts go in as UTF-8, and any failure to
/// write the file is thrown as std::system_error with the file's name.
class ReportStream {
public:
    /// Writes to `out`, an open, unbuffered device (so errno tells why a write failed);
    /// `fileName` names it in errors.
    ReportStream(QIODevice &out, const QString &fileName);
    ~ReportStream() = default;
    ReportStream(const ReportStream &) = delete;
    ReportStream &operator=(const ReportStream &) = delete;

    void write(QStringView text);
    void write(QLatin1StringView text);
    void write(char c) {
        m_buffer.append(c);
        spill();
    }
    /// Writes what is buffered; the device stays open for its owner.
    void close();

private:
    QIODevice &m_out;
    QString m_fileName;
    QByteArray m_buffer;

    void spill() {
        if (m_buffer.size() >= FlushAt)
            flush();
    }
    void flush();
    [[noreturn]] void fail(const char *what);

    static constexpr qsizetype FlushAt = 1 << 20;
};
