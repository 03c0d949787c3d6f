#pragma once

#include "engine/judging/life_cycle.h"
#include "engine/judging/name_facts.h"
#include "engine/judging/verdict.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QString>
#include <optional>

namespace brisquel {

std::optional<Verdict> verdictFromName(const QString& name); // the names verdictName() gives
// What the history knows a name by: its ASCII (ACE) form in lower case.
QString historyKey(const QString& domain);

// One verdict as the history keeps it.
struct CheckRecord
{
    QString name;  // as the user wrote it
    QString ascii; // the ASCII (ACE) form, lower case: what names are matched by
    Verdict verdict = Verdict::Unanswered;
    QString detail;
    QString server; // the host asked; empty when none was
    CheckMethod method = CheckMethod::Whois;
    LifeCycle lifeCycle;
    QDateTime checked; // UTC
};

// A name's newest check when it found the name taken: what deciding whether to ask again needs,
// small, as a search holds one for every name found taken in the last days.
struct TakenCheck
{
    Verdict verdict = Verdict::Registered; // or NotRegistrable
    QString state;                         // the life-cycle state; empty for a name in good standing
    QDate expires;
    QDateTime checked; // UTC
};

// What a check of a saved name found different from the name's previous record.
struct WatchChange
{
    QString name;
    QString ascii;
    QString kind;      // "came-free", "started-dropping", "expiry-moved"
    QString before;    // "taken when checked on 2026-12-01", "taken", "2026-12-20"
    QString after;     // "free", "pendingDelete, expires 2026-12-20", "2027-12-20"
    QDateTime noticed; // UTC
};

// Every verdict of every checker goes here, beside the result lists' text files (which stay the
// truth for the lists). The store behind it may write later and elsewhere; record() never blocks
// on the disk and never fails the caller: a store that cannot write says so once by itself.
class CheckHistory
{
public:
    virtual ~CheckHistory() = default;
    virtual void record(const CheckRecord& record) = 0;
    // Per name (ASCII form), its newest check at or after `since` where that found it taken and not
    // dropping; names whose newest check found them free or went unanswered are left out.
    virtual QHash<QString, TakenCheck> takenSince(const QDateTime& since) = 0;
    // The newest answered verdict of each of these names (ASCII forms, lower case), however old.
    virtual QHash<QString, CheckRecord> latestOf(const QStringList& asciiNames) = 0;
    // Kept with the verdicts, for the user to look back on; a history without a place for them
    // lets them go.
    virtual void recordChange(const WatchChange& /*change*/) {}
    // Everything recorded so far reaches the disk before this returns.
    virtual void flush() = 0;
    // Verdicts recorded so far that could not be written and never will be.
    virtual qint64 lostCount() const { return 0; }
    // How many verdicts record() has taken so far, and how many of those the store is done with:
    // written, or given up (lostCount()). A search's saved position passes a verdict only once
    // the store is done with it. A store that writes as it records is always done.
    virtual qint64 recordedCount() const { return 0; }
    virtual qint64 writtenCount() const { return recordedCount(); }
};

// Whether a name need not be asked again: taken (registered or not registrable) within the last
// `days` days, not dropping and not past its expiry date. Returns the detail it is filed with,
// "taken on 2026-12-06 (history)"; nothing when the name must be asked.
std::optional<QString> settledByHistory(const TakenCheck& last, int days, const QDateTime& now);

} // namespace brisquel
