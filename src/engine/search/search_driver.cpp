#include "search_driver.h"

#include "engine/filing/check_history.h"
#include "engine/dns/dns_precheck.h"
#include "engine/dns/dns_stage.h"
#include "engine/names/lookup_name.h"
#include "engine/dispatch/lookup_queue.h"
#include "engine/filing/name_set.h"
#include "engine/filing/result_lists.h"
#include "engine/search/resume_point.h"
#include "engine/search/unsettled_entries.h"
#include "engine/zones/zone_shelf.h"
#include "engine/filing/verdict_filer.h"
#include "sources/list_file.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"

#include <QAbstractEventDispatcher>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <deque>
#include <limits>
#include <utility>

namespace brisquel {

namespace {
constexpr int PositionSaveIntervalMs = 500;
constexpr int WaitingRefreshMs = 1000;
// Entries read ahead of the pool, so that names of a server with budget can go while others wait.
// Names read ahead for servers that could take them now; names for resting or rationed servers
// do not count, so that reading goes on past them (they wait packed, a few bytes each), up to a
// bound on memory.
constexpr qint64 LookAhead = 2000;
constexpr qint64 MaxWaiting = 2000000;
// Names waiting for DNS at most; past it a name goes to its registry only.
constexpr qint64 DnsBacklog = 20000;
// Verdicts filed in one batch at most: names settled without a query (history) may come by the
// thousand in one turn of the event loop.
constexpr size_t MostBatched = 1000;

bool parseWholeNumber(const QString& text, qint64* number)
{
    bool ok = false;
    *number = text.trimmed().toLongLong(&ok);
    return ok;
}

} // namespace

class SearchDriver::Private
{
public:
    explicit Private(SearchDriver* q)
        : q(q)
        , queue(&router)
    {}

    // A verdict filed in this turn of the event loop, on its way to the disk.
    struct Settled
    {
        qint64 entry = 0;
        QString domain;
        Verdict verdict = Verdict::Unanswered;
        QString detail;
        NameFacts facts;
    };
    // Where the resume position stood when the history had taken `recorded` verdicts.
    struct PositionMark
    {
        qint64 recorded = 0;
        qint64 position = 0;
    };

    // Everything one search knows; a new search starts from a fresh one.
    struct Run
    {
        SearchRequest request;
        QString listIdentity;
        qint64 startEntry = 1;
        qint64 nextEntry = 1;
        qint64 entryTotal = 0;
        bool running = false;
        bool exhausted = false; // the whole list has been read
        bool dns = false;       // the pre-check is on for this search
        bool dnsOffForProxies = false;
        // Entries read and handed on (to DNS or a registry) whose verdict is not yet filed.
        UnsettledEntries unsettled;
        NameSet seen;
        qint64 available = 0;
        qint64 taken = 0;
        qint64 unanswered = 0;
        qint64 skipped = 0;
        qint64 dnsSettled = 0;
        qint64 historySettled = 0;
        qint64 zoneSettled = 0;
        qint64 dropping = 0;
        // Names whose newest check of the last days found them taken, read from the history at the start.
        QHash<QString, TakenCheck> recent;
        // The history's count of verdicts it could not write, when this search started.
        qint64 historyLostBefore = 0;
        QDateTime startedAt;
        // Entries DNS found undelegated, until filed: a free verdict of theirs counts as confirmed.
        QSet<qint64> dnsClear;
        QString saveFailure;
        QString listFailure;
        bool positionReported = false;
        bool positionDirty = false;
        // Filed in this turn of the event loop, for writeBatch().
        std::vector<Settled> batch;
        // A batch is being written and told: a listener that runs the event loop meanwhile (a
        // modal box) files the names that end then with the next batch.
        bool writing = false;
        // The lowest entry filed and not yet on disk (the batch), or that could not be saved: the
        // resume position stays at it.
        qint64 heldAt = std::numeric_limits<qint64>::max();
        // Positions waiting for the history to write what came before them.
        std::deque<PositionMark> marks;
    };

