#include "search_driver.h"

#include "engine/answer_rules.h"
#include "engine/dns_precheck.h"
#include "engine/lookup_name.h"
#include "engine/name_set.h"
#include "engine/rdap_lookup.h"
#include "engine/result_lists.h"
#include "engine/resume_point.h"
#include "engine/server_pacer.h"
#include "engine/verdict_filer.h"
#include "engine/whois_lookup.h"
#include "sources/list_file.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"
#include "whois_config/server_limits.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <cmath>
#include <deque>
#include <limits>
#include <set>
#include <vector>

namespace brisquel {

namespace {
constexpr int PositionSaveIntervalMs = 500;
constexpr int WaitingRefreshMs = 1000;
// Entries read ahead of the pool, so that names of a server with budget can go while others wait.
constexpr qsizetype LookAhead = 2000;
constexpr int MaxRefusals = 5;
constexpr int SilentBeforeRdap = 3;
constexpr qsizetype MaxQuotedEntry = 80;
// Qt keeps at most six HTTP/1.1 connections per host and manager, so RDAP slots share managers
// in groups of that size; HTTP/2 servers multiplex on one connection anyway.
constexpr int RdapSlotsPerManager = 6;

bool parseWholeNumber(const QString& text, qint64* number)
{
    bool ok = false;
    *number = text.trimmed().toLongLong(&ok);
    return ok;
}

// Servers are told apart by host and port: one host may answer WHOIS and RDAP.
QString serverKey(const WhoisLookup::Request& request)
{
    return request.host.toLower() + QLatin1Char(':') + QString::number(request.port);
}

// Both kinds of lookup slot take the search's limits before each start.
template <typename Slot>
void applyTimings(Slot& slot, const LookupTimings& timings)
{
    slot.setAttemptTimeout(timings.attemptMs);
    slot.setMaxAttempts(timings.maxAttempts);
    slot.setRetryDelay(std::min(1000, timings.attemptMs));
}

// An entry as it can be shown in one line of a message: control characters escaped, long ones cut.
QString quotedEntry(const QString& entry)
{
    QString shown;
    for (const QChar c : entry.left(MaxQuotedEntry)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (entry.size() > MaxQuotedEntry)
        shown += QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}
} // namespace

class SearchDriver::Private
{
public:
    explicit Private(SearchDriver* q)
        : q(q)
    {}

    struct Pending
    {
        WhoisLookup::Request request;
        int refusals = 0;
    };
    // What finished: a WHOIS or an RDAP lookup, in the terms the filing needs.
    struct Ended
    {
        WhoisLookup::Request request;
        bool answered = false;
        AnswerRules::Judgement judgement;
        QString failure;
        bool neverConnected = false;
        bool tooLarge = false;
        QByteArray answer; // for the refusal's own words
        qint64 namedWaitMs = 0;
    };

    bool readAhead();
    qsizetype readAheadCount() const
    {
        return qsizetype(pending.size() + dnsQueue.size()) + dnsInFlight.size();
    }
    bool allDone() const
    {
        return exhausted && pending.empty() && inFlight.empty() && dnsQueue.empty() && dnsInFlight.isEmpty();
    }
    bool dnsActive() const { return dnsThisRun && !dns->isSwitchedOff(); }
    void feedDns();
    // The next names go out, the panels follow, and a search with nothing left ends.
    void carryOn()
    {
        dispatch();
        if (!running)
            return;
        showProgress();
        if (allDone())
            end(false);
    }
    void onDnsChecked(quint64 id, bool delegated);
    // Sets where the request goes; false with the reason when nowhere.
    bool route(WhoisLookup::Request* request, QString* reason) const;
    bool toRdap(WhoisLookup::Request* request) const;
    void dispatch();
    void startRdap(const WhoisLookup::Request& request);
    void showPause(qint64 now);
    static qint64 namedWaitMs(const QByteArray& answer);
    void onFinished(int slotIndex, const WhoisLookup::Result& result);
    void onRdapFinished(const RdapLookup::Result& result);
    void settle(const Ended& ended);
    bool fallBackToRdap(const Ended& ended);
    // Back to the head of the queue, from flight: asked again as soon as its server may be.
    void requeue(const WhoisLookup::Request& request, int refusals);
    void markPositionChanged();
    void prepareDns();
    bool fileUnanswered(const QString& domain, const QString& reason);
    void noteConnectFailure(const WhoisLookup::Request& request, const QString& failure);
    void stopOnSaveFailure(const VerdictFiler::Filed& filed);
    void showProgress();
    void savePosition();
    void end(bool stopped);
    // The lowest entry not yet settled: in flight, waiting for its server, or next to read.
    qint64 resumePosition() const
    {
        qint64 position = nextEntry;
        if (!inFlight.empty())
            position = std::min(position, *inFlight.begin());
        if (!waiting.empty())
            position = std::min(position, *waiting.begin());
        return position;
    }

