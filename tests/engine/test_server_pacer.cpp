#include "engine/dispatch/server_pacer.h"

#include <QRegularExpression>
#include <QTest>
#include <deque>
#include <map>

using namespace brisquel;

namespace {
const QString Key = QStringLiteral("whois.example:43");
const QString Host = QStringLiteral("whois.example");

// A server that rations the queries it takes: at most `allowed` within `windowMs`; going over
// costs `blockMs` of refusals (0: only until the window has room). Its refusals name `namedWaitMs`.
struct RationedServer
{
    int allowed = 0;
    qint64 windowMs = 1000;
    qint64 blockMs = 0;
    qint64 namedWaitMs = 0;
    qint64 blockedUntil = 0;
    std::deque<qint64> taken;

    // "quota N WAIT" (N a second, over it refused for WAIT ms, which it names), "rate N" (N over
    // a sliding second, no wait named), "window N MS" (N within MS, which it names).
    static RationedServer parse(const QString& text)
    {
        const QStringList words = text.split(QLatin1Char(' '));
        RationedServer server;
        server.allowed = words.at(1).toInt();
        if (words.at(0) == QLatin1String("quota"))
            server.blockMs = server.namedWaitMs = words.at(2).toLongLong();
        else if (words.at(0) == QLatin1String("window"))
            server.windowMs = server.namedWaitMs = words.at(2).toLongLong();
        return server;
    }

    bool takes(qint64 now)
    {
        if (now < blockedUntil)
            return false;
        while (!taken.empty() && taken.front() <= now - windowMs)
            taken.pop_front();
        if (qsizetype(taken.size()) >= allowed) {
            blockedUntil = now + blockMs;
            return false;
        }
        taken.push_back(now);
        return true;
    }
};
} // namespace