    // The lowest entry not yet settled: with DNS, waiting for its server, in flight, next to read,
    // or filed with a batch not yet on disk.
    qint64 resumePosition() const
    {
        const qint64 position =
            run.unsettled.isEmpty() ? run.nextEntry : std::min(run.nextEntry, run.unsettled.lowest());
        return std::min(position, run.heldAt);
    }
    bool allDone() const { return run.exhausted && queue.isEmpty(); }
    // The next names go out, the panels follow, and a search with nothing left ends.
    void carryOn()
    {
        if (!run.running || !readAhead())
            return;
        queue.dispatch();
        if (!run.running)
            return;
        showProgress();
        if (allDone())
            end(false);
    }
    bool readAhead();
    bool takeEntry(qint64 number, const QString& entry);
    void skip(qint64 number, const QString& shown, const char* why);
    bool stopOnListFailure();
    void settle(const LookupRequest& request, Verdict verdict, const QString& detail, NameFacts facts = {});
    bool stage(qint64 entry, const QString& domain, Verdict verdict, const QString& detail,
               const NameFacts& facts);
    bool writeBatch();
    void announce(const Settled& settled, bool saved);
    void markPositionChanged();
    void stopOnSaveFailure(const VerdictFiler::Filed& filed);
    void showProgress();
    std::optional<qint64> positionToSave();
    void savePosition();
    void end(bool stopped);

    SearchDriver* q;
    SettingsStore* settings = nullptr;
    const ExtensionTable* table = nullptr;
    VerdictFiler* filer = nullptr;
    LookupRouter router;
    LookupQueue queue;
    DnsStage dnsStage;
    ListFileReader reader;

    LookupTimings timings;
    QString defaultExtension = QStringLiteral(".com");
    bool checkDnsFirst = false; // for the next search
    int historyDays = 0;
    int zoneDays = 0;
    ZoneShelf zones; // the zones a search settles names from, opened at its start
    bool keepsPosition = true;
    QList<ProxyEntry> proxies;  // for the next search
    QString dnsServer;

    Run run;
    QTimer positionTimer;
    // Writes the batch where the event loop is run without ever going to sleep (which is when
    // batches are written otherwise); a zero timer fires at the end of the turn that started it.
    QTimer batchTimer;
    QTimer waitingTimer;
};

SearchDriver::SearchDriver(SettingsStore* settings, const ExtensionTable* table, VerdictFiler* filer,
                           QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    d->settings = settings;
    d->table = table;
    d->filer = filer;
    d->router.setTable(table);
    d->queue.setStillWanted([this](qint64 entry) { return d->run.unsettled.contains(entry); });
    d->positionTimer.setSingleShot(true);
    connect(&d->positionTimer, &QTimer::timeout, this, [this] { d->savePosition(); });
    d->waitingTimer.setInterval(WaitingRefreshMs);
    connect(&d->waitingTimer, &QTimer::timeout, this, [this] { d->showProgress(); });
    connect(&d->queue, &LookupQueue::ended, this,
            [this](const LookupRequest& request, Verdict verdict, const QString& detail, const NameFacts& facts) {
                if (d->run.running)
                    d->settle(request, verdict, detail, facts);
            });
    connect(&d->queue, &LookupQueue::connecting, this, [this](int slot, const QString& domain) {
        Q_EMIT statusText(3, QStringLiteral("connecting(%1): - Search String: %2").arg(slot).arg(domain));
    });
    connect(&d->queue, &LookupQueue::serverWaiting, this, [this](const QString& text) {
        Q_EMIT statusText(3, text);
        Q_EMIT serverWaiting(text);
    });
    connect(&d->queue, &LookupQueue::problem, this, &SearchDriver::problem);
    connect(&d->queue, &LookupQueue::woke, this, [this] { d->carryOn(); });
    // DNS only ever saves a registry query: a name still waiting when its zone turns out to
    // delegate it is settled as taken; one already asked of its registry keeps that answer.
    connect(&d->dnsStage, &DnsStage::passed, this, [this](const LookupRequest& request, bool undelegated) {
        d->queue.dnsAnswered(request.entryNumber);
        if (undelegated && d->run.unsettled.contains(request.entryNumber))
            d->run.dnsClear.insert(request.entryNumber);
        d->carryOn();
    });
    connect(&d->dnsStage, &DnsStage::delegated, this, [this](const LookupRequest& request) {
        const qint64 entry = request.entryNumber;
        d->queue.dnsAnswered(entry);
        if (!d->run.running || !d->run.unsettled.contains(entry) || d->queue.isInFlight(entry))
            return;
        ++d->run.dnsSettled;
        NameFacts facts;
        facts.method = CheckMethod::Dns;
        d->settle(request, Verdict::Registered, QStringLiteral("delegated in DNS"), facts);
    });
    connect(&d->dnsStage, &DnsStage::notice, this, [this](const QString& text) {
        Q_EMIT statusText(3, text);
        Q_EMIT problem(text);
    });
    // What a turn of the event loop filed goes to disk as the loop goes to sleep.
    d->batchTimer.setSingleShot(true);
    d->batchTimer.setInterval(0);
    const auto writeBatch = [this] {
        if (d->run.running)
            d->writeBatch();
    };
    connect(&d->batchTimer, &QTimer::timeout, this, writeBatch);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, writeBatch);
}

