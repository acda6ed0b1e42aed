#include "HttpFetch.h"

#include "ReleaseVersion.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

bool HttpFetch::CheckForFile(const QUrl &address, QString &response) {
    response.clear();
    if (isBusy())
        return false; // one fetch at a time; a nested request would wait inside the first
    m_failureReason.clear();
    QByteArray body;
    if (!fetchBody(address, body))
        return false;
    response = QString::fromUtf8(body).trimmed();
    if (response.isEmpty())
        m_failureReason = QStringLiteral("The server sent an empty file.");
    return !response.isEmpty();
}

void HttpFetch::abort() {
    if (m_reply)
        m_reply->abort();
}

bool HttpFetch::fetchBody(const QUrl &address, QByteArray &body) {
    if (!address.isValid()) {
        m_failureReason = QStringLiteral("The address is not valid.");
        return false;
    }
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Cairnmeter/") + ReleaseVersion::program().text());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_manager.get(request);
    m_reply = reply;
    // Buffer no more than one byte past the limit; a larger body is refused anyway.
    reply->setReadBufferSize(MaxBytes + 1);

    bool refused = false;
    QString refusal;
    const QString tooLarge =
        QStringLiteral("The answer was larger than %1 KB.").arg(MaxBytes / 1024);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        refused = true;
        refusal = QStringLiteral("The server did not answer within %1 seconds.")
                      .arg(m_timeoutMs / 1000.0);
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxBytes) {
            refused = true;
            refusal = tooLarge;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->read(MaxBytes + 1 - body.size());
        if (body.size() > MaxBytes) {
            refused = true;
            refusal = tooLarge;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    // The loop also ends when the application quits; an unfinished transfer has failed.
    if (!reply->isFinished()) {
        refused = true;
        refusal = QStringLiteral("The transfer was cut short.");
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
    }
    if (!refused && reply->bytesAvailable() > 0)
        body += reply->read(MaxBytes + 1 - body.size());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = !refused && body.size() <= MaxBytes &&
                    reply->error() == QNetworkReply::NoError &&
                    (status == 0 || (status >= 200 && status < 300));
    if (!ok) {
        if (!refusal.isEmpty())
            m_failureReason = refusal;
        else if (refused || reply->error() == QNetworkReply::OperationCanceledError)
            m_failureReason = QStringLiteral("The check was cancelled.");
        else if (status != 0 && (status < 200 || status >= 300))
            m_failureReason =
                QStringLiteral("The server answered with HTTP status %1 %2.")
                    .arg(status)
                    .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                    .replace(QStringLiteral(" ."), QStringLiteral("."));
        else
            m_failureReason = reply->errorString() + u'.';
        body.clear();
    }
    m_reply = nullptr;
    reply->deleteLater();
    return ok;
}
