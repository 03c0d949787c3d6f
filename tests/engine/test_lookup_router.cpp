#include "engine/dispatch/lookup_router.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"

#include <QTest>

using namespace brisquel;

namespace {

const QByteArray NetBootstrap = "{\"services\": [[[\"net\"], [\"https://rdap.example/net/\"]]]}";

// Where the request went: "whois HOST:PORT", "rdap URL", or "none: REASON".
QString routed(const LookupRouter& router, const QString& domain, LookupRouter::Purpose purpose)
{
    LookupRequest request;
    request.domain = domain;
    QString reason;
    if (!router.route(&request, &reason, purpose))
        return QStringLiteral("none: ") + reason;
    return request.isRdap() ? QStringLiteral("rdap ") + request.rdapBase.toString()
                            : QStringLiteral("whois ") + request.serverName();
}

} // namespace

class TestLookupRouter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void routesByPurpose_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<bool>("preferRdap");
        QTest::addColumn<bool>("record");
        QTest::addColumn<QString>("expected");
        QTest::newRow("own extension") << "a.net" << false << false << false << "whois net.example:43";
        QTest::newRow("extension in capitals") << "A.NET" << false << false << true << "whois net.example:43";
        QTest::newRow("the com row stands in for a check")
            << "a.de" << false << false << false << "whois com.example:43";
        QTest::newRow("but not for a record")
            << "a.de" << false << false << true << "none: No WHOIS server is set up for .de.";
        QTest::newRow("proxy row") << "a.de" << true << false << true << "whois proxy.example:4343";
        QTest::newRow("an RDAP row") << "a.app" << false << false << false
                                     << "rdap https://rdap.example/app/";
        QTest::newRow("plain http to another host is refused")
            << "a.xyz" << false << false << false
            << "none: RDAP over plain http is only allowed to this computer";
        QTest::newRow("preferred RDAP from the bootstrap")
            << "a.net" << false << true << false << "rdap https://rdap.example/net/";
        QTest::newRow("a record stays with the row's protocol")
            << "a.net" << false << true << true << "whois net.example:43";
        QTest::newRow("the proxy row is not gone around")
            << "a.net" << true << true << false << "whois proxy.example:4343";
    }

    void routesByPurpose()
    {
        QFETCH(QString, domain);
        QFETCH(bool, useProxy);
        QFETCH(bool, preferRdap);
        QFETCH(bool, record);
        QFETCH(QString, expected);
        const ExtensionTable table(
            {{QStringLiteral("proxy"), QStringLiteral("proxy.example"), 4343, true},
             {QStringLiteral("net"), QStringLiteral("net.example"), 43, true},
             {QStringLiteral("app"), QStringLiteral("https://rdap.example/app/"), 443, true},
             {QStringLiteral("xyz"), QStringLiteral("http://rdap.example/xyz/"), 443, true},
             {QStringLiteral("com"), QStringLiteral("com.example"), 43, true}});
        auto bootstrap = std::make_shared<RdapBootstrap>();
        QVERIFY(bootstrap->load(NetBootstrap));
        LookupRouter router(&table);
        router.setUseProxy(useProxy);
        router.setPreferRdap(preferRdap);
        router.setRdapBootstrap(bootstrap);
        const QString got =
            routed(router, domain, record ? LookupRouter::Purpose::Record : LookupRouter::Purpose::Check);
        QVERIFY2(got.startsWith(expected), qPrintable(got));

        const ExtensionTable noProxy({{QStringLiteral("com"), QStringLiteral("com.example"), 43, true}});
        LookupRouter withoutProxyRow(&noProxy);
        withoutProxyRow.setUseProxy(true);
        QCOMPARE(routed(withoutProxyRow, QStringLiteral("a.com"), LookupRouter::Purpose::Record),
                 QStringLiteral("none: No proxy row is set up in the extension table."));
    }

    void fallbackToRdapOnlyWhereTheUserDidNotChooseOneServer()
    {
        const ExtensionTable table({{QStringLiteral("net"), QStringLiteral("net.example"), 43, true}});
        auto bootstrap = std::make_shared<RdapBootstrap>();
        QVERIFY(bootstrap->load(NetBootstrap));
        LookupRouter router(&table);
        router.setRdapBootstrap(bootstrap);
        LookupRequest request;
        request.domain = QStringLiteral("a.net");
        QString reason;
        QVERIFY(router.route(&request, &reason));
        LookupRequest fallback = request;
        QVERIFY(router.rdapFallback(&fallback));
        QCOMPARE(fallback.rdapBase, QUrl(QStringLiteral("https://rdap.example/net/")));
        QCOMPARE(fallback.serverKey(), QStringLiteral("rdap.example:443"));
        QVERIFY(!router.rdapFallback(&fallback)); // already RDAP

        router.setServerOverride(ServerOverride{QStringLiteral("127.0.0.1"), 4343});
        LookupRequest overridden = request;
        QVERIFY(router.route(&overridden, &reason));
        QCOMPARE(overridden.serverName(), QStringLiteral("127.0.0.1:4343"));
        QVERIFY(!router.rdapFallback(&overridden));
    }
};

QTEST_GUILESS_MAIN(TestLookupRouter)
#include "test_lookup_router.moc"
