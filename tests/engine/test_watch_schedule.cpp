// When the watch list's rounds are due, how they wait for a search, and what a round asks the
// window and the desktop to show.
#include "engine/filing/check_history.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_session.h"
#include "engine/search/watch_run.h"
#include "engine/search/watch_schedule.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"
#include "tools/fake_whois_server.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;

namespace {

constexpr int RoundTimeoutMs = 15000;

// Every verdict kept in memory: all the watch list needs to compare a name with its last record.
class MemoryHistory : public CheckHistory
{
public:
    void record(const CheckRecord& record) override { latest.insert(record.ascii, record); }
    QHash<QString, TakenCheck> takenSince(const QDateTime&) override { return {}; }
    QHash<QString, CheckRecord> latestOf(const QStringList& asciiNames) override
    {
        QHash<QString, CheckRecord> found;
        for (const QString& name : asciiNames) {
            if (latest.contains(name))
                found.insert(name, latest.value(name));
        }
        return found;
    }
    void flush() override {}

    QHash<QString, CheckRecord> latest;
};

// A data folder whose saved names go to a fake WHOIS server on 127.0.0.1: no DNS, no registry's
// RDAP service.
struct ScheduleFixture
{
    ScheduleFixture()
    {
        server.listen();
        QDir().mkpath(home);
        write(QStringLiteral("rdap-dns.json"), "{\"services\": []}");
        {
            QSettings ini(home + QStringLiteral("/settings.ini"), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Brisquel/Settings/chkDns"), QStringLiteral("0"));
        }
        session = std::make_unique<SearchSession>(DataFolder(home), dir.filePath(QStringLiteral("user.ini")));
        session->start(UrlOpener());
        schedule = std::make_unique<WatchSchedule>(session.get(), &history);
        schedule->run()->driver()->changeSetting(&SearchSettings::serverOverride,
                                                 std::optional(ServerOverride{QStringLiteral("127.0.0.1"), server.port()}));
    }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(home + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    void setLastWatch(const QDateTime& when) const
    {
        session->settings()->setValue(SettingKeys::lastWatch(), when.toString(Qt::ISODateWithMs));
    }

    QString lastWatch() const { return session->settings()->value(SettingKeys::lastWatch()); }

    QTemporaryDir dir;
    QString home = dir.filePath(QStringLiteral("home"));
    FakeWhoisServer server;
    MemoryHistory history;
    std::unique_ptr<SearchSession> session;
    std::unique_ptr<WatchSchedule> schedule;
};

} // namespace

class TestWatchSchedule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstRoundOneIntervalAfterTheLast_data()
    {
        QTest::addColumn<int>("lastRoundHoursAgo"); // -1: never
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("never watched: a whole interval") << -1 << false;
        QTest::newRow("watched an hour ago: an hour to go") << 1 << false;
        QTest::newRow("overdue: at once") << 3 << true;
    }

    void firstRoundOneIntervalAfterTheLast()
    {
        QFETCH(int, lastRoundHoursAgo);
        QFETCH(bool, atOnce);
        ScheduleFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "slipping.com\r\n");
        if (lastRoundHoursAgo >= 0)
            fixture.setLastWatch(QDateTime::currentDateTimeUtc().addSecs(-3600 * lastRoundHoursAgo));
        const QString before = fixture.lastWatch();
        QSignalSpy rounds(fixture.schedule.get(), &WatchSchedule::roundFinished);
        fixture.schedule->start(2);
        QVERIFY(fixture.schedule->isScheduled());
        if (atOnce) {
            QVERIFY(rounds.wait(RoundTimeoutMs));
            QVERIFY(fixture.lastWatch() != before);
        } else {
            QTest::qWait(300);
            QCOMPARE(rounds.count(), 0);
            QCOMPARE(fixture.lastWatch(), before);
        }
        // The next round is an interval away again.
        QVERIFY(fixture.schedule->isScheduled());
        fixture.schedule->start(0);
        QVERIFY(!fixture.schedule->isScheduled());
    }

