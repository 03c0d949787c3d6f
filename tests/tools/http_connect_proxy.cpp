#include "http_connect_proxy.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace brisquel::test {

HttpConnectProxy::HttpConnectProxy(const QHostAddress& outgoing, QObject* parent)
    : QObject(parent)
    , m_outgoing(outgoing)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &HttpConnectProxy::onConnection);
}

bool HttpConnectProxy::listen()
{
    return m_listener.listen(QHostAddress::LocalHost);
}

void HttpConnectProxy::onConnection()
{
    while (QTcpSocket* client = m_listener.nextPendingConnection()) {
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        auto* server = new QTcpSocket(client);
        connect(client, &QTcpSocket::readyRead, this, [this, client, server] {
            if (server->state() != QAbstractSocket::UnconnectedState) {
                if (server->state() == QAbstractSocket::ConnectedState)
                    server->write(client->readAll());
                return;
            }
            // The request head, then the tunnel.
            const QByteArray head = client->peek(8192);
            const qsizetype end = head.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            client->read(end + 4);
            const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
            const qsizetype colon = words.value(1).lastIndexOf(':');
            if (words.size() != 3 || words.at(0) != "CONNECT" || colon < 0) {
                client->write("HTTP/1.1 400 Bad Request\r\n\r\n");
                client->disconnectFromHost();
                return;
            }
            if (m_forbidden) {
                client->write("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
                client->disconnectFromHost();
                return;
            }
            if (++m_tunnels == m_dieAfter)
                QTimer::singleShot(m_dieDelayMs, this, &HttpConnectProxy::die);
            server->bind(m_outgoing);
            server->connectToHost(QString::fromLatin1(words.at(1).left(colon)),
                                  words.at(1).mid(colon + 1).toUShort());
        });
        connect(server, &QTcpSocket::connected, client, [client, server] {
            client->write("HTTP/1.1 200 Connection established\r\n\r\n");
            if (client->bytesAvailable() > 0)
                server->write(client->readAll());
        });
        connect(server, &QTcpSocket::readyRead, client,
                [client, server] { client->write(server->readAll()); });
        connect(server, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
        connect(server, &QTcpSocket::errorOccurred, client, [client, server](QAbstractSocket::SocketError) {
            if (server->state() != QAbstractSocket::ConnectedState && client->bytesToWrite() == 0 &&
                client->state() == QAbstractSocket::ConnectedState)
                client->write("HTTP/1.1 502 Bad Gateway\r\n\r\n");
            client->disconnectFromHost();
        });
        connect(client, &QTcpSocket::disconnected, server, [server] { server->disconnectFromHost(); });
    }
}

void HttpConnectProxy::die()
{
    m_listener.close();
    for (QTcpSocket* client : m_listener.findChildren<QTcpSocket*>())
        client->disconnectFromHost();
}

} // namespace brisquel::test
