#include "lookup_queue.h"

#include "engine/dispatch/lookup_router.h"
#include "engine/lookup/lookup.h"
#include "engine/lookup/proxy_list.h"
#include "engine/dispatch/search_progress.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace brisquel {

namespace {
bool nothingFromServer(const LookupResult& result)
{
    return !result.answered || (!result.request.isRdap() && result.answer.isEmpty() && !result.tooLarge);
}

// "2 minutes", "1 minute", "30 seconds"
QString minutesText(qint64 ms)
{
    if (ms % 60000 != 0)
        return QStringLiteral("%1 seconds").arg((ms + 999) / 1000);
    return ms == 60000 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(ms / 60000);
}
} // namespace

LookupQueue::LookupQueue(const LookupRouter* router, QObject* parent)
    : QObject(parent)
    , m_router(router)
{
    m_wakeTimer.setSingleShot(true);
    // A coarse timer may wake a few percent late, and with no burst that time is lost to the pace.
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_wakeTimer, &QTimer::timeout, this, [this] {
        dispatch();
        Q_EMIT woke();
    });
    connect(&m_pool, &LookupPool::finished, this, &LookupQueue::onResult);
    connect(&m_pool, &LookupPool::connected, this, &LookupQueue::connecting);
    connect(&m_proxyProbe, &ProxyProbe::checked, this, &LookupQueue::onProxyChecked);
    // Kept at the server too: a proxy's handshake or a slow connect would bunch the queries.
    m_pool.setWriteDelay([this](const LookupRequest& request) {
        return m_clock.isValid() ? m_pacer.writeDelay(request.paceKey(), m_clock.elapsed()) : 0;
    });
}

LookupQueue::~LookupQueue() = default;

void LookupQueue::setProxies(const QList<ProxyEntry>& proxies)
{
    m_proxies.setProxies(proxies);
    QList<QNetworkProxy> network;
    for (const ProxyEntry& proxy : proxies)
        network.append(proxy.networkProxy());
    m_pool.setProxies(network);
}

void LookupQueue::begin(const LookupTimings& timings)
{
    stop();
    m_proxies.reset();
    m_pool.setTimings(timings);
    m_probeTimeoutMs = timings.attemptMs;
    m_pacer.reset();
    m_pacer.setPoolSize(m_poolSize);
    m_pacer.setFirstPauseMs(timings.firstPauseMs);
    m_pacer.setBreaker(timings.probeIntervalMs(), timings.deadServerMs);
    m_whoisUnreachable.clear();
    m_unreachable.clear();
    m_givenUp.clear();
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
    m_proxyProbe.cancelAll();
    m_heldForProbe.clear();
    m_lines.clear();
    m_waiting = 0;
    m_inFlight.clear();
    m_avoid.clear();
    m_reachedVia.clear();
    m_awaitingDns.clear();
    m_confirming.clear();
}

LookupQueue::Line& LookupQueue::lineFor(const LookupRequest& request)
{
    std::unique_ptr<Line>& line = m_lines[request.serverKey()];
    if (!line)
        line = std::make_unique<Line>(request);
    return *line;
}

void LookupQueue::add(const LookupRequest& request)
{
    lineFor(request).pushBack(request, m_clock.elapsed());
    ++m_waiting;
}

void LookupQueue::dispatch()
{
    // A name ended from in here (a spent quota, a server given up) may have its listener ask for
    // more: once this round is over, another one.
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
    for (auto& [key, line] : m_lines) {
        if (line->isEmpty())
            continue;
        const Watched server = watched(key, *line);
        if (m_proxies.allOut())
            giveUp(*line, server.host, QStringLiteral("no network proxy could be reached"));
        else if (serverDead(server.key, now))
            giveUp(*line, server.host);
        if (!m_active)
            return;
    }
    while (m_active && qsizetype(m_inFlight.size()) < m_poolSize) {
        int proxy = -1;
        Line* line = nextLine(now, &readyAt, &proxy);
        if (!line || !send(*line, proxy, now))
            break;
    }
    // Names wait for a server's budget: come back when the first of them may go.
    if (m_active && m_waiting > 0 && readyAt != std::numeric_limits<qint64>::max()) {
        const qint64 delay = std::max<qint64>(1, readyAt - now);
        if (!m_wakeTimer.isActive() || m_wakeTimer.remainingTime() > delay)
            m_wakeTimer.start(int(std::min<qint64>(delay, std::numeric_limits<int>::max())));
        showRest(now);
    }
}

