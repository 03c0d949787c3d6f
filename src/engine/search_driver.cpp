#include "search_driver.h"

#include "engine/list_files.h"
#include "engine/lookup_name.h"
#include "engine/result_lists.h"
#include "engine/whois_lookup.h"
#include "sources/list_file.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "whois_config/extension_table.h"

#include <QFile>
#include <QTimer>
#include <set>
#include <vector>

namespace brisquel {

namespace {
constexpr int PositionSaveIntervalMs = 500;
constexpr qint64 MaxSkipReports = 5;
const char UnansweredFileName[] = "Unanswered.txt";

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
    Private(SearchDriver* q, const DataFolder& folder)
        : q(q)
        , folder(folder)
    {}

    void startNext(WhoisLookup* slot);
    void onFinished(int slotIndex, const WhoisLookup::Result& result);
    void fileUnanswered(const QString& domain, const QString& reason);
    void showProgress();
    void savePosition();
    void end(bool stopped);
    qint64 resumePosition() const { return inFlight.empty() ? nextEntry : *inFlight.begin(); }

    SearchDriver* q;
    DataFolder folder;
    SettingsStore* settings = nullptr;
    const ExtensionTable* table = nullptr;
    ResultLists* lists = nullptr;
    ListFiles* listFiles = nullptr;

    int poolSize = DefaultPoolSize;
    LookupTimings timings;
    bool useProxy = false;
    QString defaultExtension = QStringLiteral(".com");
    std::optional<ServerOverride> serverOverride;

    std::vector<std::unique_ptr<WhoisLookup>> slots;
    ListFileReader reader;
    SearchRequest request;
    qint64 nextEntry = 1;
    qint64 entryTotal = 0;
    std::set<qint64> inFlight;
    bool running = false;
    bool exhausted = false;
    qint64 unanswered = 0;
    qint64 skipped = 0;
    QFile unansweredFile;
    bool unansweredReported = false;
    QTimer positionTimer;
    bool positionDirty = false;
};

SearchDriver::SearchDriver(const DataFolder& folder, SettingsStore* settings, const ExtensionTable* table,
                           ResultLists* lists, ListFiles* listFiles, QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this, folder))
{
    d->settings = settings;
    d->table = table;
    d->lists = lists;
    d->listFiles = listFiles;
    d->positionTimer.setSingleShot(true);
    connect(&d->positionTimer, &QTimer::timeout, this, [this] { d->savePosition(); });
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
}

void SearchDriver::setDefaultExtension(const QString& extension)
{
    d->defaultExtension = extension;
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
    return d->folder.path(QString::fromLatin1(UnansweredFileName));
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
    QString openError;
    if (!d->reader.open(request.listFile, &openError))
        return fail(QStringLiteral("The list file %1 cannot be read: %2").arg(request.listFile, openError));
    if (!d->serverOverride && (!d->table || d->table->isEmpty()))
        return fail(QStringLiteral("The extension table is empty: there is no WHOIS server to ask."));

    d->reader.seekEntry(start);
    d->request = request;
    d->nextEntry = start;
    d->entryTotal = total;
    d->inFlight.clear();
    d->exhausted = false;
    d->running = true;
    d->unanswered = 0;
    d->skipped = 0;
    d->unansweredReported = false;
    Q_EMIT unansweredCountChanged(0);
    d->lists->resetCounters();

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
    for (auto& slot : d->slots) {
        slot->setAttemptTimeout(d->timings.attemptMs);
        slot->setMaxAttempts(d->timings.maxAttempts);
        slot->setRetryDelay(std::min(1000, d->timings.attemptMs));
    }
    for (int i = 0; i < d->poolSize && d->running && !d->exhausted; ++i)
        d->startNext(d->slots[i].get());
    d->showProgress();
    if (d->running && d->inFlight.empty())
        d->end(false);
    return true;
}

void SearchDriver::stop()
{
    if (!d->running)
        return;
    d->end(true);
}

void SearchDriver::Private::startNext(WhoisLookup* slot)
{
    QString entry;
    while (running && reader.readEntry(&entry)) {
        const qint64 number = reader.entryNumber();
        nextEntry = number + 1;
        const QString domain = lookupDomain(entry, defaultExtension);
        if (!isQueryableDomain(domain)) {
            // A damaged list can hold millions of these: name the first few, count the rest.
            if (++skipped <= MaxSkipReports)
                Q_EMIT q->problem(QStringLiteral("Entry %1 is not a domain name; skipped.").arg(number));
            continue;
        }
        WhoisLookup::Request lookup;
        lookup.domain = domain;
        lookup.entryNumber = number;
        if (serverOverride) {
            lookup.host = serverOverride->host;
            lookup.port = serverOverride->port;
        } else {
            const int row = table->findExtensionIndex(domain, useProxy);
            if (row == ExtensionTable::NoRow) {
                fileUnanswered(domain, QStringLiteral("no WHOIS server for its extension"));
                continue;
            }
            lookup.host = table->row(row).server;
            lookup.port = quint16(table->row(row).port);
        }
        inFlight.insert(number);
        positionDirty = true;
        if (!positionTimer.isActive())
            positionTimer.start(PositionSaveIntervalMs);
        slot->start(lookup);
        return;
    }
    exhausted = true;
    if (reader.hasError())
        Q_EMIT q->problem(QStringLiteral("Reading the list file failed; the search ends here."));
}

