#pragma once

#include "engine/lookup/proxy_list.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>

namespace brisquel {

// Asks network proxies themselves whether they are alive, without going through them to any
// server: a SOCKS5 proxy must answer its greeting, an HTTP proxy a request of its own. A lookup
// through a proxy that ended without a byte from its server tells nothing by itself: the server may
// be down, or the proxy may have refused, hung or died; this tells which.
class ProxyProbe : public QObject
{
    Q_OBJECT
public:
    explicit ProxyProbe(QObject* parent = nullptr);
    ~ProxyProbe() override;

    // A probe of `index` still running is not started again.
    void check(int index, const ProxyEntry& proxy, int timeoutMs);
    bool isChecking(int index) const { return m_probes.count(index) > 0; }
    void cancelAll();

Q_SIGNALS:
    // `why`: what failed, when it is not alive.
    void checked(int index, bool alive, const QString& why);

private:
    struct Probe;
    void conclude(int index, bool alive, const QString& why);

    std::map<int, std::unique_ptr<Probe>> m_probes;
};

} // namespace brisquel