// Asks the first name of the line, or ends it at once when its server's quota is spent; false
// when a listener stopped the queue.
bool LookupQueue::send(Line& line, int proxy, qint64 now)
{
    WaitingName lookup = line.takeFront();
    lookup.request.proxy = proxy;
    --m_waiting;
    m_awaitingDns.remove(lookup.request.entryNumber);
    const LookupRequest& request = lookup.request;
    if (m_pacer.quotaUsedUp(request.paceKey())) {
        end(request, Verdict::Unanswered,
            QStringLiteral("the daily quota of %1 is used up").arg(request.host));
        return m_active;
    }
    m_pacer.onSent(request.paceKey(), now);
    if (proxy >= 0)
        m_proxies.onSent(proxy);
    m_inFlight.emplace(request.entryNumber, lookup.refusals);
    m_pool.start(request);
    return true;
}

// A server held silent for the dead time: its waiting names end unanswered, all at once; names
// waiting to have their freedom confirmed stay free, unconfirmed.
void LookupQueue::giveUp(Line& line, const QString& host, const QString& why)
{
    const QString reason =
        !why.isEmpty()
            ? why
            : QStringLiteral("%1 did not answer for %2").arg(host, minutesText(m_pacer.deadAfterMs()));
    const std::deque<WaitingName> names = line.takeAll();
    if (!m_givenUp.contains(why.isEmpty() ? host : why)) {
        m_givenUp.insert(why.isEmpty() ? host : why);
        const auto confirming = std::count_if(names.begin(), names.end(), [this](const WaitingName& pending) {
            return m_confirming.contains(pending.request.entryNumber);
        });
        const QString fate =
            confirming == 0 ? QStringLiteral("its waiting names go to Unanswered.txt")
            : confirming == qsizetype(names.size())
                ? QStringLiteral("the free names waiting for its confirmation stay free, unconfirmed")
                : QStringLiteral("the free names waiting for its confirmation stay free, "
                                 "unconfirmed; its other waiting names go to Unanswered.txt");
        Q_EMIT problem(QStringLiteral("%1; %2.").arg(reason, fate));
    }
    // Its lookups still out would only add their own time-outs to the dead time.
    const QList<LookupRequest> aborted =
        why.isEmpty() ? m_pool.abortServer(watched(line.server().serverKey(), line).key)
                      : QList<LookupRequest>();
    for (const LookupRequest& request : aborted) {
        const auto found = m_inFlight.find(request.entryNumber);
        if (found == m_inFlight.end())
            continue;
        m_inFlight.erase(found);
        m_pacer.onDropped(request.paceKey());
        if (m_active && (!m_stillWanted || m_stillWanted(request.entryNumber)))
            end(request, Verdict::Unanswered, reason);
    }
    // Counted out one by one: the search must not see the queue empty before the last has ended.
    for (const WaitingName& pending : names) {
        if (!m_active)
            return;
        --m_waiting;
        if (!m_stillWanted || m_stillWanted(pending.request.entryNumber))
            end(pending.request, Verdict::Unanswered, reason);
    }
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
    const auto found = m_inFlight.find(result.request.entryNumber);
    if (!m_active || found == m_inFlight.end())
        return;
    // Nothing came from the server through the proxy: a refused tunnel, a hung handshake or a proxy
    // that died with the tunnel open look like a silent server until the proxy itself is asked.
    if (result.request.proxy >= 0 && !result.proxyFailed && nothingFromServer(result)) {
        m_heldForProbe[result.request.proxy].push_back(result);
        m_proxyProbe.check(result.request.proxy, m_proxies.proxy(result.request.proxy), m_probeTimeoutMs);
        return;
    }
    const int refusals = found->second;
    m_inFlight.erase(found);
    settle(result, refusals);
}