// Each row is a server's limits line and a script of steps at given times (ms):
//   ask T yes | ask T no | ask T no@R   may a query go at T (and from when, if it names a time)
//   sent T · answer T · silence T · refuse T [wait=MS] [n=K] [daily]   what happened to a query
//                                                   (n: the refused name's K-th refusal)
//   answers T1 T2 N                                             N answers spread over (T1, T2]
//   pace X                                                      the pace now, queries a second
//   write T D                                                   a query about to be written at T waits D ms
//   free R                                                      its budget has allowed a query since R
//   dead T yes|no                                               whether the server is given up
//   quota yes|no                                                whether the day's quota is spent
class TestServerPacer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void followsTheScript_data()
    {
        QTest::addColumn<QString>("limits");
        QTest::addColumn<QString>("script");
        // A bucket holds two seconds of queries, at most ten.
        QTest::newRow("a bucket refills at its rate")
            << "rate=1/s"
            << "sent 0; ask 0 yes; sent 0; answer 0; answer 0; ask 0 no@1000; ask 999 no@1000; ask 1000 yes";
        QTest::newRow("a burst of a per-minute rate") << "rate=2/min"
                                                      << "ask 0 yes; sent 0; ask 0 no@30000; ask 30000 yes";
        QTest::newRow("no rate: only the cap on open lookups holds")
            << "connections=2"
            << "sent 0; sent 0; ask 0 no; answer 5; ask 5 yes";
        QTest::newRow("a rest as long as the answer asked")
            << ""
            << "sent 0; refuse 1000 wait=42000; ask 1000 no@43000; ask 42999 no@43000; ask 43000 yes";
        QTest::newRow("rests double with the name's refusals from the first pause")
            << ""
            << "sent 0; refuse 0; ask 0 no@1000; sent 1000; refuse 1000 n=2; ask 1000 no@3000; sent 3000; "
               "refuse 3000 n=3; ask 3000 no@7000";
        // One name refused for ever must not make the server rest longer for the next name.
        QTest::newRow("another name's refusal rests from the first pause again")
            << ""
            << "sent 0; refuse 0 n=4; ask 0 no@8000; sent 8000; refuse 8000; ask 8000 no@9000";
        QTest::newRow("a rest is at most a minute unless the server names a longer wait")
            << ""
            << "sent 0; refuse 0 n=12; ask 0 no@60000; sent 60000; refuse 60000 wait=200000; "
               "ask 60000 no@260000";
        QTest::newRow("refusals of queries sent before a rest belong to it")
            << ""
            << "sent 0; sent 0; refuse 0; refuse 10; ask 10 no@1000";
        // Ten answers in the last second, then a refusal: 9.5 a second from then on (about 105 ms,
        // the bucket holding a query's 2 ms of catching up).
        QTest::newRow("the first refusal learns the pace the server took in the last second")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; pace 9.5; ask 2000 yes; sent 2000; ask 2000 no@2104";
        // Fifteen a second, then "replenished in 2 seconds": not the 7.1 of those 15 spread over 2 s.
        QTest::newRow("a quota of 15 a second that rests its askers 2 s is asked at its pace")
            << ""
            << "sent 0; answers 0 300 15; refuse 400 wait=2000; pace 14.25";
        // The first refusal's second holds all twenty; at 19 a second the next comes soon after the
        // rest, with twenty taken since: four a second.
        QTest::newRow("a quota counted over the wait it names is found at its second refusal")
            << ""
            << "sent 0; answers 0 800 20; refuse 900 wait=5000; pace 19; answers 5900 6950 20; "
               "refuse 7000 wait=5000; pace 3.8";
        QTest::newRow("a server not heard from gets two slots, one more per answer")
            << ""
            << "sent 0; sent 0; ask 0 no; answer 1; ask 1 yes; sent 1; sent 1; ask 1 no; answer 2; ask 2 yes";
        QTest::newRow("a refusal just after a rest slows the pace a little only")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; ask 2000 yes; sent 2000; refuse 2100; pace 9.025; "
               "ask 4100 yes; sent 4100; ask 4100 no@4209";
        // Queries started at the pace can reach the point of writing together (a proxy's handshake):
        // the writes keep the pace themselves, each asking again once its wait is over.
        QTest::newRow("writes that come together are spaced at the pace")
            << "rate=10/s burst=1"
            << "sent 0; write 0 0; write 250 0; write 260 90; write 270 80; write 350 0; write 351 99; write "
               "900 0";
        QTest::newRow("a write that went late pushes the next one back")
            << "rate=10/s burst=1"
            << "sent 0; write 0 0; write 150 0; write 200 50; write 250 0";
        QTest::newRow("a write a moment late keeps its place on the pace")
            << "rate=10/s burst=1"
            << "sent 0; write 0 0; write 102 0; write 200 0";
        QTest::newRow("a burst may be written at once")
            << "rate=10/s burst=3"
            << "sent 0; write 0 0; write 0 0; write 0 0; write 0 100";
        // Of several ways to a server (proxies), the one whose budget freed first is asked.
        QTest::newRow("a budget is free since its bucket came to hold a query")
            << "rate=10/s burst=1"
            << "sent 0; answer 50; ask 150 yes; free 100; sent 150; answer 160; ask 300 yes; free 248";
        QTest::newRow("a budget is free from the end of a rest")
            << "rate=10/s burst=1"
            << "sent 0; refuse 10 wait=5000; ask 6000 yes; free 5010";
        QTest::newRow("without a rate, free since its last query")
            << ""
            << "sent 0; sent 40; answer 45; ask 50 yes; free 40";
        QTest::newRow("silence halves the slots")
            << "connections=4"
            << "sent 0; silence 0; sent 0; sent 0; ask 0 no; answer 1; ask 1 yes";
        // Three lookups in a row without any answer hold the server; one probe a minute goes out.
        QTest::newRow("a silent server is held and probed until it answers")
            << ""
            << "sent 0; silence 10; sent 10; silence 20; sent 20; silence 30; ask 30 no@60030; "
               "ask 60030 yes; sent 60030; ask 60031 no; answer 60100; ask 60100 yes; dead 200000 no";
        // Counted from the first query that went unanswered: hanging lookups do not add their time.
        QTest::newRow("a server silent for two minutes is given up")
            << ""
            << "sent 0; silence 10; sent 10; silence 20; sent 20; silence 30; dead 119999 no; sent 60030; "
               "silence 70030; dead 120000 yes";
        QTest::newRow("the silence is counted from the first query after an answer")
            << ""
            << "sent 0; answer 5; sent 100; sent 100; silence 30000; silence 30000; sent 30000; "
               "silence 60000; dead 120099 no; dead 120100 yes";
        // The pace climbs only where it held a query back (sent, then "ask no"), and only after
        // two clean seconds from the end of the rest: back to 98 % of what the server took.
        QTest::newRow("a clean stretch brings the pace back to just under what the server took")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; sent 2000; ask 2001 no; answer 3999; pace 9.5; "
               "answer 4000; pace 9.8";
        QTest::newRow("a pace that held nothing back is not raised")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; sent 2000; answer 4000; pace 9.5";
        // Thirty clean seconds after the rest it probes: 2 %, then 4 %, 8 % ... more each step.
        QTest::newRow("a long clean stretch probes upward, twice the step each time")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; sent 2000; ask 2001 no; answer 4000; pace 9.8; "
               "sent 31000; ask 31000 no; answer 31001; pace 9.8; sent 33001; ask 33001 no; answer 33002; "
               "pace 9.996; sent 35002; ask 35002 no; answer 35003; pace 10.396; sent 37003; ask 37003 no; "
               "answer 37004; pace 11.228";
        QTest::newRow("a published rate is never passed")
            << "rate=10/s burst=1"
            << "sent 0; answers 0 950 10; refuse 1000; pace 9.5; sent 2000; ask 2001 no; answer 4000; pace "
               "9.8; "
               "sent 32000; ask 32000 no; answer 32001; pace 9.996; sent 34000; ask 34000 no; answer 34001; "
               "pace 10; sent 36001; ask 36001 no; answer 36002; pace 10";
        // The floor of a pace learned from refusals (a query every two first pauses) is no reason to
        // go past the rate given.
        QTest::newRow("a refusal never sets the pace above a published rate")
            << "rate=0.4/s burst=1" << "sent 0; refuse 100; pace 0.4";
        // Ten a second again where the last refusal found ten: the next probe waits a minute.
        QTest::newRow("a refusal where the last one was doubles the wait before the next probe")
            << ""
            << "sent 0; answers 0 950 10; refuse 1000; answers 3000 4000 10; refuse 4000; pace 9.025; sent "
               "7000; "
               "ask 7000 no; answer 7001; pace 9.8; sent 35000; ask 35000 no; answer 35001; pace 9.8; "
               "sent 65000; ask 65000 no; answer 65001; pace 9.996";
        // Nothing taken in the last second: no edge is known, so probing starts with the first
        // clean stretch (from the slowest pace, a query every 2 s).
        QTest::newRow("a refusal of the first query probes from the first clean stretch")
            << ""
            << "sent 0; refuse 100; pace 0.5; sent 3100; ask 3100 no; answer 3200; pace 0.51; sent 5200; "
               "ask 5200 no; answer 5300; pace 0.53";
        QTest::newRow("the daily quota counts this run's queries")
            << "daily=2"
            << "sent 0; quota no; sent 0; quota yes; ask 0 yes";
        QTest::newRow("a refusal that names a daily limit spends the quota")
            << ""
            << "sent 0; quota no; refuse 0 daily; quota yes";
    }

    void followsTheScript()
    {
        QFETCH(QString, limits);
        QFETCH(QString, script);
        ServerLimitsTable table;
        table.load(QStringLiteral("%1 %2").arg(Host, limits).toUtf8(), QStringLiteral("test"));
        ServerPacer pacer;
        pacer.setLimits(table);
        qint64 now = 0;
        for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList words = step.simplified().split(QLatin1Char(' '));
            const QString& verb = words.at(0);
            if (words.size() > 1 && words.at(1).at(0).isDigit())
                now = words.at(1).toLongLong();
            if (verb == QLatin1String("ask")) {
                qint64 readyAt = std::numeric_limits<qint64>::max();
                const bool may = pacer.mayAsk(Key, Host, now, &readyAt);
                const QString expected = words.at(2);
                QVERIFY2(may == (expected == QLatin1String("yes")), qPrintable(step));
                if (expected.startsWith(QLatin1String("no@")))
                    QVERIFY2(readyAt == expected.mid(3).toLongLong(),
                             qPrintable(QStringLiteral("%1: ready at %2").arg(step).arg(readyAt)));
            } else if (verb == QLatin1String("sent")) {
                qint64 unused = 0;
                pacer.mayAsk(Key, Host, now, &unused);
                pacer.onSent(Key, now);
            } else if (verb == QLatin1String("answer")) {
                pacer.onAnswer(Key, now);
            } else if (verb == QLatin1String("answers")) {
                const qint64 from = words.at(1).toLongLong();
                const qint64 to = words.at(2).toLongLong();
                const int count = words.at(3).toInt();
                for (int i = 1; i <= count; ++i)
                    pacer.onAnswer(Key, from + (to - from) * i / count);
                now = to;
            } else if (verb == QLatin1String("free")) {
                QVERIFY2(pacer.freeSince(Key) == words.at(1).toLongLong(),
                         qPrintable(QStringLiteral("%1: free since %2").arg(step).arg(pacer.freeSince(Key))));
            } else if (verb == QLatin1String("pace")) {
                const double expected = words.at(1).toDouble();
                QVERIFY2(std::abs(pacer.pace(Key) - expected) < 0.001,
                         qPrintable(QStringLiteral("%1: pace %2").arg(step).arg(pacer.pace(Key))));
            } else if (verb == QLatin1String("silence")) {
                pacer.onSilence(Key, now);
            } else if (verb == QLatin1String("write")) {
                const qint64 delay = pacer.writeDelay(Key, now);
                QVERIFY2(delay == words.at(2).toLongLong(),
                         qPrintable(QStringLiteral("%1: waits %2").arg(step).arg(delay)));
            } else if (verb == QLatin1String("dead")) {
                QVERIFY2(pacer.isDead(Key, now) == (words.at(2) == QLatin1String("yes")), qPrintable(step));
            } else if (verb == QLatin1String("refuse")) {
                const QString wait = words.size() > 2 && words.at(2).startsWith(QLatin1String("wait="))
                                         ? words.at(2).mid(5)
                                         : QString();
                const QString text = words.contains(QLatin1String("daily"))
                                         ? QStringLiteral("daily limit exceeded")
                                         : QStringLiteral("slow down");
                const qsizetype n = words.indexOf(QRegularExpression(QStringLiteral("^n=\\d+$")));
                pacer.onRefusal(Key, text, wait.toLongLong(), now, n < 0 ? 1 : words.at(n).mid(2).toInt());
            } else if (verb == QLatin1String("quota")) {
                QVERIFY2(pacer.quotaUsedUp(Key) == (words.at(1) == QLatin1String("yes")), qPrintable(step));
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            }
        }
    }

    // Two minutes of a search against servers that ration in different ways, answering in 100 ms:
    // a minute in, the pace is at least 0.9 of what the server allows, whatever was learned first,
    // and the next minute it takes that much, its probes upward included.
    void climbsBackWithinAMinute_data()
    {
        QTest::addColumn<QString>("limits");
        QTest::addColumn<QString>("server");
        QTest::addColumn<qint64>("refusingUntil"); // still resting someone else at the start
        QTest::addColumn<double>("allowed");       // a second
        QTest::newRow("15 a second, 2 s of refusals for going over") << ""
                                                                     << "quota 15 2000" << 0LL << 15.0;
        QTest::newRow("the same, still resting someone else at first") << ""
                                                                       << "quota 15 2000" << 3000LL << 15.0;
        QTest::newRow("20 over a sliding second, no wait named") << ""
                                                                 << "rate 20" << 0LL << 20.0;
        QTest::newRow("the same, refusing the first queries") << ""
                                                              << "rate 20" << 1500LL << 20.0;
        QTest::newRow("20 per 5 s, the wait named") << ""
                                                    << "window 20 5000" << 0LL << 4.0;
        QTest::newRow("a daily budget named, never asked past") << "daily=2400"
                                                                << "rate 20" << 0LL << 20.0;
        QTest::newRow("a published rate, never probed past") << "rate=10/s burst=1"
                                                             << "rate 20" << 0LL << 10.0;
    }

    void climbsBackWithinAMinute()
    {
        QFETCH(QString, limits);
        QFETCH(QString, server);
        QFETCH(qint64, refusingUntil);
        QFETCH(double, allowed);
        ServerLimitsTable table;
        table.load(QStringLiteral("%1 %2").arg(Host, limits).toUtf8(), QStringLiteral("test"));
        ServerPacer pacer;
        pacer.setLimits(table);
        RationedServer rationed = RationedServer::parse(server);
        rationed.blockedUntil = refusingUntil;
        constexpr qint64 AnswerMs = 100;
        std::multimap<qint64, bool> answers; // when, taken
        std::vector<qint64> takenAt;
        qint64 sent = 0;
        double paceAfterAMinute = 0;
        for (qint64 now = 0; now < 130 * 1000; ++now) {
            if (now == 60 * 1000)
                paceAfterAMinute = pacer.pace(Key);
            for (auto it = answers.begin(); it != answers.end() && it->first <= now; it = answers.erase(it)) {
                if (it->second)
                    pacer.onAnswer(Key, now);
                else
                    pacer.onRefusal(Key, QStringLiteral("slow down"), rationed.namedWaitMs, now);
            }
            qint64 readyAt = std::numeric_limits<qint64>::max();
            while (!pacer.quotaUsedUp(Key) && pacer.mayAsk(Key, Host, now, &readyAt)) {
                pacer.onSent(Key, now);
                ++sent;
                const bool took = rationed.takes(now);
                if (took)
                    takenAt.push_back(now);
                answers.emplace(now + AnswerMs, took);
            }
        }
        const auto takenBetween = [&](qint64 from, qint64 to) {
            return std::count_if(takenAt.begin(), takenAt.end(),
                                 [&](qint64 at) { return at >= from && at < to; });
        };
        QVERIFY2(paceAfterAMinute >= 0.9 * allowed,
                 qPrintable(QStringLiteral("a pace of %1 a second after a minute").arg(paceAfterAMinute)));
        const double perSecond = double(takenBetween(60 * 1000, 120 * 1000)) / 60.0;
        QVERIFY2(perSecond >= 0.9 * allowed && perSecond <= allowed,
                 qPrintable(QStringLiteral("%1 a second taken in the second minute").arg(perSecond)));
        const ServerLimits named = table.limitsFor(Host);
        if (named.daily > 0)
            QCOMPARE(sent, named.daily);
    }

    void statsAndTheLongestRest()
    {
        ServerPacer pacer;
        qint64 unused = 0;
        const QString other = QStringLiteral("whois.other:43");
        for (const QString& key : {Key, other, other}) {
            const QString host = key.section(QLatin1Char(':'), 0, 0);
            pacer.mayAsk(key, {host, key == other ? QStringLiteral("whois ") + key : QString()}, 0, &unused);
            pacer.onSent(key, 0);
        }
        pacer.onRefusal(Key, QStringLiteral("slow down"), 5000, 0);
        pacer.onRefusal(other, QStringLiteral("slow down"), 9000, 0);
        pacer.onAnswer(other, 10);
        QCOMPARE(pacer.longestRest(100)->host, QStringLiteral("whois.other"));
        QCOMPARE(pacer.longestRest(100)->until, 9000);
        QVERIFY(!pacer.longestRest(9000));
        const QList<ServerPacer::Stats> stats = pacer.stats();
        QCOMPARE(stats.size(), 2);
        QCOMPARE(stats.first().host, QStringLiteral("whois.other"));
        // Named as the summary lists it, with its protocol and port; the host when no name was given.
        QCOMPARE(stats.first().name, QStringLiteral("whois whois.other:43"));
        QCOMPARE(stats.last().name, Host);
        QCOMPARE(stats.first().queries, 2);
        QCOMPARE(stats.first().answers, 1);
        QCOMPARE(stats.first().refusals, 1);
        QCOMPARE(stats.first().pauses, 1);
    }
};

QTEST_GUILESS_MAIN(TestServerPacer)
#include "test_server_pacer.moc"
