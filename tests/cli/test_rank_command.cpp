// brisquel-cli rank: its options, the order and the formats of a ranking, and the held counts the
// history gives.
#include "cli/rank_command.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace brisquel;

class TestRankCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void options()
    {
        const auto parse = [](const QStringList& arguments) {
            return parseRankOptions(QStringList{QStringLiteral("rank")} + arguments);
        };
        const ParsedOptions<RankOptions> csv =
            parse({QStringLiteral("--format=csv"), QStringLiteral("names.txt")});
        QVERIFY(csv.options);
        QCOMPARE(csv.options->format, OutputFormat::Csv);
        QVERIFY(csv.options->file.endsWith(QLatin1String("/names.txt")));
        QVERIFY(!parse({}).options);
        QVERIFY(!parse({QStringLiteral("a.txt"), QStringLiteral("b.txt")}).options);
        QVERIFY(!parse({QStringLiteral("--format=xml"), QStringLiteral("a.txt")}).options);
        QVERIFY(parse({QStringLiteral("--home=/tmp/x"), QStringLiteral("a.txt")}).options);
        QVERIFY(parse({QStringLiteral("--help")}).help.startsWith(QLatin1String("Usage: brisquel-cli rank")));
    }

    void ranking()
    {
        NameScorer scorer;
        scorer.addWords({QStringLiteral("shop"), QStringLiteral("fast"), QStringLiteral("cloud")});
        const QByteArray list =
            "# my shortlist\r\nshop4fast2.com\r\n\r\ncloud.com\rshopfast.com\nqzx-9.com\n";
        const QList<QByteArray> text = formatRanking(scorer, list, OutputFormat::Text).split('\n');
        QCOMPARE(text.size(), 5); // four names and the end of the last line
        QVERIFY(text.at(0).endsWith("\tcloud.com"));
        QVERIFY(text.at(1).endsWith("\tshopfast.com"));
        QVERIFY(text.at(2).endsWith("\tshop4fast2.com"));
        QVERIFY(text.at(3).endsWith("\tqzx-9.com"));
        const QList<QByteArray> csv = formatRanking(scorer, "shopfast.com\n", OutputFormat::Csv).split('\n');
        QCOMPARE(csv.at(0), QByteArray("name,score,length,clean,words,pronounceable,held"));
        QVERIFY(csv.at(1).startsWith("shopfast.com,"));
        const QList<QByteArray> fields = csv.at(1).split(',');
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields.at(1).toInt(), scorer.score(u"shopfast.com"));
        QCOMPARE(fields.at(3), QByteArray("1.00")); // clean
        QCOMPARE(fields.at(4), QByteArray("0.90")); // two words
        QCOMPARE(fields.at(6), QByteArray("0.00")); // no history
        const QJsonObject json =
            QJsonDocument::fromJson(formatRanking(scorer, "cloud.com", OutputFormat::JsonLines)).object();
        QCOMPARE(json.value(QLatin1String("score")).toInt(), scorer.score(u"cloud.com"));
        QCOMPARE(json.value(QLatin1String("words")).toDouble(), 1.0);
    }
};

QTEST_GUILESS_MAIN(TestRankCommand)
#include "test_rank_command.moc"
