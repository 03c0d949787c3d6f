#include "engine/filing/check_history.h"
#include "engine/search/search_driver_private.h"
#include "support/settings_store.h"

#include <QScopeGuard>
#include <utility>

namespace brisquel {

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
        else if (settled.facts.method == CheckMethod::Zone)
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
    if (!run.positionDirty || !settings.keepsPosition)
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
    if (store->setValues({{*key, position}, {SettingKeys::positionListFile(*key), run.listIdentity}}) ||
        run.positionReported)
        return;
    run.positionReported = true;
    const QString message =
        QStringLiteral("The search position could not be saved to %1.").arg(store->machinePath());
    if (run.saveFailure.isEmpty())
        run.saveFailure = message;
    Q_EMIT q->problem(message);
}

} // namespace brisquel