    // Two checkers would each keep a registry's limit and together ask it twice as hard.
    void aDueRoundWaitsForTheSearch()
    {
        ScheduleFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "slipping.com\r\n");
        bool searching = true;
        fixture.schedule->setBusyCheck([&searching] { return searching; });
        QSignalSpy rounds(fixture.schedule.get(), &WatchSchedule::roundFinished);
        QSignalSpy news(fixture.schedule.get(), &WatchSchedule::news);
        fixture.schedule->startEveryMs(20);
        QTest::qWait(200);
        QCOMPARE(rounds.count(), 0);
        QVERIFY(fixture.lastWatch().isEmpty());
        searching = false;
        QTRY_VERIFY_WITH_TIMEOUT(rounds.count() >= 1, RoundTimeoutMs);
        fixture.schedule->startEveryMs(0);
        QVERIFY(!fixture.lastWatch().isEmpty());
        // A round on the timer that found nothing new has no news for the window.
        QCOMPARE(news.count(), 0);
    }

    void checkNowSaysWhatItFound()
    {
        ScheduleFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "");
        QSignalSpy news(fixture.schedule.get(), &WatchSchedule::news);
        QSignalSpy notifications(fixture.schedule.get(), &WatchSchedule::notificationDue);
        fixture.schedule->checkNow();
        QCOMPARE(news.count(), 1);
        QVERIFY(news.at(0).at(0).value<QList<WatchChange>>().isEmpty());
        QCOMPARE(news.at(0).at(1).toString(), QStringLiteral("There are no saved names to check."));
        QCOMPARE(notifications.count(), 0);
    }

    void checkNowWaitsForTheSearch()
    {
        ScheduleFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "");
        bool searching = true;
        fixture.schedule->setBusyCheck([&searching] { return searching; });
        fixture.schedule->startEveryMs(20);
        QSignalSpy messages(fixture.schedule.get(), &WatchSchedule::message);
        QSignalSpy news(fixture.schedule.get(), &WatchSchedule::news);
        fixture.schedule->checkNow();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(),
                 QStringLiteral("The saved names are checked once the search has ended."));
        QTest::qWait(100);
        QCOMPARE(news.count(), 0);
        searching = false;
        QTRY_COMPARE_WITH_TIMEOUT(news.count(), 1, RoundTimeoutMs);
        fixture.schedule->startEveryMs(0);
    }

    void aChangeIsNewsAndANotification()
    {
        ScheduleFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "slipping.com\r\n");
        CheckRecord taken;
        taken.name = taken.ascii = QStringLiteral("slipping.com");
        taken.verdict = Verdict::Registered;
        taken.checked = QDateTime(QDate(2026, 12, 1), QTime(12, 0), Qt::UTC);
        fixture.history.latest.insert(taken.ascii, taken);
        fixture.server.addFreeName(QStringLiteral("slipping.com"));
        QSignalSpy messages(fixture.schedule.get(), &WatchSchedule::message);
        QSignalSpy news(fixture.schedule.get(), &WatchSchedule::news);
        QSignalSpy notifications(fixture.schedule.get(), &WatchSchedule::notificationDue);
        fixture.schedule->checkNow();
        QTRY_COMPARE_WITH_TIMEOUT(news.count(), 1, RoundTimeoutMs);

        const QString change = QStringLiteral("came free: slipping.com (taken when checked on 2026-12-01)");
        const auto changes = news.at(0).at(0).value<QList<WatchChange>>();
        QCOMPARE(changes.size(), 1);
        QCOMPARE(watchChangeText(changes.first()), change);
        QCOMPARE(news.at(0).at(1).toString(),
                 QStringLiteral("Saved names: 1 came free, marked in Saved Domains."));
        QCOMPARE(notifications.count(), 1);
        QCOMPARE(notifications.at(0).at(0).toString(), QStringLiteral("Saved names changed"));
        QCOMPARE(notifications.at(0).at(1).toString(), change);
        QStringList logged;
        for (const QList<QVariant>& message : std::as_const(messages))
            logged << message.at(0).toString();
        QCOMPARE(logged,
                 (QStringList{QStringLiteral("Saved names: ") + change,
                              QStringLiteral("Saved names checked: 1 came free, 0 started dropping, 0 "
                                             "expiry date moved, 0 unanswered.")}));
    }

    void notificationShowsTheFirstFourChanges()
    {
        QCOMPARE(watchNotificationText({QStringLiteral("a"), QStringLiteral("b")}), QStringLiteral("a\nb"));
        const QStringList six{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                              QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")};
        QCOMPARE(watchNotificationText(six), QStringLiteral("a\nb\nc\nd\n… and 2 more (see the messages)"));
    }
};

QTEST_GUILESS_MAIN(TestWatchSchedule)
#include "test_watch_schedule.moc"
