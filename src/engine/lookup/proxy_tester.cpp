#include "proxy_tester.h"

#include "engine/lookup/proxy_list.h"
#include "engine/lookup/whois_lookup.h"

#include <QTcpSocket>
#include <QTimer>

namespace brisquel {

struct ProxyTester::Probe
{
    QTcpSocket socket;
    QTimer timer;
    QElapsedTimer clock;
    bool done = false;
};

ProxyTester::ProxyTester(QObject* parent)
    : QObject(parent)
{}

ProxyTester::~ProxyTester() = default;

void ProxyTester::start(const QList<ProxyEntry>& proxies, const QString& host, quint16 port)
{
    cancel();
    m_target = QStringLiteral("%1:%2").arg(host).arg(port);
    m_pending = int(proxies.size());
    for (int index = 0; index < proxies.size(); ++index) {
        Report report;
        report.proxy = proxies.at(index).displayName();
        m_reports.append(report);
        auto probe = std::make_unique<Probe>();
        Probe* raw = probe.get();
        m_probes.push_back(std::move(probe));
        raw->socket.setProxy(proxies.at(index).networkProxy());
        raw->timer.setSingleShot(true);
        connect(&raw->socket, &QTcpSocket::connected, this,
                [this, index] { conclude(index, true, true, {}); });
        connect(&raw->socket, &QTcpSocket::errorOccurred, this,
                [this, index, raw](QAbstractSocket::SocketError error) {
                    // A proxy that says the server refused or is unknown works itself.
                    conclude(index, !isProxyFailure(error), false,
                             connectFailure(error, raw->socket.errorString()));
                });
        connect(&raw->timer, &QTimer::timeout, this, [this, index] {
            conclude(index, false, false,
                     QStringLiteral("no connection within %1 s").arg(TimeoutMs / 1000.0));
        });
        raw->clock.start();
        raw->timer.start(TimeoutMs);
        raw->socket.connectToHost(host, port);
    }
    if (m_pending == 0)
        Q_EMIT finished();
}

void ProxyTester::cancel()
{
    for (const auto& probe : m_probes) {
        probe->socket.disconnect(this);
        probe->timer.disconnect(this);
        probe->socket.abort();
    }
    // Deleted later: cancel() may run inside one of their signals.
    for (auto& probe : m_probes) {
        QTimer::singleShot(0, [leftover = std::shared_ptr<Probe>(probe.release())] {});
    }
    m_probes.clear();
    m_reports.clear();
    m_pending = 0;
}

void ProxyTester::conclude(int index, bool proxyWorks, bool reached, const QString& why)
{
    Probe& probe = *m_probes.at(size_t(index));
    if (probe.done)
        return;
    probe.done = true;
    probe.timer.stop();
    Report& report = m_reports[index];
    report.proxyWorks = proxyWorks;
    report.reached = reached;
    report.ms = probe.clock.elapsed();
    if (reached)
        report.text = QStringLiteral("%1: works (%2 ms)").arg(report.proxy).arg(report.ms);
    else if (proxyWorks)
        report.text = QStringLiteral("%1: works, but cannot reach %2: %3").arg(report.proxy, m_target, why);
    else
        report.text = QStringLiteral("%1: %2").arg(report.proxy, proxyFailure(why));
    const Report copy = report;
    QTimer::singleShot(0, &probe.socket, [socket = &probe.socket] { socket->abort(); });
    Q_EMIT tested(index, copy);
    if (--m_pending == 0)
        Q_EMIT finished();
}

} // namespace brisquel
