// The drop calendar's estimates: hand-written answers in the styles of each registry family, read
// as a search reads them, then dated with the delivered drop rules.
#include "engine/filing/drop_calendar.h"
#include "engine/judging/drop_estimate.h"
#include "engine/judging/drop_rules.h"
#include "engine/judging/life_cycle.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

const QDate Today(2025, 3, 10);

using Sureness = DropEstimate::Sureness;

DropEstimate estimateWhois(const QString& domain, const char* answer)
{
    const LifeCycle cycle =
        readWhoisLifeCycle(QByteArray(answer), Today, QString(), &LifeCycleRules::shipped());
    return estimateDrop(cycle, DropRules::shipped().forName(domain), Today);
}

} // namespace

class TestDropEstimate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fromAnswers_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("estimate");
        QTest::addColumn<Sureness>("sureness");
        // Verisign: pendingDelete began on its last update; 5 days later the name is released.
        QTest::newRow("gTLD pendingDelete, dated")
            << QStringLiteral("example.com")
            << QByteArray("   Domain Name: EXAMPLE.COM\r\n   Updated Date: 2025-03-07T18:22:10Z\r\n"
                          "   Registry Expiry Date: 2025-01-02T05:00:00Z\r\n"
                          "   Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n"
                          ">>> Last update of whois database: 2025-03-10T09:00:00Z <<<\r\n")
            << QStringLiteral("2025-03-12") << Sureness::High;
        QTest::newRow("gTLD pendingDelete, undated")
            << QStringLiteral("example.net")
            << QByteArray("Domain Status: pendingDelete\nRegistry Expiry Date: 2025-01-02\n")
            << QStringLiteral("2025-03-10/2025-03-15") << Sureness::Medium;
        // Redemption: 30 days from the deletion, then pendingDelete's 5.
        QTest::newRow("gTLD redemption, dated")
            << QStringLiteral("example.org")
            << QByteArray("Updated Date: 2025-02-20T10:00:00Z\nRegistry Expiry Date: 2025-01-05T10:00:00Z\n"
                          "Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod\n")
            << QStringLiteral("2025-03-27") << Sureness::Medium;
        // Past its expiry: the registrar may delete it any day of its 45 days of grace.
        QTest::newRow("gTLD past expiry")
            << QStringLiteral("example.info")
            << QByteArray("Registry Expiry Date: 2025-03-01T00:00:00Z\nDomain Status: ok\n")
            << QStringLiteral("2025-04-05/2025-05-20") << Sureness::Low;
        // EURid deletes on expiry and holds the name 40 days.
        QTest::newRow("eu quarantine from expiry")
            << QStringLiteral("voorbeeld.eu")
            << QByteArray("Domain: voorbeeld.eu\nExpiry date: 2025-02-15\nStatus: in quarantine\n")
            << QStringLiteral("2025-03-27") << Sureness::Medium;
        QTest::newRow("nl quarantine from last update")
            << QStringLiteral("voorbeeld.nl")
            << QByteArray("Domain name: voorbeeld.nl\nStatus: in quarantine\nUpdated Date: 2025-02-01\n")
            << QStringLiteral("2025-03-13") << Sureness::Medium;
        QTest::newRow("unknown registry")
            << QStringLiteral("ejemplo.zz")
            << QByteArray("Domain Status: pendingDelete\nUpdated Date: 2025-03-07\n") << QString()
            << Sureness::Unknown;
        QTest::newRow("pendingRestore")
            << QStringLiteral("example.com")
            << QByteArray("Domain Status: pendingRestore\nUpdated Date: 2025-03-07\n") << QString()
            << Sureness::Unknown;
        // An update older than the stage did not start it: counted as undated.
        QTest::newRow("update before the stage")
            << QStringLiteral("example.com")
            << QByteArray("Domain Status: pendingDelete\nUpdated Date: 2025-02-01\n")
            << QStringLiteral("2025-03-10/2025-03-15") << Sureness::Medium;
        QTest::newRow("redemption, update before the stage")
            << QStringLiteral("example.com")
            << QByteArray("Domain Status: redemptionPeriod\nUpdated Date: 2023-08-14T07:01:31Z\n")
            << QStringLiteral("2025-03-15/2025-04-14") << Sureness::Low;
        // Past its grace, the registrar is late: a day already past is today, never earlier.
        QTest::newRow("past expiry, overdue")
            << QStringLiteral("example.de") << QByteArray("Expiry date: 2024-12-01\n")
            << QStringLiteral("2025-03-10") << Sureness::Medium;
    }

    void fromAnswers()
    {
        QFETCH(QString, domain);
        QFETCH(QByteArray, answer);
        QFETCH(QString, estimate);
        QFETCH(Sureness, sureness);
        const DropEstimate got = estimateWhois(domain, answer.constData());
        QCOMPARE(got.text(), estimate);
        QCOMPARE(got.sureness, sureness);
        QCOMPARE(DropEstimate::fromText(got.text()).text(), estimate);
    }

    void rdapEvents()
    {
        const QByteArray body = R"({"objectClassName": "domain", "status": ["pending delete"],
            "events": [{"eventAction": "registration", "eventDate": "2019-01-02T00:00:00Z"},
                       {"eventAction": "expiration", "eventDate": "2025-01-02T00:00:00Z"},
                       {"eventAction": "last changed", "eventDate": "2025-03-09T19:00:00Z"}]})";
        const LifeCycle cycle = readRdapLifeCycle(body, Today);
        QCOMPARE(cycle.expires, QDate(2025, 1, 2));
        QCOMPARE(cycle.updated, QDate(2025, 3, 9));
        QCOMPARE(estimateDrop(cycle, DropRules::shipped().forName(QStringLiteral("com")), Today).text(),
                 QStringLiteral("2025-03-14"));
    }

    void rulesFile()
    {
        const DropRule* com = DropRules::shipped().forName(QStringLiteral("www.example.com"));
        QVERIFY(com);
        QCOMPARE(com->graceDays, 45);
        QCOMPARE(com->redemptionDays, 30);
        QCOMPARE(com->pendingDeleteDays, 5);
        QCOMPARE(com->dropTime, QTime(19, 0));
        QVERIFY(com->source.contains(QLatin1String("ICANN")));
        for (const char* extension : {"eu", "be", "nl"})
            QCOMPARE(DropRules::shipped().forName(QString::fromLatin1(extension))->quarantineDays, 40);

        // The user's line replaces the delivered one; a second-level line wins over its parent's;
        // a broken line is reported and changes nothing.
        DropRules rules = DropRules::shipped();
        QList<DropRules::Problem> problems;
        rules.load("\xef\xbb\xbf"
                   "com  redemption=20 pendingDelete=2\r\n"
                   "co.uk  quarantine=7 source=a test\r"
                   "nl  quarantine=forty\n"
                   "de  drop=25:00\n"
                   "grace=3\n"
                   "fr  colour=blue\n",
                   QStringLiteral("drop-rules.txt"), &problems);
        QCOMPARE(rules.forName(QStringLiteral("com"))->redemptionDays, 20);
        QCOMPARE(rules.forName(QStringLiteral("com"))->graceDays, 0);
        QCOMPARE(rules.forName(QStringLiteral("a.co.uk"))->source, QStringLiteral("a test"));
        QCOMPARE(rules.forName(QStringLiteral("a.org.uk"))->graceDays, 90);
        QCOMPARE(rules.forName(QStringLiteral("nl"))->quarantineDays, 40);
        QCOMPARE(*rules.forName(QStringLiteral("de")), *DropRules::shipped().forName(QStringLiteral("de")));
        QCOMPARE(problems.size(), 4);
        QCOMPARE(problems.at(0).lineNumber, 3);
        QCOMPARE(problems.at(3).lineNumber, 6);
        QVERIFY(!rules.forName(QStringLiteral("zz")));
    }

    // The data folder's file: its broken lines become start-up's messages, its good ones apply.
    void folderFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drop-rules.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# mine\r\nch li  redemption=40\r\nch  grace=soon\r\n");
        file.close();
        QStringList messages;
        const auto rules = DropRules::inFolderFile(path, &messages);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.at(0).startsWith(QLatin1String("drop-rules.txt, line 3: grace needs")),
                 qPrintable(messages.at(0)));
        QCOMPARE(rules->forName(QStringLiteral("example.li"))->redemptionDays, 40);
        QCOMPARE(rules->forName(QStringLiteral("example.ch"))->redemptionDays, 40);
        QVERIFY(rules->forName(QStringLiteral("example.com")));
        messages.clear();
        QVERIFY(DropRules::inFolderFile(dir.filePath(QStringLiteral("none.txt")), &messages)->size() > 0);
        QVERIFY(messages.isEmpty());
    }

    void textForms()
    {
        QCOMPARE(DropEstimate::fromText(u"2025-03-01/2025-03-05").end, QDate(2025, 3, 5));
        QVERIFY(!DropEstimate::fromText(u"2025-03-05/2025-03-01").isKnown());
        QVERIFY(!DropEstimate::fromText(u"soon").isKnown());
        QVERIFY(!DropEstimate::fromText(u"").isKnown());
    }

    // Dropping.txt: lines of four columns keep their estimate, older ones of three are estimated
    // when read; soonest first, unknown last.
    void calendar()
    {
        const QByteArray text = "late.com\tpendingDelete\t2025-01-02\t2025-03-20\r\n"
                                "old.eu\tredemptionPeriod\t2025-02-15\r\n"
                                "window.com\texpired\t2025-03-01\t2025-03-12/2025-04-20\r"
                                "nowhere.zz\tpendingDelete\t\n"
                                "\n"
                                "late.com\tpendingDelete\t2025-01-02\t2025-03-11\n"
                                "soon.net\tpendingDelete\t2025-01-02\t2025-03-11";
        DropCalendar calendar = DropCalendar::read(text, DropRules::shipped(), Today);
        QCOMPARE(calendar.entries().size(), 5);
        QCOMPARE(calendar.entries().at(1).estimate.text(), QStringLiteral("2025-03-27"));
        QCOMPARE(calendar.entries().at(1).cycle.expires, QDate(2025, 2, 15));
        calendar.sort();
        QStringList order;
        for (const DropCalendarEntry& entry : calendar.entries())
            order.append(entry.domain);
        QCOMPARE(order, (QStringList{QStringLiteral("soon.net"), QStringLiteral("window.com"),
                                     QStringLiteral("late.com"), QStringLiteral("old.eu"),
                                     QStringLiteral("nowhere.zz")}));
        QCOMPARE(calendar.within(Today, 2).entries().size(), 2);
        QCOMPARE(calendar.within(Today, 10).entries().size(), 3);

        LifeCycle cycle{QStringLiteral("pendingDelete"), QDate(2025, 1, 2), QDate()};
        QCOMPARE(DropCalendar::line(QStringLiteral("a.com"), cycle, DropEstimate::fromText(u"2025-03-12")),
                 QStringLiteral("a.com\tpendingDelete\t2025-01-02\t2025-03-12"));
        cycle.expires = QDate();
        QCOMPARE(DropCalendar::line(QStringLiteral("a.zz"), cycle, {}),
                 QStringLiteral("a.zz\tpendingDelete\t\t"));
    }
};

QTEST_GUILESS_MAIN(TestDropEstimate)
#include "test_drop_estimate.moc"
