#include "lookup_queue.h"

#include "engine/lookup/lookup.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/lookup/proxy_list.h"
#include "engine/dispatch/search_progress.h"

#include <bit>
#include <cstring>
#include <limits>

namespace brisquel {

namespace {
quint32 proxyBit(int proxy)
{
    return proxy >= 0 && proxy < 32 ? quint32(1) << proxy : 0;
}

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

// One server's waiting names, in list order: the first ones as full requests, the rest packed
// into one buffer (entry number, name, ASCII form), so that a million names waiting for a slow
// server take a few bytes each.
class LookupQueue::Line
{
public:
    explicit Line(const LookupRequest& server)
        : m_server(server)
    {}

    qint64 size() const { return qint64(m_ready.size()) + m_packedCount; }
    bool isEmpty() const { return size() == 0; }
    const LookupRequest& server() const { return m_server; }

    void pushBack(const LookupRequest& request, qint64 now)
    {
        if (m_packedCount == 0 && qsizetype(m_ready.size()) < ReadyPerServer)
            m_ready.push_back({request, 0, now});
        else
            pack(request);
    }
    void pushFront(const Pending& pending) { m_ready.push_front(pending); }
    // A refused name goes behind the next name not yet refused (and the refused ones already
    // there), so that the server's next turn asks a new name.
    void pushRetry(const Pending& pending)
    {
        if (isEmpty()) {
            m_ready.push_back(pending);
            return;
        }
        front(); // unpacks
        auto at =
            std::find_if(m_ready.begin(), m_ready.end(), [](const Pending& p) { return p.refusals == 0; });
        if (at != m_ready.end())
            ++at;
        while (at != m_ready.end() && at->refusals > 0)
            ++at;
        m_ready.insert(at, pending);
    }
    Pending& front()
    {
        if (m_ready.empty())
            unpack();
        return m_ready.front();
    }
    Pending takeFront()
    {
        Pending first = front();
        m_ready.pop_front();
        return first;
    }
    // Everything waiting, in order, emptying the line.
    std::deque<Pending> takeAll()
    {
        while (m_packedCount > 0)
            unpack();
        return std::exchange(m_ready, {});
    }

private:
    void pack(const LookupRequest& request)
    {
        const qint64 entry = request.entryNumber;
        m_packed.append(reinterpret_cast<const char*>(&entry), sizeof entry);
        m_packed.append(request.domain.toUtf8()).append('\n').append(request.query.toLatin1()).append('\n');
        ++m_packedCount;
    }
    // Moves packed names back into full requests, a batch at a time.
    void unpack()
    {
        for (qsizetype n = 0; n < ReadyPerServer && m_packedCount > 0; ++n, --m_packedCount) {
            Pending pending{m_server, 0, 0};
            std::memcpy(&pending.request.entryNumber, m_packed.constData() + m_packedAt, sizeof(qint64));
            m_packedAt += sizeof(qint64);
            const qsizetype domainEnd = m_packed.indexOf('\n', m_packedAt);
            pending.request.domain =
                QString::fromUtf8(m_packed.constData() + m_packedAt, domainEnd - m_packedAt);
            const qsizetype queryEnd = m_packed.indexOf('\n', domainEnd + 1);
            pending.request.query =
                QString::fromLatin1(m_packed.constData() + domainEnd + 1, queryEnd - domainEnd - 1);
            m_packedAt = queryEnd + 1;
            m_ready.push_back(std::move(pending));
        }
        // Drop what was read once it is most of the buffer, so the buffer never only grows.
        if (m_packedCount == 0 || m_packedAt > m_packed.size() / 2) {
            m_packed.remove(0, m_packedAt);
            m_packedAt = 0;
        }
    }

