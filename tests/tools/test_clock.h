#pragma once

#include "support/clock.h"

#include <QDateTime>
#include <atomic>

// The program's clock for as long as it lives: it shows the time the test set until the test moves it.
// Lookups on worker threads may read it while the test moves it, hence the atomic.
class TestClock : public brisquel::Clock
{
public:
    explicit TestClock(const QDateTime& start)
        : m_msecs(start.toMSecsSinceEpoch())
    {
        setInstance(this);
    }
    ~TestClock() override { setInstance(nullptr); }

    void set(const QDateTime& time) { m_msecs = time.toMSecsSinceEpoch(); }
    void advanceMSecs(qint64 msecs) { m_msecs += msecs; }
    void advanceSecs(qint64 secs) { advanceMSecs(secs * 1000); }
    // By the local calendar, so that a day across a change of summer time still lands on the next date.
    void advanceDays(int days) { set(currentDateTime().addDays(days)); }

protected:
    QDateTime nowUtc() const override { return QDateTime::fromMSecsSinceEpoch(m_msecs, Qt::UTC); }

private:
    std::atomic<qint64> m_msecs;
};
