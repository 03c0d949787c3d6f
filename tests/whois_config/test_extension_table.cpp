#include "whois_config/extension_table.h"
#include "whois_config/registrars_file.h"

#include <QTest>

using namespace brisquel;

namespace {

ExtensionRow row(const char* extension, const char* server = "whois.example", bool enabled = false)
{
    return {QLatin1String(extension), QLatin1String(server), 43, enabled};
}

} // namespace

class TestExtensionTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultRowsAreTheDeliveredTable()
    {
        const QList<ExtensionRow> rows = defaultExtensionRows();
        QCOMPARE(rows.size(), 92);
        QCOMPARE(rows.first(),
                 (ExtensionRow{QStringLiteral("proxy"), QStringLiteral("127.0.0.1"), 43, true}));
        QCOMPARE(rows.at(1).server, QStringLiteral("whois.verisign-grs.com"));
        QCOMPARE(rows.at(3),
                 (ExtensionRow{QStringLiteral("edu"), QStringLiteral("whois.educause.edu"), 43, false}));
        QCOMPARE(rows.at(11).server, QStringLiteral("whois.apnic.net"));
        QCOMPARE(rows.at(17).server, QStringLiteral("whois.cnnic.cn"));
        QCOMPARE(rows.at(47).extension, QStringLiteral("al"));
        QCOMPARE(rows.at(89).extension, QStringLiteral("yu"));
        QCOMPARE(rows.at(77).server, QStringLiteral("whois.ripe.net"));
        QCOMPARE(rows.last(),
                 (ExtensionRow{QStringLiteral("to"), QStringLiteral("whois.tonicregistry.to"), 43, false}));

        QStringList enabled;
        for (const ExtensionRow& r : rows) {
            QCOMPARE(r.port, 43);
            QCOMPARE(r.extension, r.extension.toLower());
            QCOMPARE(r.server, r.server.toLower());
            QVERIFY(!r.server.isEmpty());
            if (r.enabled)
                enabled.append(r.extension);
        }
        QCOMPARE(enabled,
                 (QStringList{QStringLiteral("proxy"), QStringLiteral("com"), QStringLiteral("net"),
                              QStringLiteral("info"), QStringLiteral("biz"), QStringLiteral("name")}));
    }

    void findInDefaultTable_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<int>("expected");

        QTest::newRow("com") << QStringLiteral("example.com") << false << 1;
        QTest::newRow("COM upper case") << QStringLiteral("EXAMPLE.COM") << false << 1;
        QTest::newRow("Com mixed case") << QStringLiteral("Example.CoM") << false << 1;
        QTest::newRow("net") << QStringLiteral("example.net") << false << 2;
        QTest::newRow("co.uk takes the last label") << QStringLiteral("example.co.uk") << false << 43;
        QTest::newRow("edu has its own row") << QStringLiteral("example.edu") << false << 3;
        QTest::newRow("disabled org still looked up") << QStringLiteral("example.org") << false << 4;
        QTest::newRow("first cn of two") << QStringLiteral("example.cn") << false << 11;
        QTest::newRow("first no of two") << QStringLiteral("example.no") << false << 44;
        QTest::newRow("first us of two") << QStringLiteral("example.us") << false << 21;
        QTest::newRow("last row") << QStringLiteral("example.to") << false << 91;
        QTest::newRow("no dot falls back to com") << QStringLiteral("example") << false << 1;
        QTest::newRow("trailing dot falls back to com") << QStringLiteral("example.") << false << 1;
        QTest::newRow("unknown extension") << QStringLiteral("example.xyz") << false << 1;
        QTest::newRow("proxy word is an extension too") << QStringLiteral("a.proxy") << false << 0;
        QTest::newRow("proxy wins over the extension") << QStringLiteral("example.org") << true << 0;
        QTest::newRow("proxy for a name without dot") << QStringLiteral("example") << true << 0;
    }

    void findInDefaultTable()
    {
        QFETCH(QString, domain);
        QFETCH(bool, useProxy);
        QFETCH(int, expected);
        const ExtensionTable table(defaultExtensionRows());
        QCOMPARE(table.findExtensionIndex(domain, useProxy), expected);
    }

    void fallbackGoesToTheLastComRow()
    {
        QList<ExtensionRow> rows = defaultExtensionRows();
        rows.append(row("com", "whois.second.example", true));
        const ExtensionTable table(rows);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.xyz"), false), 92);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example"), false), 92);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.com"), false), 1);
    }

    void withoutComTheFallbackIsRowZero()
    {
        const ExtensionTable table({row("net"), row("org"), row("proxy")});
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.xyz"), false), 0);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.org"), false), 1);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.org"), true), 2);
    }

    void proxyWithoutProxyRowFallsBackToCom()
    {
        const ExtensionTable table({row("net"), row("com"), row("org"), row("com")});
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.net"), true), 3);
    }

    void emptyTableHasNoRow()
    {
        const ExtensionTable table;
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.com"), false), ExtensionTable::NoRow);
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.com"), true), ExtensionTable::NoRow);
        QCOMPARE(table.findExtensionIndex(QString(), false), ExtensionTable::NoRow);
    }

    void emptyDomainFindsAnEmptyExtensionOrFallsBack()
    {
        ExtensionTable table({row("net"), row("com")});
        QCOMPARE(table.findExtensionIndex(QString(), false), 1);
        table.setRows({row("net"), row(""), row("com")});
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example."), false), 1);
    }

    void enabledExtensionsSkipProxyEmptyAndRepeats()
    {
        const ExtensionTable defaults(defaultExtensionRows());
        QCOMPARE(defaults.enabledExtensions(),
                 (QStringList{QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("info"),
                              QStringLiteral("biz"), QStringLiteral("name")}));

        const ExtensionTable table({row("proxy", "127.0.0.1", true), row("net", "a", true),
                                    row("", "b", true), row("org", "c", false), row("com", "d", true),
                                    row("net", "e", true)});
        QCOMPARE(table.enabledExtensions(), (QStringList{QStringLiteral("net"), QStringLiteral("com")}));
        QVERIFY(ExtensionTable().enabledExtensions().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestExtensionTable)
#include "test_extension_table.moc"
