#include "lookup_queue.h"

#include "engine/lookup_router.h"
#include "engine/search_progress.h"

#include <limits>

namespace brisquel {

LookupQueue::LookupQueue(const LookupRouter* router, QObject* parent)
    : QObject(parent)
    , m_router(router)
{
    m_wakeTimer.setSingleShot(true);
    connect(&m_wakeTimer, &QTimer::timeout, this, &LookupQueue::dispatch);
    connect(&m_pool, &LookupPool::finished, this, &LookupQueue::onResult);
    connect(&m_pool, &LookupPool::connected, this, &LookupQueue::connecting);
}

void LookupQueue::begin(const LookupTimings& timings)
{
    stop();
    m_pool.setTimings(timings);
    m_pacer.reset();
    m_pacer.setPoolSize(m_poolSize);
    m_pacer.setFirstPauseMs(timings.firstPauseMs);
    m_refusalsOf.clear();
    m_whoisUnreachable.clear();
    m_unreachable.clear();
    m_firstConnectFailure.clear();
    m_lookupsEnded = 0;
    m_connectFailures = 0;
    m_announcedRest = 0;
    m_clock.start();
    m_active = true;
}

void LookupQueue::stop()
{
    m_active = false;
    m_wakeTimer.stop();
    m_pool.abortAll();
    m_pending.clear();
    m_inFlight.clear();
}

void LookupQueue::dispatch()
{
    // A name ended from in here (a spent quota) may have its listener ask for more: once this
    // round is over, another one.
    if (m_dispatching) {
        m_dispatchAgain = true;
        return;
    }
    m_dispatching = true;
    do {
        m_dispatchAgain = false;
        dispatchRound();
    } while (m_dispatchAgain && m_active);
    m_dispatching = false;
}

void LookupQueue::dispatchRound()
{
    const qint64 now = m_clock.elapsed();
    qint64 readyAt = std::numeric_limits<qint64>::max();
    while (m_active && qsizetype(m_inFlight.size()) < m_poolSize) {
        // The first name, in list order, whose server has budget now.
        auto chosen = std::find_if(m_pending.begin(), m_pending.end(), [&](Pending& lookup) {
            if (!m_whoisUnreachable.isEmpty() && m_whoisUnreachable.contains(lookup.request.serverKey()))
                m_router->rdapFallback(&lookup.request);
            return m_pacer.mayAsk(lookup.request.serverKey(), lookup.request.host, now, &readyAt);
        });
        if (chosen == m_pending.end())
            break;
        const Pending lookup = *chosen;
        m_pending.erase(chosen);
        if (!send(lookup, now))
            return;
    }
    // Names wait for a server's budget: come back when the first of them may go.
    if (m_active && !m_pending.empty() && readyAt != std::numeric_limits<qint64>::max()) {
        const qint64 delay = std::max<qint64>(1, readyAt - now);
        if (!m_wakeTimer.isActive() || m_wakeTimer.remainingTime() > delay)
            m_wakeTimer.start(int(std::min<qint64>(delay, std::numeric_limits<int>::max())));
        showRest(now);
    }
}

// Asks the name's server, or ends it at once when the server's quota is spent; false when a
// listener stopped the queue.
bool LookupQueue::send(const Pending& lookup, qint64 now)
{
    const LookupRequest& request = lookup.request;
    if (m_pacer.quotaUsedUp(request.serverKey())) {
        Q_EMIT ended(request, Verdict::Unanswered,
                     QStringLiteral("the daily quota of %1 is used up").arg(request.host));
        return m_active;
    }
    m_pacer.onSent(request.serverKey(), now);
    m_inFlight.insert(request.entryNumber);
    m_refusalsOf[request.entryNumber] = lookup.refusals;
    m_pool.start(request);
    return true;
}

void LookupQueue::showRest(qint64 now)
{
    // Tell about the server whose rest lasts longest; once per rest.
    const std::optional<ServerPacer::Rest> longest = m_pacer.longestRest(now);
    if (!longest || longest->until == m_announcedRest)
        return;
    m_announcedRest = longest->until;
    Q_EMIT serverWaiting(QStringLiteral("Waiting for %1: limit reached, %2 s")
                             .arg(longest->host)
                             .arg((longest->until - now + 999) / 1000));
}

void LookupQueue::onResult(const LookupResult& result)
{
    if (!m_active || m_inFlight.erase(result.request.entryNumber) == 0)
        return;
    QString detail;
    if (fallBackToRdap(result) || !paceAndRetry(result, &detail)) {
        dispatch();
        return;
    }
    ++m_lookupsEnded;
    m_refusalsOf.remove(result.request.entryNumber);
    const bool answered = result.answered && !result.judgement.refused;
    Q_EMIT ended(result.request, answered ? result.judgement.verdict : Verdict::Unanswered, detail);
}

// A WHOIS server that gives no answer at all leaves the name to the registry's RDAP server, when
// the bootstrap names one; a proxy is the user's choice of server and is not gone around.
bool LookupQueue::fallBackToRdap(const LookupResult& result)
{
    if (result.answered || result.tooLarge)
        return false;
    LookupRequest request = result.request;
    if (!m_router->rdapFallback(&request))
        return false;
    const QString key = result.request.serverKey();
    // A server that cannot be reached, or that has let several names in a row go without an answer
    // (port 43 switched off behind a firewall that drops), sends the rest of its names to RDAP at once.
    const int silentInARow = m_pacer.onSilence(key);
    if ((result.neverConnected || silentInARow >= SilentBeforeRdap) && !m_whoisUnreachable.contains(key)) {
        m_whoisUnreachable.insert(key);
        Q_EMIT problem(QStringLiteral("%1 %2: %3; asking %4 over RDAP instead.")
                           .arg(result.neverConnected ? QStringLiteral("Cannot connect to")
                                                      : QStringLiteral("No answer from"),
                                result.request.serverName(), result.failure, request.rdapBase.toString()));
    }
    requeue(request, m_refusalsOf.value(request.entryNumber));
    return true;
}

// Tells the pacer how the server did. A refusal puts the name back first in line (false) until its
// refusals or the server's quota run out; otherwise *detail is what to file it with.
bool LookupQueue::paceAndRetry(const LookupResult& result, QString* detail)
{
    const QString key = result.request.serverKey();
    const qint64 now = m_clock.elapsed();
    if (!result.answered) {
        m_pacer.onSilence(key);
        if (result.neverConnected)
            noteConnectFailure(result.request, result.failure);
        *detail = result.failure;
        return true;
    }
    if (!result.judgement.refused) {
        m_pacer.onAnswer(key, now);
        *detail = result.judgement.detail;
        return true;
    }
    m_pacer.onRefusal(key, QString::fromUtf8(result.answer.left(4096)), result.namedWaitMs, now);
    const int refusals = m_refusalsOf.value(result.request.entryNumber) + 1;
    if (m_pacer.quotaUsedUp(key)) {
        *detail = QStringLiteral("the daily quota of %1 is used up").arg(result.request.host);
        return true;
    }
    if (refusals >= MaxRefusals) {
        *detail = QStringLiteral("refused %1 times by %2").arg(refusals).arg(result.request.host);
        return true;
    }
    // First of its server again: it is asked when the rest is over.
    requeue(result.request, refusals);
    return false;
}

void LookupQueue::requeue(const LookupRequest& request, int refusals)
{
    m_refusalsOf.remove(request.entryNumber);
    m_pending.push_front(Pending{request, refusals});
}

void LookupQueue::noteConnectFailure(const LookupRequest& request, const QString& failure)
{
    ++m_connectFailures;
    const QString server = request.serverName();
    if (m_unreachable.contains(server))
        return;
    m_unreachable.insert(server);
    const QString message = QStringLiteral("Cannot connect to %1: %2").arg(server, failure);
    if (m_firstConnectFailure.isEmpty())
        m_firstConnectFailure = message;
    Q_EMIT problem(message);
}

void LookupQueue::countWaiting(SearchProgress* progress) const
{
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    QHash<QString, bool> heldBack;
    for (const Pending& lookup : m_pending) {
        const QString key = lookup.request.serverKey();
        auto held = heldBack.find(key);
        if (held == heldBack.end())
            held = heldBack.insert(key, m_pacer.holdsBack(key, now));
        ++(*held ? progress->waitingServer : progress->waitingSlot);
    }
}

void LookupQueue::forEachWaiting(const std::function<void(LookupRequest&)>& change)
{
    for (Pending& lookup : m_pending)
        change(lookup.request);
}

} // namespace brisquel
