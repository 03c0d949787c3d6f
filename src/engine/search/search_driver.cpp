#include "engine/dns/dns_precheck.h"
#include "engine/names/lookup_name.h"
#include "engine/filing/result_lists.h"
#include "engine/search/resume_point.h"
#include "engine/search/search_driver_private.h"
#include "support/clock.h"
#include "support/file_helpers.h"

#include <QAbstractEventDispatcher>
#include <algorithm>
#include <utility>

namespace brisquel {

namespace {

bool parseWholeNumber(const QString& text, qint64* number)
{
    bool ok = false;
    *number = text.trimmed().toLongLong(&ok);
    return ok;
}

} // namespace

SearchDriver::SearchDriver(SettingsStore* settings, const ExtensionTable* table, VerdictFiler* filer,
                           QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    d->store = settings;
    d->table = table;
    d->filer = filer;
    d->router.setTable(table);
    d->queue.setStillWanted([this](qint64 entry) { return d->run.unsettled.contains(entry); });
    d->positionTimer.setSingleShot(true);
    connect(&d->positionTimer, &QTimer::timeout, this, [this] { d->savePosition(); });
    d->waitingTimer.setInterval(Private::WaitingRefreshMs);
    connect(&d->waitingTimer, &QTimer::timeout, this, [this] { d->showProgress(); });
    d->connectQueue();
    d->connectDns();
    d->connectBatchTimer();
}

SearchDriver::~SearchDriver()
{
    // Positions are still saved, but nobody is told: the listeners may be half destroyed.
    if (d->run.running) {
        blockSignals(true);
        stop();
    }
}

void SearchDriver::Private::connectQueue()
{
    connect(
        &queue, &LookupQueue::ended, q,
        [this](const LookupRequest& request, Verdict verdict, const QString& detail, const NameFacts& facts) {
            if (run.running)
                settle(request, verdict, detail, facts);
        });
    connect(&queue, &LookupQueue::connecting, q, [this](int slot, const QString& domain) {
        Q_EMIT q->statusText(3, QStringLiteral("connecting(%1): - Search String: %2").arg(slot).arg(domain));
    });
    connect(&queue, &LookupQueue::serverWaiting, q, [this](const QString& text) {
        Q_EMIT q->statusText(3, text);
        Q_EMIT q->serverWaiting(text);
    });
    connect(&queue, &LookupQueue::problem, q, &SearchDriver::problem);
    connect(&queue, &LookupQueue::woke, q, [this] { carryOn(); });
}

// DNS only ever saves a registry query: a name still waiting when its zone turns out to delegate
// it is settled as taken; one already asked of its registry keeps that answer.
void SearchDriver::Private::connectDns()
{
    connect(&dnsStage, &DnsStage::passed, q, [this](const LookupRequest& request, bool undelegated) {
        queue.dnsAnswered(request.entryNumber);
        if (undelegated && run.unsettled.contains(request.entryNumber))
            run.dnsClear.insert(request.entryNumber);
        carryOn();
    });
    connect(&dnsStage, &DnsStage::delegated, q, [this](const LookupRequest& request) {
        const qint64 entry = request.entryNumber;
        queue.dnsAnswered(entry);
        if (!run.running || !run.unsettled.contains(entry) || queue.isInFlight(entry))
            return;
        ++run.dnsSettled;
        NameFacts facts;
        facts.method = CheckMethod::Dns;
        settle(request, Verdict::Registered, QStringLiteral("delegated in DNS"), facts);
    });
    connect(&dnsStage, &DnsStage::notice, q, [this](const QString& text) {
        Q_EMIT q->statusText(3, text);
        Q_EMIT q->problem(text);
    });
}

// What a turn of the event loop filed goes to disk as the loop goes to sleep.
void SearchDriver::Private::connectBatchTimer()
{
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(0);
    const auto write = [this] {
        if (run.running)
            writeBatch();
    };
    connect(&batchTimer, &QTimer::timeout, q, write);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(q->thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, q, write);
}

bool SearchDriver::setSettings(SearchSettings settings, QString* error)
{
    settings.dnsServer = settings.dnsServer.trimmed();
    const bool dnsServerOk = DnsPrecheck::isResolverAddress(settings.dnsServer, error);
    if (!dnsServerOk) {
        settings.dnsPrecheck = false;
        settings.dnsServer.clear();
    }
    settings.poolSize = std::clamp(settings.poolSize, 1, SearchSettings::MaxPoolSize);
    settings.timings.deadServerMs = std::max<qint64>(1, settings.timings.deadServerMs);
    settings.historyDays = std::max(0, settings.historyDays);
    settings.zoneDays = std::max(0, settings.zoneDays);
    const SearchSettings before = std::exchange(d->settings, std::move(settings));
    const SearchSettings& now = d->settings;
    d->router.setUseProxy(now.useProxy);
    d->router.setServerOverride(now.serverOverride);
    d->router.setRdapBootstrap(now.rdapBootstrap);
    d->router.setPreferRdap(now.preferRdap);
    d->router.setConfirmFree(now.confirmFree);
    d->router.setProxies(now.proxies);
    d->queue.setPoolSize(now.poolSize);
    d->queue.setAnswerRules(now.answerRules);
    // Servers of a running search take new limits; a pace learned from refusals stays.
    if (now.serverLimits != before.serverLimits)
        d->queue.setServerLimits(now.serverLimits);
    // A running search keeps its proxies: the lookups in flight are not cut off.
    if (now.proxies != before.proxies && !d->run.running)
        d->queue.setProxies(now.proxies);
    if (now.zoneFolder != before.zoneFolder)
        d->zones = ZoneShelf(now.zoneFolder);
    if (now.useProxy != before.useProxy || now.preferRdap != before.preferRdap)
        reloadServers();
    return dnsServerOk;
}

const SearchSettings& SearchDriver::settings() const
{
    return d->settings;
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

QList<SearchDriver::ServerStats> SearchDriver::serverStats() const
{
    return d->queue.serverStats();
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

qint64 SearchDriver::dnsSettledCount() const
{
    return d->run.dnsSettled;
}

qint64 SearchDriver::droppingCount() const
{
    return d->run.dropping;
}

qint64 SearchDriver::historySettledCount() const
{
    return d->run.historySettled;
}

qint64 SearchDriver::zoneSettledCount() const
{
    return d->run.zoneSettled;
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

QString SearchDriver::Private::refusal(const SearchRequest& request, qint64* start, qint64* total) const
{
    if (run.running)
        return QStringLiteral("A search is already running.");
    if (!parseWholeNumber(request.startNumber, start) || *start < 1)
        return QStringLiteral("The start number \"%1\" is not a whole number of 1 or more.")
            .arg(request.startNumber);
    if (!parseWholeNumber(request.entryTotal, total) || *total < 0)
        return QStringLiteral("The number of entries \"%1\" is not a whole number.").arg(request.entryTotal);
    if (request.listFile.isEmpty())
        return QStringLiteral("No list file has been chosen.");
    if (!fileExists(request.listFile))
        return QStringLiteral("The list file %1 does not exist.").arg(request.listFile);
    return QString();
}

bool SearchDriver::start(const SearchRequest& request, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    qint64 start = 0;
    qint64 total = 0;
    if (const QString refusal = d->refusal(request, &start, &total); !refusal.isEmpty())
        return fail(refusal);
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
    d->beginRun(request, identity, start, total);
    Q_EMIT unansweredCountChanged(0);
    d->carryOn();
    return true;
}

void SearchDriver::Private::beginRun(const SearchRequest& request, const QString& identity, qint64 start,
                                     qint64 total)
{
    run = Run{};
    run.request = request;
    run.listIdentity = identity;
    run.startEntry = run.nextEntry = start;
    run.entryTotal = total;
    run.running = true;
    run.startedAt = Clock::currentDateTimeUtc();
    if (filer->history())
        run.historyLostBefore = filer->history()->lostCount();
    if (settings.historyDays > 0 && filer->history())
        run.recent = filer->history()->takenSince(run.startedAt.addDays(-settings.historyDays));
    QStringList zoneNotices;
    zones.open(settings.zoneFolder.isEmpty() ? 0 : settings.zoneDays, run.startedAt, &zoneNotices);
    for (const QString& notice : zoneNotices)
        Q_EMIT q->problem(notice);
    // DNS goes out straight, not through the proxies: only to a server the user named.
    queue.setProxies(settings.proxies);
    run.dnsOffForProxies =
        settings.dnsPrecheck && !settings.proxies.isEmpty() && settings.dnsServer.isEmpty();
    run.dns = settings.dnsPrecheck && !run.dnsOffForProxies;
    if (run.dns)
        dnsStage.prepare(settings.dnsServer, settings.timings.attemptMs);
    queue.begin(settings.timings);
    filer->reloadNameFiles();
    filer->lists()->resetCounters();
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
    const QString domain = lookupDomain(entry, settings.defaultExtension);
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
            if (const std::optional<QString> detail =
                    settledByHistory(*last, settings.historyDays, run.startedAt)) {
                NameFacts facts;
                facts.method = CheckMethod::History;
                facts.lifeCycle = {last->state, last->expires, QDate()};
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
    if (settings.keepsPosition && filer->history())
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
