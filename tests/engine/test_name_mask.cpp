#include "engine/judging/answer_rules.h"
#include "engine/names/name_mask.h"

#include <QTest>

using namespace brisquel;

namespace {

// Words of the vocabularies that make a sentence prose, a refusal, a reservation or an invalid
// query, and phrases of them; every one is a name someone may hunt.
const char* const Labels[] = {"if",
                              "unless",
                              "whether",
                              "when",
                              "whenever",
                              "may",
                              "might",
                              "must",
                              "should",
                              "shall",
                              "would",
                              "terms",
                              "conditions",
                              "copyright",
                              "rights",
                              "purpose",
                              "see",
                              "visit",
                              "refer",
                              "provided",
                              "www",
                              "http",
                              "https",
                              "agree",
                              "agreeable",
                              "agreement",
                              "accuracy",
                              "accurate",
                              "guarantee",
                              "warranty",
                              "liable",
                              "liability",
                              "disclaimer",
                              "info",
                              "information",
                              "details",
                              "host",
                              "blocked",
                              "forbidden",
                              "denied",
                              "refused",
                              "banned",
                              "throttled",
                              "limit",
                              "quota",
                              "exceeded",
                              "busy",
                              "wait",
                              "slow",
                              "reserved",
                              "restricted",
                              "prohibited",
                              "premium",
                              "invalid",
                              "illegal",
                              "registered",
                              "taken",
                              "active",
                              "free",
                              "available",
                              "error",
                              "failure",
                              "down",
                              "visit-paris",
                              "see-the-sea",
                              "terms-of-use",
                              "for-more-info",
                              "rate-limit-exceeded",
                              "access-denied",
                              "try-again-later",
                              "too-many-requests",
                              "not-available",
                              "is-reserved",
                              "invalid-domain",
                              "server-busy",
                              "please-wait",
                              "slow-down",
                              "copyright-free"};

// Answer styles that repeat the name in the sentence that says it is free.
const char* const FreeStyles[] = {
    "No match for \"%1\".\r\n>>> Last update of whois database: 2026-12-01T00:00:00Z <<<\r\n",
    "Domain %1 not found.\r\n",
    "The queried object \"%1\" does not exist.\r\n",
    "% Object %1 not found\r\n",
    "%1 is available\r\n",
    "Domain name: %1\r\nStatus: AVAILABLE\r\n",
    "%% NOT FOUND: %1\r\n"};

const char TakenStyle[] =
    "Domain Name: %1\r\nRegistrar: Example Registrar, Inc.\r\nCreation Date: 2001-02-03\r\n"
    "Name Server: ns1.example.net\r\n";

} // namespace

class TestNameMask : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void masksTheNameInEveryForm()
    {
        const QString text = QStringLiteral("No match for \"CAF\u00c9.com\". xn--caf-dma.COM, caf\u00e9, "
                                            "'caf\u00e9' and foo.caf\u00e9.com\n");
        QCOMPARE(maskQueriedName(text, QStringLiteral("caf\u00e9.com")),
                 QStringLiteral(
                     "No match for \"qqqqq.qq\". qqqqq.qq, caf\u00e9, 'qqqqq.qq' and foo.caf\u00e9.com\n"));
        QCOMPARE(maskDomainLikeTokens(u"see www.example.com or mail.example.co.uk, v1.2, e.g. U.S."),
                 QStringLiteral("see www.example.com or qqqqq.qq, v1.2, e.g. U.S."));
        QVERIFY(maskDomainLikeTokens(u"nothing here.").isNull());
    }

    // No word of a name decides: each label in each free style is free, in a record taken; asked
    // with the name known, as a search does, and without it, as a saved answer is judged.
    void noNameFoolsTheJudge()
    {
        const AnswerRules& rules = AnswerRules::shipped();
        QStringList wrong;
        for (const char* label : Labels) {
            for (const QString& extension : {QStringLiteral("com"), QStringLiteral("net")}) {
                const QString name = QString::fromLatin1(label) + QLatin1Char('.') + extension;
                for (const char* style : FreeStyles) {
                    for (const QString& written : {name, name.toUpper()}) {
                        const QByteArray answer = QString::fromLatin1(style).arg(written).toUtf8();
                        for (const QString& known : {name, QString()}) {
                            const AnswerRules::Judgement judged = rules.judge(answer, QString(), known);
                            if (judged.verdict != Verdict::Available)
                                wrong
                                    << QStringLiteral("%1 (%2): %3")
                                           .arg(QString::fromUtf8(answer).simplified(), known, judged.detail);
                        }
                    }
                }
                const QByteArray taken = QString::fromLatin1(TakenStyle).arg(name).toUtf8();
                if (rules.judge(taken, QString(), name).verdict != Verdict::Registered)
                    wrong << QStringLiteral("taken %1").arg(name);
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 20).join(QLatin1Char('\n'))));
    }

    // A quoted first label is masked only when the name is known.
    void aQuotedLabelNeedsTheName()
    {
        const QByteArray answer = "No entries found for \"accuracy\".\r\n";
        QCOMPARE(AnswerRules::shipped().judge(answer, QString(), QStringLiteral("accuracy.ch")).verdict,
                 Verdict::Available);
    }

    // Rationed answers get no verdict: a refusal then a few record lines, a query that "can
    // temporarily not be answered"; a full record with a line about limits keeps its verdict.
    void refusalsStandForTheWholeAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("reduced information")
            << QByteArray("% Query rate limit exceeded. Reduced information.\r\n\r\n"
                          "domain:      example.xx\r\nowner:       Someone\r\n")
            << Verdict::Unanswered;
        QTest::newRow("temporarily not answered")
            << QByteArray("Your query can temporarily not be answered. Please try later.\r\n")
            << Verdict::Unanswered;
        QTest::newRow("a full record keeps its verdict")
            << QByteArray(
                   "Domain Name: example.xx\r\nRegistrar: R\r\nCreation Date: 2001-01-01\r\n"
                   "Registry Expiry Date: 2030-01-01\r\nName Server: ns1.example.net\r\n"
                   "Name Server: ns2.example.net\r\nRegistrant Name: X\r\n% Query rate limit exceeded.\r\n")
            << Verdict::Registered;
    }

    void refusalsStandForTheWholeAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(Verdict, verdict);
        QCOMPARE(AnswerRules::shipped().judge(answer, QStringLiteral("whois.unknown.example")).verdict,
                 verdict);
    }
};

QTEST_GUILESS_MAIN(TestNameMask)
#include "test_name_mask.moc"
