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
    QByteArray body;
    if (!fetchBody(address, body))
        return false;
    response = QString::fromUtf8(body).trimmed();
    return !response.isEmpty();
}

void HttpFetch::abort() {
    if (m_reply)
        m_reply->abort();
}

bool HttpFetch::fetchBody(const QUrl &address, QByteArray &body) {
    if (!address.isValid())
        return false;
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
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        refused = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxBytes) {
            refused = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->read(MaxBytes + 1 - body.size());
        if (body.size() > MaxBytes) {
            refused = true;
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
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
    }
    if (!refused && reply->bytesAvailable() > 0)
        body += reply->read(MaxBytes + 1 - body.size());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = !refused && body.size() <= MaxBytes &&
                    reply->error() == QNetworkReply::NoError &&
                    (status == 0 || (status >= 200 && status < 300));
    m_reply = nullptr;
    reply->deleteLater();
    if (!ok)
        body.clear();
    return ok;
}
