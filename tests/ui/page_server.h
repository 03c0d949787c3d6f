#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <functional>
#include <utility>

namespace brisquel::test {

// Web pages on 127.0.0.1 for the windows with a web engine: HTTP/1.0, one request per
// connection, each answered by the function the test gives.
class PageServer : public QObject
{
public:
    struct Reply
    {
        QByteArray body;
        QByteArray status = "200 OK";
    };
    static Reply notFound() { return {QByteArray(), "404 Not Found"}; }

    // The reply to a request for the whole address `request`, this server's included.
    using Pages = std::function<Reply(const QUrl& request)>;

    explicit PageServer(Pages pages)
        : m_pages(std::move(pages))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString address(const char* path = "") const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }
    QUrl url(const char* path) const { return QUrl(address(path)); }

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->peek(socket->bytesAvailable());
        if (!request.contains("\r\n\r\n"))
            return;
        const Reply reply = m_pages(QUrl(address() + QString::fromLatin1(request.split(' ').value(1))));
        socket->write("HTTP/1.0 " + reply.status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                      QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    Pages m_pages;
    QTcpServer m_server;
};

} // namespace brisquel::test