void LookupQueue::onProxyChecked(int proxy, bool alive, const QString& why)
{
    const auto held = m_heldForProbe.find(proxy);
    if (!m_active || held == m_heldForProbe.end())
        return;
    std::vector<LookupResult> results = std::move(held->second);
    m_heldForProbe.erase(held);
    for (LookupResult& result : results) {
        const auto found = m_inFlight.find(result.request.entryNumber);
        if (!m_active || found == m_inFlight.end())
            continue;
        const int refusals = found->second;
        m_inFlight.erase(found);
        if (!alive) {
            result.proxyFailed = true;
            result.failure = proxyFailure(why);
        }
        settle(std::move(result), refusals);
    }
}

void LookupQueue::settle(LookupResult result, int refusals)
{
    LookupRequest rdap = result.request;
    const LookupFacts seen = readFacts(result, &rdap);
    const LookupStep step = nextStep(seen);
    switch (step) {
    case LookupStep::AnotherProxy:
        // Neither the proxy nor the server is known to be at fault yet: another proxy asks.
        m_pacer.onDropped(result.request.paceKey());
        requeue(result.request, refusals);
        dispatch();
        return;
    case LookupStep::ProxyCannotReach:
        // A proxy that cannot open a way to a server the others reach: its own way out is broken.
        result.proxyFailed = true;
        result.failure =
            proxyFailure(QStringLiteral("cannot reach %1, which answers through the other proxies (%2)")
                             .arg(result.request.serverName(), result.failure));
        [[fallthrough]];
    case LookupStep::ProxyFailed:
        onProxyFailure(result, refusals);
        dispatch();
        return;
    default:
        break;
    }
    noteReached(result.request.proxy);
    QString detail;
    if (step == LookupStep::AskRdap) {
        askRdap(result, rdap, refusals);
    } else if (paceAndRetry(step, result, refusals, &detail)) {
        ++m_lookupsEnded;
        if (step != LookupStep::Confirm) {
            const bool answered = step == LookupStep::File;
            NameFacts facts = result.facts;
            if (answered && seen.verdict == Verdict::Available && seen.rdap && !seen.confirming)
                facts.confirmed = Confirmation::Rdap;
            end(result.request, answered ? seen.verdict : Verdict::Unanswered, detail, facts);
            return;
        }
        startConfirmation(result.request, rdap);
    }
    dispatch();
}

void LookupQueue::noteReached(int proxy)
{
    if (proxy < 0)
        return;
    if (const int rests = m_proxies.onReached(proxy); rests > 1)
        Q_EMIT problem(QStringLiteral("Proxy %1 gets through again after %2 rests.")
                           .arg(m_proxies.proxy(proxy).displayName())
                           .arg(rests));
}

// Tells the pacer how the server did. A refusal puts the name back in its line (false) until its
// refusals or the server's quota run out; otherwise *detail is what to file it with.
bool LookupQueue::paceAndRetry(LookupStep step, const LookupResult& result, int refusals, QString* detail)
{
    const QString key = result.request.paceKey();
    if (step == LookupStep::Refused)
        return onRefusal(result, refusals, detail);
    if (step == LookupStep::Unanswered) {
        m_pacer.onSilence(key, m_clock.elapsed());
        if (result.neverConnected)
            noteConnectFailure(result.request, result.failure);
        *detail = result.failure;
        return true;
    }
    // An HTTP error status or an unreadable answer keeps the server alive but says nothing of the
    // name: it does not count as an answer when the search asks whether any server gave one.
    m_pacer.onAnswer(key, m_clock.elapsed(), result.judgement.verdict != Verdict::Unanswered);
    *detail = result.judgement.detail;
    return true;
}

