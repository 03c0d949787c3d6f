// RDAP lookups: the reply rules, the bootstrap, and searches against a fake RDAP server.
#include "engine/dispatch/lookup_router.h"
#include "engine/judging/name_facts.h"
#include "engine/lookup/rdap_lookup.h"
#include "engine/search/whois_query.h"
#include "search_harness.h"
#include "tools/fake_rdap_server.h"
#include "tools/fake_whois_server.h"
#include "tools/test_clock.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QStringListModel>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeRdapServer;
using brisquel::test::FakeWhoisServer;
using brisquel::test::Harness;

namespace {

// A search whose one row sends .com to the given server.
Harness comSearch(const QString& server, quint16 port = 43)
{
    return Harness(ExtensionTable({{QStringLiteral("com"), server, port, true}}));
}

std::shared_ptr<RdapBootstrap> bootstrapFor(const QString& extension, const QString& base)
{
    auto bootstrap = std::make_shared<RdapBootstrap>();
    bootstrap->load(QStringLiteral(R"({"services": [[["%1"], ["%2"]]]})").arg(extension, base).toUtf8());
    return bootstrap;
}

} // namespace

class TestRdap : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_rdap = std::make_unique<FakeRdapServer>();
        QVERIFY(m_rdap->listen());
    }

    void repliesBootstrapAndBaseUrls()
    {
        const QByteArray rdapType("application/rdap+json");
        const QUrl url(QStringLiteral("https://rdap.example/domain/free.example"));
        auto judge = [&](int status, const QByteArray& body,
                         const QByteArray& type = "application/rdap+json") {
            return judgeRdapReply(status, body, type, url);
        };
        QCOMPARE(judge(404, {}, {}).verdict, Verdict::Available);
        QCOMPARE(judge(404, R"({"errorCode":404})").verdict, Verdict::Available);
        QCOMPARE(judge(404, R"({"errorCode":404})", "application/json; charset=utf-8").verdict,
                 Verdict::Available);
        // A web server without RDAP says 404 for every path it does not know.
        const AnswerRules::Judgement page = judge(404, "<html><body>Not Found</body></html>", "text/html");
        QCOMPARE(page.verdict, Verdict::Unanswered);
        QCOMPARE(page.detail,
                 QStringLiteral("not an RDAP reply from https://rdap.example/domain/free.example"));
        QCOMPARE(judge(404, "Not Found", {}).verdict, Verdict::Unanswered);
        QCOMPARE(judge(200, R"({"objectClassName":"domain","status":["active"]})").verdict,
                 Verdict::Registered);
        QCOMPARE(judge(200, R"({"objectClassName":"domain","status":["reserved"]})").verdict,
                 Verdict::NotRegistrable);
        QCOMPARE(judge(200, R"({"objectClassName":"entity"})").verdict, Verdict::Unanswered);
        QVERIFY(judge(429, {}).refused);
        QVERIFY(judge(503, {}).refused);
        QVERIFY(!judge(500, {}).refused);
        QCOMPARE(retryAfterMs("30"), 30000);
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        QCOMPARE(retryAfterMs("Mon, 07 Dec 2026 12:01:00 GMT", now), 60000);
        QCOMPARE(retryAfterMs("soon"), 0);
        QCOMPARE(retryAfterMs("Fri, 31 Dec 9999 23:59:59 GMT", now), 24 * 3600 * 1000);
        {
            // An HTTP date is counted from the program's clock.
            TestClock clock(now);
            QCOMPARE(retryAfterMs("Mon, 07 Dec 2026 12:01:00 GMT"), 60000);
        }

        // Plain http is for this computer only; anything else must be https.
        QVERIFY(rdapBaseUrl(QStringLiteral("https://rdap.example/rdap"))
                    .toString()
                    .endsWith(QLatin1String("rdap/")));
        QVERIFY(rdapBaseUrl(QStringLiteral("http://127.0.0.1:8080/")).isValid());
        QVERIFY(rdapBaseUrl(QStringLiteral("http://[::1]:8080/")).isValid());
        QString error;
        QVERIFY(!rdapBaseUrl(QStringLiteral("http://rdap.example/"), &error).isValid());
        QVERIFY(error.contains(QLatin1String("only allowed to this computer")));

        RdapBootstrap shipped;
        QVERIFY(shipped.load(RdapBootstrap::shippedText()));
        QCOMPARE(shipped.publication(), QStringLiteral("2026-06-26T18:00:02Z"));
        QVERIFY(
            shipped.baseFor(QStringLiteral("example.com")).toString().startsWith(QLatin1String("https://")));
        // Listed only with a plain http address of another host: not usable.
        QVERIFY(!shipped.baseFor(QStringLiteral("kg")).isValid());
        QVERIFY(!RdapBootstrap().load("{\"services\": 3}"));
    }

    void anRdapRowFilesEveryKindOfReply()
    {
        Harness search = comSearch(m_rdap->baseUrl());
        m_rdap->refuse(QStringLiteral("limited.com"), 1, 1);
        QSignalSpy waiting(&search.driver, &SearchDriver::serverWaiting);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(search.run(
            search.writeList("freeone.com\r\ntaken.com\r\nreservedx.com\r\nbrokenx.com\r\ngarbagex.com\r\n"
                             "hugex.com\r\nslowx.com\r\nloopx.com\r\nlimited.com\r\nb\xc3\xbc"
                             "cher.com\r\n")));
        QCOMPARE(search.verdicts.value(QStringLiteral("freeone.com")), Verdict::Available);
        QCOMPARE(search.verdicts.value(QStringLiteral("taken.com")), Verdict::Registered);
        QCOMPARE(search.verdicts.value(QStringLiteral("reservedx.com")), Verdict::NotRegistrable);
        for (const char* name : {"brokenx.com", "garbagex.com", "hugex.com", "slowx.com", "loopx.com"})
            QCOMPARE(search.verdicts.value(QString::fromLatin1(name)), Verdict::Unanswered);
        QVERIFY(search.details.value(QStringLiteral("brokenx.com")).contains(QLatin1String("HTTP 500")));
        QVERIFY(search.details.value(QStringLiteral("garbagex.com")).contains(QLatin1String("not an RDAP")));
        QVERIFY(search.details.value(QStringLiteral("hugex.com")).contains(QLatin1String("1 MiB")));
        QVERIFY(search.details.value(QStringLiteral("loopx.com")).contains(QLatin1String("redirect loop")));
        // The refusal rests the server for the second it named, then the name is asked again.
        QCOMPARE(search.verdicts.value(QStringLiteral("limited.com")), Verdict::Registered);
        QCOMPARE(m_rdap->queries().count(QStringLiteral("limited.com")), 2);
        QVERIFY(!waiting.isEmpty());
        QVERIFY(clock.elapsed() >= 900);
        // A name in another script is asked in its ASCII form and filed as written.
        QVERIFY(m_rdap->queries().contains(QStringLiteral("xn--bcher-kva.com")));
        QCOMPARE(search.verdicts.value(QStringLiteral("b\u00fccher.com")), Verdict::Registered);
        QCOMPARE(search.driver.resumePosition(), 11);
    }

    void aWhoisServerWithoutAnswerLeavesTheNamesToRdap_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("port closed") << false;
        QTest::newRow("never answers") << true;
    }

    void aWhoisServerWithoutAnswerLeavesTheNamesToRdap()
    {
        QFETCH(bool, silent);
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        const quint16 port = whois.port();
        if (silent)
            whois.setFault(FakeWhoisServer::Fault::NeverAnswer);
        else
            whois.close();
        Harness search = comSearch(QStringLiteral("127.0.0.1"), port);
        search.driver.changeSetting(&SearchSettings::rdapBootstrap,
                                    bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl()));
        QVERIFY(search.run(search.writeList("freeone.com\r\ntaken.com\r\ntakentwo.com\r\n")));
        QCOMPARE(search.verdicts.value(QStringLiteral("freeone.com")), Verdict::Available);
        QCOMPARE(search.verdicts.value(QStringLiteral("taken.com")), Verdict::Registered);
        QCOMPARE(search.verdicts.value(QStringLiteral("takentwo.com")), Verdict::Registered);
        QCOMPARE(search.problems.filter(QStringLiteral("over RDAP instead")).size(), 1);
    }

    void preferRdapSendsBootstrapExtensionsToRdap()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        Harness search = comSearch(QStringLiteral("127.0.0.1"), whois.port());
        search.driver.changeSetting(&SearchSettings::rdapBootstrap,
                                    bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl()));
        search.driver.changeSetting(&SearchSettings::preferRdap, true);
        QVERIFY(search.run(search.writeList("freeone.com\r\ntaken.com\r\n")));
        QCOMPARE(search.verdicts.value(QStringLiteral("freeone.com")), Verdict::Available);
        QCOMPARE(m_rdap->queries().size(), 2);
        QVERIFY(whois.queries().isEmpty());
    }

    void whoisFreeNamesAreConfirmedOverRdap()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        // WHOIS calls three names free: RDAP does not know the first, holds the second, fails on the third.
        whois.setFreeNames(
            {QStringLiteral("freeone.com"), QStringLiteral("ghost.com"), QStringLiteral("brokenx.com")});
        Harness search = comSearch(QStringLiteral("127.0.0.1"), whois.port());
        search.driver.changeSetting(&SearchSettings::rdapBootstrap,
                                    bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl()));
        QHash<QString, Confirmation> confirmed;
        QHash<QString, CheckMethod> method;
        QObject::connect(&search.driver, &SearchDriver::verdict,
                         [&](const QString& domain, Verdict, const QString&, const NameFacts& facts) {
                             confirmed.insert(domain, facts.confirmed);
                             method.insert(domain, facts.method);
                         });
        // A throttling RDAP server is waited for like any other.
        m_rdap->refuse(QStringLiteral("freeone.com"), 1, 1);
        const QString list = search.writeList("freeone.com\r\nghost.com\r\nbrokenx.com\r\ntaken.com\r\n");
        QVERIFY(search.run(list));
        QCOMPARE(search.outcomes.size(), 4);
        QCOMPARE(search.verdicts.value(QStringLiteral("freeone.com")), Verdict::Available);
        QCOMPARE(confirmed.value(QStringLiteral("freeone.com")), Confirmation::Rdap);
        QCOMPARE(m_rdap->queries().count(QStringLiteral("freeone.com")), 2);
        QCOMPARE(search.verdicts.value(QStringLiteral("ghost.com")), Verdict::Registered);
        QVERIFY(
            search.details.value(QStringLiteral("ghost.com")).startsWith(QLatin1String("WHOIS said free")));
        QCOMPARE(search.verdicts.value(QStringLiteral("brokenx.com")), Verdict::Available);
        QCOMPARE(confirmed.value(QStringLiteral("brokenx.com")), Confirmation::None);
        // The history records what decided: WHOIS, when RDAP had nothing to say.
        QCOMPARE(method.value(QStringLiteral("brokenx.com")), CheckMethod::Whois);
        QCOMPARE(method.value(QStringLiteral("freeone.com")), CheckMethod::Rdap);
        QVERIFY(!m_rdap->queries().contains(QStringLiteral("taken.com")));
        QCOMPARE(search.driver.resumePosition(), 5);
        // Only the unconfirmed name carries the mark, and Copy leaves it out.
        // The names are filed as their confirmations end: the refused one may come second.
        QStringListModel* mid = search.lists.model(ResultList::Mid);
        QStringList names = search.lists.entries(ResultList::Mid);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("brokenx.com"), QStringLiteral("freeone.com")}));
        const int confirmedRow =
            int(search.lists.entries(ResultList::Mid).indexOf(QStringLiteral("freeone.com")));
        const int unconfirmedRow = 1 - confirmedRow;
        QVERIFY(!mid->index(confirmedRow).data(ResultLists::UnconfirmedRole).toBool());
        QVERIFY(mid->index(unconfirmedRow).data(ResultLists::UnconfirmedRole).toBool());
        QVERIFY(!mid->index(unconfirmedRow).data(Qt::ToolTipRole).toString().isEmpty());

        // Switched off, WHOIS alone decides.
        const qsizetype asked = m_rdap->queries().size();
        search.driver.changeSetting(&SearchSettings::confirmFree, false);
        QVERIFY(search.run(list));
        QCOMPARE(search.verdicts.value(QStringLiteral("ghost.com")), Verdict::Available);
        QCOMPARE(m_rdap->queries().size(), asked);
    }

    void anHttpErrorIsNoAnswer()
    {
        Harness search = comSearch(m_rdap->baseUrl());
        QVERIFY(search.run(search.writeList("brokenone.com\r\nbrokentwo.com\r\n")));
        QCOMPARE(search.domains(Verdict::Unanswered).size(), 2);
        const QList<SearchDriver::ServerStats> stats = search.driver.serverStats();
        QCOMPARE(stats.size(), 1);
        QCOMPARE(stats.first().queries, 2);
        QCOMPARE(stats.first().answers, 0);
    }

    void aSilentRdapFallbackIsGivenUpToo()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.setFault(FakeWhoisServer::Fault::NeverAnswer);
        Harness search = comSearch(QStringLiteral("127.0.0.1"), whois.port());
        SearchSettings settings = search.driver.settings();
        settings.rdapBootstrap = bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl());
        settings.timings.deadServerMs = 1500;
        search.driver.setSettings(settings);
        QVERIFY(search.run(search.writeList(test::numberedList(40, "slow")), QStringLiteral("1"), 60000));
        QCOMPARE(search.domains(Verdict::Unanswered).size(), 40);
        QVERIFY2(!search.problems.filter(QStringLiteral("127.0.0.1 did not answer")).isEmpty(),
                 qPrintable(search.problems.join(QLatin1Char('\n'))));
    }

    void aSilentConfirmationLeavesTheNamesFreeAndSaysSo()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        Harness search = comSearch(QStringLiteral("127.0.0.1"), whois.port());
        SearchSettings settings = search.driver.settings();
        settings.rdapBootstrap = bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl());
        settings.timings.deadServerMs = 1000;
        search.driver.setSettings(settings);
        QVERIFY(search.run(search.writeList(test::numberedList(8, "slowavail")), QStringLiteral("1"), 60000));
        QCOMPARE(search.domains(Verdict::Available).size(), 8);
        const QStringList told = search.problems.filter(QStringLiteral("did not answer"));
        QVERIFY2(told.size() == 1 && told.first().contains(QLatin1String("stay free, unconfirmed")) &&
                     !told.first().contains(QLatin1String("Unanswered.txt")),
                 qPrintable(search.problems.join(QLatin1Char('\n'))));
    }

    void anOutstandingConfirmationHoldsTheResumePosition()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.addFreeName(QStringLiteral("slowx.com"));
        Harness search = comSearch(QStringLiteral("127.0.0.1"), whois.port());
        search.driver.changeSetting(&SearchSettings::rdapBootstrap,
                                    bootstrapFor(QStringLiteral("com"), m_rdap->baseUrl()));
        QString error;
        QVERIFY(search.driver.start({search.writeList("slowx.com\r\ntaken.com\r\n"), SearchType::CustomList,
                                     QStringLiteral("1"), QStringLiteral("2")},
                                    &error));
        QTRY_VERIFY(m_rdap->queries().contains(QStringLiteral("slowx.com")) &&
                    search.verdicts.contains(QStringLiteral("taken.com")));
        search.driver.stop();
        QVERIFY(!search.verdicts.contains(QStringLiteral("slowx.com")));
        QCOMPARE(search.driver.resumePosition(), 1);
    }

    void anHttpsRowVerifiesTheCertificate()
    {
        QSslServer server;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QFile cert(QStringLiteral(BRISQUEL_TEST_DATA "/tls/self-signed.crt"));
        QFile key(QStringLiteral(BRISQUEL_TEST_DATA "/tls/self-signed.key"));
        QVERIFY(cert.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
        tls.setLocalCertificate(QSslCertificate(cert.readAll()));
        tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        server.setSslConfiguration(tls);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Harness search = comSearch(QStringLiteral("https://127.0.0.1:%1/").arg(server.serverPort()));
        QVERIFY(search.run(search.writeList("taken.com\r\n")));
        QCOMPARE(search.verdicts.value(QStringLiteral("taken.com")), Verdict::Unanswered);
        QVERIFY2(search.details.value(QStringLiteral("taken.com")).startsWith(QLatin1String("TLS error")),
                 qPrintable(search.details.value(QStringLiteral("taken.com"))));
    }

    void theRecordWindowShowsIndentedJson()
    {
        WhoisQuery query;
        QSignalSpy answered(&query, &WhoisQuery::answered);
        const ExtensionTable table({{QStringLiteral("com"), m_rdap->baseUrl(), 443, true}});
        const LookupRouter router(&table);
        query.start(QStringLiteral("b\u00fccher.com"), router);
        QVERIFY(answered.wait(5000));
        const QString text = answered.first().first().toString();
        QVERIFY(text.startsWith(QStringLiteral("RDAP %1: HTTP 200").arg(m_rdap->baseUrl())));
        QVERIFY(text.contains(QLatin1String("\n    \"ldhName\": \"xn--bcher-kva.com\"")));
    }

private:
    std::unique_ptr<FakeRdapServer> m_rdap;
};

QTEST_GUILESS_MAIN(TestRdap)
#include "test_rdap.moc"