SearchDriver::~SearchDriver()
{
    // Positions are still saved, but nobody is told: the listeners may be half destroyed.
    if (d->run.running) {
        blockSignals(true);
        stop();
    }
}

void SearchDriver::setPoolSize(int size)
{
    d->queue.setPoolSize(std::clamp(size, 1, 100));
}

void SearchDriver::setTimings(LookupTimings timings)
{
    d->timings = timings;
}

void SearchDriver::setDeadServerMs(qint64 ms)
{
    d->timings.deadServerMs = std::max<qint64>(1, ms);
}

void SearchDriver::setUseProxy(bool useProxy)
{
    d->router.setUseProxy(useProxy);
    reloadServers();
}

void SearchDriver::reloadServers()
{
    if (d->router.hasServerOverride() || !d->table)
        return;
    // Names read ahead go where the table sends them now, those still with DNS too.
    const auto reroute = [this](LookupRequest& request) {
        LookupRequest routed = request;
        QString reason;
        if (d->router.route(&routed, &reason))
            request = routed;
    };
    d->queue.reroute(reroute);
    if (d->run.running)
        d->queue.dispatch();
}

bool SearchDriver::useProxy() const
{
    return d->router.useProxy();
}

void SearchDriver::setDefaultExtension(const QString& extension)
{
    d->defaultExtension = extension;
}

void SearchDriver::setServerLimits(const ServerLimitsTable& limits)
{
    // Servers of a running search take the new limits; a pace learned from refusals stays.
    d->queue.setServerLimits(limits);
}

QList<SearchDriver::ServerStats> SearchDriver::serverStats() const
{
    return d->queue.serverStats();
}

void SearchDriver::setRdapBootstrap(std::shared_ptr<const RdapBootstrap> bootstrap)
{
    d->router.setRdapBootstrap(std::move(bootstrap));
}

void SearchDriver::setPreferRdap(bool prefer)
{
    d->router.setPreferRdap(prefer);
    reloadServers();
}

bool SearchDriver::preferRdap() const
{
    return d->router.preferRdap();
}

bool SearchDriver::setDnsPrecheck(bool on, const QString& server, QString* error)
{
    if (!DnsPrecheck::isResolverAddress(server, error))
        return false;
    // A running search keeps what it started with; the next one takes this.
    d->checkDnsFirst = on;
    d->dnsServer = server.trimmed();
    return true;
}

void SearchDriver::setProxies(const QList<ProxyEntry>& proxies)
{
    d->proxies = proxies;
    d->router.setProxies(proxies);
    // A running search keeps its own: the lookups in flight are not cut off.
    if (!d->run.running)
        d->queue.setProxies(proxies);
}

int SearchDriver::proxyCount() const
{
    return d->queue.proxyCount();
}

QList<SearchDriver::ProxyStats> SearchDriver::proxyStats() const
{
    return d->queue.proxyStats();
}

bool SearchDriver::dnsPrecheckInEffect() const
{
    return d->run.dns;
}

bool SearchDriver::dnsPrecheck() const
{
    return d->checkDnsFirst;
}

qint64 SearchDriver::dnsSettledCount() const
{
    return d->run.dnsSettled;
}

void SearchDriver::setConfirmFree(bool confirm)
{
    d->router.setConfirmFree(confirm);
}

bool SearchDriver::confirmFree() const
{
    return d->router.confirmFree();
}

qint64 SearchDriver::droppingCount() const
{
    return d->run.dropping;
}

