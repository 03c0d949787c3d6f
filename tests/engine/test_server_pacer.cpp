#include "engine/server_pacer.h"

#include <QRegularExpression>
#include <QTest>

using namespace brisquel;

namespace {
const QString Key = QStringLiteral("whois.example:43");
const QString Host = QStringLiteral("whois.example");
} // namespace

// Each row is a server's limits line and a script of steps at given times (ms):
//   ask T yes | ask T no | ask T no@R   may a query go at T (and from when, if it names a time)
//   sent T · answer T · silence T · refuse T [wait=MS] [n=K] [daily]   what happened to a query
//                                                   (n: the refused name's K-th refusal)
//   write T D                                                   a query written at T waits D ms
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
        // Ten answers in the last second, then a refusal: 9.5 a second from then on (about 106 ms).
        QTest::newRow("the pace it accepted is learned")
            << ""
            << "sent 0; answer 100; answer 200; answer 300; answer 400; answer 500; answer 600; answer 700; "
               "answer 800; answer 900; answer 950; refuse 1000; ask 2000 yes; sent 2000; ask 2000 no@2106";
        QTest::newRow("a server not heard from gets two slots, one more per answer")
            << "" << "sent 0; sent 0; ask 0 no; answer 1; ask 1 yes; sent 1; sent 1; ask 1 no; answer 2; ask 2 yes";
        // After the first refusal each one slows the pace by a twentieth, not to the few answers
        // that came back since the last rest.
        QTest::newRow("later refusals slow the pace a little each")
            << ""
            << "sent 0; answer 100; answer 200; answer 300; answer 400; answer 500; answer 600; answer 700; "
               "answer 800; answer 900; answer 950; refuse 1000; ask 2000 yes; sent 2000; refuse 2100; "
               "ask 4100 yes; sent 4100; ask 4100 no@4211";
        // Twenty answers in five seconds, then "wait 5 seconds": four a second (263 ms apart at 0.95).
        QTest::newRow("a quota's pace is learned over the wait it names")
            << ""
            << "sent 0; answer 250; answer 500; answer 750; answer 1000; answer 1250; answer 1500; answer 1750; "
               "answer 2000; answer 2250; answer 2500; answer 2750; answer 3000; answer 3250; answer 3500; "
               "answer 3750; answer 4000; answer 4250; answer 4500; answer 4750; answer 5000; "
               "refuse 5100 wait=5000; ask 10100 yes; sent 10100; ask 10100 no@10364";
        // Queries started at the pace can reach the point of writing together (a proxy's handshake):
        // the writes keep the pace themselves.
        QTest::newRow("writes that come together are spaced at the pace")
            << "rate=10/s burst=1"
            << "sent 0; write 0 0; write 250 0; write 260 90; write 270 180; write 900 0";
        QTest::newRow("a burst may be written at once")
            << "rate=10/s burst=3"
            << "sent 0; write 0 0; write 0 0; write 0 0; write 0 100";
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
