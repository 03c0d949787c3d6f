#pragma once

// The inside of SearchDriver, shared by the files that make it up: search_driver.cpp (settings,
// start, reading the list, the end) and search_driver_filing.cpp (batches of verdicts and the
// resume position).

#include "engine/filing/check_history.h"
#include "engine/dns/dns_stage.h"
#include "engine/dispatch/lookup_queue.h"
#include "engine/filing/name_set.h"
#include "engine/search/search_driver.h"
#include "engine/search/unsettled_entries.h"
#include "engine/filing/verdict_filer.h"
#include "engine/zones/zone_shelf.h"
#include "sources/list_file_reader.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <deque>
#include <limits>
#include <vector>

namespace brisquel {

class SearchDriver::Private
{
public:
    static constexpr int PositionSaveIntervalMs = 500;
    static constexpr int WaitingRefreshMs = 1000;
    // Names read ahead for servers that could take them now, so that names of a server with budget
    // can go while others wait; names for resting or rationed servers do not count, so that
    // reading goes on past them (they wait packed, a few bytes each), up to a bound on memory.
    static constexpr qint64 LookAhead = 2000;
    static constexpr qint64 MaxWaiting = 2000000;
    // Names waiting for DNS at most; past it a name goes to its registry only.
    static constexpr qint64 DnsBacklog = 20000;
    // Verdicts filed in one batch at most: names settled without a query (history) may come by the
    // thousand in one turn of the event loop.
    static constexpr size_t MostBatched = 1000;

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
    void connectQueue();
    void connectDns();
    void connectBatchTimer();
    // Why the request cannot start; empty when it can.
    QString refusal(const SearchRequest& request, qint64* start, qint64* total) const;
    void beginRun(const SearchRequest& request, const QString& identity, qint64 start, qint64 total);
    bool readAhead();
    bool takeEntry(qint64 number, const QString& entry);
    void skip(qint64 number, const QString& shown, const char* why);
    bool stopOnListFailure();

    // search_driver_filing.cpp
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
    SettingsStore* store = nullptr;
    const ExtensionTable* table = nullptr;
    VerdictFiler* filer = nullptr;
    LookupRouter router;
    LookupQueue queue;
    DnsStage dnsStage;
    ListFileReader reader;
    SearchSettings settings;
    ZoneShelf zones; // the zones a search settles names from, opened at its start

    Run run;
    QTimer positionTimer;
    // Writes the batch where the event loop is run without ever going to sleep (which is when
    // batches are written otherwise); a zero timer fires at the end of the turn that started it.
    QTimer batchTimer;
    QTimer waitingTimer;
};

} // namespace brisquel