void SearchDriver::setHistoryDays(int days)
{
    d->historyDays = std::max(0, days);
}

int SearchDriver::historyDays() const
{
    return d->historyDays;
}

void SearchDriver::setKeepsPosition(bool keeps)
{
    d->keepsPosition = keeps;
}

void SearchDriver::setZones(const QString& folder, int days)
{
    d->zones = ZoneShelf(folder);
    d->zoneDays = std::max(0, days);
}

int SearchDriver::zoneDays() const
{
    return d->zoneDays;
}

qint64 SearchDriver::zoneSettledCount() const
{
    return d->run.zoneSettled;
}

qint64 SearchDriver::historySettledCount() const
{
    return d->run.historySettled;
}

void SearchDriver::setAnswerRules(std::shared_ptr<const AnswerRules> rules)
{
    d->queue.setAnswerRules(std::move(rules));
}

void SearchDriver::setServerOverride(std::optional<ServerOverride> server)
{
    d->router.setServerOverride(std::move(server));
}

const LookupRouter& SearchDriver::router() const
{
    return d->router;
}

bool SearchDriver::isRunning() const
{
    return d->run.running;
}

qint64 SearchDriver::resumePosition() const
{
    return d->resumePosition();
}

qint64 SearchDriver::unansweredCount() const
{
    return d->run.unanswered;
}

QString SearchDriver::unansweredFilePath() const
{
    return d->filer->unansweredFilePath();
}

QString SearchDriver::saveFailure() const
{
    return d->run.saveFailure;
}

QString SearchDriver::listFailure() const
{
    return d->run.listFailure;
}

bool SearchDriver::start(const SearchRequest& request, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (d->run.running)
        return fail(QStringLiteral("A search is already running."));
    qint64 start = 0;
    qint64 total = 0;
    if (!parseWholeNumber(request.startNumber, &start) || start < 1)
        return fail(QStringLiteral("The start number \"%1\" is not a whole number of 1 or more.")
                        .arg(request.startNumber));
    if (!parseWholeNumber(request.entryTotal, &total) || total < 0)
        return fail(
            QStringLiteral("The number of entries \"%1\" is not a whole number.").arg(request.entryTotal));
    if (request.listFile.isEmpty())
        return fail(QStringLiteral("No list file has been chosen."));
    if (!fileExists(request.listFile))
        return fail(QStringLiteral("The list file %1 does not exist.").arg(request.listFile));
    // Taken before the file is opened: a position saved with it belongs to what is read now.
    const QString identity = listFileIdentity(request.listFile);
    QString openError;
    if (!d->reader.open(request.listFile, &openError))
        return fail(QStringLiteral("The list file %1 cannot be read: %2").arg(request.listFile, openError));
    if (!d->router.hasServers())
        return fail(QStringLiteral("The extension table is empty: there is no WHOIS server to ask."));
    if (!d->filer->claim(error)) {
        d->reader.close();
        return false;
    }
    d->reader.seekEntry(start);
    d->run = Private::Run{};
    d->run.request = request;
    d->run.listIdentity = identity;
    d->run.startEntry = d->run.nextEntry = start;
    d->run.entryTotal = total;
    d->run.running = true;
    d->run.startedAt = QDateTime::currentDateTimeUtc();
    if (d->filer->history())
        d->run.historyLostBefore = d->filer->history()->lostCount();
    if (d->historyDays > 0 && d->filer->history())
        d->run.recent = d->filer->history()->takenSince(d->run.startedAt.addDays(-d->historyDays));
    // DNS goes out straight, not through the proxies: only to a server the user named.
    d->queue.setProxies(d->proxies);
    d->run.dnsOffForProxies = d->checkDnsFirst && !d->proxies.isEmpty() && d->dnsServer.isEmpty();
    d->run.dns = d->checkDnsFirst && !d->run.dnsOffForProxies;
    if (d->run.dns)
        d->dnsStage.prepare(d->dnsServer, d->timings.attemptMs);
    QStringList zoneNotices;
    d->zones.open(d->zoneDays, d->run.startedAt, &zoneNotices);
    for (const QString& notice : zoneNotices)
        Q_EMIT problem(notice);
    d->queue.begin(d->timings);
    d->filer->reloadNameFiles();
    d->filer->lists()->resetCounters();
    Q_EMIT unansweredCountChanged(0);
    d->carryOn();
    return true;
}

