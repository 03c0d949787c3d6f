#include "watch_schedule.h"

#include "engine/filing/remembered_list.h"
#include "engine/search/search_session.h"
#include "engine/search/search_summary.h"
#include "engine/search/watch_run.h"
#include "support/clock.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"

#include <QDateTime>
#include <algorithm>
#include <utility>

namespace brisquel {

namespace {

// A QTimer takes an int of milliseconds; longer waits are taken in steps.
constexpr qint64 LongestStepMs = 24LL * 60 * 60 * 1000;
// How soon a round that waited for a search looks again.
constexpr qint64 BusyRetryMs = 60 * 1000;
// What a notification shows of a round's changes; the messages have them all.
constexpr qsizetype NotifiedChanges = 4;

} // namespace

QString watchNotificationText(const QStringList& changes)
{
    const QStringList shown = changes.mid(0, NotifiedChanges);
    QString text = shown.join(QLatin1Char('\n'));
    if (changes.size() > shown.size())
        text += QStringLiteral("\n… and %1 more (see the messages)").arg(changes.size() - shown.size());
    return text;
}

WatchSchedule::WatchSchedule(SearchSession* session, CheckHistory* history, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_run(std::make_unique<WatchRun>(session->dataFolder(), session->settings(), session->table(), history))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WatchSchedule::runRound);
    connect(m_run.get(), &WatchRun::changed, this, [this](const WatchChange& change) {
        const QString text = QStringLiteral("Saved names: ") + watchChangeText(change);
        m_changes.append(watchChangeText(change));
        m_news.append(change);
        Q_EMIT message(text);
    });
    connect(m_run.get(), &WatchRun::problem, this,
            [this](const QString& text) { Q_EMIT message(QStringLiteral("Saved names: ") + text); });
    connect(m_run.get(), &WatchRun::finished, this, &WatchSchedule::finishRound);
}

WatchSchedule::~WatchSchedule() = default;

void WatchSchedule::start(int hours)
{
    startEveryMs(qint64(std::max(0, hours)) * 60 * 60 * 1000);
}

void WatchSchedule::startEveryMs(qint64 intervalMs)
{
    m_intervalMs = intervalMs;
    m_timer.stop();
    if (m_intervalMs > 0)
        arm();
}

void WatchSchedule::checkNow()
{
    if (m_run->isRunning()) {
        Q_EMIT message(QStringLiteral("The saved names are being checked already."));
        return;
    }
    m_askedNow = true;
    m_dueAt = Clock::currentDateTimeUtc();
    if (m_busy && m_busy())
        Q_EMIT message(QStringLiteral("The saved names are checked once the search has ended."));
    runRound();
}

void WatchSchedule::arm()
{
    const QDateTime last =
        QDateTime::fromString(m_session->settings()->value(SettingKeys::lastWatch()), Qt::ISODateWithMs);
    const QDateTime now = Clock::currentDateTimeUtc();
    m_dueAt = now.addMSecs(nextWatchDelayMs(last, m_intervalMs, now));
    waitOn();
}

void WatchSchedule::waitOn()
{
    m_timer.start(int(std::clamp<qint64>(Clock::currentDateTimeUtc().msecsTo(m_dueAt), 0, LongestStepMs)));
}

void WatchSchedule::runRound()
{
    // A long wait goes in steps; a round still running when the next is due lets that one go.
    if (Clock::currentDateTimeUtc() < m_dueAt) {
        waitOn();
        return;
    }
    if (m_run->isRunning())
        return;
    if (m_busy && m_busy()) {
        m_dueAt = Clock::currentDateTimeUtc().addMSecs(
            m_intervalMs > 0 ? std::min<qint64>(BusyRetryMs, m_intervalMs) : BusyRetryMs);
        waitOn();
        return;
    }
    m_session->settings()->setValue(SettingKeys::lastWatch(),
                                    Clock::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    QString error;
    const QStringList names =
        RememberedList::load(m_session->dataFolder().path(QStringLiteral("Remembered.txt")), &error);
    m_changes.clear();
    m_news.clear();
    m_run->applyStartup(m_session->startupResult());
    if (!error.isEmpty() || !m_run->start(names, &error)) {
        Q_EMIT message(QStringLiteral("The saved names could not be checked: ") + error);
        if (std::exchange(m_askedNow, false))
            Q_EMIT news({}, QStringLiteral("The saved names could not be checked: ") + error);
        if (m_intervalMs > 0)
            arm();
        return;
    }
    if (!m_run->isRunning())
        finishRound(m_run->counts(), false);
}

void WatchSchedule::finishRound(const WatchCounts& counts, bool stopped)
{
    if (counts.watched > 0)
        Q_EMIT message(watchRoundText(counts, stopped));
    if (!m_changes.isEmpty())
        Q_EMIT notificationDue(QStringLiteral("Saved names changed"), watchNotificationText(m_changes));
    if (std::exchange(m_askedNow, false) || !m_news.isEmpty())
        Q_EMIT news(m_news, watchNewsText(counts, stopped));
    if (m_intervalMs > 0)
        arm();
    Q_EMIT roundFinished();
}

} // namespace brisquel
