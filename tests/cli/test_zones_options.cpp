#include "cli/zones_options.h"

#include <QDir>
#include <QTest>

using namespace brisquel;
using namespace Qt::StringLiterals;

class TestZonesOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void actions();
    void mistakes_data();
    void mistakes();
};

void TestZonesOptions::actions()
{
    const auto parsed =
        parseZonesOptions({u"zones"_s, u"import"_s, u"--tld"_s, u".CO.UK."_s, u"a.gz"_s, u"b.txt"_s});
    QVERIFY(parsed.options);
    QCOMPARE(parsed.options->action, ZonesOptions::Action::Import);
    QCOMPARE(parsed.options->tld, u"co.uk"_s);
    QCOMPARE(parsed.options->files, (QStringList{QDir::current().absoluteFilePath(u"a.gz"_s),
                                                 QDir::current().absoluteFilePath(u"b.txt"_s)}));

    const auto list =
        parseZonesOptions({u"zones"_s, u"list"_s, u"--format"_s, u"json"_s, u"--home"_s, u"/x"_s});
    QVERIFY(list.options);
    QCOMPARE(list.options->format, ZonesOptions::Format::Json);

    const auto remove = parseZonesOptions({u"zones"_s, u"remove"_s, u"COM"_s});
    QVERIFY(remove.options);
    QCOMPARE(remove.options->tld, u"com"_s);

    QVERIFY(!parseZonesOptions({u"zones"_s, u"--help"_s}).help.isEmpty());
}

void TestZonesOptions::mistakes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("no action") << QStringList{u"zones"_s} << u"say what to do"_s;
    QTest::newRow("unknown action") << QStringList{u"zones"_s, u"fetch"_s} << u"unknown action \"fetch\""_s;
    QTest::newRow("import without files") << QStringList{u"zones"_s, u"import"_s} << u"needs one zone file"_s;
    QTest::newRow("a tld that is no file name")
        << QStringList{u"zones"_s, u"import"_s, u"--tld"_s, u"../etc"_s, u"f"_s} << u"--tld needs a zone"_s;
    QTest::newRow("remove two") << QStringList{u"zones"_s, u"remove"_s, u"com"_s, u"net"_s}
                                << u"remove needs one zone"_s;
    QTest::newRow("list with a word")
        << QStringList{u"zones"_s, u"list"_s, u"com"_s} << u"unexpected argument"_s;
    QTest::newRow("unknown format") << QStringList{u"zones"_s, u"list"_s, u"--format"_s, u"xml"_s}
                                    << u"unknown format"_s;
}

void TestZonesOptions::mistakes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const auto parsed = parseZonesOptions(arguments);
    QVERIFY(!parsed.options);
    QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
}

QTEST_GUILESS_MAIN(TestZonesOptions)
#include "test_zones_options.moc"
