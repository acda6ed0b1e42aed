#pragma once

#include <QHostAddress>
#include <QMap>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

/// A small HTTP/1.1 server on 127.0.0.1 for tests: answers GET requests from a table of paths,
/// runs on the test's own event loop (the fetch's local loop drives it), and can stay silent.
class LocalHttpServer : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        bool silent = false;    ///< accept the request and never answer
        bool withLength = true; ///< send Content-Length (else the body ends when the line closes)
    };
    QMap<QString, Answer> answers; ///< by path; others get a 404 page
    QStringList requested;         ///< every path asked for, in order

    LocalHttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::accept);
    }
    bool isListening() const { return m_server.isListening(); }
    QString baseUrl() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void serve(const QString &path, const QByteArray &body) { answers[path].body = body; }

private:
    QTcpServer m_server;

    void accept() {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { handle(socket); });
        }
    }

    void handle(QTcpSocket *socket) {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
        requested << path;
        Answer answer = answers.value(path, Answer{404, "<html><body>Not Found</body></html>"});
        if (answer.silent)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) +
                           (answer.status == 200 ? " OK" : " Error") +
                           "\r\nContent-Type: text/plain\r\nConnection: close\r\n";
        if (answer.withLength)
            reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        socket->write(reply + "\r\n" + answer.body);
        socket->disconnectFromHost();
    }
};