LookupFacts LookupQueue::readFacts(const LookupResult& result, LookupRequest* rdap)
{
    const LookupRequest& request = result.request;
    LookupFacts facts;
    facts.viaProxy = request.proxy >= 0;
    facts.proxyFailed = result.proxyFailed;
    facts.neverConnected = result.neverConnected;
    facts.answered = result.answered;
    facts.tooLarge = result.tooLarge;
    facts.refused = result.judgement.refused;
    facts.rdap = request.isRdap();
    facts.verdict = result.judgement.verdict;
    facts.confirming = m_confirming.contains(request.entryNumber);
    if (facts.viaProxy && !facts.proxyFailed && !facts.neverConnected)
        m_reachedVia.insert(request.paceKey());
    if (facts.viaProxy && !facts.proxyFailed && facts.neverConnected) {
        facts.reachedThroughOtherProxy = reachedThroughOtherProxy(request);
        if (!facts.reachedThroughOtherProxy) {
            // Not through this proxy again, while another is left.
            quint32& avoid = m_avoid[request.entryNumber];
            avoid |= proxyBit(request.proxy);
            facts.otherProxyLeft = std::popcount(avoid) < m_proxies.count() && proxyBit(request.proxy) != 0;
        }
    }
    if (!facts.answered && !facts.tooLarge)
        facts.rdapFallback = m_router->rdapFallback(rdap);
    else if (facts.answered && !facts.refused && facts.verdict == Verdict::Available && !facts.confirming &&
             !facts.rdap)
        facts.canConfirm = m_router->confirmation(rdap);
    return facts;
}

bool LookupQueue::reachedThroughOtherProxy(const LookupRequest& request) const
{
    const QString server = request.serverKey();
    for (int other = 0; other < m_proxies.count(); ++other) {
        if (other != request.proxy && !m_proxies.isFailing(other) &&
            m_reachedVia.contains(server + QLatin1Char('|') + QString::number(other)))
            return true;
    }
    return false;
}

// A proxy that failed is rested and the name goes back first in its line, for another proxy; it is
// filed unanswered only once every proxy has failed again and again.
void LookupQueue::onProxyFailure(const LookupResult& result, int refusals)
{
    const qint64 now = m_clock.elapsed();
    const int proxy = result.request.proxy;
    m_pacer.onDropped(result.request.paceKey());
    // The first rest of a run is told; the longer ones that follow are counted, and told once it
    // gets through again, so that a failing proxy does not flood the messages.
    if (const qint64 rest = m_proxies.onFailure(proxy, now); rest > 0 && m_proxies.restsInARow(proxy) == 1)
        Q_EMIT problem(QStringLiteral("%1: %2; resting it %3 s%4.")
                           .arg(m_proxies.proxy(proxy).displayName(), result.failure)
                           .arg(rest / 1000.0)
                           .arg(m_proxies.count() > 1 ? QStringLiteral(", its names go through the others")
                                                      : QStringLiteral(", its names wait")));
    LookupRequest request = result.request;
    request.proxy = -1;
    m_avoid[request.entryNumber] |= proxyBit(proxy);
    if (m_proxies.allOut()) {
        ++m_lookupsEnded;
        ++m_connectFailures;
        const QString reason = QStringLiteral("no network proxy could be reached");
        if (m_firstConnectFailure.isEmpty())
            m_firstConnectFailure =
                QStringLiteral("No network proxy could be reached: %1").arg(result.failure);
        end(request, Verdict::Unanswered, reason);
        return;
    }
    requeue(request, refusals);
}

// A WHOIS server that gives no answer at all leaves the name to the registry's RDAP server, when
// the bootstrap names one; a proxy is the user's choice of server and is not gone around.
void LookupQueue::askRdap(const LookupResult& result, const LookupRequest& rdap, int refusals)
{
    const QString key = result.request.serverKey();
    // A server that cannot be reached, or that has let several names in a row go without an answer
    // (port 43 switched off behind a firewall that drops), sends the rest of its names to RDAP at once.
    const int silentInARow = m_pacer.onSilence(result.request.paceKey(), m_clock.elapsed());
    if ((result.neverConnected || silentInARow >= SilentBeforeRdap) && !m_whoisUnreachable.contains(key)) {
        m_whoisUnreachable.insert(key);
        Q_EMIT problem(QStringLiteral("%1 %2: %3; asking %4 over RDAP instead.")
                           .arg(result.neverConnected ? QStringLiteral("Cannot connect to")
                                                      : QStringLiteral("No answer from"),
                                result.request.serverName(), result.failure, rdap.rdapBase.toString()));
    }
    requeue(rdap, refusals);
}

