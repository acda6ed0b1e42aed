#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

/// A report file written through a large buffer: texts go in as UTF-8, and any failure to
/// create or write the file is thrown as std::system_error with the file's name.
class ReportStream {
public:
    /// Creates or truncates the file.
    explicit ReportStream(const QString &fileName);
    ~ReportStream();
    ReportStream(const ReportStream &) = delete;
    ReportStream &operator=(const ReportStream &) = delete;

    void write(QStringView text);
    void write(QLatin1StringView text);
    void write(char c) {
        m_buffer.append(c);
        spill();
    }
    /// Writes what is buffered and closes the file.
    void close();

private:
    QFile m_file;
    QByteArray m_buffer;

    void spill() {
        if (m_buffer.size() >= FlushAt)
            flush();
    }
    void flush();
    [[noreturn]] void fail(const char *what);

    static constexpr qsizetype FlushAt = 1 << 20;
};
