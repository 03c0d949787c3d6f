#pragma once

#include "engine/filing/check_history.h"
#include "engine/judging/name_facts.h"
#include "engine/search/search_settings.h"
#include "engine/judging/verdict.h"
#include "support/data_folder.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QTemporaryDir;

namespace brisquel {

class ExtensionTable;
class ResultLists;
class SearchDriver;
class SettingsStore;
class VerdictFiler;
struct StartupResult;

// What one round of the watch list came to.
struct WatchCounts
{
    qint64 watched = 0; // names that got a verdict, unanswered ones included
    qint64 cameFree = 0;
    qint64 startedDropping = 0;
    qint64 expiryMoved = 0;
    qint64 unanswered = 0;
};

// What a new verdict of a name says that its previous record did not: it came free (was taken,
// now available), started dropping (no deletion state before, one now) or its expiry date moved
// (both known, and different). An unanswered verdict on either side tells nothing.
QList<WatchChange> watchChanges(const CheckRecord& before, const CheckRecord& now);
// "came free: example.com (taken when checked on 2026-12-01)", "started dropping: example.com
// (pendingDelete, expires 2026-12-20)", "expiry moved: example.com 2026-12-20 -> 2027-12-20".
QString watchChangeText(const WatchChange& change);
// The wait before the next round: `interval` after the last one, at once when that has passed, and
// a whole interval when there was none.
qint64 nextWatchDelayMs(const QDateTime& lastWatch, qint64 intervalMs, const QDateTime& now);

// The watch list: every saved name asked once, paced as a search is, and each verdict compared
// with the name's previous record in the history. Its verdicts go to the history alone (no result
// list, no file, no claim on the data folder) and it never moves the user's resume position, so it
// may run beside a search.
class WatchRun : public QObject
{
    Q_OBJECT
public:
    WatchRun(const DataFolder& folder, SettingsStore* settings, const ExtensionTable* table,
             CheckHistory* history, QObject* parent = nullptr);
    ~WatchRun() override;

    // Asks as the search would: its rules, limits, RDAP, DNS and network proxies.
    void applyStartup(const StartupResult& startup);
    // The same from settings at hand; every name is asked (no verdict from the history) and the
    // resume position is left alone, whatever they say. False with *error when the DNS server is
    // no IP address: the pre-check is then off.
    bool applySettings(SearchSettings settings, QString* error = nullptr);
    // Its settings, for a run's own choices over them (the command line's --proxy, --no-dns).
    SearchDriver* driver() const { return m_driver.get(); }

    // False with the reason when the round cannot start. An empty list starts nothing and is no error.
    bool start(const QStringList& savedNames, QString* error);
    void stop();
    bool isRunning() const;
    const WatchCounts& counts() const { return m_counts; }

Q_SIGNALS:
    void changed(const brisquel::WatchChange& change);
    void problem(const QString& message);
    void finished(const brisquel::WatchCounts& counts, bool stopped);

private:
    void take(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);
    void end(bool stopped);

    CheckHistory* m_history;
    QString m_defaultExtension = QStringLiteral(".com");
    std::unique_ptr<ResultLists> m_lists; // the filer wants lists; record-only, it never fills them
    std::unique_ptr<VerdictFiler> m_filer;
    std::unique_ptr<SearchDriver> m_driver;
    std::unique_ptr<QTemporaryDir> m_listFolder;
    QHash<QString, CheckRecord> m_before;
    WatchCounts m_counts;
};

} // namespace brisquel
