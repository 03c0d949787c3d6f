#pragma once

#include "engine/filing/check_history.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace brisquel {

class CheckHistory;
class SearchSession;
class WatchRun;

struct WatchCounts;

// The watch list while the program runs: a round of checks of the saved names every few hours, the
// first one interval after the last round (kept in the settings as LastWatch), at once when that
// is past. Each change goes to message(); the changes of a round also to news() for the window,
// and to notificationDue() for the desktop, which the window shows as it can.
class WatchSchedule : public QObject
{
    Q_OBJECT
public:
    WatchSchedule(SearchSession* session, CheckHistory* history, QObject* parent = nullptr);
    ~WatchSchedule() override;

    // Hours between rounds; 0 stops them.
    void start(int hours);
    // Tests: the interval in milliseconds instead.
    void startEveryMs(qint64 intervalMs);
    bool isScheduled() const { return m_timer.isActive(); }
    // While it says yes (a search runs), a due round waits: two checkers would each keep a
    // registry's limit and together ask it twice as hard.
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    WatchRun* run() const { return m_run.get(); }
    // "Check saved names now": a round at once, or as soon as the search that runs has ended.
    void checkNow();

Q_SIGNALS:
    void message(const QString& text);
    // A round ended with changes, or one the user asked for ended: its changes and a line that
    // sums them up.
    void news(const QList<brisquel::WatchChange>& changes, const QString& summary);
    // A round ended with changes: a title and the first few of them, for a desktop notification.
    void notificationDue(const QString& title, const QString& text);
    // A round ended (tests wait for it).
    void roundFinished();

private:
    void arm();
    void waitOn();
    void runRound();
    void finishRound(const WatchCounts& counts, bool stopped);

    SearchSession* m_session;
    std::unique_ptr<WatchRun> m_run;
    QTimer m_timer;
    qint64 m_intervalMs = 0;
    QDateTime m_dueAt;
    QStringList m_changes; // of the running round
    QList<WatchChange> m_news;
    bool m_askedNow = false;
    std::function<bool()> m_busy;
};

// The notification of a round's changes: the first four, and how many more the messages hold.
QString watchNotificationText(const QStringList& changes);

} // namespace brisquel
