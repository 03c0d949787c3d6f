#pragma once

#include "engine/proxy_list.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

namespace brisquel {

// Connects to one server through each proxy of a list, all at once, and says how each fared: how
// long the connection took, or why there was none. Nothing is sent to the server.
class ProxyTester : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeLimitMs = 10 * 1000;

    struct Result
    {
        QString name; // masked: no password
        bool ok = false;
        qint64 ms = 0;
        QString failure; // empty when ok
        // "socks5://host:1080: ok in 42 ms" or "socks5://host:1080: the proxy refused the connection"
        QString text() const;
    };

    explicit ProxyTester(QObject* parent = nullptr);
    ~ProxyTester() override;

    void setTimeLimitMs(int ms) { m_timeLimitMs = ms; }
    // Drops a test still running; finished() follows at once when the list is empty.
    void start(const QList<ProxyEntry>& proxies, const QString& host, quint16 port);
    void stop();
    bool isRunning() const { return m_open > 0; }
    // In list order; a proxy still being tried has an empty name.
    const QList<Result>& results() const { return m_results; }

Q_SIGNALS:
    void resultReady(int index, const brisquel::ProxyTester::Result& result);
    void finished();

private:
    struct Probe;
    void settle(int index, bool ok, const QString& failure);

    int m_timeLimitMs = DefaultTimeLimitMs;
    QString m_target;
    QList<Result> m_results;
    std::vector<std::unique_ptr<Probe>> m_probes;
    int m_open = 0;
};

} // namespace brisquel
