#include "engine/verdict.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

using namespace brisquel;

Q_DECLARE_METATYPE(brisquel::Verdict)

class TestVerdict : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void judgesAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Verdict>("expected");

        QTest::newRow("empty") << QByteArray() << Verdict::Unanswered;
        QTest::newRow("only line ends and blanks") << QByteArray("\r\n \t\r\n") << Verdict::Unanswered;

        QTest::newRow("No match for, Verisign style")
            << QByteArray("No match for \"EXAMPLE-FREE.COM\".\r\n>>> Last update of whois database: "
                          "2026-01-01T00:00:00Z <<<\r\n")
            << Verdict::Available;
        QTest::newRow("NOT FOUND in capitals") << QByteArray("NOT FOUND\n") << Verdict::Available;
        QTest::newRow("phrase inside a disclaimer")
            << QByteArray("Terms of use: if the object is not found here, ask elsewhere.\n")
            << Verdict::Available;
        QTest::newRow("not registered")
            << QByteArray("Domain example.xy is Not Registered.\n") << Verdict::Available;
        QTest::newRow("available for registration")
            << QByteArray("The domain is AVAILABLE FOR REGISTRATION\n") << Verdict::Available;
        QTest::newRow("no domain records")
            << QByteArray("No Domain Records Were Found\n") << Verdict::Available;
        QTest::newRow("No Data Found") << QByteArray("No Data Found\r\n") << Verdict::Available;
        QTest::newRow("Status: free")
            << QByteArray("Domain: example.de\nStatus: free\n") << Verdict::Available;
        QTest::newRow("Status: AVAILABLE") << QByteArray("Status: AVAILABLE\n") << Verdict::Available;
        QTest::newRow("phrase after UTF-8 text")
            << QByteArray("\xc3\x84\xc3\xb6 no MATCH\n") << Verdict::Available;

        QTest::newRow("a registered record")
            << QByteArray("Domain Name: EXAMPLE.COM\r\nRegistrar: Example Registrar\r\n"
                          "Domain Status: clientTransferProhibited\r\n")
            << Verdict::Registered;
        QTest::newRow("status connect")
            << QByteArray("Domain: example.de\nStatus: connect\n") << Verdict::Registered;
        QTest::newRow("server error text") << QByteArray("Internal error, sorry.\n") << Verdict::Registered;
        QTest::newRow("answer cut short before the phrase") << QByteArray("No ma") << Verdict::Registered;

        QTest::newRow("PIR limit") << QByteArray("WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\n")
                                   << Verdict::Unanswered;
        QTest::newRow("quota exceeded")
            << QByteArray(
                   "The WHOIS query quota for 192.0.2.1 has been exceeded and will be replenished in 60 "
                   "seconds\n")
            << Verdict::Unanswered;
        QTest::newRow("access control limit")
            << QByteArray("% Error: 55000000002 Connection refused; access control limit reached.\n")
            << Verdict::Unanswered;
        QTest::newRow("rate limit with retry time")
            << QByteArray("Rate limit exceeded. Try again after: 24h0m0s\n") << Verdict::Unanswered;
        QTest::newRow("limit answer that also says not found")
            << QByteArray("%% Maximum query rate reached\r\n%% Object not found\r\n") << Verdict::Unanswered;

        const char* refusals[] = {"limit exceeded",    "has been exceeded", "exceeded your quota",
                                  "limit reached",     "rate limit",        "too many connections",
                                  "too many requests", "server too busy",   "request denied",
                                  "try again after",   "please go away",    "maximum queries",
                                  "maximum query rate"};
        for (const char* refusal : refusals) {
            const QByteArray phrase(refusal);
            QTest::addRow("refusal in capitals: %s", refusal)
                << QByteArray("No match. " + phrase.toUpper() + ".") << Verdict::Unanswered;
        }
    }

    void judgesAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(Verdict, expected);
        QCOMPARE(judgeAnswer(answer), expected);
    }

    void survivesArbitraryBytes()
    {
        QRandomGenerator random(4711);
        for (int round = 0; round < 200; ++round) {
            QByteArray bytes(random.bounded(1, 4096), Qt::Uninitialized);
            for (char& c : bytes)
                c = static_cast<char>(random.bounded(256));
            // Random bytes hold no phrase worth a verdict of their own; a phrase inside them still counts.
            QCOMPARE(judgeAnswer(bytes), Verdict::Registered);
            bytes.insert(bytes.size() / 2, QByteArray("nO mAtCh"));
            QCOMPARE(judgeAnswer(bytes), Verdict::Available);
        }
    }

    void largeAnswersAreJudgedQuickly()
    {
        QByteArray answer;
        while (answer.size() < 1024 * 1024)
            answer += "Registrant Organization: Example Holdings, Ltd.\r\n";
        const QByteArray available = answer + "NO MATCH";

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(judgeAnswer(answer), Verdict::Registered);
            QCOMPARE(judgeAnswer(available), Verdict::Available);
        }
        // Forty 1 MiB answers; a per-phrase copy of the text would take many times longer.
        QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed())));
    }

    void namesVerdicts()
    {
        QCOMPARE(verdictName(Verdict::Available), "available");
        QCOMPARE(verdictName(Verdict::Registered), "registered");
        QCOMPARE(verdictName(Verdict::Unanswered), "unanswered");
    }
};

QTEST_GUILESS_MAIN(TestVerdict)
#include "test_verdict.moc"