void SearchDriver::stop()
{
    if (d->run.running)
        d->end(true);
}

void SearchDriver::Private::skip(qint64 number, const QString& shown, const char* why)
{
    ++run.skipped;
    Q_EMIT q->problem(QStringLiteral("Entry %1 %2 %3; skipped.").arg(number).arg(shown, QLatin1String(why)));
}

// Routes one entry read from the list into the queues; false when the search had to stop.
bool SearchDriver::Private::takeEntry(qint64 number, const QString& entry)
{
    const QString domain = lookupDomain(entry, defaultExtension);
    if (!isQueryableDomain(domain)) {
        skip(number, quotedEntry(entry), "is not a domain name");
        return true;
    }
    const QString query = queryDomain(domain);
    if (query.isEmpty()) {
        skip(number, quotedEntry(entry), "has no valid ASCII (IDNA) form");
        return true;
    }
    if (!run.seen.insert(domain)) {
        skip(number, QLatin1Char('"') + domain + QLatin1Char('"'), "was already looked up in this search");
        return true;
    }
    if (!run.recent.isEmpty()) {
        const auto last = run.recent.constFind(query.toLower());
        if (last != run.recent.cend()) {
            if (const std::optional<QString> detail = settledByHistory(*last, historyDays, run.startedAt)) {
                NameFacts facts;
                facts.method = CheckMethod::History;
                facts.lifeCycle = {last->state, last->expires};
                return stage(number, domain, last->verdict, *detail, facts);
            }
        }
    }
    if (const std::optional<QString> detail = zones.settle(query)) {
        NameFacts facts;
        facts.method = CheckMethod::Zone;
        return stage(number, domain, Verdict::Registered, *detail, facts);
    }
    LookupRequest request;
    request.domain = domain;
    if (query != domain)
        request.query = query;
    request.entryNumber = number;
    QString reason;
    if (!router.route(&request, &reason))
        return stage(number, domain, Verdict::Unanswered, reason, NameFacts());
    run.unsettled.insert(number);
    queue.add(request);
    if (run.dns && dnsStage.isActive() && dnsStage.size() < DnsBacklog) {
        dnsStage.add(request);
        queue.awaitDns(number);
    }
    return true;
}

bool SearchDriver::Private::readAhead()
{
    const auto wantsMore = [this] {
        return queue.waitingForReadyServers() < LookAhead && queue.waitingCount() < MaxWaiting;
    };
    QString entry;
    while (run.running && wantsMore() && reader.readEntry(&entry)) {
        const qint64 number = reader.entryNumber();
        run.nextEntry = number + 1;
        if (!takeEntry(number, entry))
            return false;
    }
    if (run.running && wantsMore() && !run.exhausted) {
        run.exhausted = true;
        if (stopOnListFailure())
            return false;
    }
    if (run.dns)
        dnsStage.feed();
    return run.running;
}

// Names after a read error or a cut are unknown: stop where the list is still known to be right.
bool SearchDriver::Private::stopOnListFailure()
{
    if (!reader.hasError() && !reader.hasShrunk())
        return false;
    const QString why = reader.hasShrunk() ? QStringLiteral("became shorter during the search")
                                           : QStringLiteral("could not be read on");
    run.listFailure =
        QStringLiteral("The list file %1 %2. The search stopped; check the list and press Start to go on.")
            .arg(run.request.listFile, why);
    Q_EMIT q->searchStopped(run.listFailure);
    end(true);
    return true;
}

void SearchDriver::Private::settle(const LookupRequest& request, Verdict verdict, const QString& detail,
                                   NameFacts facts)
{
    // DNS knows less than RDAP (a registered name need not be delegated), but it is a second word.
    if (run.dnsClear.remove(request.entryNumber) && verdict == Verdict::Available &&
        facts.confirmed == Confirmation::None)
        facts.confirmed = Confirmation::Dns;
    run.unsettled.erase(request.entryNumber);
    if (stage(request.entryNumber, request.domain, verdict, detail, facts))
        carryOn();
}

