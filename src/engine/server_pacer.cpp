#include "server_pacer.h"

#include <algorithm>
#include <cmath>

namespace brisquel {

ServerPacer::ServerPacer()
{
    m_limits.load(ServerLimitsTable::shippedText(), QStringLiteral("server-limits.txt (delivered)"));
}

void ServerPacer::applyLimits(Server& server) const
{
    server.limits = m_limits.limitsFor(server.stats.host);
    if (server.ceiling <= 0)
        server.perSecond = server.limits.perSecond;
    server.slotCap = std::min(server.limits.connections, m_poolSize);
}

void ServerPacer::setLimits(const ServerLimitsTable& limits)
{
    m_limits = limits;
    for (Server& server : m_servers)
        applyLimits(server);
}

void ServerPacer::setPoolSize(int size)
{
    m_poolSize = std::max(1, size);
    for (Server& server : m_servers)
        server.slotCap = std::min(server.slotCap, m_poolSize);
}

ServerPacer::Server* ServerPacer::find(const QString& key)
{
    const auto found = m_servers.find(key);
    return found == m_servers.end() ? nullptr : &*found;
}

ServerPacer::Server* ServerPacer::ended(const QString& key)
{
    Server* server = find(key);
    if (server)
        server->open = std::max(0, server->open - 1);
    return server;
}

bool ServerPacer::mayAsk(const QString& key, const Identity& identity, qint64 now, qint64* readyAt)
{
    Server* server = find(key);
    if (!server) {
        Server fresh;
        fresh.stats.host = identity.host;
        fresh.stats.name = identity.name;
        applyLimits(fresh);
        fresh.slotCap = std::min(fresh.slotCap, SlowStartSlots);
        fresh.tokens = fresh.limits.burst;
        fresh.refilledAt = now;
        server = &*m_servers.insert(key, fresh);
    }
    if (server->quotaUsedUp)
        return true; // its names are filed at once, without a query
    if (server->heldSince >= 0) {
        // One probe at a time, once per interval; the end of a lookup still out calls again.
        if (server->open > 0)
            return false;
        if (now >= server->nextProbeAt)
            return true;
        *readyAt = std::min(*readyAt, server->nextProbeAt);
        return false;
    }
    if (now < server->pausedUntil) {
        *readyAt = std::min(*readyAt, server->pausedUntil);
        return false;
    }
    if (server->open >= server->slotCap)
        return false;
    if (server->perSecond <= 0)
        return true;
    server->tokens = std::min(std::max(server->limits.burst, 1.0),
                              server->tokens + double(now - server->refilledAt) * server->perSecond / 1000.0);
    server->refilledAt = now;
    if (server->tokens >= 1)
        return true;
    // Less a hair, so that rounding never adds a whole millisecond.
    const double waitMs = (1 - server->tokens) * 1000.0 / server->perSecond - 1e-6;
    *readyAt = std::min(*readyAt, now + std::max<qint64>(1, qint64(std::ceil(waitMs))));
    return false;
}

bool ServerPacer::holdsBack(const QString& key, qint64 now) const
{
    const auto found = m_servers.constFind(key);
    if (found == m_servers.cend() || found->quotaUsedUp)
        return false;
    if (found->heldSince >= 0)
        return true;
    // A cap no lower than the pool's own is the pool's limit, not the server's.
    if (now < found->pausedUntil || (found->open >= found->slotCap && found->slotCap < m_poolSize))
        return true;
    return found->perSecond > 0 &&
           found->tokens + double(now - found->refilledAt) * found->perSecond / 1000.0 < 1;
}

bool ServerPacer::rests(const QString& key, qint64 now) const
{
    const auto found = m_servers.constFind(key);
    return found != m_servers.cend() && !found->quotaUsedUp &&
           (found->heldSince >= 0 || now < found->pausedUntil);
}

bool ServerPacer::quotaUsedUp(const QString& key) const
{
    const auto found = m_servers.constFind(key);
    return found != m_servers.cend() && found->quotaUsedUp;
}

void ServerPacer::onSent(const QString& key, qint64 now)
{
    Server* server = find(key);
    if (!server)
        return;
    ++server->open;
    if (server->quietSince < 0)
        server->quietSince = now;
    if (server->heldSince >= 0)
        server->nextProbeAt = now + m_probeIntervalMs;
    ++server->stats.queries;
    if (server->perSecond > 0)
        server->tokens -= 1;
    // The quota counts what this run asked; the last query it allows may still go.
    if (server->limits.daily > 0 && server->stats.queries >= server->limits.daily)
        server->quotaUsedUp = true;
}

qint64 ServerPacer::writeDelay(const QString& key, qint64 now)
{
    Server* server = find(key);
    if (!server || server->perSecond <= 0)
        return 0;
    // One booking per write at the pace, a burst's worth allowed at once.
    const double spacingMs = 1000.0 / server->perSecond;
    const double burstMs = (std::max(server->limits.burst, 1.0) - 1) * spacingMs;
    const double due = std::max(server->writeDue, double(now));
    const qint64 delay = std::max<qint64>(0, qint64(std::ceil(due - burstMs - double(now))));
    server->writeDue = due + spacingMs;
    return delay;
}

void ServerPacer::onAnswer(const QString& key, qint64 now, bool verdict)
{
    Server* server = ended(key);
    if (!server)
        return;
    if (verdict)
        ++server->stats.answers;
    heardFrom(*server);
    server->slotCap = std::min(std::min(server->limits.connections, m_poolSize), server->slotCap + 1);
    server->recentAnswers.push_back(now);
    if (server->recentAnswers.size() > 4096)
        server->recentAnswers.pop_front();
    // A clean stretch brings a lowered pace back, slowly, up to what the server accepted before.
    if (++server->cleanAnswers >= CleanStretch && server->perSecond > 0 && server->ceiling > 0) {
        server->cleanAnswers = 0;
        server->perSecond = std::min(server->perSecond * 1.05, server->ceiling * 0.98);
        if (server->limits.perSecond > 0)
            server->perSecond = std::min(server->perSecond, server->limits.perSecond);
    }
}

void ServerPacer::onRefusal(const QString& key, const QString& answerText, qint64 namedWaitMs, qint64 now,
                            int refusalsOfName)
{
    Server* server = ended(key);
    if (!server)
        return;
    ++server->stats.refusals;
    heardFrom(*server);
    server->cleanAnswers = 0;
    const QString text = answerText.left(4096).toLower();
    if (text.contains(QStringLiteral("daily")) || text.contains(QStringLiteral("per day")) ||
        text.contains(QStringLiteral("24 hours"))) {
        server->quotaUsedUp = true;
        return;
    }
    // Refusals of queries sent before the rest began belong to that rest.
    if (now < server->pausedUntil)
        return;
    ++server->stats.pauses;
    const int doublings = std::clamp(refusalsOfName - 1, 0, 20);
    const qint64 rest = namedWaitMs > 0 ? std::min(namedWaitMs, MaxNamedRestMs)
                                        : std::min(m_firstPauseMs << doublings, MaxRestMs);
    server->pausedUntil = now + rest;
    // Never slower than one query every two first pauses (every 2 s as delivered).
    const double slowest = 500.0 / double(m_firstPauseMs);
    if (server->ceiling <= 0) {
        // The first refusal: the rest of the run keeps just under the pace the server accepted over
        // the wait it names (a quota of 20 per 5 s says "wait 5 seconds"), else over the last second.
        const qint64 windowMs = std::clamp<qint64>(namedWaitMs, 1000, 60 * 1000);
        while (!server->recentAnswers.empty() && server->recentAnswers.front() <= now - windowMs)
            server->recentAnswers.pop_front();
        const double accepted =
            std::max(slowest, double(server->recentAnswers.size()) * 1000.0 / double(windowMs));
        server->ceiling = accepted;
        server->perSecond =
            std::max(slowest, (server->perSecond > 0 ? std::min(server->perSecond, accepted) : accepted) * 0.95);
    } else {
        // Later ones a little slower each: the answers just after a rest say little of the pace the
        // server takes, and a pace learned from them would sink with every rest.
        server->perSecond = std::max(slowest, server->perSecond * 0.95);
    }
    server->tokens = 0;
    server->refilledAt = now;
}

int ServerPacer::onSilence(const QString& key, qint64 now)
{
    Server* server = ended(key);
    if (!server)
        return 0;
    // Fewer slots, so that a silent server never holds the whole pool.
    server->slotCap = std::max(1, server->slotCap / 2);
    if (++server->silentInARow >= SilentBeforeHold && server->heldSince < 0) {
        server->heldSince = now;
        server->nextProbeAt = now + m_probeIntervalMs;
    }
    return server->silentInARow;
}

void ServerPacer::heardFrom(Server& server)
{
    server.quietSince = -1;
    server.silentInARow = 0;
    server.heldSince = -1;
}

bool ServerPacer::isDead(const QString& key, qint64 now) const
{
    const qint64 at = deadAt(key);
    return at > 0 && now >= at;
}

qint64 ServerPacer::deadAt(const QString& key) const
{
    const auto found = m_servers.constFind(key);
    if (found == m_servers.cend() || found->heldSince < 0)
        return 0;
    // From the first query it let go unanswered: a server whose every connection hangs is given
    // up after the dead time, not after three hanging lookups and the dead time.
    return (found->quietSince >= 0 ? std::min(found->quietSince, found->heldSince) : found->heldSince) +
           m_deadAfterMs;
}

std::optional<ServerPacer::Rest> ServerPacer::longestRest(qint64 now) const
{
    std::optional<Rest> longest;
    for (const Server& server : m_servers) {
        if (server.pausedUntil > now && (!longest || server.pausedUntil > longest->until))
            longest = Rest{server.stats.host, server.pausedUntil};
    }
    return longest;
}

QList<ServerPacer::Stats> ServerPacer::stats() const
{
    QList<Stats> all;
    for (const Server& server : m_servers)
        all.append(server.stats);
    std::sort(all.begin(), all.end(), [](const Stats& a, const Stats& b) { return a.queries > b.queries; });
    return all;
}

} // namespace brisquel
