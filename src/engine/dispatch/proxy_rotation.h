#pragma once

#include "engine/lookup/proxy_list.h"

#include <QList>
#include <QString>
#include <optional>

namespace brisquel {

// The proxies of a search taking turns: a proxy that fails is rested (doubling from a second, up
// to a minute) while the others carry its names. Time is an argument (ms on one steady clock).
class ProxyRotation
{
public:
    static constexpr qint64 FirstRestMs = 1000;
    static constexpr qint64 MaxRestMs = 60 * 1000;
    // Failures in a row after which a proxy counts as out; when every proxy is out, waiting names
    // are given up rather than held for ever.
    static constexpr int FailuresBeforeOut = 6;

    struct Stats
    {
        QString name; // masked: no password
        qint64 lookups = 0;
        qint64 failures = 0;
        qint64 rests = 0;
    };

    void setProxies(const QList<ProxyEntry>& proxies);
    // A new search: no rests, counts from zero.
    void reset();
    int count() const { return int(m_proxies.size()); }
    bool isEmpty() const { return m_proxies.isEmpty(); }
    const ProxyEntry& proxy(int index) const { return m_proxies.at(index).entry; }

    // The proxies that may take a lookup at `now`, the one after the last chosen first, so that
    // the load spreads; *readyAt lowered to the end of the first rest when some rest.
    QList<int> turnOrder(qint64 now, qint64* readyAt) const;
    void onSent(int proxy);
    // The lookup got past the proxy (whatever the server said).
    // Returns how many rests in a row it had before.
    int onReached(int proxy);
    // Failures during its rest belong to that rest. Returns the rest's length, 0 when already resting.
    qint64 onFailure(int proxy, qint64 now);
    // Rests since it last got through.
    int restsInARow(int proxy) const { return m_proxies.at(proxy).failuresInARow; }
    bool allOut() const;
    // Its last lookup failed at the proxy: what it says of servers is out of date.
    bool isFailing(int proxy) const { return m_proxies.at(proxy).failuresInARow > 0; }
    QList<Stats> stats() const;

private:
    struct Member
    {
        ProxyEntry entry;
        Stats stats;
        qint64 restUntil = 0;
        qint64 nextRestMs = FirstRestMs;
        int failuresInARow = 0;
    };
    QList<Member> m_proxies;
    int m_next = 0;
};

} // namespace brisquel
