// brisquel-cli drops: its options, and the calendar in each output format.
#include "cli/drops_command.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace brisquel;

class TestDropsCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("format"); // -1: refused
        QTest::addColumn<int>("within"); // -1: none
        QTest::newRow("defaults") << QStringList{} << int(OutputFormat::Text) << -1;
        QTest::newRow("csv within a week")
            << QStringList{QStringLiteral("--format=csv"), QStringLiteral("--within"), QStringLiteral("7")}
            << int(OutputFormat::Csv) << 7;
        QTest::newRow("json is a line each")
            << QStringList{QStringLiteral("--format"), QStringLiteral("json")} << int(OutputFormat::JsonLines)
            << -1;
        QTest::newRow("home is taken")
            << QStringList{QStringLiteral("--home=/tmp/x"), QStringLiteral("--within=0")}
            << int(OutputFormat::Text) << 0;
        QTest::newRow("unknown format") << QStringList{QStringLiteral("--format=xml")} << -1 << -1;
        QTest::newRow("negative days") << QStringList{QStringLiteral("--within=-1")} << -1 << -1;
        QTest::newRow("days in words") << QStringList{QStringLiteral("--within=week")} << -1 << -1;
        QTest::newRow("a file") << QStringList{QStringLiteral("Dropping.txt")} << -1 << -1;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--soon")} << -1 << -1;
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, format);
        QFETCH(int, within);
        const ParsedOptions<DropsOptions> parsed =
            parseDropsOptions(QStringList{QStringLiteral("drops")} + arguments);
        QCOMPARE(parsed.options ? int(parsed.options->format) : -1, format);
        QCOMPARE(parsed.error.isEmpty(), format >= 0);
        if (parsed.options)
            QCOMPARE(parsed.options->withinDays.value_or(-1), within);
    }

    void formats()
    {
        const QByteArray text = "b.com\tpendingDelete\t2025-01-02\t2025-03-12\n"
                                "a.com\texpired\t2025-03-01\t2025-04-05/2025-05-20\n"
                                "c.zz\tpendingDelete\t\t\n";
        DropCalendar calendar = DropCalendar::read(text, DropRules::shipped(), QDate(2025, 3, 10));
        calendar.sort();
        QCOMPARE(formatDropCalendar(calendar, OutputFormat::Text),
                 QByteArray("2025-03-12\tb.com\tpendingDelete\t2025-01-02\n"
                            "2025-04-05/2025-05-20\ta.com\texpired\t2025-03-01\n"
                            "unknown\tc.zz\tpendingDelete\t\n"));
        const QList<QByteArray> csv = formatDropCalendar(calendar, OutputFormat::Csv).split('\n');
        QCOMPARE(csv.at(0), QByteArray("name,state,expires,drops,sureness"));
        QCOMPARE(csv.at(2), QByteArray("a.com,expired,2025-03-01,2025-04-05/2025-05-20,low"));
        const QList<QByteArray> json = formatDropCalendar(calendar, OutputFormat::JsonLines).split('\n');
        const QJsonObject window = QJsonDocument::fromJson(json.at(1)).object();
        QCOMPARE(window.value(QLatin1String("start")).toString(), QStringLiteral("2025-04-05"));
        QCOMPARE(window.value(QLatin1String("end")).toString(), QStringLiteral("2025-05-20"));
        QVERIFY(QJsonDocument::fromJson(json.at(2)).object().value(QLatin1String("drops")).isNull());
        QVERIFY(QJsonDocument::fromJson(formatDropCalendar(calendar, OutputFormat::JsonArray)).isArray());
    }
};

QTEST_GUILESS_MAIN(TestDropsCommand)
#include "test_drops_command.moc"
