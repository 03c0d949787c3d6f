#include "engine/zones/zone_import.h"
#include "engine/zones/zone_index.h"
#include "engine/zones/zone_shelf.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);

QByteArray nameOf(int i)
{
    return "in" + QByteArray::number(i) + "zone";
}

// A zone of `count` names, each with two NS records, glue for every tenth, and an SOA.
QString writeZone(const QString& folder, int count, const QString& fileName = QStringLiteral("com.txt"))
{
    QByteArray text = "com. 900 IN SOA a.net. b.net. 1765000000 1800 900 604800 86400\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray name = nameOf(i) + ".com.";
        text += name + " 172800 IN NS ns1.host.net.\n" + name + " 172800 IN NS ns2.host.net.\n";
        if (i % 10 == 0)
            text += "ns1." + name + " 172800 IN A 192.0.2.1\n";
    }
    const QString path = QDir(folder).filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    file.flush();
    file.setFileTime(Now.addDays(-1), QFileDevice::FileModificationTime);
    return path;
}

} // namespace

class TestZoneIndex : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void presentAbsentAndFalseRate();
    void sizesAndEdges();
    void failedImportKeepsTheOldIndex();
    void shelfUsesFreshZonesOnly();
};

// Every name of the zone is found; of names not in it, no more than 1 in 100,000 is reported
// present (6.1e-6 on average: 3 expected in 500,000, 10 allowed).
void TestZoneIndex::presentAbsentAndFalseRate()
{
    QTemporaryDir dir;
    const int count = 200000;
    const QString zoneFile = writeZone(dir.path(), count);
    ZoneImport import;
    ZoneImportResult result;
    QString error;
    QVERIFY2(import.run(dir.filePath(u"zones"_s), QStringLiteral("com"), {zoneFile}, Now, &result, &error),
             qPrintable(error));
    QCOMPARE(result.info.names, count);
    QCOMPARE(result.info.serial, 1765000000u);
    QCOMPARE(result.malformed, 0);

    ZoneIndex index;
    QVERIFY2(index.open(dir.filePath(u"zones/com.idx"_s), &error), qPrintable(error));
    QCOMPARE(index.info().zone, QStringLiteral("com"));
    QCOMPARE(index.info().zoneDate, Now.addDays(-1));
    for (int i = 0; i < count; ++i)
        QVERIFY2(index.contains(nameOf(i)), nameOf(i).constData());
    QVERIFY(!index.contains("ns1"));
    int falselyPresent = 0;
    for (int i = 0; i < 500000; ++i)
        falselyPresent += index.contains("absent" + QByteArray::number(i)) ? 1 : 0;
    QVERIFY2(falselyPresent <= 10, qPrintable(QString::number(falselyPresent)));
    QVERIFY2(index.info().fileSize <= qint64(count * 2.5) + 1024,
             qPrintable(QString::number(index.info().fileSize)));
}

// One name, and a zone whose file name gives it.
void TestZoneIndex::sizesAndEdges()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(u"net.zone"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("only.net. 60 IN NS x.org.\n");
    file.close();
    QCOMPARE(ZoneImport::zoneOfFile(file.fileName()), QStringLiteral("net"));
    QCOMPARE(ZoneImport::zoneOfFile(QStringLiteral("/x/com.txt.gz")), QStringLiteral("com"));
    ZoneImport import;
    ZoneImportResult result;
    QString error;
    QVERIFY2(
        import.run(dir.filePath(u"zones"_s), QStringLiteral("net"), {file.fileName()}, Now, &result, &error),
        qPrintable(error));
    ZoneIndex index;
    QVERIFY(index.open(dir.filePath(u"zones/net.idx"_s), &error));
    QCOMPARE(index.info().names, 1);
    QVERIFY(index.contains("only"));
    QVERIFY(!index.contains("other"));

    QFile damaged(dir.filePath(u"zones/net.idx"_s));
    QVERIFY(damaged.open(QIODevice::ReadWrite));
    damaged.resize(damaged.size() - 8);
    damaged.close();
    ZoneIndex cut;
    QVERIFY(!cut.open(damaged.fileName(), &error));
    QVERIFY(error.contains(QStringLiteral("cut short")));
}

// An import that fails (a file that cannot be read on, or without any name) leaves the index
// that was there, and no temporary files.
void TestZoneIndex::failedImportKeepsTheOldIndex()
{
    QTemporaryDir dir;
    const QString zones = dir.filePath(u"zones"_s);
    ZoneImport import;
    ZoneImportResult result;
    QString error;
    QVERIFY(import.run(zones, QStringLiteral("com"), {writeZone(dir.path(), 1000)}, Now, &result, &error));
    const QByteArray before = [&] {
        QFile f(ZoneImport::indexPath(zones, QStringLiteral("com")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    QFile broken(dir.filePath(u"broken.gz"_s));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("\x1f\x8b\x08\x00garbage that inflates to nothing", 36));
    broken.close();
    QVERIFY(!import.run(zones, QStringLiteral("com"),
                        {writeZone(dir.path(), 50, u"b.txt"_s), broken.fileName()}, Now, &result, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(
        !import.run(zones, QStringLiteral("com"), {dir.filePath(u"missing.txt"_s)}, Now, &result, &error));
    QVERIFY(!import.run(zones, QStringLiteral("org"), {writeZone(dir.path(), 50, u"c.txt"_s)}, Now, &result,
                        &error));
    QVERIFY(error.contains(QStringLiteral("No delegated name")));

    QFile after(ZoneImport::indexPath(zones, QStringLiteral("com")));
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
    QCOMPARE(QDir(zones).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"com.idx"_s});
}

void TestZoneIndex::shelfUsesFreshZonesOnly()
{
    QTemporaryDir dir;
    const QString zones = dir.filePath(u"zones"_s);
    ZoneImport import;
    ZoneImportResult result;
    QString error;
    QVERIFY(import.run(zones, QStringLiteral("com"), {writeZone(dir.path(), 100)}, Now, &result, &error));
    ZoneShelf shelf(zones);
    QStringList notices;
    shelf.open(3, Now, &notices);
    QVERIFY(notices.isEmpty());
    QVERIFY(!shelf.isEmpty());
    QCOMPARE(shelf.settle(QStringLiteral("in7zone.com")), QStringLiteral("in the com zone of 2026-12-07"));
    QCOMPARE(shelf.settle(QStringLiteral("IN7ZONE.COM")), QStringLiteral("in the com zone of 2026-12-07"));
    QCOMPARE(shelf.settle(QStringLiteral("free.com")), std::nullopt);
    QCOMPARE(shelf.settle(QStringLiteral("in7zone.net")), std::nullopt);
    QCOMPARE(shelf.settle(QStringLiteral("www.in7zone.com")), std::nullopt);

    // A day later than ZoneDays allows: not used, said once.
    shelf.open(1, Now, &notices);
    QVERIFY(shelf.isEmpty());
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices.first().contains(QStringLiteral("older than 1 days")));
    QCOMPARE(shelf.settle(QStringLiteral("in7zone.com")), std::nullopt);

    QStringList problems;
    QCOMPARE(shelf.list(&problems).size(), 1);
    QVERIFY(shelf.remove(QStringLiteral("com"), &error));
    QVERIFY(shelf.list(&problems).isEmpty());
    QVERIFY(!shelf.remove(QStringLiteral("com"), &error));
}

QTEST_GUILESS_MAIN(TestZoneIndex)
#include "test_zone_index.moc"
