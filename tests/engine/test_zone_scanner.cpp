#include "engine/zones/zone_scanner.h"

#include <QTemporaryDir>
#include <QTest>
#include <zlib.h>

using namespace brisquel;
using namespace Qt::StringLiterals;

namespace {

struct Scanned
{
    QStringList names;
    ZoneScanReport report;
};

Scanned scan(const QByteArray& text, const QString& zone = QStringLiteral("com"))
{
    Scanned scanned;
    ZoneScanner scanner(zone);
    QString error;
    const ZoneScanner::NameSink sink = [&](QByteArrayView label) {
        scanned.names.append(QString::fromLatin1(label.data(), label.size()));
    };
    if (!scanner.scanText(text, sink, &error))
        qWarning() << error;
    scanned.report = scanner.report();
    return scanned;
}

QByteArray gzip(const QByteArray& text)
{
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(text.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.constData()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

} // namespace

class TestZoneScanner : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void delegatedNames_data();
    void delegatedNames();
    void serialAndBrokenLines();
    void fileBlocksAndGzip();
};

void TestZoneScanner::delegatedNames_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("absolute owners, CZDS layout")
        << QByteArray(
               "example.com.\t172800\tin\tns\tns1.example.com.\nexample.com.\t172800\tin\tns\tns2.host.net.\n"
               "other.com.\t172800\tin\tns\tns1.host.net.\n")
        << QStringList{u"example"_s, u"other"_s};
    QTest::newRow("relative owners against $ORIGIN")
        << QByteArray("$ORIGIN com.\n$TTL 3600\nexample NS ns1.example\nother IN NS ns.host.net.\n")
        << QStringList{u"example"_s, u"other"_s};
    QTest::newRow("blank owner continues the previous one")
        << QByteArray("example.com. 3600 IN NS a.host.net.\n  3600 IN NS b.host.net.\n  IN DS 1 8 2 AABB\n")
        << QStringList{u"example"_s};
    QTest::newRow("TTL and class in either order or absent")
        << QByteArray("$TTL 60\na.com. IN 60 NS x.net.\nb.com. 60 IN NS x.net.\nc.com. NS x.net.\n"
                      "d.com. IN NS x.net.\ne.com. 60 NS x.net.\n")
        << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s};
    QTest::newRow("multi-line record in parentheses, comments")
        << QByteArray("; a comment line\ncom. IN SOA a.net. b.net. ( 2026120601 ; serial\n 1800 900\n"
                      " 604800 86400 )\nexample.com. IN NS ( ns1.host.net. ) ; the name's server\n")
        << QStringList{u"example"_s};
    QTest::newRow("any letter case, lower-cased")
        << QByteArray("ExAmPlE.CoM. 60 In Ns NS1.HOST.NET.\n") << QStringList{u"example"_s};
    QTest::newRow("IDN labels stay in ACE")
        << QByteArray("xn--bcher-kva.com. 60 IN NS ns.host.net.\n") << QStringList{u"xn--bcher-kva"_s};
    QTest::newRow("glue, DS, RRSIG, NSEC3 and the apex are no names")
        << QByteArray("com. 60 IN NS a.gtld.net.\nns1.example.com. 60 IN A 192.0.2.1\n"
                      "ns1.example.com. 60 IN AAAA 2001:db8::1\n"
                      "signed.com. 60 IN DS 1 8 2 AABBCCDD\n"
                      "CK0POJMG874LJREF7EFN8430QVIT8BSM.com. 60 IN NSEC3 1 1 0 - "
                      "CK0Q1GIN43N1ARRC9OSM6QPQR81H5M9A NS SOA RRSIG\n"
                      "deep.example.com. 60 IN NS x.net.\nexample.com. 60 IN NS x.net.\n")
        << QStringList{u"example"_s};
    QTest::newRow("names of another zone are no names")
        << QByteArray("example.net. 60 IN NS x.net.\nexample.com.au. 60 IN NS x.net.\n") << QStringList{};
}

void TestZoneScanner::delegatedNames()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    const Scanned scanned = scan(text);
    QCOMPARE(scanned.names, names);
    QCOMPARE(scanned.report.malformed, 0);
}

void TestZoneScanner::serialAndBrokenLines()
{
    const Scanned scanned = scan("$ORIGIN com.\n@ 900 IN SOA a.net. b.net. 2026120601 1800 900 604800 86400\n"
                                 "good NS x.net.\nbroken NS\nbad.com. 60 IN BOGUS x\nafter NS x.net.\n");
    QCOMPARE(scanned.names, (QStringList{u"good"_s, u"after"_s}));
    QVERIFY(scanned.report.hasSerial);
    QCOMPARE(scanned.report.serial, 2026120601u);
    QCOMPARE(scanned.report.malformed, 2);
    QCOMPARE(scanned.report.firstProblems.size(), 2);
    QVERIFY2(scanned.report.firstProblems.first().startsWith(QStringLiteral("line 4:")),
             qPrintable(scanned.report.firstProblems.first()));

    // A zone below a second-level apex: only labels directly under it.
    const Scanned uk = scan("shop.co.uk. 60 IN NS x.net.\nco.uk. 60 IN NS a.net.\n", QStringLiteral("co.uk"));
    QCOMPARE(uk.names, QStringList{u"shop"_s});
}

// Files larger than a block are cut between records only, also inside parentheses spread over
// lines; the same names come out of the file plain and gzip-compressed.
void TestZoneScanner::fileBlocksAndGzip()
{
    QByteArray text = "$ORIGIN com.\n";
    QStringList expected;
    for (int i = 0; i < 200000; ++i) {
        const QByteArray name = "name" + QByteArray::number(i);
        text += i % 3 == 0 ? name + " IN NS (\n  ns1.host.net. )\n" : name + ".com. 60 IN NS ns1.host.net.\n";
        text += " IN NS ns2.host.net.\n";
        expected.append(QString::fromLatin1(name));
    }
    QVERIFY(text.size() > 8 << 20);
    QTemporaryDir dir;
    for (const bool compressed : {false, true}) {
        QFile file(dir.filePath(compressed ? u"com.txt.gz"_s : u"com.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(compressed ? gzip(text) : text);
        file.close();
        QStringList names;
        names.reserve(expected.size());
        ZoneScanner scanner(QStringLiteral("com"));
        QString error;
        QVERIFY2(
            scanner.scan(
                file.fileName(),
                [&](QByteArrayView label) { names.append(QString::fromLatin1(label.data(), label.size())); },
                &error),
            qPrintable(error));
        QCOMPARE(scanner.report().malformed, 0);
        QCOMPARE(names, expected);
    }
    // A compressed file cut short is an error, not a shorter zone.
    QFile whole(dir.filePath(u"com.txt.gz"_s));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray compressed = whole.readAll();
    QFile cut(dir.filePath(u"cut.txt.gz"_s));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(compressed.left(compressed.size() / 2));
    cut.close();
    ZoneScanner scanner(QStringLiteral("com"));
    QString error;
    QVERIFY(!scanner.scan(
        cut.fileName(), [](QByteArrayView) {}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestZoneScanner)
#include "test_zone_scanner.moc"