    SearchDriver* q;
    SettingsStore* settings = nullptr;
    const ExtensionTable* table = nullptr;
    VerdictFiler* filer = nullptr;

    int poolSize = DefaultPoolSize;
    LookupTimings timings;
    bool useProxy = false;
    QString defaultExtension = QStringLiteral(".com");
    std::optional<ServerOverride> serverOverride;
    std::shared_ptr<const AnswerRules> answerRules;
    std::shared_ptr<const RdapBootstrap> rdapBootstrap;
    bool preferRdap = false;
    bool checkDnsFirst = false; // for the next search
    bool dnsThisRun = false;
    QString dnsServer;
    std::unique_ptr<DnsPrecheck> dns;
    std::deque<Pending> dnsQueue;       // read ahead, DNS not yet asked
    QHash<qint64, Pending> dnsInFlight; // DNS asked, by entry number
    qint64 dnsSettled = 0;

    std::vector<std::unique_ptr<WhoisLookup>> slots;
    std::vector<std::unique_ptr<QNetworkAccessManager>> rdapManagers;
    std::vector<std::unique_ptr<RdapLookup>> rdapSlots;
    // WHOIS servers that could not be reached this run, whose names go to RDAP instead.
    QSet<QString> whoisUnreachable;
    ListFileReader reader;
    SearchRequest request;
    QString listIdentity;
    qint64 startEntry = 1;
    qint64 nextEntry = 1;
    qint64 entryTotal = 0;
    std::set<qint64> inFlight;
    std::deque<Pending> pending; // read ahead, in list order; refused names go back to the front
    std::set<qint64> waiting;    // the entry numbers in `pending`, `dnsQueue` and `dnsInFlight`
    QHash<qint64, int> refusalsOf;
    ServerPacer pacer;
    QElapsedTimer clock;
    QTimer wakeTimer;
    qint64 announcedPause = 0;
    bool running = false;
    bool exhausted = false;
    qint64 unanswered = 0;
    qint64 skipped = 0;
    NameSet seen;
    QString saveFailure;
    QString listFailure;
    bool positionReported = false;
    // Servers that could not be reached, named once each; and whether every lookup failed so.
    QSet<QString> unreachable;
    qint64 lookupsEnded = 0;
    qint64 connectFailures = 0;
    QString firstConnectFailure;
    QTimer positionTimer;
    QTimer waitingTimer;
    bool positionDirty = false;
};

SearchDriver::SearchDriver(SettingsStore* settings, const ExtensionTable* table, VerdictFiler* filer,
                           QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    d->settings = settings;
    d->table = table;
    d->filer = filer;
    d->positionTimer.setSingleShot(true);
    connect(&d->positionTimer, &QTimer::timeout, this, [this] { d->savePosition(); });
    d->waitingTimer.setInterval(WaitingRefreshMs);
    d->wakeTimer.setSingleShot(true);
    connect(&d->wakeTimer, &QTimer::timeout, this, [this] { d->carryOn(); });
    connect(&d->waitingTimer, &QTimer::timeout, this, [this] { d->showProgress(); });
}

SearchDriver::~SearchDriver()
{
    // Positions are still saved, but nobody is told: the listeners may be half destroyed.
    if (d->running) {
        blockSignals(true);
        stop();
    }
}

void SearchDriver::setPoolSize(int size)
{
    d->poolSize = std::clamp(size, 1, 100);
}

void SearchDriver::setTimings(LookupTimings timings)
{
    d->timings = timings;
}

void SearchDriver::setUseProxy(bool useProxy)
{
    d->useProxy = useProxy;
    reloadServers();
}

void SearchDriver::reloadServers()
{
    if (d->serverOverride || !d->table)
        return;
    // Names read ahead go where the table sends them now, those still with DNS too.
    const auto reroute = [this](Private::Pending& lookup) {
        WhoisLookup::Request request = lookup.request;
        QString reason;
        if (d->route(&request, &reason))
            lookup.request = request;
    };
    std::for_each(d->pending.begin(), d->pending.end(), reroute);
    std::for_each(d->dnsQueue.begin(), d->dnsQueue.end(), reroute);
    std::for_each(d->dnsInFlight.begin(), d->dnsInFlight.end(), reroute);
    if (d->running)
        d->dispatch();
}

bool SearchDriver::useProxy() const
{
    return d->useProxy;
}

void SearchDriver::setDefaultExtension(const QString& extension)
{
    d->defaultExtension = extension;
}

void SearchDriver::setServerLimits(const ServerLimitsTable& limits)
{
    // Servers of a running search take the new limits; a pace learned from refusals stays.
    d->pacer.setLimits(limits);
}

QList<SearchDriver::ServerStats> SearchDriver::serverStats() const
{
    QList<ServerStats> stats;
    for (const ServerPacer::Stats& server : d->pacer.stats())
        stats.append({server.host, server.queries, server.answers, server.refusals, server.pauses});
    return stats;
}

void SearchDriver::setRdapBootstrap(std::shared_ptr<const RdapBootstrap> bootstrap)
{
    d->rdapBootstrap = std::move(bootstrap);
}

void SearchDriver::setPreferRdap(bool prefer)
{
    d->preferRdap = prefer;
    reloadServers();
}

bool SearchDriver::preferRdap() const
{
    return d->preferRdap;
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

bool SearchDriver::dnsPrecheck() const
{
    return d->checkDnsFirst;
}

qint64 SearchDriver::dnsSettledCount() const
{
    return d->dnsSettled;
}

void SearchDriver::setAnswerRules(std::shared_ptr<const AnswerRules> rules)
{
    d->answerRules = std::move(rules);
}

void SearchDriver::setServerOverride(std::optional<ServerOverride> server)
{
    d->serverOverride = std::move(server);
}

bool SearchDriver::isRunning() const
{
    return d->running;
}

qint64 SearchDriver::resumePosition() const
{
    return d->resumePosition();
}

int SearchDriver::lookupsInFlight() const
{
    return int(d->inFlight.size());
}

qint64 SearchDriver::unansweredCount() const
{
    return d->unanswered;
}

QString SearchDriver::unansweredFilePath() const
{
    return d->filer->unansweredFilePath();
}

QString SearchDriver::saveFailure() const
{
    return d->saveFailure;
}

QString SearchDriver::listFailure() const
{
    return d->listFailure;
}

bool SearchDriver::start(const SearchRequest& request, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (d->running)
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
    d->listIdentity = listFileIdentity(request.listFile);
    QString openError;
    if (!d->reader.open(request.listFile, &openError))
        return fail(QStringLiteral("The list file %1 cannot be read: %2").arg(request.listFile, openError));
    if (!d->serverOverride && (!d->table || d->table->isEmpty()))
        return fail(QStringLiteral("The extension table is empty: there is no WHOIS server to ask."));
    QString claimError;
    if (!d->filer->claim(&claimError)) {
        d->reader.close();
        return fail(claimError);
    }

    d->reader.seekEntry(start);
    d->request = request;
    d->startEntry = start;
    d->nextEntry = start;
    d->entryTotal = total;
    d->inFlight.clear();
    d->exhausted = false;
    d->running = true;
    d->unanswered = 0;
    d->skipped = 0;
    d->seen.clear();
    d->saveFailure.clear();
    d->listFailure.clear();
    d->positionReported = false;
    d->unreachable.clear();
    d->lookupsEnded = 0;
    d->connectFailures = 0;
    d->firstConnectFailure.clear();
    d->filer->reloadUnanswered();
    d->pending.clear();
    d->waiting.clear();
    d->refusalsOf.clear();
    d->pacer.reset();
    d->pacer.setPoolSize(d->poolSize);
    d->pacer.setFirstPauseMs(d->timings.firstPauseMs);
    d->whoisUnreachable.clear();
    d->dnsQueue.clear();
    d->dnsInFlight.clear();
    d->dnsSettled = 0;
    d->dnsThisRun = d->checkDnsFirst;
    if (d->dnsThisRun)
        d->prepareDns();
    d->announcedPause = 0;
    d->clock.start();
    Q_EMIT unansweredCountChanged(0);
    d->filer->lists()->resetCounters();

    while (int(d->slots.size()) < d->poolSize) {
        auto slot = std::make_unique<WhoisLookup>(int(d->slots.size()), this);
        connect(slot.get(), &WhoisLookup::finished, this,
                [this](int index, const WhoisLookup::Result& result) { d->onFinished(index, result); });
        connect(slot.get(), &WhoisLookup::connected, this, [this](int index, const QString& domain) {
            Q_EMIT statusText(3,
                              QStringLiteral("connecting(%1): - Search String: %2").arg(index).arg(domain));
        });
        d->slots.push_back(std::move(slot));
    }
    for (auto& slot : d->slots)
        applyTimings(*slot, d->timings);
    d->carryOn();
    return true;
}

void SearchDriver::Private::prepareDns()
{
    if (!dns) {
        dns = std::make_unique<DnsPrecheck>();
        QObject::connect(dns.get(), &DnsPrecheck::checked, q,
                         [this](quint64 id, bool delegated) { onDnsChecked(id, delegated); });
        const auto tell = [this](const QString& text) {
            Q_EMIT q->statusText(3, text);
            Q_EMIT q->problem(text);
        };
        QObject::connect(dns.get(), &DnsPrecheck::extensionSkipped, q, [tell](const QString& extension) {
            tell(QStringLiteral(
                     "DNS pre-check off for .%1 in this search: its zone answers for made-up names or "
                     "did not answer; its names go to the registry.")
                     .arg(extension));
        });
        QObject::connect(dns.get(), &DnsPrecheck::switchedOff, q, tell);
    }
    dns->resetRun();
    dns->setResolver(dnsServer, nullptr);
    // DNS answers in milliseconds or not at all: never wait on it longer than on a registry.
    dns->setTimeout(std::min(DnsPrecheck::DefaultTimeoutMs, timings.attemptMs), DnsPrecheck::DefaultTries);
}

void SearchDriver::stop()
{
    if (!d->running)
        return;
    d->end(true);
}

bool SearchDriver::Private::readAhead()
{
    QString entry;
    const auto skip = [this](qint64 number, const QString& shown, const char* why) {
        ++skipped;
        Q_EMIT q->problem(
            QStringLiteral("Entry %1 %2 %3; skipped.").arg(number).arg(shown, QLatin1String(why)));
    };
    while (running && readAheadCount() < LookAhead && reader.readEntry(&entry)) {
        const qint64 number = reader.entryNumber();
        nextEntry = number + 1;
        const QString domain = lookupDomain(entry, defaultExtension);
        if (!isQueryableDomain(domain)) {
            skip(number, quotedEntry(entry), "is not a domain name");
            continue;
        }
        const QString query = queryDomain(domain);
        if (query.isEmpty()) {
            skip(number, quotedEntry(entry), "has no valid ASCII (IDNA) form");
            continue;
        }
        if (!seen.insert(domain)) {
            skip(number, QLatin1Char('"') + domain + QLatin1Char('"'),
                 "was already looked up in this search");
            continue;
        }
        Pending lookup;
        lookup.request.domain = domain;
        if (query != domain)
            lookup.request.query = query;
        lookup.request.entryNumber = number;
        QString reason;
        if (!route(&lookup.request, &reason)) {
            // Until the name is in Unanswered.txt, the search goes on from it next time.
            nextEntry = number;
            if (!fileUnanswered(domain, reason))
                return false;
            nextEntry = number + 1;
            continue;
        }
        waiting.insert(number);
        // DNS first, so that registry slots only see names it could not settle.
        if (dnsActive())
            dnsQueue.push_back(lookup);
        else
            pending.push_back(lookup);
    }
    if (running && readAheadCount() < LookAhead && !exhausted) {
        exhausted = true;
        if (reader.hasError() || reader.hasShrunk()) {
            // Names after this point are unknown: stop where the list is still known to be right.
            const QString why = reader.hasShrunk() ? QStringLiteral("became shorter during the search")
                                                   : QStringLiteral("could not be read on");
            listFailure = QStringLiteral("The list file %1 %2. The search stopped; check the list and press "
                                         "Start to go on.")
                              .arg(request.listFile, why);
            Q_EMIT q->searchStopped(listFailure);
            end(true);
            return false;
        }
    }
    feedDns();
    return running;
}

void SearchDriver::Private::feedDns()
{
    if (!dnsThisRun)
        return;
    while (running && !dnsQueue.empty() && dns->hasRoom()) {
        const Pending lookup = dnsQueue.front();
        dnsQueue.pop_front();
        dnsInFlight.insert(lookup.request.entryNumber, lookup);
        dns->check(quint64(lookup.request.entryNumber), lookup.request.queryName());
    }
}

void SearchDriver::Private::onDnsChecked(quint64 id, bool delegated)
{
    const auto found = dnsInFlight.constFind(qint64(id));
    if (!running || found == dnsInFlight.cend())
        return;
    const Pending lookup = *found;
    dnsInFlight.erase(found);
    if (!delegated) {
        pending.push_back(lookup);
    } else {
        // Taken for certain: the zone delegates it. No registry query, and nothing to write but
        // the lists' count, so it leaves the resume position behind at once.
        const QString& domain = lookup.request.domain;
        ++dnsSettled;
        const QString detail = QStringLiteral("delegated in DNS");
        filer->file(domain, Verdict::Registered, detail);
        Q_EMIT q->verdict(domain, Verdict::Registered, detail);
        if (!running)
            return;
        waiting.erase(lookup.request.entryNumber);
        markPositionChanged();
    }
    carryOn();
}

bool SearchDriver::Private::route(WhoisLookup::Request* request, QString* reason) const
{
    request->rdapBase = QUrl();
    if (serverOverride) {
        request->host = serverOverride->host;
        request->port = serverOverride->port;
        return true;
    }
    const int row = table->findExtensionIndex(request->domain, useProxy);
    if (row == ExtensionTable::NoRow) {
        *reason = QStringLiteral("no WHOIS server for its extension");
        return false;
    }
    const ExtensionRow& server = table->row(row);
    if (isRdapServer(server.server)) {
        const QUrl base = rdapBaseUrl(server.server, reason);
        if (!base.isValid())
            return false;
        request->setRdapBase(base);
        return true;
    }
    request->host = server.server;
    request->port = quint16(server.port);
    // The proxy row stands for every name; the registry's RDAP server would go around it.
    if (preferRdap && !useProxy)
        toRdap(request);
    return true;
}

// Sends the request to its registry's RDAP server when the bootstrap knows one.
bool SearchDriver::Private::toRdap(WhoisLookup::Request* request) const
{
    if (!rdapBootstrap)
        return false;
    const QUrl base = rdapBootstrap->baseFor(request->queryName());
    if (!base.isValid())
        return false;
    request->setRdapBase(base);
    return true;
}

void SearchDriver::Private::dispatch()
{
    if (!running)
        return;
    if (!readAhead())
        return;
    const qint64 now = clock.elapsed();
    qint64 readyAt = std::numeric_limits<qint64>::max();
    auto idle = slots.begin();
    auto nextIdle = [&] {
        while (idle != slots.end() && ((*idle)->isBusy() || (*idle)->slot() >= poolSize))
            ++idle;
        return idle != slots.end();
    };
    while (running && qsizetype(inFlight.size()) < poolSize) {
        // The first entry, in list order, whose server has budget now.
        auto chosen = pending.end();
        for (auto it = pending.begin(); it != pending.end(); ++it) {
            if (!whoisUnreachable.isEmpty() && !it->request.rdapBase.isValid() &&
                whoisUnreachable.contains(serverKey(it->request)))
                toRdap(&it->request);
            if (pacer.mayAsk(serverKey(it->request), it->request.host, now, &readyAt)) {
                chosen = it;
                break;
            }
        }
        if (chosen == pending.end())
            break;
        if (!chosen->request.rdapBase.isValid() && !nextIdle())
            break;
        const Pending lookup = *chosen;
        pending.erase(chosen);
        const QString key = serverKey(lookup.request);
        if (pacer.quotaUsedUp(key)) {
            // Filed without a query; the slot stays free for the next entry.
            waiting.erase(lookup.request.entryNumber);
            if (!fileUnanswered(lookup.request.domain,
                                QStringLiteral("the daily quota of %1 is used up").arg(lookup.request.host)))
                return;
            if (!readAhead())
                return;
            continue;
        }
        pacer.onSent(key, now);
        waiting.erase(lookup.request.entryNumber);
        inFlight.insert(lookup.request.entryNumber);
        refusalsOf[lookup.request.entryNumber] = lookup.refusals;
        markPositionChanged();
        if (lookup.request.rdapBase.isValid())
            startRdap(lookup.request);
        else
            (*idle)->start(lookup.request);
        if (!readAhead())
            return;
    }
    // Names wait for a server's budget: come back when the first of them may go.
    if (!pending.empty() && readyAt != std::numeric_limits<qint64>::max()) {
        const qint64 delay = std::max<qint64>(1, readyAt - now);
        if (!wakeTimer.isActive() || wakeTimer.remainingTime() > delay)
            wakeTimer.start(int(std::min<qint64>(delay, std::numeric_limits<int>::max())));
        showPause(now);
    }
}

void SearchDriver::Private::startRdap(const WhoisLookup::Request& request)
{
    auto idle =
        std::find_if(rdapSlots.begin(), rdapSlots.end(), [](const auto& slot) { return !slot->isBusy(); });
    if (idle == rdapSlots.end()) {
        const size_t group = rdapSlots.size() / RdapSlotsPerManager;
        if (rdapManagers.size() <= group)
            rdapManagers.push_back(std::make_unique<QNetworkAccessManager>());
        auto slot = std::make_unique<RdapLookup>(rdapManagers.at(group).get());
        QObject::connect(slot.get(), &RdapLookup::finished, q,
                         [this](const RdapLookup::Result& result) { onRdapFinished(result); });
        rdapSlots.push_back(std::move(slot));
        idle = rdapSlots.end() - 1;
    }
    applyTimings(**idle, timings);
    (*idle)->start(request);
}

void SearchDriver::Private::showPause(qint64 now)
{
    // Tell about the server whose rest lasts longest; once per rest.
    const std::optional<ServerPacer::Rest> longest = pacer.longestRest(now);
    if (!longest || longest->until == announcedPause)
        return;
    announcedPause = longest->until;
    const QString text = QStringLiteral("Waiting for %1: limit reached, %2 s")
                             .arg(longest->host)
                             .arg((longest->until - now + 999) / 1000);
    Q_EMIT q->statusText(3, text);
    Q_EMIT q->serverWaiting(text);
}

// Seconds a refusal asks the client to wait, when it says: "wait 60 seconds", "replenished in 50
// seconds", "go away for 30 seconds", "try again in 2 minutes".
qint64 SearchDriver::Private::namedWaitMs(const QByteArray& answer)
{
    static const QRegularExpression wait(
        QStringLiteral(
            "\\b(?:wait|in|for|of|after)\\s+(\\d{1,6})\\s*(s|sec|secs|seconds?|m|min|mins|minutes?)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = wait.match(QString::fromUtf8(answer.left(4096)));
    if (!match.hasMatch())
        return 0;
    const qint64 count = match.captured(1).toLongLong();
    const bool minutes = match.captured(2).startsWith(QLatin1Char('m'), Qt::CaseInsensitive);
    return std::min<qint64>(count * (minutes ? 60000 : 1000), ServerPacer::MaxPauseMs);
}

void SearchDriver::Private::onFinished(int slotIndex, const WhoisLookup::Result& result)
{
    Q_UNUSED(slotIndex);
    if (!running)
        return;
    Ended ended;
    ended.request = result.request;
    ended.answered = result.outcome == WhoisLookup::Outcome::Answered;
    ended.failure = result.failure;
    ended.neverConnected = result.neverConnected;
    ended.tooLarge = result.outcome == WhoisLookup::Outcome::TooLarge;
    if (ended.answered) {
        ended.judgement =
            (answerRules ? *answerRules : AnswerRules::shipped()).judge(result.answer, result.request.host);
        ended.answer = result.answer;
        if (ended.judgement.refused)
            ended.namedWaitMs = namedWaitMs(result.answer);
    }
    settle(ended);
}

void SearchDriver::Private::onRdapFinished(const RdapLookup::Result& result)
{
    if (!running)
        return;
    Ended ended;
    ended.request = result.request;
    ended.answered = result.answered;
    ended.judgement = result.judgement;
    ended.failure = result.failure;
    ended.neverConnected = result.neverConnected;
    ended.answer = result.body;
    ended.namedWaitMs = result.retryAfterMs;
    settle(ended);
}

// A WHOIS server that gives no answer at all leaves the name to the registry's RDAP server, when
// the bootstrap names one; a proxy is the user's choice of server and is not gone around.
bool SearchDriver::Private::fallBackToRdap(const Ended& ended)
{
    if (ended.answered || ended.tooLarge || ended.request.rdapBase.isValid() || serverOverride || useProxy)
        return false;
    WhoisLookup::Request request = ended.request;
    if (!toRdap(&request))
        return false;
    const QString key = serverKey(ended.request);
    // A server that cannot be reached, or that has let several names in a row go without an answer
    // (port 43 switched off behind a firewall that drops), sends the rest of its names to RDAP at once.
    const int silentInARow = pacer.onSilence(key);
    const bool gaveUp = ended.neverConnected || silentInARow >= SilentBeforeRdap;
    if (gaveUp && !whoisUnreachable.contains(key)) {
        whoisUnreachable.insert(key);
        Q_EMIT q->problem(QStringLiteral("%1 %2:%3: %4; asking %5 over RDAP instead.")
                              .arg(ended.neverConnected ? QStringLiteral("Cannot connect to")
                                                        : QStringLiteral("No answer from"))
                              .arg(ended.request.host)
                              .arg(ended.request.port)
                              .arg(ended.failure, request.rdapBase.toString()));
    }
    requeue(request, refusalsOf.value(request.entryNumber));
    return true;
}

void SearchDriver::Private::requeue(const WhoisLookup::Request& request, int refusals)
{
    inFlight.erase(request.entryNumber);
    refusalsOf.remove(request.entryNumber);
    waiting.insert(request.entryNumber);
    pending.push_front(Pending{request, refusals});
}

void SearchDriver::Private::markPositionChanged()
{
    positionDirty = true;
    if (!positionTimer.isActive())
        positionTimer.start(PositionSaveIntervalMs);
}

void SearchDriver::Private::settle(const Ended& ended)
{
    const QString& domain = ended.request.domain;
    const qint64 entry = ended.request.entryNumber;
    if (fallBackToRdap(ended)) {
        carryOn();
        return;
    }
    ++lookupsEnded;
    const QString key = serverKey(ended.request);
    const qint64 now = clock.elapsed();
    Verdict verdict = Verdict::Unanswered;
    QString detail = ended.failure;
    if (ended.answered && ended.judgement.refused) {
        pacer.onRefusal(key, QString::fromUtf8(ended.answer.left(4096)), ended.namedWaitMs, now);
        const int refusals = refusalsOf.value(entry) + 1;
        const bool quotaUsedUp = pacer.quotaUsedUp(key);
        if (!quotaUsedUp && refusals < MaxRefusals) {
            // First of its server again: it is asked when the rest is over.
            requeue(ended.request, refusals);
            carryOn();
            return;
        }
        detail = quotaUsedUp ? QStringLiteral("the daily quota of %1 is used up").arg(ended.request.host)
                             : QStringLiteral("refused %1 times by %2").arg(refusals).arg(ended.request.host);
    } else if (ended.answered) {
        pacer.onAnswer(key, now);
        verdict = ended.judgement.verdict;
        detail = ended.judgement.detail;
    } else {
        pacer.onSilence(key);
        if (ended.neverConnected)
            noteConnectFailure(ended.request, ended.failure);
    }
    refusalsOf.remove(entry);

    if (verdict == Verdict::Unanswered) {
        if (fileUnanswered(domain, detail))
            inFlight.erase(entry);
    } else {
        const VerdictFiler::Filed filed = filer->file(domain, verdict, detail);
        // An entry leaves the resume position behind only once what it found is on disk.
        if (!filed.saved) {
            stopOnSaveFailure(filed);
            return;
        }
        // Told before it counts as done: a listener that cannot keep it (the command line's output)
        // stops the search, and the name is asked again next time.
        Q_EMIT q->verdict(domain, verdict, filed.detail);
        if (!running)
            return;
        inFlight.erase(entry);
    }
    positionDirty = true;
    if (running)
        carryOn();
}

bool SearchDriver::Private::fileUnanswered(const QString& domain, const QString& reason)
{
    ++unanswered;
    Q_EMIT q->unansweredCountChanged(unanswered);
    Q_EMIT q->verdict(domain, Verdict::Unanswered, reason);
    if (!running)
        return false;
    const VerdictFiler::Filed filed = filer->file(domain, Verdict::Unanswered, reason);
    if (!filed.saved)
        stopOnSaveFailure(filed);
    return filed.saved;
}

void SearchDriver::Private::stopOnSaveFailure(const VerdictFiler::Filed& filed)
{
    saveFailure = QStringLiteral("Cannot write %1: %2. The search stopped; %3 and press Start to go on.")
                      .arg(filed.file, filed.cause, filed.advice);
    Q_EMIT q->searchStopped(saveFailure);
    end(true);
}

void SearchDriver::Private::noteConnectFailure(const WhoisLookup::Request& request, const QString& failure)
{
    ++connectFailures;
    const QString server = request.rdapBase.isValid()
                               ? request.rdapBase.toString()
                               : QStringLiteral("%1:%2").arg(request.host).arg(request.port);
    if (unreachable.contains(server))
        return;
    unreachable.insert(server);
    const QString message = QStringLiteral("Cannot connect to %1: %2").arg(server, failure);
    if (firstConnectFailure.isEmpty())
        firstConnectFailure = message;
    Q_EMIT q->problem(message);
}

void SearchDriver::Private::showProgress()
{
    // While only the last answers are awaited nothing else happens: a timer keeps the wait current.
    if (exhausted && !inFlight.empty() && !waitingTimer.isActive())
        waitingTimer.start();
    Q_EMIT q->progressChanged();
}

SearchProgress SearchDriver::progress() const
{
    SearchProgress progress;
    progress.startEntry = d->startEntry;
    progress.total = d->entryTotal;
    progress.inFlight = qint64(d->inFlight.size());
    progress.waitingDns = qint64(d->dnsQueue.size()) + d->dnsInFlight.size();
    // Entries read are settled unless they still wait or are out: the resume position's count.
    progress.settled = std::max<qint64>(0, d->nextEntry - 1 - qint64(d->waiting.size()) - progress.inFlight);
    if (progress.total > 0)
        progress.settled = std::min(progress.settled, progress.total);
    const qint64 now = d->clock.isValid() ? d->clock.elapsed() : 0;
    QHash<QString, bool> heldBack;
    for (const Private::Pending& lookup : d->pending) {
        const QString key = serverKey(lookup.request);
        auto held = heldBack.find(key);
        if (held == heldBack.end())
            held = heldBack.insert(key, d->pacer.holdsBack(key, now));
        ++(*held ? progress.waitingServer : progress.waitingSlot);
    }
    progress.dnsOn = d->dnsThisRun;
    progress.dnsSettled = d->dnsSettled;
    progress.listRead = d->exhausted;
    if (progress.listRead) {
        for (const auto& slot : d->slots)
            progress.longestAnswerWaitMs = std::max(progress.longestAnswerWaitMs, slot->remainingMs());
        for (const auto& slot : d->rdapSlots)
            progress.longestAnswerWaitMs = std::max(progress.longestAnswerWaitMs, slot->remainingMs());
    }
    return progress;
}

void SearchDriver::Private::savePosition()
{
    if (!positionDirty)
        return;
    positionDirty = false;
    const QString position = QString::number(resumePosition());
    QList<std::pair<SettingKey, QString>> values;
    if (const std::optional<SettingKey> key = searchTypeCounterKey(request.type)) {
        values.append({*key, position});
        values.append({SettingKeys::positionList(*key), listIdentity});
    }
    values.append({SettingKeys::wordNumber(), position});
    if (settings->setValues(values) || positionReported)
        return;
    positionReported = true;
    const QString message =
        QStringLiteral("The search position could not be saved to %1.").arg(settings->machinePath());
    if (saveFailure.isEmpty())
        saveFailure = message;
    Q_EMIT q->problem(message);
}

void SearchDriver::Private::end(bool stopped)
{
    // Stopped first: saving may ask the user and run events, and nothing may end the search twice.
    running = false;
    waitingTimer.stop();
    wakeTimer.stop();
    positionTimer.stop();
    // The resume position is taken before the slots are dropped: names still in flight are
    // looked up again next time.
    positionDirty = true;
    savePosition();
    for (auto& slot : slots)
        slot->abort();
    for (auto& slot : rdapSlots)
        slot->abort();
    if (dns)
        dns->cancelAll();
    dnsQueue.clear();
    dnsInFlight.clear();
    // The waiting entries stay listed: they hold the resume position until the next start.
    pending.clear();
    reader.close();
    seen.clear();
    filer->release();
    if (skipped > 0)
        Q_EMIT q->problem(QStringLiteral("%1 entries of the list were skipped.").arg(skipped));
    if (lookupsEnded > 0 && connectFailures == lookupsEnded)
        Q_EMIT q->problem(QStringLiteral("No lookup reached a WHOIS server. %1").arg(firstConnectFailure));
    Q_EMIT q->finished(stopped);
}

} // namespace brisquel
