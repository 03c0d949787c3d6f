#pragma once

#include "engine/judging/answer_rules.h"
#include "engine/lookup/lookup_request.h"
#include "engine/judging/name_facts.h"
#include "engine/judging/verdict.h"

#include <QFile>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>

class QStringListModel;

namespace brisquel {

class LookupPool;
class LookupRouter;
class VerdictFiler;

// The domain browser's status checker: walks the browse list file in order, one lookup at a time
// (the main search's exchange, limits and answer rules; a free name asked again over RDAP where the
// router says so), files each answered name into its own two lists and, through the filer, into
// the main result lists and files or Unanswered.txt. At the end of the list it waits until more
// names are appended. A name whose verdict could not be saved stops it; it starts again from that
// name at the next checkNext().
class BrowseChecker : public QObject
{
    Q_OBJECT
public:
    enum class Column
    {
        Unregistered,
        Registered
    };

    struct Timings
    {
        int attemptMs = 10000;
        int maxAttempts = 3;
        int retryDelayMs = 1000;
        int pollMs = 1000; // how often an idle checker looks for appended names
    };

    // Names go where the router sends them: the search's router, so that settings reach both.
    BrowseChecker(QString listPath, const LookupRouter* router, VerdictFiler* filer,
                  QObject* parent = nullptr);
    ~BrowseChecker() override;

    void setTimings(const Timings& timings);
    // The delivered rules until set.
    void setAnswerRules(std::shared_ptr<const AnswerRules> rules);

    // Starts polling; the first name of the list is the first looked up.
    void start();

    bool isChecking() const;
    // 0-based number of the next list entry to look up.
    qint64 nextEntry() const { return m_nextEntry; }
    qint64 checkedCount() const { return m_checkedCount; }
    // Entries the list holds so far, the ones checked included.
    qint64 entryTotal();
    // The names listed but not yet answered: the one under check and those after it.
    QStringList uncheckedNames() const;
    // Stops checking for good: the name under check is dropped, the list no longer read.
    void stop();
    // Stops, and puts the unchecked names into Unanswered.txt so that a later search can take them.
    // False with *error when one could not be written.
    bool fileUncheckedAsUnanswered(QString* error);
    qint64 unansweredCount() const { return m_unansweredCount; }

    QStringListModel* model(Column column) const { return m_models[index(column)]; }
    QStringList entries(Column column) const;
    QString caption(Column column) const { return m_captions[index(column)]; }
    void clear(Column column);
    bool deleteEntry(Column column, int row);

public Q_SLOTS:
    // Looks up the next listed name unless a lookup runs or the list is done.
    void checkNext();

Q_SIGNALS:
    // The first status panel: the name under check, the latest find, or the total when idle.
    void statusText(const QString& text);
    void captionChanged(brisquel::BrowseChecker::Column column, const QString& caption);
    // Every name of the list has been looked up.
    void idle();
    void checked(const QString& domain, brisquel::Verdict verdict);
    // A verdict could not be saved (checking stopped), or another search holds the data folder.
    void problem(const QString& message);

private:
    static int index(Column column) { return column == Column::Unregistered ? 0 : 1; }
    bool readEntry(QString* entry);
    bool startCheck(const QString& entry);
    void startThroughProxy(LookupRequest request);
    void settle(const LookupResult& result);
    bool file(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts = {});
    void showFiled(const QString& domain, Verdict verdict);
    void releaseFolder();
    void setCaption(Column column, const QString& caption);

    QString m_listPath;
    const LookupRouter* m_router;
    VerdictFiler* m_filer;
    bool m_holdsFolder = false;
    bool m_toldFolderBusy = false;
    bool m_stopped = false;
    QStringList m_poolProxies; // the proxies the pool was given, by name
    int m_nextProxy = 0;
    int m_proxyRetries = 0;   // other proxies tried for the name in flight
    QString m_confirmingFor;  // the lookup in flight asks RDAP about a name this WHOIS server called free
    qint64 m_entryOffset = 0; // where the entry under check starts, to go back to after a failure
    LookupPool* m_pool;
    QTimer m_poll;
    // The list stays open and is read on from where the last entry ended.
    QFile m_list;
    qint64 m_readOffset = 0;
    qint64 m_countedOffset = 0; // how far entryTotal() has counted
    qint64 m_entryTotal = 0;
    bool m_ended = false;
    bool m_idle = false;
    qint64 m_nextEntry = 0;
    qint64 m_checkedCount = 0;
    qint64 m_unansweredCount = 0;
    std::array<QStringListModel*, 2> m_models{};
    // What this window filed, shown in its captions. Not the main window's counters: those restart
    // with each of its searches and take in that search's names too, so the captions would stop
    // matching the lists under them.
    std::array<qint64, 2> m_filed{};
    std::array<QString, 2> m_captions;
};

} // namespace brisquel
