#include "proxy_tester.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

namespace brisquel {

struct ProxyTester::Probe
{
    ProxyEntry proxy;
    // Children of the tester, deleted later: a probe may end inside one of their own signals.
    QTcpSocket* socket = nullptr;
    QTimer* timer = nullptr;
    QElapsedTimer clock;
    bool done = false;

    void close(QObject* receiver)
    {
        socket->disconnect(receiver);
        timer->disconnect(receiver);
        timer->stop();
        socket->abort();
        socket->deleteLater();
        timer->deleteLater();
    }
};

namespace {

// Errors the proxy itself gave; any other error happened between the proxy and the server.
QString proxyFailure(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ProxyConnectionRefusedError:
        return QStringLiteral("the proxy refused the connection");
    case QAbstractSocket::ProxyNotFoundError:
        return QStringLiteral("the proxy's host was not found");
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QStringLiteral("the proxy did not accept the user name and password");
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyProtocolError:
        return QStringLiteral("the handshake with the proxy failed");
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return QStringLiteral("the proxy did not answer in time");
    default:
        return {};
    }
}

} // namespace

QString ProxyTester::Result::text() const
{
    if (ok)
        return QStringLiteral("%1: ok in %2 ms").arg(name).arg(ms);
    return QStringLiteral("%1: %2").arg(name, failure);
}

ProxyTester::ProxyTester(QObject* parent)
    : QObject(parent)
{}

ProxyTester::~ProxyTester() = default;

void ProxyTester::start(const QList<ProxyEntry>& proxies, const QString& host, quint16 port)
{
    stop();
    m_target = QStringLiteral("%1:%2").arg(host).arg(port);
    m_results = QList<Result>(proxies.size());
    m_open = int(proxies.size());
    for (int i = 0; i < int(proxies.size()); ++i) {
        auto probe = std::make_unique<Probe>();
        probe->proxy = proxies.at(i);
        QTcpSocket* socket = probe->socket = new QTcpSocket(this);
        probe->timer = new QTimer(this);
        socket->setProxy(probe->proxy.networkProxy());
        probe->timer->setSingleShot(true);
        connect(socket, &QTcpSocket::connected, this, [this, i] { settle(i, true, {}); });
        connect(socket, &QTcpSocket::errorOccurred, this,
                [this, i, socket](QAbstractSocket::SocketError error) {
                    QString failure = proxyFailure(error);
                    if (failure.isEmpty())
                        failure = QStringLiteral("%1 cannot be reached through the proxy (%2)")
                                      .arg(m_target, socket->errorString());
                    settle(i, false, failure);
                });
        connect(probe->timer, &QTimer::timeout, this, [this, i] {
            settle(i, false,
                   QStringLiteral("no connection to %1 within %2 s")
                       .arg(m_target)
                       .arg(double(m_timeLimitMs) / 1000));
        });
        m_probes.push_back(std::move(probe));
    }
    // Started after every probe exists: a failure reported at once finds its neighbours in place.
    for (const auto& probe : m_probes) {
        probe->clock.start();
        probe->timer->start(m_timeLimitMs);
        probe->socket->connectToHost(host, port);
    }
    if (proxies.isEmpty())
        Q_EMIT finished();
}

void ProxyTester::stop()
{
    for (const auto& probe : m_probes) {
        if (!probe->done)
            probe->close(this);
    }
    m_probes.clear();
    m_open = 0;
}

void ProxyTester::settle(int index, bool ok, const QString& failure)
{
    Probe& probe = *m_probes.at(index);
    if (probe.done)
        return;
    probe.done = true;
    Result& result = m_results[index];
    result.name = probe.proxy.displayName();
    result.ok = ok;
    result.ms = probe.clock.elapsed();
    result.failure = failure;
    // The connection was all the test wanted.
    probe.close(this);
    // Copies: a receiver may start the next test, which replaces both.
    const Result copy = result;
    const int open = --m_open;
    Q_EMIT resultReady(index, copy);
    if (open == 0)
        Q_EMIT finished();
}

} // namespace brisquel
