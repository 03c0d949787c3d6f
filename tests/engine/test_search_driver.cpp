#include "engine/filing/check_history.h"
#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/resume_point.h"
#include "engine/search/search_driver.h"
#include "file_size_limit.h"
#include "search_harness.h"
#include "support/data_folder.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "tools/fake_dns_server.h"
#include "tools/fake_whois_server.h"
#include "whois_config/extension_table.h"
#include "whois_config/server_limits.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeDnsServer;
using brisquel::test::FakeWhoisServer;
using brisquel::test::Harness;
using brisquel::test::numberedList;
using brisquel::test::Outcome;

namespace {

QStringList names(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* name : list)
        result << QString::fromLatin1(name);
    result.sort();
    return result;
}

// A history that found every name of the list taken an hour ago.
struct TakenHistory : CheckHistory
{
    void record(const CheckRecord&) override {}
    QHash<QString, TakenCheck> takenSince(const QDateTime&) override { return taken; }
    QHash<QString, CheckRecord> latestOf(const QStringList&) override { return {}; }
    void flush() override {}

    QHash<QString, TakenCheck> taken;
};

} // namespace

class TestSearchDriver : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<FakeWhoisServer>();
        QVERIFY(m_server->listen());
    }

    void filesEveryNameOfAMixedList()
    {
        Harness h(m_server->port());
        // Mixed line ends, blank lines, and a last entry without a line end.
        const QString list =
            h.writeList("freeab.com\r\n\r\nfreeabcdefgh.com\ntaken.com\r\rfreeabcde\r\nlast.com");
        QVERIFY(h.run(list));
        QCOMPARE(h.domains(Verdict::Available), names({"freeab.com", "freeabcde.com", "freeabcdefgh.com"}));
        QCOMPARE(h.domains(Verdict::Registered), names({"last.com", "taken.com"}));
        QCOMPARE(h.lists.entries(ResultList::Mid), QStringList{QStringLiteral("freeab.com")});
        QCOMPARE(h.lists.caption(ResultList::Registered), QStringLiteral("Registered (2, 2 new)"));
        QCOMPARE(h.lists.caption(ResultList::Low), QStringLiteral("Low Profile (2, 2 new)"));
        QCOMPARE(h.fileLines(QStringLiteral("LowProfile.txt")).size(), 2);
        // The whole list is done: the next search of it starts after its end.
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QStringLiteral("6"));
        QCOMPARE(h.driver.resumePosition(), 6);
        QCOMPARE(m_server->queries().size(), 5);
    }

    // Settings out of range are brought into it; a DNS server that is no address turns the
    // pre-check off, says why, and takes nothing else away.
    void settingsAreTakenWholeAndKeptInRange()
    {
        Harness h(m_server->port());
        SearchSettings settings;
        settings.poolSize = 500;
        settings.historyDays = -3;
        settings.timings.deadServerMs = 0;
        settings.preferRdap = true;
        settings.dnsPrecheck = true;
        settings.dnsServer = QStringLiteral(" 127.0.0.1:5353 ");
        QVERIFY(h.driver.setSettings(settings));
        QCOMPARE(h.driver.settings().poolSize, SearchSettings::MaxPoolSize);
        QCOMPARE(h.driver.settings().historyDays, 0);
        QCOMPARE(h.driver.settings().timings.deadServerMs, qint64(1));
        QCOMPARE(h.driver.settings().dnsServer, QStringLiteral("127.0.0.1:5353"));
        QVERIFY(h.driver.router().preferRdap());
        h.driver.changeSetting(&SearchSettings::poolSize, 0);
        QCOMPARE(h.driver.settings().poolSize, 1);
        QVERIFY(h.driver.settings().dnsPrecheck);

        settings.dnsServer = QStringLiteral("not an address");
        QString error;
        QVERIFY(!h.driver.setSettings(settings, &error));
        QVERIFY(error.contains(QStringLiteral("not an address")));
        QVERIFY(!h.driver.settings().dnsPrecheck);
        QVERIFY(h.driver.settings().dnsServer.isEmpty());
        QVERIFY(h.driver.settings().preferRdap);
        QVERIFY(h.driver.router().preferRdap());
    }

    void keepsAtMostPoolSizeLookupsInFlight()
    {
        Harness h(m_server->port());
        m_server->setDelayMs(30);
        h.driver.changeSetting(&SearchSettings::poolSize, 5);
        QVERIFY(h.run(h.writeList(numberedList(40, "name"))));
        QCOMPARE(h.outcomes.size(), 40);
        QCOMPARE(m_server->maxConcurrentConnections(), 5);
    }

    void progressCountsNamesSettledNotNamesReadAhead()
    {
        Harness h(m_server->port());
        m_server->setDelayMs(5);
        qint64 ahead = 0;
        SearchProgress first;
        QObject::connect(&h.driver, &SearchDriver::progressChanged, [&] {
            const SearchProgress progress = h.driver.progress();
            if (first.total == 0)
                first = progress;
            ahead = std::max(ahead, progress.settled - qint64(h.outcomes.size()));
        });
        QVERIFY(h.run(h.writeList(numberedList(676, "name"))));
        QCOMPARE(h.outcomes.size(), 676);
        QCOMPARE(ahead, 0);
        // At the start the whole list is read; a server not yet heard from gets two names at once.
        QCOMPARE(first.settled, 0);
        QCOMPARE(first.inFlight, 2);
        QCOMPARE(first.waiting(), 676 - 2);
        QCOMPARE(h.driver.progress().settled, 676);
    }

    void aRationedServerHoldsBackOnlyItsOwnNames()
    {
        // .com goes to a server asked twice a second, .net to one that answers at once; the list
        // has far more .com names waiting than the search reads ahead.
        FakeWhoisServer fast;
        QVERIFY(fast.listen());
        Harness h(
            ExtensionTable({{QStringLiteral("com"), QStringLiteral("localhost"), m_server->port(), true},
                            {QStringLiteral("net"), QStringLiteral("127.0.0.1"), fast.port(), true}}));
        ServerLimitsTable limits;
        limits.load("localhost rate=2/s", QStringLiteral("test"));
        h.driver.changeSetting(&SearchSettings::serverLimits, limits);
        QByteArray list;
        for (int i = 1; i <= 2500; ++i)
            list += "slow" + QByteArray::number(i) + ".com\r\nquick" + QByteArray::number(i) + ".net\r\n";
        QString error;
        QVERIFY(h.driver.start(
            {h.writeList(list), SearchType::CustomList, QStringLiteral("1"), QStringLiteral("5000")},
            &error));
        QTRY_COMPARE_WITH_TIMEOUT(fast.queries().size(), 2500, 15000);
        QVERIFY(m_server->queries().size() < 40);
        h.driver.stop();
        // The first .com name not yet answered is where the search goes on from.
        QVERIFY(h.driver.resumePosition() < 80);
        QCOMPARE(h.driver.resumePosition() % 2, 1);
    }

    void aServerSilentForTheDeadTimeIsGivenUp()
    {
        FakeWhoisServer dead;
        QVERIFY(dead.listen());
        dead.setFault(FakeWhoisServer::Fault::NeverAnswer);
        Harness h(
            ExtensionTable({{QStringLiteral("com"), QStringLiteral("127.0.0.1"), m_server->port(), true},
                            {QStringLiteral("net"), QStringLiteral("127.0.0.1"), dead.port(), true}}));
        LookupTimings timings{100, 1, 20};
        timings.deadServerMs = 1000;
        h.driver.changeSetting(&SearchSettings::timings, timings);
        // The last of its names are settled by DNS while they wait: the search still ends.
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        QByteArray list;
        for (int i = 1; i <= 30; ++i) {
            list += "name" + QByteArray::number(i) + ".com\r\nname" + QByteArray::number(i) + ".net\r\n";
            if (i > 25)
                dns.addDelegated(QStringLiteral("name%1.net").arg(i));
        }
        QVERIFY(h.checkDnsFirst(dns.address()));
        QVERIFY(h.run(h.writeList(list)));
        QCOMPARE(h.domains(Verdict::Registered).size(), 35);
        QCOMPARE(h.domains(Verdict::Unanswered).size(), 25);
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")).size(), 25);
        QCOMPARE(h.problems.filter(QStringLiteral("127.0.0.1 did not answer for 1 seconds")).size(), 1);
        // The first lookups and a probe, not every one of its names.
        QVERIFY2(dead.queries().size() < 30, qPrintable(QString::number(dead.queries().size())));
    }

    void aSilentServerDelaysOnlyItsOwnName()
    {
        Harness h(m_server->port());
        m_server->setFaultFor(QStringLiteral("name3.com"), FakeWhoisServer::Fault::NeverAnswer);
        h.driver.changeSetting(&SearchSettings::poolSize, 3);
        bool waitedForItAlone = false;
        QObject::connect(&h.driver, &SearchDriver::progressChanged, [&] {
            const SearchProgress progress = h.driver.progress();
            waitedForItAlone =
                waitedForItAlone || (progress.listRead && progress.waiting() == 0 && progress.inFlight == 1 &&
                                     progress.longestAnswerWaitMs > 0);
        });
        QVERIFY(h.run(h.writeList(numberedList(30, "name"))));
        // The end of the list while name3.com is still out says what the search waits for.
        QVERIFY(waitedForItAlone);
        QCOMPARE(h.outcomes.size(), 30);
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList{QStringLiteral("name3.com")});
        QCOMPARE(h.driver.unansweredCount(), 1);
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), QStringList{QStringLiteral("name3.com")});
        // Three attempts, each a fresh connection to the configured port.
        QCOMPARE(m_server->queries().count(QStringLiteral("name3.com")), 3);
    }

    void retriesUntilTheServerAnswers()
    {
        Harness h(m_server->port());
        h.driver.changeSetting(&SearchSettings::serverOverride, std::nullopt);
        m_server->setFailFirstAttempts(2);
        QVERIFY(h.run(h.writeList("freeone.com\r\n")));
        QCOMPARE(h.domains(Verdict::Available), QStringList{QStringLiteral("freeone.com")});
        QCOMPARE(m_server->connectionCount(), 3);
    }

    void failuresAreUnansweredNotVerdicts_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("closes without data") << int(FakeWhoisServer::Fault::CloseWithoutData) << QByteArray();
        QTest::newRow("10 MB answer") << int(FakeWhoisServer::Fault::HugeAnswer) << QByteArray();
        QTest::newRow("refuses after accept")
            << int(FakeWhoisServer::Fault::RefuseAfterAccept) << QByteArray();
        QTest::newRow("rate limit") << int(FakeWhoisServer::Fault::None)
                                    << QByteArray(
                                           "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n");
        QTest::newRow("quota with no entries found")
            << int(FakeWhoisServer::Fault::None)
            << QByteArray("No entries found. The WHOIS query quota for 192.0.2.1 has been exceeded\r\n");
    }

    void failuresAreUnansweredNotVerdicts()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, answer);
        Harness h(m_server->port());
        m_server->setFaultFor(QStringLiteral("freebad.com"), FakeWhoisServer::Fault(fault));
        if (!answer.isEmpty())
            m_server->setAnswerFor(QStringLiteral("freebad.com"), answer);
        QVERIFY(h.run(h.writeList("freegood.com\r\nfreebad.com\r\ntaken.com\r\n")));
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList{QStringLiteral("freebad.com")});
        QCOMPARE(h.domains(Verdict::Available), QStringList{QStringLiteral("freegood.com")});
        QCOMPARE(h.domains(Verdict::Registered), QStringList{QStringLiteral("taken.com")});
    }

    void aResetMidAnswerLosesNoName()
    {
        Harness h(m_server->port());
        m_server->setFaultFor(QStringLiteral("reset.com"), FakeWhoisServer::Fault::ResetMidAnswer);
        QVERIFY(h.run(h.writeList("one.com\r\nreset.com\r\ntwo.com\r\n")));
        QCOMPARE(h.allDomains(), names({"one.com", "reset.com", "two.com"}));
    }

    void aSlowServerWithinTheLimitIsAnswered()
    {
        Harness h(m_server->port());
        m_server->setSlowDelayMs(600);
        m_server->setFault(FakeWhoisServer::Fault::SlowAnswer);
        h.driver.changeSetting(&SearchSettings::timings, {1000, 3});
        QVERIFY(h.run(h.writeList("freeslow.com\r\n")));
        QCOMPARE(h.domains(Verdict::Available), QStringList{QStringLiteral("freeslow.com")});
        QCOMPARE(m_server->connectionCount(), 1);
    }

    void aNineSecondAnswerBeatsTheRealTenSecondLimit()
    {
        Harness h(m_server->port());
        h.driver.changeSetting(&SearchSettings::timings, {});
        m_server->setFault(FakeWhoisServer::Fault::SlowAnswer);
        QCOMPARE(m_server->slowDelayMs(), 9000);
        QVERIFY(h.run(h.writeList("freeslow.com\r\n"), QStringLiteral("1"), 15000));
        QCOMPARE(h.domains(Verdict::Available), QStringList{QStringLiteral("freeslow.com")});
        QCOMPARE(m_server->connectionCount(), 1);
    }

    void unreachableServersLeaveNamesUnanswered()
    {
        Harness h(m_server->port());
        const quint16 closedPort = m_server->port();
        m_server->close();
        h.driver.changeSetting(&SearchSettings::timings, {200, 2});
        h.driver.changeSetting(&SearchSettings::serverOverride,
                               ServerOverride{QStringLiteral("127.0.0.1"), closedPort});
        QVERIFY(h.run(h.writeList("a.com\r\nb.com\r\n")));
        QCOMPARE(h.domains(Verdict::Unanswered), names({"a.com", "b.com"}));

        // A host name that cannot even be looked up fails without touching the network.
        h.outcomes.clear();
        h.driver.changeSetting(&SearchSettings::serverOverride,
                               ServerOverride{QStringLiteral("not a host name"), 43});
        QVERIFY(h.run(h.writeList("c.com\r\n")));
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList{QStringLiteral("c.com")});
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), names({"a.com", "b.com", "c.com"}));
    }

    void stopAndStartAgainSkipsNoName()
    {
        Harness h(m_server->port());
        m_server->setDelayMs(20);
        h.driver.changeSetting(&SearchSettings::poolSize, 4);
        const QString list = h.writeList(numberedList(60, "name"));
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QString error;
        QVERIFY(h.driver.start({list, SearchType::CustomList, QStringLiteral("1"), QStringLiteral("60")},
                               &error));
        QTRY_VERIFY(h.outcomes.size() >= 10);
        h.driver.stop();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        const qint64 resume = h.driver.resumePosition();
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QString::number(resume));
        QVERIFY(resume <= h.outcomes.size() + 1);

        // Late answers of the dropped lookups file nothing.
        const int before = int(h.outcomes.size());
        QTest::qWait(100);
        QCOMPARE(h.outcomes.size(), before);

        QVERIFY(h.run(list, QString::number(resume)));
        QSet<QString> seen;
        for (const Outcome& outcome : h.outcomes)
            seen.insert(outcome.domain);
        QCOMPARE(seen.size(), 60);
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), QStringList());
    }

    void badStartNumbersAndListsAreRefused_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("listExists");
        QTest::newRow("not a number") << "abc" << true;
        QTest::newRow("zero") << "0" << true;
        QTest::newRow("negative") << "-3" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("missing list") << "1" << false;
    }

    void badStartNumbersAndListsAreRefused()
    {
        QFETCH(QString, start);
        QFETCH(bool, listExists);
        Harness h(m_server->port());
        const QString list =
            listExists ? h.writeList("a.com\r\n") : h.dir.filePath(QStringLiteral("none.txt"));
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QString error;
        QVERIFY(!h.driver.start({list, SearchType::CustomList, start, QStringLiteral("1")}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!h.driver.isRunning());
        QCOMPARE(finished.count(), 0);
    }

    void oddListsEndCleanly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("lookups");
        QTest::newRow("empty") << QByteArray() << "1" << 0;
        QTest::newRow("only blank lines") << QByteArray("\r\n\n\r\r\n") << "1" << 0;
        QTest::newRow("start beyond the end") << QByteArray("a.com\r\nb.com\r\n") << "5" << 0;
        QTest::newRow("one megabyte line") << QByteArray(1024 * 1024, 'x') + "\r\nok.com\r\n"
                                           << "1" << 1;
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += char((i * 37) % 256);
        QTest::newRow("binary") << binary << "1" << -1;
    }

    void oddListsEndCleanly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, start);
        QFETCH(int, lookups);
        Harness h(m_server->port());
        QVERIFY(h.run(h.writeList(bytes), start));
        QVERIFY(!h.driver.isRunning());
        if (lookups >= 0)
            QCOMPARE(m_server->queries().size(), lookups);
        for (const QString& query : m_server->queries())
            QVERIFY2(!query.contains(QLatin1Char('\r')) && !query.contains(QLatin1Char('\n')),
                     qPrintable(query));
    }

    void unwritableFilesStopTheSearchAtTheUnsavedName()
    {
        Harness h(m_server->port());
        // A folder standing where the file should be makes it unwritable, also for root.
        QDir().mkpath(h.folder.path(QStringLiteral("LowProfile.txt")));
        h.driver.changeSetting(&SearchSettings::poolSize, 1);
        QSignalSpy stopped(&h.driver, &SearchDriver::searchStopped);
        QVERIFY(h.run(h.writeList("taken.com\r\nfreeabcdefgh1.com\r\ntaken2.com\r\n")));
        QCOMPARE(stopped.count(), 1);
        QVERIFY(
            stopped.first().first().toString().startsWith(QStringLiteral("Cannot write LowProfile.txt: ")));
        QVERIFY(stopped.first().first().toString().contains(QStringLiteral("LowProfile.txt is a folder")));
        QCOMPARE(h.driver.resumePosition(), 2);
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QStringLiteral("2"));
        QVERIFY(!h.driver.saveFailure().isEmpty());
        // What is not on disk is not shown as found either.
        QCOMPARE(h.lists.entryCount(ResultList::Low), 0);
        QVERIFY(!h.allDomains().contains(QStringLiteral("taken2.com")));
    }

    // The verdicts of one turn of the event loop go to disk together before anyone is told of
    // them, and the resume position passes them only then.
    void aTurnsVerdictsAreFiledTogether()
    {
        // .zz names cannot be routed (plain http to another computer): both are settled as the
        // list is read, in one turn.
        Harness h(
            ExtensionTable({{QStringLiteral("com"), QStringLiteral("127.0.0.1"), m_server->port(), true},
                            {QStringLiteral("zz"), QStringLiteral("http://example.org/"), 443, true}}));
        m_server->setDelayMs(150);
        QSignalSpy filed(&h.driver, &SearchDriver::verdictsFiled);
        QStringList onDiskWhenTold;
        QObject::connect(&h.driver, &SearchDriver::verdict, [&](const QString& domain) {
            if (h.fileLines(QStringLiteral("Unanswered.txt")).contains(domain))
                onDiskWhenTold << domain;
        });
        const QString list = h.writeList("a.zz\r\nb.zz\r\nfreename.com\r\n");
        QVERIFY(h.driver.start({list, SearchType::CustomList, QStringLiteral("1"), QStringLiteral("3")},
                               nullptr));
        QVERIFY(h.outcomes.isEmpty());
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), QStringList());
        QCOMPARE(h.driver.resumePosition(), 1);
        QVERIFY(filed.wait(2000));
        QCOMPARE(filed.size(), 1);
        QCOMPARE(onDiskWhenTold, names({"a.zz", "b.zz"}));
        QCOMPARE(h.driver.resumePosition(), 3);
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(filed.size(), 2);
        QCOMPARE(h.domains(Verdict::Available), QStringList{QStringLiteral("freename.com")});
        QCOMPARE(h.driver.resumePosition(), 4);
    }

    // A listener that runs the event loop while it is told a verdict (a modal box): the names that
    // end meanwhile wait for the next batch, and none is lost or told twice.
    void aListenerThatRunsTheEventLoopLosesNoName()
    {
        Harness h(m_server->port());
        m_server->setDelayMs(20);
        h.driver.changeSetting(&SearchSettings::poolSize, 5);
        bool waited = false;
        QObject::connect(&h.driver, &SearchDriver::verdict, [&] {
            if (!std::exchange(waited, true))
                QTest::qWait(60);
        });
        QVERIFY(h.run(h.writeList(numberedList(100, "freename"))));
        const QStringList told = h.allDomains();
        QCOMPARE(QSet<QString>(told.cbegin(), told.cend()).size(), 100);
        QCOMPARE(told.size(), 100);
        QCOMPARE(h.fileLines(QStringLiteral("LowProfile.txt")).size(), 100);
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QStringLiteral("101"));
    }

    // Names settled without a query come by the thousand in one turn; they are filed a thousand
    // at a time.
    void namesTheHistorySettlesAreFiledInBoundedBatches()
    {
        Harness h(m_server->port());
        TakenHistory history;
        const QDateTime checked = QDateTime::currentDateTimeUtc().addSecs(-3600);
        for (int i = 1; i <= 2500; ++i)
            history.taken.insert(QStringLiteral("name%1.com").arg(i), {Verdict::Registered, {}, {}, checked});
        h.filer.setHistory(&history);
        h.driver.changeSetting(&SearchSettings::historyDays, 7);
        QSignalSpy filed(&h.driver, &SearchDriver::verdictsFiled);
        QVERIFY(h.run(h.writeList(numberedList(2500, "name"))));
        QCOMPARE(filed.size(), 3);
        QCOMPARE(h.outcomes.size(), 2500);
        QCOMPARE(h.driver.historySettledCount(), 2500);
        QVERIFY(m_server->queries().isEmpty());
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QStringLiteral("2501"));
    }

    void aListCutDuringTheSearchStopsItWithoutGuessing()
    {
        Harness h(m_server->port());
        const QByteArray bytes = numberedList(20000, "name");
        const QString list = h.writeList(bytes);
        QSignalSpy stopped(&h.driver, &SearchDriver::searchStopped);
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QString error;
        QVERIFY(h.driver.start({list, SearchType::CustomList, QStringLiteral("1"), QStringLiteral("20000")},
                               &error));
        // Cut in the middle of a name the search has not read yet.
        QVERIFY(QFile::resize(list, bytes.indexOf("name15000.com") + 6));
        QVERIFY(finished.wait(30000));
        QCOMPARE(stopped.count(), 1);
        QVERIFY(
            stopped.first().first().toString().contains(QStringLiteral("became shorter during the search")));
        QCOMPARE(h.driver.listFailure(), stopped.first().first().toString());
        // The cut "name15" was not taken for an entry (it would be skipped as a name seen before).
        QVERIFY(h.problems.filter(QStringLiteral("Entry 15000")).isEmpty());
        QVERIFY(h.driver.resumePosition() <= 15000);
    }

    void aFullDiskLeavesNoPartialLineAndLosesNoFind()
    {
        Harness h(m_server->port());
        h.driver.changeSetting(&SearchSettings::poolSize, 1);
        const QString list = h.writeList("freeabcdefgh1.com\r\nfreeabcdefgh2.com\r\nfreeabcdefgh3.com\r\n"
                                         "freeabcdefgh4.com\r\n");
        QSignalSpy stopped(&h.driver, &SearchDriver::searchStopped);
        // Files of this process may hold 50 bytes: two lines of 19, and a third that fits in part.
        test::FileSizeLimit limit(50);
        QVERIFY(limit.isSet());
        const bool ran = h.run(list);
        limit.lift();
        QVERIFY(ran);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(stopped.first().first().toString(),
                 QStringLiteral("Cannot write LowProfile.txt: File too large. The search stopped; free some "
                                "space and press Start to go on."));
        QFile low(h.folder.path(QStringLiteral("LowProfile.txt")));
        QVERIFY(low.open(QIODevice::ReadOnly));
        QCOMPARE(low.readAll(), QByteArray("freeabcdefgh1.com\r\nfreeabcdefgh2.com\r\n"));
        low.close();
        QCOMPARE(h.driver.resumePosition(), 3);

        // With room again, Start from the resume position saves everything once.
        QVERIFY(h.run(list, QString::number(h.driver.resumePosition())));
        QCOMPARE(h.fileLines(QStringLiteral("LowProfile.txt")),
                 names({"freeabcdefgh1.com", "freeabcdefgh2.com", "freeabcdefgh3.com", "freeabcdefgh4.com"}));
    }

    void cutAnswersAreRetriedThenUnanswered_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("reset mid answer") << int(FakeWhoisServer::Fault::ResetMidAnswer);
        QTest::newRow("answer over 1 MiB") << int(FakeWhoisServer::Fault::HugeAnswer);
    }

    void cutAnswersAreRetriedThenUnanswered()
    {
        QFETCH(int, fault);
        Harness h(m_server->port());
        m_server->setFaultFor(QStringLiteral("cut.com"), FakeWhoisServer::Fault(fault));
        QVERIFY(h.run(h.writeList("cut.com\r\nfreeone.com\r\n")));
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList{QStringLiteral("cut.com")});
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), QStringList{QStringLiteral("cut.com")});
        QCOMPARE(m_server->queries().count(QStringLiteral("cut.com")), 3);
    }

    void everyEntryIsCheckedOnceOrNamedAsSkipped()
    {
        Harness h(m_server->port());
        m_server->setFaultFor(QStringLiteral("silent.com"), FakeWhoisServer::Fault::CloseWithoutData);
        // Blanks at the ends are trimmed; what is no host name is skipped and named; repeats are
        // asked once; a name already in Unanswered.txt is not added again.
        TextFile::writeLines(h.folder.path(QStringLiteral("Unanswered.txt")), {QStringLiteral("silent.com")});
        QVERIFY(h.run(h.writeList("one.com \r\n\ttwo.com\t\r\nshop.com!\r\nwww.site.com/page\r\n..\r\n"
                                  ".com\r\nONE.com\r\none.com\r\nsilent.com\r\nb\xc3\xbc"
                                  "cher.de\r\n" +
                                  QByteArray("\xc3\xbc").repeated(62) + ".de\r\n")));
        // A name in another script is asked in its ASCII form and filed as written; one whose
        // ASCII form would be too long is never sent.
        QCOMPARE(m_server->queries(),
                 QStringList({QStringLiteral("one.com"), QStringLiteral("two.com"),
                              QStringLiteral("silent.com"), QStringLiteral("xn--bcher-kva.de")}));
        QVERIFY(h.allDomains().contains(QStringLiteral("b\u00fccher.de")));
        QCOMPARE(h.problems.size(), 8);
        QVERIFY(h.problems.at(6).contains(QStringLiteral("has no valid ASCII (IDNA) form")));
        QVERIFY(h.problems.at(0).contains(QStringLiteral("Entry 3 \"shop.com!\"")));
        QVERIFY(h.problems.at(3).contains(QStringLiteral("Entry 6 \".com\"")));
        QVERIFY(h.problems.at(5).contains(QStringLiteral("Entry 8 ")));
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")), QStringList{QStringLiteral("silent.com")});
    }

    void aChangedListStartsAtEntryOne()
    {
        Harness h(m_server->port());
        const QString list = h.writeList(numberedList(6, "name"));
        QVERIFY(h.run(list, QStringLiteral("3")));
        // As if the search had stopped at entry 4 of this very list.
        h.settings.setValue(SettingKeys::customListPosition(), QStringLiteral("4"));
        QCOMPARE(savedResumePoint(h.settings, SearchType::CustomList, list, 6).start, 4);
        // New content of the same size at the same path is another list.
        QTest::qWait(20);
        h.writeList(numberedList(6, "nama"));
        const ResumePoint point = savedResumePoint(h.settings, SearchType::CustomList, list, 6);
        QCOMPARE(point.start, 1);
        QCOMPARE(point.note, QStringLiteral("List changed since the last search; starting at entry 1."));

        // Saved by a version that kept no fingerprint of the content: path, size and time still count.
        const SettingKey identity = SettingKeys::positionListFile(SettingKeys::customListPosition());
        h.settings.setValue(identity, listFileIdentity(list).section(QLatin1Char('|'), 0, 2));
        QCOMPARE(savedResumePoint(h.settings, SearchType::CustomList, list, 6).start, 4);
        // Another file is no changed list: it starts at 1 without a word.
        const ResumePoint other =
            savedResumePoint(h.settings, SearchType::CustomList, list + QStringLiteral(".2"), 6);
        QCOMPARE(other.start, 1);
        QCOMPARE(other.note, QString());
    }

    void aStopWhileTheSettingsQuestionIsOpenEndsTheSearchOnce()
    {
        Harness h(m_server->port());
        QVERIFY(QDir().mkpath(h.folder.settingsPath()));
        int asked = 0;
        h.settings.setPermissionHandler([&](const QString&) {
            // The user presses Stop while the question is open, then gives up.
            if (++asked == 1)
                h.driver.stop();
            return asked == 1 ? SettingsStore::PermissionAnswer::Retry
                              : SettingsStore::PermissionAnswer::Abort;
        });
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QVERIFY(h.run(h.writeList("a.com\r\nb.com\r\n")));
        QTest::qWait(50);
        QCOMPARE(finished.count(), 1);
        QVERIFY(asked >= 1);
        QVERIFY(!h.driver.saveFailure().isEmpty());
    }

    void aServerWithALimitIsAskedWithinIt()
    {
        Harness h(m_server->port());
        ServerLimitsTable limits;
        limits.load("127.0.0.1 rate=50/s\n", QStringLiteral("test"));
        h.driver.changeSetting(&SearchSettings::serverLimits, limits);
        m_server->setRateLimit(60, "Excessive querying, grace period of 1 seconds.\r\n");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(h.run(h.writeList(numberedList(60, "name"))));
        QCOMPARE(m_server->throttledCount(), 0);
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList());
        // 60 names at 50 a second, after a budget of 10 at once.
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    }

    void refusedNamesWaitForTheirServerAndAreAskedAgain()
    {
        Harness h(m_server->port());
        m_server->setRateLimit(30, "Rate limit exceeded, please wait 1 seconds.\r\n");
        QSignalSpy waiting(&h.driver, &SearchDriver::serverWaiting);
        QVERIFY(h.run(h.writeList(numberedList(50, "name")), QStringLiteral("1"), 30000));
        QVERIFY(m_server->throttledCount() > 0);
        QCOMPARE(h.domains(Verdict::Unanswered), QStringList());
        QCOMPARE(h.outcomes.size(), 50);
        QVERIFY(!waiting.isEmpty());
        QVERIFY(waiting.first().first().toString().startsWith(
            QStringLiteral("Waiting for 127.0.0.1: limit reached, ")));
        const SearchDriver::ServerStats stats = h.driver.serverStats().first();
        QVERIFY(stats.refusals > 0 && stats.pauses > 0);
        QCOMPARE(stats.answers, 50);
    }

    void aNameAlwaysRefusedHoldsUpNoOther()
    {
        Harness h(m_server->port());
        m_server->setAnswerFor(QStringLiteral("limited.com"),
                               "WHOIS LIMIT EXCEEDED - SEE WWW.EXAMPLE.NET\r\n");
        m_server->setAnswerFor(QStringLiteral("quota.com"),
                               "Queries quota exceeded, will be replenished in 1 seconds\r\n");
        QVERIFY(
            h.run(h.writeList("limited.com\r\nquota.com\r\nfreeone.com\r\n"), QStringLiteral("1"), 60000));
        QCOMPARE(h.verdicts.value(QStringLiteral("freeone.com")), Verdict::Available);
        QCOMPARE(h.domains(Verdict::Unanswered),
                 (QStringList{QStringLiteral("limited.com"), QStringLiteral("quota.com")}));
        QVERIFY(h.details.value(QStringLiteral("limited.com")).startsWith(QLatin1String("refused 5 times")));
        // The free name went at the server's next turn, not after ten refusals of the others.
        QCOMPARE(h.outcomes.first().domain, QStringLiteral("freeone.com"));
        QCOMPARE(m_server->queries().indexOf(QStringLiteral("freeone.com")), 2);
    }

    void aUsedUpDailyQuotaFilesTheServersNames()
    {
        Harness h(m_server->port());
        m_server->setCustomAnswer("whois.example: daily whois-limit exceeded for client 192.0.2.1\r\n");
        h.driver.changeSetting(&SearchSettings::poolSize, 2);
        QStringList details;
        QObject::connect(&h.driver, &SearchDriver::verdict,
                         [&](const QString&, Verdict, const QString& detail) { details << detail; });
        QVERIFY(h.run(h.writeList(numberedList(20, "name"))));
        QCOMPARE(h.fileLines(QStringLiteral("Unanswered.txt")).size(), 20);
        QVERIFY(m_server->queries().size() <= 2);
        QVERIFY(details.first().contains(QStringLiteral("daily quota of 127.0.0.1")));
    }

    void aLimitedServerDoesNotHoldUpTheOthers()
    {
        FakeWhoisServer other;
        QVERIFY(other.listen());
        Harness h(m_server->port());
        h.table.setRows({{QStringLiteral("com"), QStringLiteral("127.0.0.1"), m_server->port(), true},
                         {QStringLiteral("net"), QStringLiteral("localhost"), other.port(), true}});
        ServerLimitsTable limits;
        limits.load("127.0.0.1 rate=10/s\n", QStringLiteral("test"));
        h.driver.changeSetting(&SearchSettings::serverLimits, limits);
        QByteArray list;
        for (int i = 0; i < 30; ++i)
            list += "slow" + QByteArray::number(i) + ".com\r\nfast" + QByteArray::number(i) + ".net\r\n";
        QVERIFY(h.run(h.writeList(list), QStringLiteral("1"), 30000));
        QCOMPARE(h.outcomes.size(), 60);
        qsizetype lastFast = 0;
        qsizetype lastSlow = 0;
        for (qsizetype i = 0; i < h.outcomes.size(); ++i)
            (h.outcomes.at(i).domain.startsWith(QLatin1String("fast")) ? lastFast : lastSlow) = i;
        // The unlimited server's names are all done while the limited one's still wait.
        QVERIFY(lastFast < 45);
        QVERIFY(lastSlow == 59);
    }

    // A paced server's budget that has to wait for a slot is lost; one asked as fast as its slots
    // allow only waits its turn. So a slot is kept for the paced one.
    void aPacedServerFindsASlotFree()
    {
        FakeWhoisServer slow;
        QVERIFY(slow.listen());
        slow.setDelayMs(280);
        Harness h(m_server->port());
        h.table.setRows({{QStringLiteral("com"), QStringLiteral("127.0.0.1"), m_server->port(), true},
                         {QStringLiteral("net"), QStringLiteral("localhost"), slow.port(), true}});
        ServerLimitsTable limits;
        limits.load("127.0.0.1 rate=20/s burst=1\n", QStringLiteral("test"));
        h.driver.changeSetting(&SearchSettings::serverLimits, limits);
        h.driver.changeSetting(&SearchSettings::poolSize, 4);
        QByteArray list;
        for (int i = 0; i < 40; ++i)
            list += "slow" + QByteArray::number(i) + ".net\r\npaced" + QByteArray::number(i) + ".com\r\n";
        QElapsedTimer clock;
        qint64 pacedDone = 0;
        QObject::connect(&h.driver, &SearchDriver::verdict,
                         [&](const QString& domain, Verdict, const QString&) {
                             if (domain.startsWith(QLatin1String("paced")))
                                 pacedDone = clock.elapsed();
                         });
        clock.start();
        QVERIFY(h.run(h.writeList(list), QStringLiteral("1"), 30000));
        QCOMPARE(h.outcomes.size(), 80);
        // Forty at twenty a second take 2 s; waiting for the slow server's slots, about 4 s.
        QVERIFY2(pacedDone < 3000, qPrintable(QString::number(pacedDone)));
    }

    void stopWhileNamesWaitLosesNone()
    {
        Harness h(m_server->port());
        ServerLimitsTable limits;
        limits.load("127.0.0.1 rate=20/s\n", QStringLiteral("test"));
        h.driver.changeSetting(&SearchSettings::serverLimits, limits);
        const QString list = h.writeList(numberedList(40, "name"));
        QString error;
        QVERIFY(h.driver.start({list, SearchType::CustomList, QStringLiteral("1"), QStringLiteral("40")},
                               &error));
        QTRY_VERIFY(h.outcomes.size() >= 12);
        h.driver.stop();
        const qint64 resume = h.driver.resumePosition();
        QVERIFY(resume <= h.outcomes.size() + 1);
        QVERIFY(h.run(list, QString::number(resume), 30000));
        QSet<QString> seen;
        for (const Outcome& outcome : h.outcomes)
            seen.insert(outcome.domain);
        QCOMPARE(seen.size(), 40);
    }

    void anUnreachableServerIsNamedOnce()
    {
        Harness h(m_server->port());
        m_server->close();
        h.driver.changeSetting(&SearchSettings::serverOverride,
                               ServerOverride{QStringLiteral("127.0.0.1"), m_server->port()});
        QVERIFY(h.run(h.writeList("a.com\r\nb.com\r\nc.com\r\n")));
        const QString named =
            QStringLiteral("Cannot connect to 127.0.0.1:%1: connection refused").arg(m_server->port());
        QCOMPARE(h.problems.count(named), 1);
        QVERIFY(h.problems.last().startsWith(QStringLiteral("No lookup reached a WHOIS server.")));
    }

    void delegatedNamesNeverReachTheRegistry()
    {
        Harness h(m_server->port());
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        dns.setDelegated({QStringLiteral("takenone.com"), QStringLiteral("takentwo.com"),
                          QStringLiteral("xn--bcher-kva.com")});
        QVERIFY(h.checkDnsFirst(dns.address()));
        QVERIFY(h.run(h.writeList("takenone.com\r\nfreeone.com\r\ntakentwo.com\r\nb\xc3\xbc"
                                  "cher.com\r\nfreetwo.com\r\n")));
        QCOMPARE(h.domains(Verdict::Registered),
                 (QStringList{QStringLiteral("b\u00fccher.com"), QStringLiteral("takenone.com"),
                              QStringLiteral("takentwo.com")}));
        QCOMPARE(h.domains(Verdict::Available), names({"freeone.com", "freetwo.com"}));
        QStringList asked = m_server->queries();
        asked.sort();
        QCOMPARE(asked, names({"freeone.com", "freetwo.com"}));
        QCOMPARE(h.driver.dnsSettledCount(), 3);
        QCOMPARE(h.lists.entryCount(ResultList::Registered), 3);
        // Without RDAP, no delegation is the free names' second word.
        const QStringListModel* mid = h.lists.model(ResultList::Mid);
        for (int row = 0; row < mid->rowCount(); ++row)
            QVERIFY(!mid->index(row).data(ResultLists::UnconfirmedRole).toBool());
    }

    void aLossyResolverNeverKeepsTheRegistryWaiting()
    {
        Harness h(m_server->port());
        h.driver.changeSetting(&SearchSettings::timings, {3000, 1, 20});
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        dns.setDropEvery(2);
        QVERIFY(h.checkDnsFirst(dns.address()));
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QString error;
        QVERIFY(h.driver.start({h.writeList(numberedList(300, "name")), SearchType::CustomList,
                                QStringLiteral("1"), QStringLiteral("300")},
                               &error));
        // Every name is answered by its registry before a single lost DNS query has timed out.
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 1900);
        QCOMPARE(h.outcomes.size(), 300);
        QCOMPARE(m_server->queries().size(), 300);
    }

    void aWildcardZoneOrASilentResolverLeavesEveryNameToTheRegistry_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("messages");
        QTest::newRow("wildcard") << false << QStringLiteral("DNS pre-check off for .com") << 1;
        // The registry does not wait for a resolver that never answers: the search is over before
        // the resolver would be given up.
        QTest::newRow("silent") << true << QStringLiteral("No DNS resolver answered") << 0;
    }

    void aWildcardZoneOrASilentResolverLeavesEveryNameToTheRegistry()
    {
        QFETCH(bool, silent);
        QFETCH(QString, message);
        QFETCH(int, messages);
        Harness h(m_server->port());
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        dns.setWildcard(QStringLiteral("com"));
        dns.setSilent(silent);
        QVERIFY(h.checkDnsFirst(dns.address()));
        QVERIFY(h.run(h.writeList("takenone.com\r\nfreeone.com\r\ntakentwo.com\r\n")));
        QCOMPARE(m_server->queries().size(), 3);
        QCOMPARE(h.domains(Verdict::Registered), names({"takenone.com", "takentwo.com"}));
        QCOMPARE(h.problems.filter(message).size(), messages);
        QCOMPARE(h.driver.dnsSettledCount(), 0);
    }

    void stopAndStartWhileDnsIsAskedLosesNone()
    {
        Harness h(m_server->port());
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        for (int i = 1; i <= 6; ++i)
            dns.addDelegated(QStringLiteral("name%1.com").arg(i));
        dns.setDelayMs(400);
        QVERIFY(h.checkDnsFirst(dns.address()));
        const QString list = h.writeList(numberedList(6, "name"));
        QSignalSpy finished(&h.driver, &SearchDriver::finished);
        QVERIFY(h.driver.start({list, SearchType::CustomList, QStringLiteral("1"), QStringLiteral("6")},
                               nullptr));
        QTest::qWait(100);
        h.driver.stop();
        // Every name was still with DNS: all of them are asked again.
        QCOMPARE(h.driver.resumePosition(), 1);
        QCOMPARE(h.settings.value(SettingKeys::customListPosition()), QStringLiteral("1"));
        QVERIFY(h.outcomes.isEmpty());
        dns.setDelayMs(0);
        QVERIFY(h.run(list));
        QTest::qWait(500); // answers of the stopped run arrive and must be ignored
        QCOMPARE(h.outcomes.size(), 6);
        QCOMPARE(h.driver.dnsSettledCount(), 6);
        QVERIFY(m_server->queries().isEmpty());
        QCOMPARE(h.driver.resumePosition(), 7);
    }

private:
    std::unique_ptr<FakeWhoisServer> m_server;
};

QTEST_GUILESS_MAIN(TestSearchDriver)
#include "test_search_driver.moc"
