#include "search_driver.h"

#include "engine/answer_rules.h"
#include "engine/list_files.h"
#include "engine/lookup_name.h"
#include "engine/name_set.h"
#include "engine/result_lists.h"
#include "engine/resume_point.h"
#include "engine/whois_lookup.h"
#include "sources/list_file.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "whois_config/extension_table.h"

#include <QFile>
#include <QSet>
#include <QTimer>
#include <set>
#include <vector>

namespace brisquel {

namespace {
constexpr int PositionSaveIntervalMs = 500;
constexpr int WaitingRefreshMs = 1000;
constexpr qsizetype MaxQuotedEntry = 80;
const char UnansweredFileName[] = "Unanswered.txt";

bool parseWholeNumber(const QString& text, qint64* number)
{
    bool ok = false;
    *number = text.trimmed().toLongLong(&ok);
    return ok;
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
    Private(SearchDriver* q, const DataFolder& folder)
        : q(q)
        , folder(folder)
    {}

    void startNext(WhoisLookup* slot);
    void onFinished(int slotIndex, const WhoisLookup::Result& result);
    bool fileAvailable(const QString& domain, QString* detail);
    bool fileUnanswered(const QString& domain, const QString& reason);
    void loadUnansweredNames();
    void noteConnectFailure(const WhoisLookup::Result& result);
    void stopOnSaveFailure(const QString& fileName, const QString& cause);
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
    std::shared_ptr<const AnswerRules> answerRules;

    std::vector<std::unique_ptr<WhoisLookup>> slots;
    ListFileReader reader;
    SearchRequest request;
    QString listIdentity;
    qint64 nextEntry = 1;
    qint64 entryTotal = 0;
    std::set<qint64> inFlight;
    bool running = false;
    bool exhausted = false;
    qint64 unanswered = 0;
    qint64 skipped = 0;
    NameSet seen;
    NameSet alreadyUnanswered;
    QFile unansweredFile;
    QString saveFailure;
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
    d->waitingTimer.setInterval(WaitingRefreshMs);
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
}

bool SearchDriver::useProxy() const
{
    return d->useProxy;
}

void SearchDriver::setDefaultExtension(const QString& extension)
{
    d->defaultExtension = extension;
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
    return d->folder.path(QString::fromLatin1(UnansweredFileName));
}

QString SearchDriver::saveFailure() const
{
    return d->saveFailure;
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

    d->reader.seekEntry(start);
    d->request = request;
    d->nextEntry = start;
    d->entryTotal = total;
    d->inFlight.clear();
    d->exhausted = false;
    d->running = true;
    d->unanswered = 0;
    d->skipped = 0;
    d->seen.clear();
    d->saveFailure.clear();
    d->positionReported = false;
    d->unreachable.clear();
    d->lookupsEnded = 0;
    d->connectFailures = 0;
    d->firstConnectFailure.clear();
    d->loadUnansweredNames();
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
    if (d->running)
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

void SearchDriver::Private::loadUnansweredNames()
{
    alreadyUnanswered.clear();
    QStringList names;
    TextFile::readLines(folder.path(QString::fromLatin1(UnansweredFileName)), &names);
    for (const QString& name : std::as_const(names))
        alreadyUnanswered.insert(name.trimmed());
}

void SearchDriver::Private::startNext(WhoisLookup* slot)
{
    QString entry;
    while (running && reader.readEntry(&entry)) {
        const qint64 number = reader.entryNumber();
        nextEntry = number + 1;
        const QString domain = lookupDomain(entry, defaultExtension);
        if (!isQueryableDomain(domain)) {
            ++skipped;
            Q_EMIT q->problem(QStringLiteral("Entry %1 %2 is not a domain name; skipped.")
                                  .arg(number)
                                  .arg(quotedEntry(entry)));
            continue;
        }
        if (!seen.insert(domain)) {
            ++skipped;
            Q_EMIT q->problem(QStringLiteral("Entry %1 \"%2\" was already looked up in this search; skipped.")
                                  .arg(number)
                                  .arg(domain));
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
                // Until the name is in Unanswered.txt, the search goes on from it next time.
                nextEntry = number;
                if (!fileUnanswered(domain, QStringLiteral("no WHOIS server for its extension")))
                    return;
                nextEntry = number + 1;
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
    if (!running)
        return;
    exhausted = true;
    if (reader.hasError())
        Q_EMIT q->problem(QStringLiteral("Reading the list file failed; the search ends here."));
}

void SearchDriver::Private::onFinished(int slotIndex, const WhoisLookup::Result& result)
{
    if (!running)
        return;
    ++lookupsEnded;
    const QString& domain = result.request.domain;
    Verdict verdict = Verdict::Unanswered;
    QString detail = result.failure;
    if (result.outcome == WhoisLookup::Outcome::Answered) {
        const AnswerRules::Judgement judgement =
            (answerRules ? *answerRules : AnswerRules::shipped()).judge(result.answer, result.request.host);
        verdict = judgement.verdict;
        detail = judgement.detail;
    } else if (result.neverConnected) {
        noteConnectFailure(result);
    }
    bool saved = true;
    switch (verdict) {
    case Verdict::Available:
        saved = fileAvailable(domain, &detail);
        break;
    case Verdict::Registered:
    case Verdict::NotRegistrable:
        // Reserved and premium names cannot be had either; they go with the taken ones.
        lists->addRegisteredName(domain);
        if (detail.isEmpty())
            detail = idleCaption(ResultList::Registered);
        break;
    case Verdict::Unanswered:
        saved = fileUnanswered(domain, detail);
        break;
    }
    // An entry leaves the resume position behind only once what it found is on disk.
    if (saved)
        inFlight.erase(result.request.entryNumber);
    positionDirty = true;
    if (!running)
        return;
    if (listFiles)
        listFiles->overflowCheck();
    if (verdict != Verdict::Unanswered)
        Q_EMIT q->verdict(domain, verdict, detail);

    if (!running)
        return;
    if (!exhausted)
        startNext(slots[slotIndex].get());
    if (!running)
        return;
    showProgress();
    if (exhausted && inFlight.empty())
        end(false);
}

bool SearchDriver::Private::fileAvailable(const QString& domain, QString* detail)
{
    const std::optional<ResultList> list = lists->addAvailableName(domain);
    *detail = list ? idleCaption(*list) : QString();
    if (!list || !listFiles || listFiles->isSaved(*list))
        return true;
    // Shown but not on disk would be a find that vanishes with the window: take it back, so that
    // the next search finds and saves it.
    const int last = lists->entryCount(*list) - 1;
    if (last >= 0 && lists->entries(*list).at(last) == domain)
        lists->deleteEntry(*list, last);
    stopOnSaveFailure(fileNamePart(listFiles->liveFilePath(*list)), listFiles->saveError(*list));
    return false;
}

bool SearchDriver::Private::fileUnanswered(const QString& domain, const QString& reason)
{
    ++unanswered;
    Q_EMIT q->unansweredCountChanged(unanswered);
    Q_EMIT q->verdict(domain, Verdict::Unanswered, reason);
    // A name left over from an earlier search is in the file already.
    if (!alreadyUnanswered.insert(domain))
        return true;
    if (!unansweredFile.isOpen()) {
        unansweredFile.setFileName(folder.path(QString::fromLatin1(UnansweredFileName)));
        if (!unansweredFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            stopOnSaveFailure(QString::fromLatin1(UnansweredFileName), unansweredFile.errorString());
            return false;
        }
    }
    if (!TextFile::appendWhole(unansweredFile, domain.toUtf8() + TextFile::LineEnd)) {
        const QString cause = unansweredFile.errorString();
        unansweredFile.close();
        stopOnSaveFailure(QString::fromLatin1(UnansweredFileName), cause);
        return false;
    }
    return true;
}

void SearchDriver::Private::stopOnSaveFailure(const QString& fileName, const QString& cause)
{
    const QString advice = TextFile::isOutOfSpace(cause)
                               ? QStringLiteral("free some space and press Start to go on.")
                               : QStringLiteral("make the data folder writable and press Start to go on.");
    saveFailure = QStringLiteral("Cannot write %1: %2. The search stopped; %3").arg(fileName, cause, advice);
    Q_EMIT q->searchStopped(saveFailure);
    end(true);
}

void SearchDriver::Private::noteConnectFailure(const WhoisLookup::Result& result)
{
    ++connectFailures;
    const QString server = QStringLiteral("%1:%2").arg(result.request.host).arg(result.request.port);
    if (unreachable.contains(server))
        return;
    unreachable.insert(server);
    const QString message = QStringLiteral("Cannot connect to %1: %2").arg(server, result.failure);
    if (firstConnectFailure.isEmpty())
        firstConnectFailure = message;
    Q_EMIT q->problem(message);
}

void SearchDriver::Private::showProgress()
{
    // One number for the text and the bar: the entries read so far.
    const qint64 done = std::min(nextEntry - 1, entryTotal);
    if (done >= 0)
        Q_EMIT q->statusText(1, QStringLiteral("%1 of %2").arg(done).arg(entryTotal));
    if (exhausted && !inFlight.empty()) {
        // The list is done and the last answers may take a while: say so, with the longest wait.
        qint64 longestMs = 0;
        for (const auto& slot : slots)
            longestMs = std::max(longestMs, slot->remainingMs());
        Q_EMIT q->statusText(2, QStringLiteral("Waiting for %1 answers (up to %2 s)")
                                    .arg(inFlight.size())
                                    .arg((longestMs + 999) / 1000));
        if (!waitingTimer.isActive())
            waitingTimer.start();
    } else if (entryTotal < nextEntry) {
        Q_EMIT q->statusText(2, QStringLiteral("Open: Closing connections..."));
    } else {
        Q_EMIT q->statusText(2, QStringLiteral("Open: %1").arg(inFlight.size()));
    }
    Q_EMIT q->progress(std::max<qint64>(0, done), entryTotal);
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
    positionTimer.stop();
    // The resume position is taken before the slots are dropped: names still in flight are
    // looked up again next time.
    positionDirty = true;
    savePosition();
    for (auto& slot : slots)
        slot->abort();
    reader.close();
    unansweredFile.close();
    seen.clear();
    alreadyUnanswered.clear();
    if (skipped > 0)
        Q_EMIT q->problem(QStringLiteral("%1 entries of the list were skipped.").arg(skipped));
    if (lookupsEnded > 0 && connectFailures == lookupsEnded)
        Q_EMIT q->problem(QStringLiteral("No lookup reached a WHOIS server. %1").arg(firstConnectFailure));
    Q_EMIT q->statusText(1, QStringLiteral("Entry Status"));
    Q_EMIT q->statusText(2, QStringLiteral("Open Connections"));
    Q_EMIT q->statusText(3, QStringLiteral("Connection Status"));
    Q_EMIT q->finished(stopped);
}

} // namespace brisquel