void SearchDriver::Private::onFinished(int slotIndex, const WhoisLookup::Result& result)
{
    if (!running)
        return;
    inFlight.erase(result.request.entryNumber);
    positionDirty = true;
    const QString& domain = result.request.domain;
    Verdict verdict = Verdict::Unanswered;
    QString detail = result.failure;
    if (result.outcome == WhoisLookup::Outcome::Answered) {
        verdict = judgeAnswer(result.answer);
        if (verdict == Verdict::Unanswered)
            detail = result.answer.trimmed().isEmpty()
                         ? QStringLiteral("empty answer")
                         : QStringLiteral("server refused or limited the query");
    }
    switch (verdict) {
    case Verdict::Available: {
        const std::optional<ResultList> list = lists->addAvailableName(domain);
        detail = list ? idleCaption(*list) : QString();
        break;
    }
    case Verdict::Registered:
        lists->addRegisteredName(domain);
        detail = idleCaption(ResultList::Registered);
        break;
    case Verdict::Unanswered:
        fileUnanswered(domain, detail);
        break;
    }
    if (listFiles)
        listFiles->overflowCheck();
    if (verdict != Verdict::Unanswered)
        Q_EMIT q->verdict(domain, verdict, detail);

    if (!running)
        return;
    if (!exhausted)
        startNext(slots[slotIndex].get());
    showProgress();
    if (exhausted && inFlight.empty())
        end(false);
}

void SearchDriver::Private::fileUnanswered(const QString& domain, const QString& reason)
{
    ++unanswered;
    Q_EMIT q->unansweredCountChanged(unanswered);
    Q_EMIT q->verdict(domain, Verdict::Unanswered, reason);
    if (!unansweredFile.isOpen()) {
        unansweredFile.setFileName(folder.path(QString::fromLatin1(UnansweredFileName)));
        if (!unansweredFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (!unansweredReported)
                Q_EMIT q->problem(QStringLiteral("Cannot write %1: %2")
                                      .arg(unansweredFile.fileName(), unansweredFile.errorString()));
            unansweredReported = true;
            return;
        }
    }
    const QByteArray line = domain.toUtf8() + "\r\n";
    if ((unansweredFile.write(line) != line.size() || !unansweredFile.flush()) && !unansweredReported) {
        Q_EMIT q->problem(QStringLiteral("Cannot write %1: %2")
                              .arg(unansweredFile.fileName(), unansweredFile.errorString()));
        unansweredReported = true;
    }
}

void SearchDriver::Private::showProgress()
{
    if (entryTotal >= nextEntry)
        Q_EMIT q->statusText(1, QStringLiteral("%1 of %2").arg(nextEntry).arg(entryTotal));
    if (entryTotal < nextEntry)
        Q_EMIT q->statusText(2, QStringLiteral("Open: Closing connections..."));
    else
        Q_EMIT q->statusText(2, QStringLiteral("Open: %1").arg(inFlight.size()));
    Q_EMIT q->progress(std::min(nextEntry - 1, entryTotal), entryTotal);
}

void SearchDriver::Private::savePosition()
{
    if (!positionDirty)
        return;
    positionDirty = false;
    const QString position = QString::number(resumePosition());
    if (const std::optional<SettingKey> key = searchTypeCounterKey(request.type))
        settings->setValue(*key, position);
    settings->setValue(SettingKeys::wordNumber(), position);
}

void SearchDriver::Private::end(bool stopped)
{
    // The resume position is taken before the slots are dropped: names still in flight are
    // looked up again next time.
    positionDirty = true;
    savePosition();
    positionTimer.stop();
    running = false;
    for (auto& slot : slots)
        slot->abort();
    reader.close();
    unansweredFile.close();
    if (skipped > MaxSkipReports)
        Q_EMIT q->problem(
            QStringLiteral("%1 entries of the list were not domain names and were skipped.").arg(skipped));
    Q_EMIT q->statusText(1, QStringLiteral("Entry Status"));
    Q_EMIT q->statusText(2, QStringLiteral("Open Connections"));
    Q_EMIT q->statusText(3, QStringLiteral("Connection Status"));
    Q_EMIT q->finished(stopped);
}

} // namespace brisquel
