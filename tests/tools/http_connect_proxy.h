#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace brisquel::test {

// An HTTP CONNECT proxy on 127.0.0.1 for tests: "CONNECT host:port HTTP/1.1", then the bytes both
// ways. Its outgoing connections leave from `outgoing` (127.0.0.2, say), so that the server behind
// it can tell it from the client.
class HttpConnectProxy : public QObject
{
    Q_OBJECT
public:
    explicit HttpConnectProxy(const QHostAddress& outgoing, QObject* parent = nullptr);

    bool listen();
    quint16 port() const { return m_listener.serverPort(); }
    QString url() const { return QStringLiteral("http://127.0.0.1:") + QString::number(port()); }
    int tunnelCount() const { return m_tunnels; }
    // Answers every CONNECT with "403 Forbidden", as a proxy that does not let us through.
    void setForbidden(bool forbidden) { m_forbidden = forbidden; }
    // Once `count` tunnels were opened, the proxy goes away `afterMs` later: it stops listening and
    // closes every open tunnel in an orderly way (its clients see the end of the stream).
    void dieAfterTunnels(int count, int afterMs)
    {
        m_dieAfter = count;
        m_dieDelayMs = afterMs;
    }

private:
    void onConnection();

    QTcpServer m_listener;
    QHostAddress m_outgoing;
    void die();

    int m_tunnels = 0;
    bool m_forbidden = false;
    int m_dieAfter = 0;
    int m_dieDelayMs = 0;
};

} // namespace brisquel::test
