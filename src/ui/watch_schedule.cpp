#include "watch_schedule.h"

#include "engine/filing/remembered_list.h"
#include "engine/search/search_session.h"
#include "engine/search/watch_run.h"
#include "support/clock.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDateTime>
#include <QSystemTrayIcon>
#include <algorithm>
#include <utility>

namespace brisquel {

namespace {

// A QTimer takes an int of milliseconds; longer waits are taken in steps.
constexpr qint64 LongestStepMs = 24LL * 60 * 60 * 1000;
// How soon a round that waited for a search looks again.
constexpr qint64 BusyRetryMs = 60 * 1000;
// How long the tray icon stays after its notification.
constexpr int TrayShownMs = 30000;

// The freedesktop notification service, where the session has one; nothing happens without.
void notifyDesktop(const QString& title, const QString& text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                       QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QCoreApplication::applicationName() << uint(0) << QString() << title << text << QStringList()
         << QVariantMap() << int(-1);
    // Not waited for: a desktop without the service must not hold the window up.
    bus.asyncCall(call);
}

} // namespace

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
        QDateTime::fromString(m_session->settings()->value(SettingKeys::LastWatch()), Qt::ISODateWithMs);
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
    m_session->settings()->setValue(SettingKeys::LastWatch(),
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
        Q_EMIT message(
            QStringLiteral("Saved names checked: %1 came free, %2 started dropping, %3 expiry date "
                           "moved, %4 unanswered%5.")
                .arg(counts.cameFree)
                .arg(counts.startedDropping)
                .arg(counts.expiryMoved)
                .arg(counts.unanswered)
                .arg(stopped ? QStringLiteral(" (stopped)") : QString()));
    if (!m_changes.isEmpty())
        notify(m_changes);
    if (std::exchange(m_askedNow, false) || !m_news.isEmpty())
        Q_EMIT news(m_news, summary(counts, stopped));
    if (m_intervalMs > 0)
        arm();
    Q_EMIT roundFinished();
}

QString WatchSchedule::summary(const WatchCounts& counts, bool stopped) const
{
    if (counts.watched == 0)
        return stopped ? QStringLiteral("The check of the saved names was stopped.")
                       : QStringLiteral("There are no saved names to check.");
    QStringList parts;
    const auto add = [&](qint64 count, const char* what) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(what));
    };
    add(counts.cameFree, "came free");
    add(counts.startedDropping, "started dropping");
    add(counts.expiryMoved, counts.expiryMoved == 1 ? "expiry date moved" : "expiry dates moved");
    if (parts.isEmpty())
        return QStringLiteral("Saved names checked: nothing changed (%1 %2%3).")
            .arg(counts.watched)
            .arg(counts.watched == 1 ? QStringLiteral("name") : QStringLiteral("names"))
            .arg(counts.unanswered > 0 ? QStringLiteral(", %1 unanswered").arg(counts.unanswered) : QString());
    return QStringLiteral("Saved names: %1, marked in Saved Domains.").arg(parts.join(QStringLiteral(", ")));
}

void WatchSchedule::notify(const QStringList& changes)
{
    const QStringList shown = changes.mid(0, 4);
    QString text = shown.join(QLatin1Char('\n'));
    if (changes.size() > shown.size())
        text += QStringLiteral("\n… and %1 more (see the messages)").arg(changes.size() - shown.size());
    const QString title = QStringLiteral("Saved names changed");
    // A desktop without a tray mostly has a notification service: it is asked instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        notifyDesktop(title, text);
        return;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        connect(m_tray, &QSystemTrayIcon::messageClicked, m_tray, &QSystemTrayIcon::hide);
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information);
    QTimer::singleShot(TrayShownMs, m_tray, &QSystemTrayIcon::hide);
}

} // namespace brisquel