// Files a verdict with this turn's batch; until the batch is on disk, the search goes on from its
// lowest entry next time. False when the search stopped.
bool SearchDriver::Private::stage(qint64 entry, const QString& domain, Verdict verdict, const QString& detail,
                                  const NameFacts& facts)
{
    const VerdictFiler::Filed filed = filer->stage(domain, verdict, detail, facts);
    run.batch.push_back({entry, domain, verdict, filed.detail, facts});
    run.heldAt = std::min(run.heldAt, entry);
    if (!batchTimer.isActive())
        batchTimer.start();
    return run.batch.size() < MostBatched || writeBatch();
}

// Writes the batch (one write per file), tells the listeners, and only then lets the resume
// position pass the entries that reached the disk; false when the search stopped (a find that
// could not be saved, or a listener that could not keep what it was told).
bool SearchDriver::Private::writeBatch()
{
    if (run.batch.empty() || run.writing)
        return run.running;
    batchTimer.stop();
    const std::vector<Settled> batch = std::exchange(run.batch, {});
    run.writing = true;
    const auto written = qScopeGuard([this] { run.writing = false; });
    const std::vector<VerdictFiler::Filed> filed = filer->writeStaged();
    Q_ASSERT(filed.size() == batch.size());
    std::optional<VerdictFiler::Filed> failure;
    for (size_t i = 0; i < batch.size() && run.running; ++i) {
        if (!filed[i].saved && !failure)
            failure = filed[i];
        announce(batch[i], filed[i].saved);
    }
    if (run.running)
        Q_EMIT q->verdictsFiled();
    // A listener that stopped the search keeps the position at the batch.
    if (!run.running)
        return false;
    qint64 held = std::numeric_limits<qint64>::max();
    for (size_t i = 0; i < batch.size(); ++i) {
        if (!filed[i].saved)
            held = std::min(held, batch[i].entry);
    }
    for (const Settled& next : run.batch)
        held = std::min(held, next.entry);
    run.heldAt = held;
    if (!run.batch.empty())
        batchTimer.start();
    markPositionChanged();
    if (failure) {
        stopOnSaveFailure(*failure);
        return false;
    }
    return true;
}

void SearchDriver::Private::announce(const Settled& settled, bool saved)
{
    if (settled.verdict == Verdict::Unanswered) {
        // Told whether or not Unanswered.txt took it: the name went without an answer either way.
        ++run.unanswered;
        Q_EMIT q->unansweredCountChanged(run.unanswered);
    } else if (saved) {
        if (settled.verdict != Verdict::Available && settled.facts.lifeCycle.isDropping())
            ++run.dropping;
        if (settled.facts.method == CheckMethod::History)
            ++run.historySettled;
        if (settled.facts.method == CheckMethod::Zone)
            ++run.zoneSettled;
        ++(settled.verdict == Verdict::Available ? run.available : run.taken);
    } else {
        // What is not on disk is not shown as found either.
        return;
    }
    Q_EMIT q->verdict(settled.domain, settled.verdict, settled.detail, settled.facts);
}

void SearchDriver::Private::markPositionChanged()
{
    run.positionDirty = true;
    if (!positionTimer.isActive())
        positionTimer.start(PositionSaveIntervalMs);
}

void SearchDriver::Private::stopOnSaveFailure(const VerdictFiler::Filed& filed)
{
    run.saveFailure = QStringLiteral("Cannot write %1: %2. The search stopped; %3 and press Start to go on.")
                          .arg(filed.file, filed.cause, filed.advice);
    Q_EMIT q->searchStopped(run.saveFailure);
    end(true);
}

void SearchDriver::Private::showProgress()
{
    // While only the last answers are awaited nothing else happens: a timer keeps the wait current.
    if (run.exhausted && queue.inFlightCount() > 0 && !waitingTimer.isActive())
        waitingTimer.start();
    Q_EMIT q->progressChanged();
}

