#include "watch_run.h"

#include "engine/names/lookup_name.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_settings.h"
#include "engine/search/startup.h"
#include "engine/filing/verdict_filer.h"
#include "support/clock.h"
#include "support/text_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>

namespace brisquel {

namespace {

QString dateText(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

} // namespace

QList<WatchChange> watchChanges(const CheckRecord& before, const CheckRecord& now)
{
    QList<WatchChange> changes;
    const auto add = [&](const char* kind, const QString& was, const QString& is) {
        changes.append({now.name, now.ascii, QString::fromLatin1(kind), was, is, QDateTime()});
    };
    if (before.verdict == Verdict::Unanswered || now.verdict == Verdict::Unanswered)
        return changes;
    if (isTaken(before.verdict) && now.verdict == Verdict::Available) {
        // The day it was last seen taken, not the day it was registered, which the history does not know.
        add("came-free",
            QStringLiteral("%1 when checked on %2")
                .arg(verdictWord(before.verdict), dateText(before.checked.toLocalTime().date())),
            verdictWord(now.verdict));
        return changes;
    }
    if (!isTaken(now.verdict))
        return changes;
    if (!before.lifeCycle.isDropping() && now.lifeCycle.isDropping()) {
        QString state = now.lifeCycle.state;
        if (now.lifeCycle.expires.isValid())
            state += QStringLiteral(", expires ") + dateText(now.lifeCycle.expires);
        add("started-dropping", verdictWord(before.verdict), state);
    }
    if (before.lifeCycle.expires.isValid() && now.lifeCycle.expires.isValid() &&
        before.lifeCycle.expires != now.lifeCycle.expires)
        add("expiry-moved", dateText(before.lifeCycle.expires), dateText(now.lifeCycle.expires));
    return changes;
}

QString watchChangeText(const WatchChange& change)
{
    if (change.kind == QLatin1String("came-free"))
        return QStringLiteral("came free: %1 (%2)").arg(change.name, change.before);
    if (change.kind == QLatin1String("started-dropping"))
        return QStringLiteral("started dropping: %1 (%2)").arg(change.name, change.after);
    if (change.kind == QLatin1String("expiry-moved"))
        return QStringLiteral("expiry moved: %1 %2 -> %3").arg(change.name, change.before, change.after);
    return QStringLiteral("%1: %2 %3 -> %4").arg(change.kind, change.name, change.before, change.after);
}

qint64 nextWatchDelayMs(const QDateTime& lastWatch, qint64 intervalMs, const QDateTime& now)
{
    if (!lastWatch.isValid())
        return intervalMs;
    return std::clamp<qint64>(now.msecsTo(lastWatch) + intervalMs, 0, intervalMs);
}

WatchRun::WatchRun(const DataFolder& folder, SettingsStore* settings, const ExtensionTable* table,
                   CheckHistory* history, QObject* parent)
    : QObject(parent)
    , m_history(history)
    , m_lists(std::make_unique<ResultLists>())
    , m_filer(std::make_unique<VerdictFiler>(folder, m_lists.get(), nullptr))
    , m_driver(std::make_unique<SearchDriver>(settings, table, m_filer.get()))
{
    m_filer->setRecordOnly(true);
    m_filer->setHistory(history);
    applySettings(SearchSettings());
    connect(m_driver.get(), &SearchDriver::verdict, this, &WatchRun::take);
    connect(m_driver.get(), &SearchDriver::problem, this, &WatchRun::problem);
    connect(m_driver.get(), &SearchDriver::searchStopped, this, &WatchRun::problem);
    connect(m_driver.get(), &SearchDriver::finished, this, &WatchRun::end);
}

WatchRun::~WatchRun() = default;

void WatchRun::applyStartup(const StartupResult& startup)
{
    // The search reported a bad DNS address already; here it only costs the pre-check.
    applySettings(searchSettingsFrom(startup, m_driver->settings()));
}

bool WatchRun::applySettings(SearchSettings settings, QString* error)
{
    m_defaultExtension = settings.defaultExtension;
    // Every name is asked: a verdict taken from the history would compare with itself, and a zone
    // file of days ago would hide a name that has just come free.
    settings.historyDays = 0;
    settings.zoneDays = 0;
    settings.keepsPosition = false;
    return m_driver->setSettings(std::move(settings), error);
}

bool WatchRun::start(const QStringList& savedNames, QString* error)
{
    if (isRunning()) {
        *error = QStringLiteral("The saved names are being checked already.");
        return false;
    }
    m_counts = WatchCounts{};
    if (savedNames.isEmpty())
        return true;
    if (!m_history) {
        *error = QStringLiteral("The saved names cannot be watched without a history to compare with.");
        return false;
    }
    // The driver reads a list file; this one is the run's own, never the user's custom list.
    m_listFolder = std::make_unique<QTemporaryDir>();
    const QString listFile = m_listFolder->filePath(QStringLiteral("watch.txt"));
    QString writeError;
    if (!m_listFolder->isValid() || !TextFile::writeLines(listFile, savedNames, &writeError)) {
        *error = QStringLiteral("The saved names cannot be put in a temporary list: %1")
                     .arg(m_listFolder->isValid() ? writeError : m_listFolder->errorString());
        return false;
    }
    QStringList asciiNames;
    for (const QString& name : savedNames)
        asciiNames.append(historyKey(lookupDomain(name, m_defaultExtension)));
    m_before = m_history->latestOf(asciiNames);
    const SearchRequest request{listFile, SearchType::CustomList, QStringLiteral("1"),
                                QString::number(savedNames.size())};
    return m_driver->start(request, error);
}

void WatchRun::stop()
{
    m_driver->stop();
}

bool WatchRun::isRunning() const
{
    return m_driver->isRunning();
}

void WatchRun::take(const QString& domain, Verdict verdict, const QString& /*detail*/, const NameFacts& facts)
{
    ++m_counts.watched;
    if (verdict == Verdict::Unanswered) {
        ++m_counts.unanswered;
        return;
    }
    CheckRecord now;
    now.name = domain;
    now.ascii = historyKey(domain);
    now.verdict = verdict;
    now.lifeCycle = facts.lifeCycle;
    const auto before = m_before.constFind(now.ascii);
    if (before == m_before.constEnd())
        return;
    for (WatchChange change : watchChanges(*before, now)) {
        change.noticed = Clock::currentDateTimeUtc();
        if (change.kind == QLatin1String("came-free"))
            ++m_counts.cameFree;
        else if (change.kind == QLatin1String("started-dropping"))
            ++m_counts.startedDropping;
        else
            ++m_counts.expiryMoved;
        m_history->recordChange(change);
        Q_EMIT changed(change);
    }
}

void WatchRun::end(bool stopped)
{
    m_listFolder.reset();
    m_before.clear();
    Q_EMIT finished(m_counts, stopped);
}

} // namespace brisquel
