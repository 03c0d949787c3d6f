#include "engine/dispatch/lookup_router.h"
#include "lookup_queue.h"

#include <bit>
#include <limits>

namespace brisquel {

// Of the lines whose server may be asked now, a paced server's whose budget freed first (a budget
// that waits for a slot is lost, while a server asked as fast as its slots allow loses nothing by
// waiting its turn), else the one whose first name comes first in the list; the last few slots
// are kept for paced servers that have names waiting, so that their budget finds one free.
LookupQueue::Line* LookupQueue::nextLine(qint64 now, qint64* readyAt, int* proxy)
{
    Line* paced = nullptr;
    qint64 pacedFreeSince = 0;
    int pacedProxy = -1;
    Line* unpaced = nullptr;
    int unpacedProxy = -1;
    int reserved = 0;
    for (auto& [key, line] : m_lines) {
        dropUnwanted(*line);
        if (line->isEmpty())
            continue;
        WaitingName& front = line->front();
        LookupRequest& first = front.request;
        if (m_awaitingDns.contains(first.entryNumber) && now < front.queuedAt + DnsGraceMs) {
            *readyAt = std::min(*readyAt, front.queuedAt + DnsGraceMs);
            continue;
        }
        if (m_whoisUnreachable.contains(key))
            m_router->rdapFallback(&first);
        const QString serverKey = first.serverKey();
        if (const qint64 deadAt = serverDeadAt(serverKey); deadAt > 0)
            *readyAt = std::min(*readyAt, deadAt);
        const bool isPaced = serverPaced(serverKey);
        if (isPaced && !serverRests(serverKey, now))
            ++reserved;
        int via = -1;
        if (!pickProxy(first, now, readyAt, &via))
            continue;
        const qint64 entry = first.entryNumber;
        if (!isPaced) {
            if (!unpaced || entry < unpaced->front().request.entryNumber) {
                unpaced = line.get();
                unpacedProxy = via;
            }
            continue;
        }
        LookupRequest through = first;
        through.proxy = via;
        const qint64 freeSince = m_pacer.freeSince(through.paceKey());
        if (!paced || freeSince < pacedFreeSince ||
            (freeSince == pacedFreeSince && entry < paced->front().request.entryNumber)) {
            paced = line.get();
            pacedFreeSince = freeSince;
            pacedProxy = via;
        }
    }
    if (paced) {
        *proxy = pacedProxy;
        return paced;
    }
    if (unpaced && qsizetype(m_inFlight.size()) < m_poolSize - std::min(reserved, m_poolSize / 4)) {
        *proxy = unpacedProxy;
        return unpaced;
    }
    return nullptr;
}

void LookupQueue::dropUnwanted(Line& line)
{
    while (!line.isEmpty() && m_stillWanted && !m_stillWanted(line.front().request.entryNumber)) {
        m_confirming.remove(line.takeFront().request.entryNumber);
        --m_waiting;
    }
}

// The proxy to ask the server through now: of those whose budget there allows, the one whose
// budget freed first (a budget that waits unused is lost, so every proxy is kept busy), ties in
// turn; the one whose quota is spent only when every proxy's is, so that the name is filed at once.
bool LookupQueue::pickProxy(const LookupRequest& request, qint64 now, qint64* readyAt, int* proxy)
{
    *proxy = -1;
    if (m_proxies.isEmpty())
        return m_pacer.mayAsk(request.serverKey(), {request.host, request.serverTitle()}, now, readyAt);
    int spent = -1;
    int spentCount = 0;
    qint64 chosenFreeSince = 0;
    LookupRequest via = request;
    // Not through a proxy that already failed the name, while another is left.
    const auto avoided = m_avoid.find(request.entryNumber);
    quint32 avoid = avoided == m_avoid.end() ? 0 : avoided->second;
    if (std::popcount(avoid) >= m_proxies.count())
        avoid = 0;
    for (const int candidate : m_proxies.turnOrder(now, readyAt)) {
        if (avoid & proxyBit(candidate))
            continue;
        via.proxy = candidate;
        const QString key = via.paceKey();
        if (!m_pacer.mayAsk(key, {request.host, request.serverTitle()}, now, readyAt))
            continue;
        if (m_pacer.quotaUsedUp(key)) {
            ++spentCount;
            if (spent < 0)
                spent = candidate;
        } else if (const qint64 since = m_pacer.freeSince(key); *proxy < 0 || since < chosenFreeSince) {
            *proxy = candidate;
            chosenFreeSince = since;
        }
    }
    if (*proxy >= 0)
        return true;
    *proxy = spent;
    return spent >= 0 && spentCount == m_proxies.count();
}

QStringList LookupQueue::paceKeys(const QString& serverKey) const
{
    if (m_proxies.isEmpty())
        return {serverKey};
    QStringList keys;
    for (int proxy = 0; proxy < m_proxies.count(); ++proxy)
        keys.append(serverKey + QLatin1Char('|') + QString::number(proxy));
    return keys;
}

// Given up when dead through every proxy that asked it: one registry may block one address only.
bool LookupQueue::serverDead(const QString& serverKey, qint64 now) const
{
    bool dead = false;
    const QStringList keys = paceKeys(serverKey);
    for (int n = 0; n < keys.size(); ++n) {
        const QString& key = keys.at(n);
        // A failing proxy asks nobody; it neither keeps a server alive nor gives it up.
        if (!m_proxies.isEmpty() && m_proxies.isFailing(n))
            continue;
        if (m_pacer.isDead(key, now))
            dead = true;
        else if (m_pacer.knows(key))
            return false;
    }
    return dead;
}

qint64 LookupQueue::serverDeadAt(const QString& serverKey) const
{
    qint64 first = 0;
    for (const QString& key : paceKeys(serverKey)) {
        if (const qint64 at = m_pacer.deadAt(key); at > 0 && (first == 0 || at < first))
            first = at;
    }
    return first;
}

bool LookupQueue::serverHeldBack(const QString& serverKey, qint64 now) const
{
    if (m_proxies.isEmpty())
        return m_pacer.holdsBack(serverKey, now);
    qint64 readyAt = std::numeric_limits<qint64>::max();
    const QList<int> order = m_proxies.turnOrder(now, &readyAt);
    return std::all_of(order.begin(), order.end(), [&](int proxy) {
        return m_pacer.holdsBack(serverKey + QLatin1Char('|') + QString::number(proxy), now);
    });
}

bool LookupQueue::serverPaced(const QString& serverKey) const
{
    const QStringList keys = paceKeys(serverKey);
    return std::any_of(keys.begin(), keys.end(),
                       [this](const QString& key) { return m_pacer.pace(key) > 0; });
}

bool LookupQueue::serverRests(const QString& serverKey, qint64 now) const
{
    if (m_proxies.isEmpty())
        return m_pacer.rests(serverKey, now);
    qint64 readyAt = std::numeric_limits<qint64>::max();
    const QList<int> order = m_proxies.turnOrder(now, &readyAt);
    return !order.isEmpty() && std::all_of(order.begin(), order.end(), [&](int proxy) {
        return m_pacer.rests(serverKey + QLatin1Char('|') + QString::number(proxy), now);
    });
}

LookupQueue::Watched LookupQueue::watched(const QString& lineKey, const Line& line) const
{
    LookupRequest rdap = line.server();
    if (m_whoisUnreachable.contains(lineKey) && m_router->rdapFallback(&rdap))
        return {rdap.serverKey(), rdap.host};
    return {lineKey, line.server().host};
}

} // namespace brisquel
