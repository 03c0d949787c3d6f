// A taken name's life cycle: rows written in the styles of registries' WHOIS and RDAP answers.
#include "engine/judging/life_cycle.h"
#include "engine/life_cycle_rows.h"

#include <QTest>

using namespace brisquel;

namespace {
const QDate Today(2024, 6, 1);
}

class TestLifeCycle : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void registryDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        const QDate may1(2024, 5, 1);
        QTest::newRow("iso with time") << QStringLiteral("2024-05-01T04:00:00Z") << may1;
        QTest::newRow("iso with fraction") << QStringLiteral("2024-05-01T04:00:00.0Z") << may1;
        QTest::newRow("day, month name") << QStringLiteral("01-may-2024") << may1;
        QTest::newRow("day, full month name") << QStringLiteral("1-May-2024 12:00:00 UTC") << may1;
        QTest::newRow("dotted year first") << QStringLiteral("2024.05.01") << may1;
        QTest::newRow("slashed year first") << QStringLiteral("2024/05/01") << may1;
        QTest::newRow("spaced year first") << QStringLiteral("2024. 05. 01.") << may1;
        QTest::newRow("compact") << QStringLiteral("20240501") << may1;
        QTest::newRow("dotted day first") << QStringLiteral("01.05.2024 00:00:00") << may1;
        QTest::newRow("short dotted day first") << QStringLiteral("1.5.2024") << may1;
        QTest::newRow("slashed, day above 12") << QStringLiteral("25/05/2024") << QDate(2024, 5, 25);
        QTest::newRow("slashed, month first") << QStringLiteral("05/25/2024") << QDate(2024, 5, 25);
        QTest::newRow("ordinal day") << QStringLiteral("1st May, 2024") << may1;
        QTest::newRow("month name first") << QStringLiteral("May 01 2024") << may1;
        QTest::newRow("day, month, time zone") << QStringLiteral("01 May 2024 10:00 WAT") << may1;
        QTest::newRow("no date") << QStringLiteral("Renewal required.") << QDate();
        QTest::newRow("impossible date") << QStringLiteral("2024-13-45") << QDate();
        // Placeholders and misread digits: outside 1985 to 2200, no date.
        QTest::newRow("year 1") << QStringLiteral("0001-01-01T00:00:00Z") << QDate();
        QTest::newRow("year -1") << QStringLiteral("-0001-11-30T00:00:00+00:00") << QDate();
        QTest::newRow("five-digit year") << QStringLiteral("99999-01-01") << QDate();
        QTest::newRow("year 9999, day first") << QStringLiteral("31.12.9999") << QDate();
        QTest::newRow("first year") << QStringLiteral("1985-01-01") << QDate(1985, 1, 1);
        QTest::newRow("compact with a time") << QStringLiteral("20240501000000") << may1;
        QTest::newRow("year, month name, day") << QStringLiteral("2024-May-01.") << may1;
        QTest::newRow("C library") << QStringLiteral("Wed May 1 23:59:59 GMT 2024") << may1;
        QTest::newRow("two-digit year") << QStringLiteral("25/05/24") << QDate(2024, 5, 25);
        // 05/01/2024 is the 5th of January to some registries and the 1st of May to others.
        QTest::newRow("slashes in no known order") << QStringLiteral("05/01/2024") << QDate();
        QTest::newRow("same day and month") << QStringLiteral("05/05/2024") << QDate(2024, 5, 5);
    }

    void registryDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(readRegistryDate(text), date);
    }

    void whoisAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QDate>("expires");
        const QDate later(2025, 3, 9);
        QTest::newRow("gTLD in good standing")
            << QByteArray(
                   "Domain Name: SAMPLE.EXAMPLE\r\nRegistry Expiry Date: 2025-03-09T04:00:00Z\r\n"
                   "Domain Status: clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited\r\n")
            << QString() << later;
        QTest::newRow("gTLD pending delete")
            << QByteArray("Domain Name: SAMPLE.EXAMPLE\r\nRegistry Expiry Date: 2025-03-09T04:00:00Z\r\n"
                          "Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n")
            << QStringLiteral("pendingDelete") << later;
        QTest::newRow("redemption beats pending delete")
            << QByteArray("Domain Status: pendingDelete\nDomain Status: redemptionPeriod\n"
                          "Registry Expiry Date: 2025-03-09T04:00:00Z\n")
            << QStringLiteral("redemptionPeriod") << later;
        QTest::newRow("restore beats redemption")
            << QByteArray(
                   "Status: REDEMPTION PERIOD\rStatus: PENDING RESTORE\rExpiration Date: 09-mar-2025\r")
            << QStringLiteral("pendingRestore") << later;
        QTest::newRow("spelt with spaces, upper case")
            << QByteArray("domain:   sample.example\nstatus:   PENDING DELETE\npaid-till: 2025.03.09\n")
            << QStringLiteral("pendingDelete") << later;
        QTest::newRow("released after cancelling")
            << QByteArray(
                   "query_status: 210 PendingRelease\ndomain_datecancelled: 2025-02-01T03:13:49+12:00\n")
            << QStringLiteral("pendingDelete") << QDate();
        QTest::newRow("no longer required, renewal date")
            << QByteArray("    Registration status:\n        No longer required\nRenewal date: 9 Mar 2025\n")
            << QStringLiteral("pendingDelete") << later;
        QTest::newRow("quarantine is a redemption")
            << QByteArray("Domain name: sample.example\nStatus:      in quarantine\n")
            << QStringLiteral("redemptionPeriod") << QDate();
        QTest::newRow("registry date before registrar's")
            << QByteArray("Registrar Registration Expiration Date: 2019-01-01T00:00:00Z\n"
                          "Registry Expiry Date: 2025-03-09T04:00:00Z\n")
            << QString() << later;
        QTest::newRow("registrar's date alone")
            << QByteArray("Registrar Registration Expiration Date: 2025-03-09T00:00:00Z\n") << QString()
            << later;
        QTest::newRow("dotted key, compact date")
            << QByteArray("domain.............: sample.example\nexpires............: 20250309\n") << QString()
            << later;
        QTest::newRow("bracketed key")
            << QByteArray("[Domain Name]                   SAMPLE.EXAMPLE\n[Expires on]                    "
                          "2025/03/09\n")
            << QString() << later;
        QTest::newRow("key and value on two lines")
            << QByteArray("    Relevant dates:\r\n        Renewal date:\r\n        09-Mar-2025\r\n")
            << QString() << later;
        QTest::newRow("expires on without a colon")
            << QByteArray("   Record expires on 2025-03-09 (YYYY-MM-DD)\n") << QString() << later;
        QTest::newRow("past expiry without a state")
            << QByteArray("Domain Name: SAMPLE.EXAMPLE\nExpiry date:  09-Mar-2024\n")
            << QStringLiteral("expired") << QDate(2024, 3, 9);
        QTest::newRow("prose about expiry decides nothing")
            << QByteArray(
                   "NOTICE: The expiration date displayed in this record is the date the\n"
                   "registrar's sponsorship of the domain name in the registry is currently set to expire "
                   "on 2019-01-01 or later.\n"
                   "% Names in redemption period or pending delete status: see our policy.\n")
            << QString() << QDate();
        QTest::newRow("placeholder expiry is no expiry")
            << QByteArray("Domain Name: SAMPLE.EXAMPLE\nRegistry Expiry Date: 0001-01-01T00:00:00Z\n")
            << QString() << QDate();
        QTest::newRow("JPRS keys in ISO-2022-JP")
            << QByteArray("[\x1b$B>uBV\x1b(B]                          Active\r\n"
                          "[\x1b$BM-8z4|8B\x1b(B]                      2025/03/09\r\n")
            << QString() << later;
        QTest::newRow("status words in a delete-prohibited status")
            << QByteArray("Domain Status: serverDeleteProhibited\nDomain Status: clientDeleteProhibited\n")
            << QString() << QDate();
    }

    void whoisAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, state);
        QFETCH(QDate, expires);
        const LifeCycle cycle = readWhoisLifeCycle(answer, Today);
        QCOMPARE(cycle.state, state);
        QCOMPARE(cycle.expires, expires);
    }

    // Each kind of answer the reader once missed or misread, in its registry's layout.
    void registryLayouts_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QDate>("expires");
        for (const rows::LifeCycleRow& row : rows::lifeCycleRows())
            QTest::newRow(row.name) << row.answer << QString::fromLatin1(row.host) << row.state
                                    << row.expires;
    }

    void registryLayouts()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, host);
        QFETCH(QString, state);
        QFETCH(QDate, expires);
        const LifeCycle cycle = readWhoisLifeCycle(answer, rows::Today, host, &LifeCycleRules::shipped());
        QCOMPARE(cycle.state, state);
        QCOMPARE(cycle.expires, expires);
    }

    void usersLinesTeachARegistrysWays()
    {
        const QByteArray answer("Domain: sample.example\nStatus: zur Loeschung vorgemerkt\n"
                                "Ablaufdatum: 03/08/2025\n");
        const QString host = QStringLiteral("whois.nic.example");
        QCOMPARE(readWhoisLifeCycle(answer, rows::Today, host, &LifeCycleRules::shipped()), LifeCycle());
        LifeCycleRules rules;
        rules.load(LifeCycleRules::shippedText(), QStringLiteral("delivered"));
        QList<LifeCycleRules::Problem> problems;
        rules.load("[WHOIS.NIC.EXAMPLE]\r\ndates  mm/dd/yyyy\r\nexpiry ablaufdatum\r\n"
                   "pendingDelete zur Löschung vorgemerkt\r\npendingDelete zur Loeschung vorgemerkt\r\n"
                   "dates sometimes\r\nexpiry\r\n[]\r\nstatus ignored\r\n",
                   QStringLiteral("life-cycle.txt"), &problems);
        QCOMPARE(problems.size(), 3);
        QCOMPARE(problems.at(0).lineNumber, 6);
        QCOMPARE(problems.at(2).lineNumber, 8);
        QCOMPARE(readWhoisLifeCycle(answer, rows::Today, host, &rules),
                 (LifeCycle{QStringLiteral("pendingDelete"), QDate(2025, 3, 8), QDate()}));
        // Another server's answers keep their ways.
        QCOMPARE(readWhoisLifeCycle(answer, rows::Today, QStringLiteral("whois.other.example"), &rules),
                 LifeCycle());
    }

    void rdapObjects_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QDate>("expires");
        QTest::newRow("active")
            << QByteArray(R"({"objectClassName":"domain","status":["active","client transfer prohibited"],)"
                          R"("events":[{"eventAction":"registration","eventDate":"2001-01-01T00:00:00Z"},)"
                          R"({"eventAction":"expiration","eventDate":"2025-03-09T04:00:00Z"}]})")
            << QString() << QDate(2025, 3, 9);
        QTest::newRow("redemption")
            << QByteArray(R"({"objectClassName":"domain","status":["pending delete","redemption period"]})")
            << QStringLiteral("redemptionPeriod") << QDate();
        QTest::newRow("pending delete, past expiry")
            << QByteArray(R"({"objectClassName":"domain","status":["inactive","pending delete"],)"
                          R"("events":[{"eventAction":"expiration","eventDate":"2024-04-01T00:00:00Z"}]})")
            << QStringLiteral("pendingDelete") << QDate(2024, 4, 1);
        QTest::newRow("past expiry alone")
            << QByteArray(R"({"objectClassName":"domain","events":[{"eventAction":"expiration",)"
                          R"("eventDate":"2024-04-01T00:00:00Z"}]})")
            << QStringLiteral("expired") << QDate(2024, 4, 1);
        QTest::newRow("placeholder expiry")
            << QByteArray(R"({"objectClassName":"domain","events":[{"eventAction":"expiration",)"
                          R"("eventDate":"-0001-11-30T00:00:00Z"}]})")
            << QString() << QDate();
        QTest::newRow("not JSON") << QByteArray("<html>") << QString() << QDate();
    }

    void rdapObjects()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, state);
        QFETCH(QDate, expires);
        const LifeCycle cycle = readRdapLifeCycle(body, Today);
        QCOMPARE(cycle.state, state);
        QCOMPARE(cycle.expires, expires);
    }
};

QTEST_GUILESS_MAIN(TestLifeCycle)
#include "test_life_cycle.moc"
