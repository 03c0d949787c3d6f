#include "proxy_rotation.h"

#include <algorithm>
#include <utility>

namespace brisquel {

void ProxyRotation::setProxies(const QList<ProxyEntry>& proxies)
{
    m_proxies.clear();
    for (const ProxyEntry& entry : proxies)
        m_proxies.append(Member{entry, Stats{entry.displayName()}});
    m_next = 0;
}

void ProxyRotation::reset()
{
    for (Member& member : m_proxies)
        member = Member{member.entry, Stats{member.entry.displayName()}};
    m_next = 0;
}

QList<int> ProxyRotation::turnOrder(qint64 now, qint64* readyAt) const
{
    QList<int> order;
    const int n = count();
    for (int i = 0; i < n; ++i) {
        const int index = (m_next + i) % n;
        const Member& member = m_proxies.at(index);
        if (now >= member.restUntil)
            order.append(index);
        else
            *readyAt = std::min(*readyAt, member.restUntil);
    }
    return order;
}

void ProxyRotation::onSent(int proxy)
{
    ++m_proxies[proxy].stats.lookups;
    m_next = (proxy + 1) % count();
}

int ProxyRotation::onReached(int proxy)
{
    Member& member = m_proxies[proxy];
    const int rests = std::exchange(member.failuresInARow, 0);
    member.nextRestMs = FirstRestMs;
    return rests;
}

qint64 ProxyRotation::onFailure(int proxy, qint64 now)
{
    Member& member = m_proxies[proxy];
    ++member.stats.failures;
    if (now < member.restUntil)
        return 0;
    ++member.failuresInARow;
    ++member.stats.rests;
    const qint64 rest = member.nextRestMs;
    member.restUntil = now + rest;
    member.nextRestMs = std::min(MaxRestMs, rest * 2);
    return rest;
}

bool ProxyRotation::allOut() const
{
    return !m_proxies.isEmpty() && std::all_of(m_proxies.begin(), m_proxies.end(), [](const Member& member) {
        return member.failuresInARow >= FailuresBeforeOut;
    });
}

QList<ProxyRotation::Stats> ProxyRotation::stats() const
{
    QList<Stats> all;
    for (const Member& member : m_proxies)
        all.append(member.stats);
    return all;
}

} // namespace brisquel
