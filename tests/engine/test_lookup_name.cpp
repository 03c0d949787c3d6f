#include "engine/names/lookup_name.h"

#include <QTest>

using namespace brisquel;

class TestLookupName : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lookupDomain_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("domain");
        QTest::newRow("bare word gets the default extension")
            << QStringLiteral("example") << QStringLiteral("example.com");
        QTest::newRow("full name kept") << QStringLiteral("example.org") << QStringLiteral("example.org");
        QTest::newRow("scheme-like prefix dropped")
            << QStringLiteral("whois:example.com") << QStringLiteral("example.com");
        QTest::newRow("host and port keep the host")
            << QStringLiteral("example.com:43") << QStringLiteral("example.com");
        QTest::newRow("host with empty port keeps the host")
            << QStringLiteral("example.com:") << QStringLiteral("example.com");
        QTest::newRow("web address") << QStringLiteral("http://example.com") << QStringLiteral("example.com");
        QTest::newRow("percent escapes decoded")
            << QStringLiteral("my%20shop.com") << QStringLiteral("myshop.com");
        QTest::newRow("dirty head cleaned")
            << QStringLiteral("site:Best-Shop") << QStringLiteral("Best-Shop.com");
        QTest::newRow("nothing usable stays empty") << QStringLiteral("!!!") << QStringLiteral("");
        QTest::newRow("blank") << QStringLiteral(" ") << QStringLiteral("");
        QTest::newRow("blanks and tabs at the ends trimmed")
            << QStringLiteral(" \tshop.com \t") << QStringLiteral("shop.com");
    }

    void lookupDomain()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, domain);
        QCOMPARE(brisquel::lookupDomain(candidate, QStringLiteral(".com")), domain);
    }

    void queryableDomains_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("queryable");
        QTest::newRow("plain") << QStringLiteral("example.com") << true;
        QTest::newRow("empty") << QStringLiteral("") << false;
        QTest::newRow("line break would add a query line") << QStringLiteral("a.com\r\nb.com") << false;
        QTest::newRow("control character") << QStringLiteral("a\u0001.com") << false;
        QTest::newRow("tab") << QStringLiteral("a\t.com") << false;
        QTest::newRow("too long") << QString(300, QLatin1Char('a')) + QStringLiteral(".com") << false;
        QTest::newRow("international") << QStringLiteral("b\u00fccher.de") << true;
        QTest::newRow("script with combining marks")
            << QStringLiteral("\u0939\u093f\u0928\u094d\u0926\u0940.com") << true;
        QTest::newRow("punycode") << QStringLiteral("xn--bcher-kva.de") << true;
        QTest::newRow("inner hyphens") << QStringLiteral("my-shop.co.uk") << true;
        QTest::newRow("punctuation after the extension") << QStringLiteral("shop.com!") << false;
        QTest::newRow("path") << QStringLiteral("www.site.com/page") << false;
        QTest::newRow("only dots") << QStringLiteral("..") << false;
        QTest::newRow("bare extension") << QStringLiteral(".com") << false;
        QTest::newRow("no extension") << QStringLiteral("localhost") << false;
        QTest::newRow("hyphen at a label's end") << QStringLiteral("shop-.com") << false;
        QTest::newRow("label over 63") << QString(64, QLatin1Char('a')) + QStringLiteral(".com") << false;
        QTest::newRow("address") << QStringLiteral("192.0.2.1") << false;
        QTest::newRow("undecodable bytes") << QStringLiteral("\ufffd\ufffd.com") << false;
    }

    void queryableDomains()
    {
        QFETCH(QString, domain);
        QFETCH(bool, queryable);
        QCOMPARE(isQueryableDomain(domain), queryable);
    }
};

QTEST_GUILESS_MAIN(TestLookupName)
#include "test_lookup_name.moc"
