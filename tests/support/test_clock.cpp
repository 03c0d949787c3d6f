#include "tools/test_clock.h"

#include "support/clock.h"
#include "support/local_date.h"

#include <QTest>
#include <QThread>

using namespace brisquel;

class TestClockReads : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void withoutATestClockTheSystemsTimeIsRead()
    {
        QVERIFY(Clock::isSystemClock());
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const QDateTime utc = Clock::currentDateTimeUtc();
        QCOMPARE(utc.timeSpec(), Qt::UTC);
        QVERIFY(before <= utc && utc.secsTo(QDateTime::currentDateTimeUtc()) < 5);
        QCOMPARE(Clock::currentDateTime().timeSpec(), Qt::LocalTime);
        QVERIFY(qAbs(Clock::currentDateTime().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void aTestClockSetsEveryReadingUntilItGoes()
    {
        const QDateTime start(QDate(2026, 3, 14), QTime(12, 0), Qt::LocalTime);
        {
            TestClock clock(start);
            QVERIFY(!Clock::isSystemClock());
            QCOMPARE(Clock::currentDateTime(), start);
            QCOMPARE(Clock::currentDateTime().timeSpec(), Qt::LocalTime);
            QCOMPARE(Clock::currentDateTimeUtc(), start.toUTC());
            QCOMPARE(Clock::currentDateTimeUtc().timeSpec(), Qt::UTC);
            QCOMPARE(Clock::currentDate(), QDate(2026, 3, 14));
            QCOMPARE(localToday(), QDate(2026, 3, 14));

            clock.advanceSecs(90);
            QCOMPARE(Clock::currentDateTime(), start.addSecs(90));
            clock.advanceDays(2);
            QCOMPARE(Clock::currentDate(), QDate(2026, 3, 16));
            clock.set(start.addYears(-1));
            QCOMPARE(Clock::currentDateTime(), start.addYears(-1));
        }
        QVERIFY(Clock::isSystemClock());
        QCOMPARE(Clock::currentDate(), QDate::currentDate());
        QCOMPARE(localToday(), QDate::currentDate());
    }

    // The once-a-second saving of the local date must not hold yesterday under a clock a test moves.
    void theLocalDateFollowsAMovedClockAtOnce()
    {
        TestClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59), Qt::LocalTime));
        QCOMPARE(localToday(), QDate(2026, 12, 31));
        clock.advanceSecs(1);
        QCOMPARE(localToday(), QDate(2027, 1, 1));
    }

    // Lookups judge replies on worker threads, which must read the same clock.
    void otherThreadsReadTheTestClock()
    {
        const QDateTime start(QDate(2026, 6, 1), QTime(8, 0), Qt::UTC);
        TestClock clock(start);
        QDateTime seen;
        QDate today;
        QThread* thread = QThread::create([&] {
            seen = Clock::currentDateTimeUtc();
            today = localToday();
        });
        thread->start();
        QVERIFY(thread->wait(5000));
        delete thread;
        QCOMPARE(seen, start);
        QCOMPARE(today, start.toLocalTime().date());
    }
};

QTEST_GUILESS_MAIN(TestClockReads)
#include "test_clock.moc"
