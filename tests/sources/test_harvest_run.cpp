#include "sources/harvest_run.h"
#include "support/text_file.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace brisquel;

namespace {

const QStringList Extensions{QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org")};

QString page(const QStringList& hosts)
{
    QString html = QStringLiteral("<div>");
    for (const QString& host : hosts)
        html += QStringLiteral("<a href=\"http://www.%1/page\">x</a>\n").arg(host);
    return html + QStringLiteral("</div>");
}

} // namespace

class TestHarvestRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void resultPageAddresses()
    {
        HarvestRun yahoo(SearchEngine::Yahoo, QStringLiteral("red car & #1+"), 100,
                         QStringLiteral("http://127.0.0.1:8080"), Extensions);
        QCOMPARE(yahoo.pageUrl().toString(QUrl::FullyEncoded),
                 QStringLiteral("http://127.0.0.1:8080/search/dir?h=s&xargs=0&p=red+car+%26+%231%2B&b=1"));
        yahoo.addPage(page({QStringLiteral("one.com")}));
        yahoo.nextPage();
        QCOMPARE(QUrlQuery(yahoo.pageUrl()).queryItemValue(QStringLiteral("b")), QStringLiteral("21"));

        HarvestRun google(SearchEngine::Google, QStringLiteral("red car"), 100,
                          QStringLiteral("https://www.google.com"), Extensions);
        QCOMPARE(google.pageUrl().toString(QUrl::FullyEncoded),
                 QStringLiteral(
                     "https://www.google.com/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0"
                     "&start=0&sa=N&q=red+car"));
        google.addPage(page({QStringLiteral("one.com")}));
        google.nextPage();
        QCOMPARE(QUrlQuery(google.pageUrl()).queryItemValue(QStringLiteral("start")), QStringLiteral("100"));
    }

    void pagesUntilTargetOrNothingNew()
    {
        HarvestRun run(SearchEngine::Google, QStringLiteral("x"), 3, QStringLiteral("http://127.0.0.1"),
                       Extensions);
        QVERIFY(!run.wantsNextPage());
        run.addPage(page({QStringLiteral("myexample.com"), QStringLiteral("two.net")}));
        QVERIFY(run.wantsNextPage());
        run.nextPage();
        // Repeats and parts of earlier names add nothing; the target is looked at between pages.
        const QStringList added =
            run.addPage(page({QStringLiteral("two.net"), QStringLiteral("example.com"),
                              QStringLiteral("three.org"), QStringLiteral("four.com")}));
        QCOMPARE(added, (QStringList{QStringLiteral("three.org"), QStringLiteral("four.com")}));
        QCOMPARE(run.foundCount(), 4);
        QVERIFY(!run.wantsNextPage());

        HarvestRun dry(SearchEngine::Yahoo, QStringLiteral("x"), 100, QStringLiteral("http://127.0.0.1"),
                       Extensions);
        dry.addPage(page({}));
        QVERIFY(!dry.wantsNextPage());
    }

    void finishWritesTheListAndItsCopy_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("archive");
        QTest::newRow("blank kept") << "red car"
                                    << "searches/Google red car.txt";
        QTest::newRow("slashes stay in the folder") << "a/../b\\c"
                                                    << "searches/Google a_.._b_c.txt";
        QTest::newRow("control characters") << QStringLiteral("x\ty") << "searches/Google x_y.txt";
    }

    void finishWritesTheListAndItsCopy()
    {
        QFETCH(QString, term);
        QFETCH(QString, archive);
        QCOMPARE(HarvestRun::archiveFileName(SearchEngine::Google, term), archive);
        QTemporaryDir dir;
        HarvestRun run(SearchEngine::Google, term, 100, QStringLiteral("http://127.0.0.1"), Extensions);
        run.addPage(page({QStringLiteral("one.com"), QStringLiteral("two.net")}));
        HarvestRun::Saved saved;
        QString error;
        QVERIFY(run.finish(dir.path(), &saved, &error));
        QCOMPARE(saved.entries, 2);
        QStringList lines;
        QVERIFY(TextFile::readLines(dir.filePath(QStringLiteral("BrowserSearch.txt")), &lines));
        QCOMPARE(lines, (QStringList{QStringLiteral("one.com"), QStringLiteral("two.net")}));
        QVERIFY(saved.archiveError.isEmpty());
        QCOMPARE(saved.archivePath, dir.filePath(archive));
        QVERIFY(QFile::exists(dir.filePath(archive)));
    }
};

QTEST_GUILESS_MAIN(TestHarvestRun)
#include "test_harvest_run.moc"
