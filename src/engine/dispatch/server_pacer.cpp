#include "server_pacer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brisquel {

ServerPacer::ServerPacer()
{
    m_limits.load(ServerLimitsTable::shippedText(), QStringLiteral("server-limits.txt (delivered)"));
}

void ServerPacer::applyLimits(Server& server) const
{
    server.limits = m_limits.limitsFor(server.stats.host);
    if (server.refusedPace <= 0)
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
        fresh.freeSince = now;
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
    const double before = server->tokens;
    // A query a timer let go a moment late keeps its place on the pace: those moments are not lost.
    const double cap = std::max(server->limits.burst, 1.0) + double(CatchUpMs) * server->perSecond / 1000.0;
    server->tokens = std::min(cap, before + double(now - server->refilledAt) * server->perSecond / 1000.0);
    // Less a hair, so that rounding never adds a whole millisecond.
    const double waitMs = (1 - before) * 1000.0 / server->perSecond - 1e-6;
    if (before < 1 && server->tokens >= 1)
        server->freeSince = server->refilledAt + std::max<qint64>(0, qint64(std::ceil(waitMs)));
    server->refilledAt = now;
    if (server->tokens >= 1)
        return true;
    server->pacedOut = true;
    climb(*server, now);
    const double leftMs = (1 - server->tokens) * 1000.0 / server->perSecond - 1e-6;
    *readyAt = std::min(*readyAt, now + std::max<qint64>(1, qint64(std::ceil(leftMs))));
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
    else
        server->freeSince = now;
    // The quota counts what this run asked; the last query it allows may still go.
    if (server->limits.daily > 0 && server->stats.queries >= server->limits.daily)
        server->quotaUsedUp = true;
}

qint64 ServerPacer::writeDelay(const QString& key, qint64 now)
{
    Server* server = find(key);
    if (!server || server->perSecond <= 0)
        return 0;
    // A turn per write at the pace, a burst's worth allowed at once; a write a moment late keeps
    // its place on the pace, so the next is not pushed back by it.
    const double spacingMs = 1000.0 / server->perSecond;
    const double burstMs = (std::max(server->limits.burst, 1.0) - 1) * spacingMs;
    const double due = server->writeDue >= double(now - CatchUpMs) ? server->writeDue : double(now);
    const qint64 delay = qint64(std::ceil(due - burstMs - double(now) - 1e-6));
    if (delay > 0)
        return delay;
    server->writeDue = due + spacingMs;
    return 0;
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
    while (server->recentAnswers.size() > 4096 || server->recentAnswers.front() <= now - 60 * 1000)
        server->recentAnswers.pop_front();
    server->answeredSinceStep = true;
    climb(*server, now);
}

void ServerPacer::climb(Server& server, qint64 now)
{
    // Only a learned pace climbs, after a clean stretch, where it held a query back (else it says
    // nothing of what the server takes) and the server has answered since the last step.
    if (server.refusedPace <= 0 || server.perSecond <= 0 || now < server.nextClimbAt || !server.pacedOut ||
        !server.answeredSinceStep)
        return;
    server.pacedOut = false;
    server.answeredSinceStep = false;
    server.nextClimbAt = now + ClimbStepMs;
    // A published rate is never passed, probing or not.
    const double top =
        server.limits.perSecond > 0 ? server.limits.perSecond : std::numeric_limits<double>::max();
    const double plateau = std::min(top, server.refusedPace * Plateau);
    if (server.perSecond < plateau) {
        server.perSecond = plateau;
        return;
    }
    if (now < server.probeAt || server.perSecond >= top)
        return;
    server.perSecond = std::min(top, server.perSecond * (1 + server.probeStep));
    server.probeStep = std::min(1.0, server.probeStep * 2);
}

qsizetype ServerPacer::answersAfter(const Server& server, qint64 since)
{
    return server.recentAnswers.end() -
           std::upper_bound(server.recentAnswers.begin(), server.recentAnswers.end(), since);
}

void ServerPacer::onRefusal(const QString& key, const QString& answerText, qint64 namedWaitMs, qint64 now,
                            int refusalsOfName)
{
    Server* server = ended(key);
    if (!server)
        return;
    ++server->stats.refusals;
    heardFrom(*server);
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
    const qint64 lastRestEnded = server->pausedUntil;
    server->pausedUntil = now + rest;
    server->tokens = 0;
    server->refilledAt = now;
    server->pacedOut = false;
    server->answeredSinceStep = false;
    server->probeStep = FirstProbeStep;
    server->nextClimbAt = server->pausedUntil + ClimbStepMs;
    // Never slower than one query every two first pauses (every 2 s as delivered), nor faster
    // than a rate given for the server.
    const double slowest = server->limits.perSecond > 0
                               ? std::min(server->limits.perSecond, 500.0 / double(m_firstPauseMs))
                               : 500.0 / double(m_firstPauseMs);
    const double asked = server->perSecond > 0 ? server->perSecond : std::numeric_limits<double>::max();
    if (server->refusedPace > 0 && now - lastRestEnded < 1000) {
        // So soon after a rest the last second says little of the pace the server takes, and a
        // pace learned from it would sink with every rest: a little slower only.
        server->perSecond = std::max(slowest, asked * Backoff);
        server->probeAt = std::max(server->probeAt, server->pausedUntil + ClimbStepMs);
        return;
    }
    // What it took in the last second. The first refusal trusts that: a server that takes 15 a
    // second and rests whoever asks more for 2 s would otherwise be asked at half its pace. A later
    // one within the wait it names after the last rest says the server counts over that wait (20
    // per 5 s, "wait 5 seconds"): what it took since, spread over the wait.
    const qint64 windowMs = std::clamp<qint64>(namedWaitMs, 1000, 60 * 1000);
    const qsizetype lastSecond = answersAfter(*server, now - 1000);
    double taken = double(lastSecond);
    if (server->refusedPace > 0 && now - lastRestEnded < windowMs)
        taken = std::min(taken, double(answersAfter(*server, lastRestEnded)) * 1000.0 / double(windowMs));
    // Refused again where it was refused before: the edge is found, so probe past it less often.
    const bool confirmed = server->refusedPace > 0 &&
                           std::abs(taken - server->refusedPace) <= ConfirmedWithin * server->refusedPace;
    server->probeWaitMs = confirmed ? std::min(MaxProbeWaitMs, server->probeWaitMs * 2) : ProbeWaitMs;
    server->refusedPace = std::max(slowest, taken);
    server->perSecond = std::max(slowest, std::min(asked, taken) * Backoff);
    // Refused with nothing taken in the last second (it still rested someone): no edge is known,
    // so the probing starts after the first clean stretch.
    server->probeAt = server->pausedUntil + (lastSecond > 0 ? server->probeWaitMs : ClimbStepMs);
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

double ServerPacer::pace(const QString& key) const
{
    const auto found = m_servers.constFind(key);
    return found == m_servers.cend() ? 0 : found->perSecond;
}

qint64 ServerPacer::freeSince(const QString& key) const
{
    const auto found = m_servers.constFind(key);
    return found == m_servers.cend() ? 0 : std::max(found->freeSince, found->pausedUntil);
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
