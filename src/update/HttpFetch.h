#pragma once

#include <QNetworkAccessManager>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkReply;

/// A blocking HTTP GET for the small release files. The caller waits in a local event loop
/// that paints windows but holds back user input, so the window stays drawn and nothing the
/// user does can run meanwhile. Any failure (no connection, an error status, the time-out, a
/// response larger than the limit, an abort) gives an empty body.
class HttpFetch {
public:
    static constexpr int DefaultTimeoutMs = 15000;
    /// Larger responses are refused: release files are a few lines long.
    static constexpr qint64 MaxBytes = 64 * 1024;

    /// Fetches `address`; `response` gets the body trimmed of blanks at both ends. True when
    /// the fetch succeeded and the trimmed body is not empty.
    bool CheckForFile(const QUrl &address, QString &response);

    /// Why the last fetch failed, in plain words ("Host ... not found", the time-out, the HTTP
    /// status); empty after a fetch that succeeded.
    const QString &failureReason() const { return m_failureReason; }

    /// Ends a running fetch as failed (from an event handled while it waits).
    void abort();
    bool isBusy() const { return !m_reply.isNull(); }

    /// The longest a whole fetch may take, from the request to the last byte.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }

private:
    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    int m_timeoutMs = DefaultTimeoutMs;
    QString m_failureReason;

    bool fetchBody(const QUrl &address, QByteArray &body);
};