    LookupRequest m_server; // the server part of every request in the line
    std::deque<Pending> m_ready;
    QByteArray m_packed;
    qsizetype m_packedAt = 0;
    qint64 m_packedCount = 0;
};

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
        // Names settled meanwhile (by DNS) leave without a query.
        while (!line->isEmpty() && m_stillWanted && !m_stillWanted(line->front().request.entryNumber)) {
            m_confirming.remove(line->takeFront().request.entryNumber);
            --m_waiting;
        }
        if (line->isEmpty())
            continue;
        Pending& front = line->front();
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

// Asks the first name of the line, or ends it at once when its server's quota is spent; false
// when a listener stopped the queue.
bool LookupQueue::send(Line& line, int proxy, qint64 now)
{
    Pending lookup = line.takeFront();
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

LookupQueue::Watched LookupQueue::watched(const QString& lineKey, const Line& line) const
{
    LookupRequest rdap = line.server();
    if (m_whoisUnreachable.contains(lineKey) && m_router->rdapFallback(&rdap))
        return {rdap.serverKey(), rdap.host};
    return {lineKey, line.server().host};
}

// A server held silent for the dead time: its waiting names end unanswered, all at once; names
// waiting to have their freedom confirmed stay free, unconfirmed.
void LookupQueue::giveUp(Line& line, const QString& host, const QString& why)
{
    const QString reason =
        !why.isEmpty()
            ? why
            : QStringLiteral("%1 did not answer for %2").arg(host, minutesText(m_pacer.deadAfterMs()));
    const std::deque<Pending> names = line.takeAll();
    if (!m_givenUp.contains(why.isEmpty() ? host : why)) {
        m_givenUp.insert(why.isEmpty() ? host : why);
        const auto confirming = std::count_if(names.begin(), names.end(), [this](const Pending& pending) {
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
    for (const Pending& pending : names) {
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
    if (triedAnotherProxy(&result, refusals)) {
        dispatch();
        return;
    }
    if (result.proxyFailed && result.request.proxy >= 0) {
        onProxyFailure(result, refusals);
        dispatch();
        return;
    }
    if (result.request.proxy >= 0) {
        if (const int rests = m_proxies.onReached(result.request.proxy); rests > 1)
            Q_EMIT problem(QStringLiteral("Proxy %1 gets through again after %2 rests.")
                               .arg(m_proxies.proxy(result.request.proxy).displayName())
                               .arg(rests));
    }
    QString detail;
    if (fallBackToRdap(result, refusals) || !paceAndRetry(result, refusals, &detail)) {
        dispatch();
        return;
    }
    ++m_lookupsEnded;
    const bool answered = result.answered && !result.judgement.refused;
    const Verdict verdict = answered ? result.judgement.verdict : Verdict::Unanswered;
    NameFacts facts = result.facts;
    if (verdict == Verdict::Available && !m_confirming.contains(result.request.entryNumber)) {
        // RDAP's own "not found" needs no second word; a WHOIS "free" asks for one.
        if (result.request.isRdap())
            facts.confirmed = Confirmation::Rdap;
        else if (startConfirmation(result.request)) {
            dispatch();
            return;
        }
    }
    end(result.request, verdict, detail, facts);
}

bool LookupQueue::triedAnotherProxy(LookupResult* result, int refusals)
{
    const int proxy = result->request.proxy;
    if (proxy >= 0 && !result->proxyFailed && !result->neverConnected)
        m_reachedVia.insert(result->request.paceKey());
    // Connected and then silent: the proxy is alive (it was asked), so the silence is the server's.
    if (proxy < 0 || result->proxyFailed || !result->neverConnected)
        return false;
    const QString server = result->request.serverKey();
    for (int other = 0; other < m_proxies.count(); ++other) {
        if (other != proxy && !m_proxies.isFailing(other) &&
            m_reachedVia.contains(server + QLatin1Char('|') + QString::number(other))) {
            // A proxy that cannot open a way to a server the others reach: its own way out is broken.
            result->proxyFailed = true;
            result->failure = proxyFailure(QStringLiteral("cannot reach %1, which answers through the other "
                                                          "proxies (%2)")
                                               .arg(result->request.serverName(), result->failure));
            result->neverConnected = true;
            return false;
        }
    }
    quint32& avoid = m_avoid[result->request.entryNumber];
    avoid |= proxyBit(proxy);
    if (std::popcount(avoid) >= m_proxies.count() || proxyBit(proxy) == 0)
        return false;
    // Neither the proxy nor the server is known to be at fault yet: another proxy asks.
    m_pacer.onDropped(result->request.paceKey());
    requeue(result->request, refusals);
    return true;
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

// WHOIS rules can misread a registry's wording; its RDAP service answers in a form that cannot be
// misread. The name goes first in the RDAP server's line, paced like any RDAP lookup.
bool LookupQueue::startConfirmation(const LookupRequest& request)
{
    LookupRequest rdap = request;
    if (!m_router->confirmation(&rdap))
        return false;
    m_confirming.insert(request.entryNumber, request.host);
    requeue(rdap, 0);
    return true;
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

// A WHOIS server that gives no answer at all leaves the name to the registry's RDAP server, when
// the bootstrap names one; a proxy is the user's choice of server and is not gone around.
bool LookupQueue::fallBackToRdap(const LookupResult& result, int refusals)
{
    if (result.answered || result.tooLarge)
        return false;
    LookupRequest request = result.request;
    if (!m_router->rdapFallback(&request))
        return false;
    const QString key = result.request.serverKey();
    // A server that cannot be reached, or that has let several names in a row go without an answer
    // (port 43 switched off behind a firewall that drops), sends the rest of its names to RDAP at once.
    const int silentInARow = m_pacer.onSilence(result.request.paceKey(), m_clock.elapsed());
    if ((result.neverConnected || silentInARow >= SilentBeforeRdap) && !m_whoisUnreachable.contains(key)) {
        m_whoisUnreachable.insert(key);
        Q_EMIT problem(QStringLiteral("%1 %2: %3; asking %4 over RDAP instead.")
                           .arg(result.neverConnected ? QStringLiteral("Cannot connect to")
                                                      : QStringLiteral("No answer from"),
                                result.request.serverName(), result.failure, request.rdapBase.toString()));
    }
    requeue(request, refusals);
    return true;
}

// Tells the pacer how the server did. A refusal puts the name back first in line (false) until its
// refusals or the server's quota run out; otherwise *detail is what to file it with.
bool LookupQueue::paceAndRetry(const LookupResult& result, int refusals, QString* detail)
{
    const QString key = result.request.paceKey();
    const qint64 now = m_clock.elapsed();
    if (!result.answered) {
        m_pacer.onSilence(key, now);
        if (result.neverConnected)
            noteConnectFailure(result.request, result.failure);
        *detail = result.failure;
        return true;
    }
    if (!result.judgement.refused) {
        // An HTTP error status or an unreadable answer keeps the server alive but says nothing of
        // the name: it does not count as an answer when the search asks whether any server gave one.
        m_pacer.onAnswer(key, now, result.judgement.verdict != Verdict::Unanswered);
        *detail = result.judgement.detail;
        return true;
    }
    ++refusals;
    m_pacer.onRefusal(key, QString::fromUtf8(result.answer.left(4096)), result.namedWaitMs, now, refusals);
    if (m_pacer.quotaUsedUp(key)) {
        *detail = QStringLiteral("the daily quota of %1 is used up").arg(result.request.host);
        return true;
    }
    if (refusals >= MaxRefusals) {
        *detail = QStringLiteral("refused %1 times by %2").arg(refusals).arg(result.request.host);
        return true;
    }
    // Behind the next name of its server: that one is asked when the rest is over.
    requeue(result.request, refusals, Place::BehindNext);
    return false;
}

void LookupQueue::requeue(const LookupRequest& request, int refusals, Place place)
{
    // Through whichever proxy's turn it is then.
    LookupRequest again = request;
    again.proxy = -1;
    Line& line = lineFor(again);
    if (place == Place::First)
        line.pushFront(Pending{again, refusals});
    else
        line.pushRetry(Pending{again, refusals, m_clock.elapsed()});
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
    std::vector<Pending> all;
    for (auto& [key, line] : m_lines) {
        for (Pending& pending : line->takeAll())
            all.push_back(std::move(pending));
    }
    m_lines.clear();
    std::sort(all.begin(), all.end(), [](const Pending& a, const Pending& b) {
        return a.request.entryNumber < b.request.entryNumber;
    });
    for (Pending& pending : all) {
        // A confirmation is asked of RDAP whatever the table says.
        if (!m_confirming.contains(pending.request.entryNumber))
            change(pending.request);
        lineFor(pending.request).pushBack(pending.request, pending.queuedAt);
    }
}

} // namespace brisquel
