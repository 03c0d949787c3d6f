#include "engine/zones/zone_import.h"
#include "search_harness.h"
#include "tools/fake_whois_server.h"

#include <QFile>
#include <QTest>

using namespace brisquel;
using namespace brisquel::test;
using namespace Qt::StringLiterals;

class TestZoneSearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void namesInTheZoneAreSettledWithoutAQuery();
    void aStaleZoneIsPassedOverAndSaidOnce();

private:
    // A .com zone of name1..name`inZone`, dated `age` before now, imported into the harness's folder.
    static void importZone(Harness& h, int inZone, qint64 ageSeconds);

    std::unique_ptr<FakeWhoisServer> m_server;
};

void TestZoneSearch::init()
{
    m_server = std::make_unique<FakeWhoisServer>();
    QVERIFY(m_server->listen());
}

void TestZoneSearch::importZone(Harness& h, int inZone, qint64 ageSeconds)
{
    QByteArray text = "$ORIGIN com.\n";
    for (int i = 1; i <= inZone; ++i)
        text += "name" + QByteArray::number(i) + " IN NS ns1.host.net.\n";
    QFile file(h.dir.filePath(u"com.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.flush();
    file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds), QFileDevice::FileModificationTime);
    file.close();
    ZoneImport import;
    ZoneImportResult result;
    QString error;
    QVERIFY2(import.run(h.folder.path(u"zones"_s), u"com"_s, {file.fileName()},
                        QDateTime::currentDateTimeUtc(), &result, &error),
             qPrintable(error));
}

void useZones(Harness& h, const QString& folder, int days)
{
    SearchSettings settings = h.driver.settings();
    settings.zoneFolder = folder;
    settings.zoneDays = days;
    h.driver.setSettings(std::move(settings));
}

// Names of the zone are filed taken with its date and without a query; the rest are asked, and
// a search with zones off asks them all.
void TestZoneSearch::namesInTheZoneAreSettledWithoutAQuery()
{
    Harness h(m_server->port());
    importZone(h, 80, 3600);
    useZones(h, h.folder.path(u"zones"_s), 3);
    QVERIFY(h.run(h.writeList(numberedList(100, "name"))));
    QCOMPARE(h.outcomes.size(), 100);
    QCOMPARE(h.driver.zoneSettledCount(), 80);
    QCOMPARE(m_server->queries().size(), 20);
    for (const QString& query : m_server->queries()) {
        const int number = QStringView(query).mid(4).split(u'.').first().toInt();
        QVERIFY2(number > 80, qPrintable(query));
    }
    const QString day = QDateTime::currentDateTimeUtc().addSecs(-3600).date().toString(Qt::ISODate);
    QCOMPARE(h.details.value(u"name7.com"_s), u"in the com zone of "_s + day);
    QCOMPARE(h.verdicts.value(u"name7.com"_s), Verdict::Registered);
    QCOMPARE(h.driver.progress().zoneSettled, 80);
    QVERIFY(h.problems.isEmpty());

    const qsizetype before = m_server->queries().size();
    useZones(h, QString(), 0);
    QVERIFY(h.run(h.writeList(numberedList(10, "name"))));
    QCOMPARE(m_server->queries().size() - before, 10);
    QCOMPARE(h.driver.zoneSettledCount(), 0);
}

void TestZoneSearch::aStaleZoneIsPassedOverAndSaidOnce()
{
    Harness h(m_server->port());
    importZone(h, 10, 4 * 86400);
    useZones(h, h.folder.path(u"zones"_s), 3);
    QVERIFY(h.run(h.writeList(numberedList(10, "name"))));
    QCOMPARE(m_server->queries().size(), 10);
    QCOMPARE(h.driver.zoneSettledCount(), 0);
    QCOMPARE(h.problems.filter(u"older than 3 days"_s).size(), 1);
}

QTEST_GUILESS_MAIN(TestZoneSearch)
#include "test_zone_search.moc"
