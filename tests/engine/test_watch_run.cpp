// What the watch list calls a change, and when its next round is due.
#include "engine/search/watch_run.h"

#include <QTest>

using namespace brisquel;

namespace {

// "verdict[ state][ expires]": "registered pendingDelete 2026-12-20", "available", "registered - 2026-12-20".
CheckRecord recordOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    CheckRecord record;
    record.name = record.ascii = QStringLiteral("example.com");
    record.verdict = verdictFromName(parts.at(0)).value();
    if (parts.size() > 1 && parts.at(1) != QLatin1String("-"))
        record.lifeCycle.state = parts.at(1);
    if (parts.size() > 2)
        record.lifeCycle.expires = QDate::fromString(parts.at(2), Qt::ISODate);
    record.checked = QDateTime(QDate(2026, 12, 1), QTime(12, 0));
    return record;
}

} // namespace

class TestWatchRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void changes_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QStringList>("changes"); // watchChangeText of each
        const QStringList none;
        QTest::newRow("taken, now free")
            << QStringLiteral("registered - 2030-08-13") << QStringLiteral("available")
            << QStringList{QStringLiteral("came free: example.com (taken when checked on 2026-12-01)")};
        QTest::newRow("reserved, now free")
            << QStringLiteral("not-registrable") << QStringLiteral("available")
            << QStringList{QStringLiteral("came free: example.com (not registrable when checked on 2026-12-01)")};
        QTest::newRow("free, still free")
            << QStringLiteral("available") << QStringLiteral("available") << none;
        QTest::newRow("free, now taken")
            << QStringLiteral("available") << QStringLiteral("registered - 2027-01-01") << none;
        QTest::newRow("unanswered before tells nothing")
            << QStringLiteral("unanswered") << QStringLiteral("available") << none;
        QTest::newRow("unanswered now tells nothing")
            << QStringLiteral("registered") << QStringLiteral("unanswered") << none;
        QTest::newRow("starts dropping")
            << QStringLiteral("registered - 2026-12-20")
            << QStringLiteral("registered pendingDelete 2026-12-20")
            << QStringList{
                   QStringLiteral("started dropping: example.com (pendingDelete, expires 2026-12-20)")};
        QTest::newRow("starts dropping, no date")
            << QStringLiteral("registered") << QStringLiteral("registered redemptionPeriod")
            << QStringList{QStringLiteral("started dropping: example.com (redemptionPeriod)")};
        QTest::newRow("dropping still") << QStringLiteral("registered pendingDelete")
                                        << QStringLiteral("registered redemptionPeriod") << none;
        QTest::newRow("renewed") << QStringLiteral("registered - 2026-12-20")
                                 << QStringLiteral("registered - 2027-12-20")
                                 << QStringList{
                                        QStringLiteral("expiry moved: example.com 2026-12-20 -> 2027-12-20")};
        QTest::newRow("expiry learnt, not moved")
            << QStringLiteral("registered") << QStringLiteral("registered - 2027-12-20") << none;
        QTest::newRow("dropping and moved")
            << QStringLiteral("registered - 2026-12-20") << QStringLiteral("registered expired 2026-11-20")
            << QStringList{QStringLiteral("started dropping: example.com (expired, expires 2026-11-20)"),
                           QStringLiteral("expiry moved: example.com 2026-12-20 -> 2026-11-20")};
    }

    void changes()
    {
        QFETCH(QString, before);
        QFETCH(QString, now);
        QFETCH(QStringList, changes);
        QStringList texts;
        for (const WatchChange& change : watchChanges(recordOf(before), recordOf(now)))
            texts << watchChangeText(change);
        QCOMPARE(texts, changes);
    }

    void nextRound_data()
    {
        QTest::addColumn<QString>("lastWatch");
        QTest::addColumn<qint64>("delayMs");
        const qint64 hour = 3600 * 1000;
        QTest::newRow("never watched: a whole interval") << QString() << 24 * hour;
        QTest::newRow("watched an hour ago") << QStringLiteral("2026-12-07T11:00:00Z") << 23 * hour;
        QTest::newRow("overdue: at once") << QStringLiteral("2026-12-05T12:00:00Z") << qint64(0);
        QTest::newRow("clock set back: no more than an interval")
            << QStringLiteral("2026-12-09T12:00:00Z") << 24 * hour;
    }

    void nextRound()
    {
        QFETCH(QString, lastWatch);
        QFETCH(qint64, delayMs);
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        QCOMPARE(nextWatchDelayMs(QDateTime::fromString(lastWatch, Qt::ISODate), 24 * 3600 * 1000, now),
                 delayMs);
    }
};

QTEST_GUILESS_MAIN(TestWatchRun)
#include "test_watch_run.moc"