SearchProgress SearchDriver::progress() const
{
    const Private::Run& run = d->run;
    SearchProgress progress;
    progress.startEntry = run.startEntry;
    progress.total = run.entryTotal;
    progress.inFlight = d->queue.inFlightCount();
    d->queue.countWaiting(&progress);
    // Entries read are settled unless they are still on their way: the resume position's count.
    progress.settled =
        std::max<qint64>(0, run.nextEntry - 1 - qint64(run.unsettled.size()) - qint64(run.batch.size()));
    if (progress.total > 0)
        progress.settled = std::min(progress.settled, progress.total);
    progress.dnsOn = run.dns;
    progress.dnsOffForProxies = run.dnsOffForProxies;
    progress.proxies = d->queue.proxyCount();
    progress.dnsSettled = run.dnsSettled;
    progress.historySettled = run.historySettled;
    progress.zoneSettled = run.zoneSettled;
    // Read as it stands: a history that writes after the search waits for it still counts.
    if (d->filer->history() && run.startedAt.isValid())
        progress.historyLost = d->filer->history()->lostCount() - run.historyLostBefore;
    progress.dropping = run.dropping;
    progress.available = run.available;
    progress.taken = run.taken;
    progress.unanswered = run.unanswered;
    progress.resumeEntry = d->resumePosition();
    progress.listRead = run.exhausted;
    if (progress.listRead)
        progress.longestAnswerWaitMs = d->queue.longestAnswerWaitMs();
    return progress;
}

// The resume position as far as the history has written the verdicts before it, so that a kill
// never leaves the position past a verdict the history lost. Each look marks where the position
// stands against what was recorded; a later look takes the newest mark the history caught up with.
std::optional<qint64> SearchDriver::Private::positionToSave()
{
    const qint64 position = resumePosition();
    CheckHistory* history = filer->history();
    if (!history)
        return position;
    const qint64 recorded = history->recordedCount();
    const qint64 written = history->writtenCount();
    if (written >= recorded) {
        run.marks.clear();
        return position;
    }
    run.marks.push_back({recorded, position});
    std::optional<qint64> caughtUp;
    while (!run.marks.empty() && run.marks.front().recorded <= written) {
        caughtUp = run.marks.front().position;
        run.marks.pop_front();
    }
    return caughtUp;
}

void SearchDriver::Private::savePosition()
{
    if (!run.positionDirty || !keepsPosition)
        return;
    const std::optional<qint64> saved = positionToSave();
    // Looked at again while the history still has to write what the position passed.
    run.positionDirty = !run.marks.empty();
    if (run.positionDirty && run.running)
        positionTimer.start(PositionSaveIntervalMs);
    if (!saved)
        return;
    const QString position = QString::number(*saved);
    // Each list's position is kept under its search type's key with the list it belongs to. No
    // "wordNumber" of whichever search ran last: read back it would resume one list at another's
    // position, or a changed list at a stale one.
    const std::optional<SettingKey> key = searchTypeCounterKey(run.request.type);
    if (!key)
        return;
    if (settings->setValues({{*key, position}, {SettingKeys::positionList(*key), run.listIdentity}}) ||
        run.positionReported)
        return;
    run.positionReported = true;
    const QString message =
        QStringLiteral("The search position could not be saved to %1.").arg(settings->machinePath());
    if (run.saveFailure.isEmpty())
        run.saveFailure = message;
    Q_EMIT q->problem(message);
}

void SearchDriver::Private::end(bool stopped)
{
    // What this turn filed goes to disk first; a failure there ends the search by itself.
    if (!writeBatch())
        return;
    // Stopped first: saving may ask the user and run events, and nothing may end the search twice.
    run.running = false;
    waitingTimer.stop();
    positionTimer.stop();
    batchTimer.stop();
    // Verdicts filed while a batch was being told (a listener ran the event loop) go to disk
    // untold; the position has not passed them, so they are asked again.
    if (filer->hasStaged())
        filer->writeStaged();
    // The history writes what it holds, so that the position saved can pass it.
    if (keepsPosition && filer->history())
        filer->history()->flush();
    // The resume position is taken before the lookups are dropped: names still in flight are
    // looked up again next time.
    run.positionDirty = true;
    savePosition();
    queue.stop();
    dnsStage.cancelAll();
    // The unsettled entries stay listed: they hold the resume position until the next start.
    run.seen.clear();
    reader.close();
    filer->release();
    if (run.skipped > 0)
        Q_EMIT q->problem(QStringLiteral("%1 entries of the list were skipped.").arg(run.skipped));
    if (queue.noneReached())
        Q_EMIT q->problem(
            QStringLiteral("No lookup reached a WHOIS server. %1").arg(queue.firstConnectFailure()));
    Q_EMIT q->finished(stopped);
}

} // namespace brisquel