// The name goes back behind its server's next name (false) until its refusals or the server's
// quota run out; then *detail is what to file it with.
bool LookupQueue::onRefusal(const LookupResult& result, int refusals, QString* detail)
{
    const QString key = result.request.paceKey();
    ++refusals;
    m_pacer.onRefusal(key, QString::fromUtf8(result.answer.left(4096)), result.namedWaitMs, m_clock.elapsed(),
                      refusals);
    switch (afterRefusal(refusals, m_pacer.quotaUsedUp(key))) {
    case RefusalStep::QuotaSpent:
        *detail = QStringLiteral("the daily quota of %1 is used up").arg(result.request.host);
        return true;
    case RefusalStep::RefusedTooOften:
        *detail = QStringLiteral("refused %1 times by %2").arg(refusals).arg(result.request.host);
        return true;
    case RefusalStep::AskAgainLater:
        break;
    }
    // Behind the next name of its server: that one is asked when the rest is over.
    requeue(result.request, refusals, Place::BehindNext);
    return false;
}

// WHOIS rules can misread a registry's wording; its RDAP service answers in a form that cannot be
// misread. The name goes first in the RDAP server's line, paced like any RDAP lookup.
void LookupQueue::startConfirmation(const LookupRequest& request, const LookupRequest& rdap)
{
    m_confirming.insert(request.entryNumber, request.host);
    requeue(rdap, 0);
}

void LookupQueue::end(const LookupRequest& request, Verdict verdict, QString detail, NameFacts facts)
{
    m_avoid.erase(request.entryNumber);
    const NameFacts asked = lookupFacts(request);
    facts.method = asked.method;
    facts.server = asked.server;
    if (const auto whois = m_confirming.constFind(request.entryNumber); whois != m_confirming.cend()) {
        const QString whoisHost = *whois;
        m_confirming.erase(whois);
        applyConfirmation(request, whoisHost, &verdict, &detail, &facts);
    }
    Q_EMIT ended(request, verdict, detail, facts);
}

void LookupQueue::requeue(const LookupRequest& request, int refusals, Place place)
{
    // Through whichever proxy's turn it is then.
    LookupRequest again = request;
    again.proxy = -1;
    Line& line = lineFor(again);
    if (place == Place::First)
        line.pushFront(WaitingName{again, refusals});
    else
        line.pushRetry(WaitingName{again, refusals, m_clock.elapsed()});
    ++m_waiting;
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

QList<ServerPacer::Stats> LookupQueue::serverStats() const
{
    QList<ServerPacer::Stats> all = m_pacer.stats();
    if (m_proxies.isEmpty())
        return all;
    // One line per server, the counts through every proxy added up.
    QList<ServerPacer::Stats> merged;
    for (const ServerPacer::Stats& stats : all) {
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const ServerPacer::Stats& m) { return m.name == stats.name; });
        if (same == merged.end()) {
            merged.append(stats);
            continue;
        }
        same->queries += stats.queries;
        same->answers += stats.answers;
        same->refusals += stats.refusals;
        same->pauses += stats.pauses;
    }
    std::sort(merged.begin(), merged.end(),
              [](const ServerPacer::Stats& a, const ServerPacer::Stats& b) { return a.queries > b.queries; });
    return merged;
}

qint64 LookupQueue::waitingForReadyServers() const
{
    SearchProgress progress;
    countWaiting(&progress);
    return progress.waitingSlot;
}

void LookupQueue::countWaiting(SearchProgress* progress) const
{
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    for (const auto& [key, line] : m_lines) {
        (serverHeldBack(key, now) ? progress->waitingServer : progress->waitingSlot) += line->size();
        if (serverRests(key, now))
            progress->waitingRest += line->size();
    }
}

void LookupQueue::reroute(const std::function<void(LookupRequest&)>& change)
{
    // A name may change servers, and so lines: every waiting name is taken out and put back.
    std::vector<WaitingName> all;
    for (auto& [key, line] : m_lines) {
        for (WaitingName& pending : line->takeAll())
            all.push_back(std::move(pending));
    }
    m_lines.clear();
    std::sort(all.begin(), all.end(), [](const WaitingName& a, const WaitingName& b) {
        return a.request.entryNumber < b.request.entryNumber;
    });
    for (WaitingName& pending : all) {
        // A confirmation is asked of RDAP whatever the table says.
        if (!m_confirming.contains(pending.request.entryNumber))
            change(pending.request);
        lineFor(pending.request).pushBack(pending.request, pending.queuedAt);
    }
}

} // namespace brisquel
