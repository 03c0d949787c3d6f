#include "proxy_probe.h"

#include "engine/lookup/whois_lookup.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace brisquel {

struct ProxyProbe::Probe
{
    QTcpSocket socket;
    QTimer timer;
};

ProxyProbe::ProxyProbe(QObject* parent)
    : QObject(parent)
{}

ProxyProbe::~ProxyProbe()
{
    cancelAll();
}

void ProxyProbe::check(int index, const ProxyEntry& proxy, int timeoutMs)
{
    if (isChecking(index))
        return;
    auto probe = std::make_unique<Probe>();
    Probe* raw = probe.get();
    m_probes.emplace(index, std::move(probe));
    raw->socket.setProxy(QNetworkProxy::NoProxy);
    raw->timer.setSingleShot(true);
    const bool socks = proxy.type == QNetworkProxy::Socks5Proxy;
    connect(&raw->socket, &QTcpSocket::connected, this, [raw, socks, withLogin = !proxy.user.isEmpty()] {
        // The greeting offers "no login" (and "user and password" when one is set); the proxy's own
        // two-byte choice comes back before it goes anywhere.
        if (socks)
            raw->socket.write(withLogin ? QByteArray("\x05\x02\x00\x02", 4) : QByteArray("\x05\x01\x00", 3));
        else
            raw->socket.write("OPTIONS * HTTP/1.1\r\nHost: proxy\r\nConnection: close\r\n\r\n");
    });
    connect(&raw->socket, &QTcpSocket::readyRead, this, [this, index, raw, socks] {
        const QByteArray head = raw->socket.peek(2);
        if (socks && head.size() < 2)
            return;
        if (socks && head.at(0) != 5)
            conclude(index, false, QStringLiteral("not a SOCKS5 proxy"));
        else
            conclude(index, true, QString());
    });
    connect(&raw->socket, &QTcpSocket::errorOccurred, this, [this, index, raw](QAbstractSocket::SocketError error) {
        conclude(index, false,
                 error == QAbstractSocket::RemoteHostClosedError
                     ? QStringLiteral("it closed the connection without a word")
                     : connectFailure(error, raw->socket.errorString()));
    });
    connect(&raw->timer, &QTimer::timeout, this, [this, index, raw] {
        conclude(index, false,
                 raw->socket.state() == QAbstractSocket::ConnectedState
                     ? QStringLiteral("it took the connection and said nothing")
                     : connectFailure(QAbstractSocket::SocketTimeoutError, QString()));
    });
    raw->timer.start(std::max(1, timeoutMs));
    raw->socket.connectToHost(proxy.host, proxy.port);
}

void ProxyProbe::cancelAll()
{
    for (auto& [index, probe] : m_probes) {
        probe->socket.disconnect(this);
        probe->timer.disconnect(this);
        probe->socket.abort();
        // Deleted later: this may run inside one of its signals.
        QTimer::singleShot(0, [leftover = std::shared_ptr<Probe>(probe.release())] {});
    }
    m_probes.clear();
}

void ProxyProbe::conclude(int index, bool alive, const QString& why)
{
    const auto found = m_probes.find(index);
    if (found == m_probes.end())
        return;
    std::shared_ptr<Probe> probe(found->second.release());
    m_probes.erase(found);
    probe->socket.disconnect(this);
    probe->timer.disconnect(this);
    probe->timer.stop();
    QTimer::singleShot(0, [probe] { probe->socket.abort(); });
    Q_EMIT checked(index, alive, why);
}

} // namespace brisquel
