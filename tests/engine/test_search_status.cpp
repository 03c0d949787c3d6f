// The status bar's words for where a search stands, and the notices a search's start and end give.
#include "engine/search/search_status.h"

#include <QTest>

using namespace brisquel;

class TestSearchStatus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusPanelsSayWhatTheSearchWaitsFor()
    {
        const auto at = [](qint64 settled, qint64 inFlight, qint64 slot, qint64 server, bool read) {
            SearchProgress progress;
            progress.settled = settled;
            progress.total = 676;
            progress.inFlight = inFlight;
            progress.waitingSlot = slot;
            progress.waitingServer = server;
            progress.listRead = read;
            progress.longestAnswerWaitMs = 51200;
            return progress;
        };
        QCOMPARE(entryPanelText(at(25, 25, 626, 0, true)), QStringLiteral("25 of 676"));
        // Names read ahead are no news; only those a resting server holds are.
        QCOMPARE(openPanelText(at(25, 25, 626, 0, true)), QStringLiteral("Open: 25"));
        QCOMPARE(openPanelTip(at(25, 25, 626, 0, true)),
                 QStringLiteral("25 lookups open; 626 read ahead, ready for the next free lookup."));
        SearchProgress held = at(300, 3, 0, 373, false);
        QCOMPARE(openPanelText(held), QStringLiteral("Open: 3"));
        held.waitingRest = 40;
        QCOMPARE(openPanelText(held), QStringLiteral("Open: 3 · 40 held by server limits"));
        QVERIFY(openPanelTip(held).endsWith(QStringLiteral(
            "333 read ahead, waiting for their server's pace or connections; 40 held while their server "
            "rests after a refusal.")));
        QCOMPARE(openPanelText(at(651, 25, 0, 0, true)),
                 QStringLiteral("Waiting for 25 answers (up to 52 s)"));
        QCOMPARE(openPanelText(at(675, 1, 0, 0, true)), QStringLiteral("Waiting for 1 answer (up to 52 s)"));
        SearchProgress withDns = at(651, 25, 0, 0, true);
        withDns.dnsOn = true;
        withDns.dnsSettled = 812;
        QCOMPARE(openPanelText(withDns), QStringLiteral("Waiting for 25 answers (up to 52 s)"));
        // Each fact has a panel of its own, empty while there is nothing to say.
        QCOMPARE(factText(StatusFact::Dns, withDns), QStringLiteral("DNS: 812 taken"));
        QCOMPARE(factText(StatusFact::History, withDns), QString());
        withDns.dropping = 1;
        withDns.historySettled = 40;
        QCOMPARE(factText(StatusFact::History, withDns), QStringLiteral("History: 40 taken"));
        QCOMPARE(factText(StatusFact::Dropping, withDns), QStringLiteral("1 dropping"));
        QCOMPARE(historyNotice(withDns),
                 QStringLiteral("The history settled 40 taken names without asking their registries again."));
        withDns.historySettled = 1;
        QVERIFY(historyNotice(withDns).startsWith(QStringLiteral("The history settled 1 taken name without")));
    }

    void statusSaysHowManyProxies_data()
    {
        QTest::addColumn<int>("proxies");
        QTest::addColumn<QString>("ending");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("one") << 1 << QStringLiteral("via 1 proxy");
        QTest::newRow("three") << 3 << QStringLiteral("via 3 proxies");
    }
    void statusSaysHowManyProxies()
    {
        QFETCH(int, proxies);
        QFETCH(QString, ending);
        SearchProgress progress;
        progress.inFlight = 2;
        progress.proxies = proxies;
        QCOMPARE(factText(StatusFact::Proxies, progress), ending);
        QVERIFY(dnsOffNotice(progress).isEmpty());
        progress.dnsOffForProxies = true;
        QVERIFY(dnsOffNotice(progress).startsWith(QStringLiteral("The DNS pre-check is off")));
    }
};

QTEST_GUILESS_MAIN(TestSearchStatus)
#include "test_search_status.moc"
