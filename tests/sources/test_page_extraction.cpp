#include "reference_text_rules.h"
#include "sources/known_extensions.h"
#include "sources/page_extraction.h"
#include "support/text_file.h"
#include "text_rules_fixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString readPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList withoutTrailingBlanks(const QStringList& names)
{
    QStringList trimmed;
    for (QString name : names) {
        while (name.endsWith(QLatin1Char(' ')) || name.endsWith(QLatin1Char('\t')))
            name.chop(1);
        trimmed.append(name);
    }
    return trimmed;
}

QStringList expectedLines(const QString& path)
{
    QStringList lines;
    if (!TextFile::readLines(path, &lines))
        return {QStringLiteral("(missing %1)").arg(path)};
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList browserLines(const PageScan& scan)
{
    QStringList lines = scan.names;
    for (const QString& address : scan.frameAddresses)
        lines.append(QStringLiteral("frame: ") + address);
    return lines;
}

// Names of a listing: some new, some in another case, some parts of others.
QString listingPage(QRandomGenerator& random, int rows)
{
    static const QStringList syllables =
        QStringLiteral("ka lo mi ne ro ta vi bel cor dan fen gar hol jin").split(QLatin1Char(' '));
    static const QStringList extensions = QStringLiteral("com net info org Com").split(QLatin1Char(' '));
    QString page;
    for (int i = 0; i < rows; ++i) {
        QString name;
        for (int s = 0, count = 1 + int(random.bounded(3)); s < count; ++s)
            name += syllables.at(int(random.bounded(qsizetype(syllables.size()))));
        if (random.bounded(4) == 0)
            name = name.toUpper();
        const QString host =
            name + QLatin1Char('.') + extensions.at(int(random.bounded(qsizetype(extensions.size()))));
        switch (random.bounded(4)) {
        case 0:
            page += QStringLiteral("<a href=\"http://www.%1/\">%1</a>\n").arg(host);
            break;
        case 1:
            page += QStringLiteral("<td>%1</td><td>mail: %2@%1</td>\n").arg(host, name);
            break;
        case 2:
            page += QStringLiteral("<a href=www.%1>%1%0D%0Ax</a> ").arg(host);
            break;
        default:
            page += QStringLiteral("http://<b>%1</b>/ <frame src=\"http://%1/f\">\n").arg(host);
            break;
        }
    }
    return page;
}

} // namespace

class TestPageExtraction : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each folder holds input*.html (read in name order, as consecutive pages of one run),
    // expected.txt (the harvester's names) and expected_browser.txt (the browser's names, then
    // "frame: " and each frame address); names are compared without trailing blanks.
    void expectedOutputFolders_data()
    {
        QTest::addColumn<QString>("folder");
        const QDir pages(QStringLiteral(BRISQUEL_TEST_DATA "/pages"));
        const QStringList cases = pages.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY(!cases.isEmpty());
        for (const QString& name : cases)
            QTest::newRow(qPrintable(name)) << pages.filePath(name);
    }
    void expectedOutputFolders()
    {
        QFETCH(QString, folder);
        const QDir dir(folder);
        const KnownExtensions known(fixtures::defaultExtensions());
        QString harvestText;
        QString seenNames;
        QStringList harvested;
        QStringList browsed;
        for (const QString& input : dir.entryList({QStringLiteral("input*.html")}, QDir::Files, QDir::Name)) {
            const QString html = readPage(dir.filePath(input));
            harvested += extractHarvestNames(html, &harvestText, known);
            browsed += browserLines(scanBrowserPage(html, &seenNames, known));
        }
        const QStringList expectedHarvest = expectedLines(dir.filePath(QStringLiteral("expected.txt")));
        const QStringList expectedBrowse =
            expectedLines(dir.filePath(QStringLiteral("expected_browser.txt")));
        if (withoutTrailingBlanks(harvested) != expectedHarvest)
            qWarning().noquote() << QStringLiteral("harvester found:\n") +
                                        withoutTrailingBlanks(harvested).join(QLatin1Char('\n'));
        if (withoutTrailingBlanks(browsed) != expectedBrowse)
            qWarning().noquote() << QStringLiteral("browser found:\n") +
                                        withoutTrailingBlanks(browsed).join(QLatin1Char('\n'));
        QCOMPARE(withoutTrailingBlanks(harvested), expectedHarvest);
        QCOMPARE(withoutTrailingBlanks(browsed), expectedBrowse);
        QCOMPARE(harvestText, harvested.isEmpty() ? QString() : harvested.join(CrLf) + CrLf);
    }

    void linesEndAtAnyLineEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty text is one empty line") << QString() << QStringList{QString()};
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb")
                               << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("lone CR") << QStringLiteral("a\rb")
                                 << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("lone LF") << QStringLiteral("a\nb")
                                 << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("LF CR is two line ends")
            << QStringLiteral("a\n\rb") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("line end at the end leaves an empty last line")
            << QStringLiteral("a\r\n") << QStringList{QStringLiteral("a"), QString()};
    }
    void linesEndAtAnyLineEnd()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QStringList actual;
        for (const QStringView line : splitLines(text))
            actual.append(line.toString());
        QCOMPARE(actual, lines);
    }

    void frameAddresses_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("address split after its host is joined")
            << QStringLiteral("<frame src=\"http://www.example.com/main.html\" name=\"m\">")
            << QStringList{QStringLiteral("www.example.com/main.html ")};
        QTest::newRow("close bracket before the first space")
            << QStringLiteral("<FRAME SRC=http://www.example.com/x.html>next part")
            << QStringList{QStringLiteral("www.example.com/x.html")};
        QTest::newRow("address on the last line stands alone")
            << QStringLiteral("<frame src=http://www.example.org")
            << QStringList{QStringLiteral("www.example.org")};
        QTest::newRow("frame tag without src is no frame")
            << QStringLiteral("<frame name=x>http://www.a.com/") << QStringList();
    }
    void frameAddresses()
    {
        QFETCH(QString, html);
        QFETCH(QStringList, addresses);
        QString seen;
        const PageScan scan = scanBrowserPage(html, &seen, KnownExtensions(fixtures::defaultExtensions()));
        QCOMPARE(scan.frameAddresses, addresses);
    }

    void frameAddressLineGivesNoName()
    {
        QString seen;
        const PageScan scan = scanBrowserPage(QStringLiteral("<frame src=\"http://www.framed.com/a\">"),
                                              &seen, KnownExtensions(fixtures::defaultExtensions()));
        QCOMPARE(scan.names, QStringList());
        QCOMPARE(seen, QString());
    }

    void namesFoundBeforeAreKept()
    {
        const KnownExtensions known(fixtures::defaultExtensions());
        QString harvestText = QStringLiteral("myexample.com\r\n");
        QCOMPARE(
            extractHarvestNames(QStringLiteral("<a href=\"http://www.example.com/\">"), &harvestText, known),
            QStringList());
        QString seen = QStringLiteral("EXAMPLE.COM\r\n");
        QCOMPARE(scanBrowserPage(QStringLiteral("see example.com"), &seen, known).names, QStringList());
        QCOMPARE(extractHarvestNames(QStringLiteral("http://www.new.com/"), nullptr, known),
                 QStringList{QStringLiteral("new.com")});
    }

    // The page readers against the rules as the windows run them, through the work file; the
    // listings are long enough for the duplicate index to take over from plain searches.
    void pagesMatchTheRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("rounds");
        QTest::newRow("random pieces") << 0 << 300;
        QTest::newRow("short listings") << 1 << 40;
        QTest::newRow("long listings") << 2 << 3;
    }
    void pagesMatchTheRules()
    {
        QFETCH(int, kind);
        QFETCH(int, rounds);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QRandomGenerator random(99u + quint32(kind));
        const QStringList excluded = defaultExcludedLinkTexts();
        for (int round = 0; round < rounds; ++round) {
            const QStringList rows = round % 3 == 0 ? fixtures::allDefaultRows()
                                                    : fixtures::randomExtensions(random, round % 3 == 1);
            const KnownExtensions known(rows);
            // Two pages of one run, so that the second starts from the names of the first.
            QString harvestText;
            QString expectedHarvestText;
            QString seen;
            QString expectedSeen;
            for (int page = 0; page < 2; ++page) {
                const QString html = kind == 0 ? fixtures::randomText(random, 200, false)
                                               : listingPage(random, kind == 1 ? 300 : 4000);
                QCOMPARE(
                    extractHarvestNames(html, &harvestText, known),
                    reference::extractHarvestNames(html, &expectedHarvestText, rows, excluded, work.path()));
                QCOMPARE(harvestText, expectedHarvestText);
                const PageScan scan = scanBrowserPage(html, &seen, known);
                const reference::PageScan expected =
                    reference::scanBrowserPage(html, &expectedSeen, rows, excluded, work.path());
                QCOMPARE(scan.names, expected.names);
                QCOMPARE(scan.frameAddresses, expected.frameAddresses);
                QCOMPARE(seen, expectedSeen);
            }
        }
    }

    // No crash and linear work on hostile pages (a quadratic reader would not finish in time).
    void hostilePagesAreSafe_data()
    {
        QTest::addColumn<QString>("html");
        QRandomGenerator random(3u);
        QByteArray bytes(2 * 1024 * 1024, Qt::Uninitialized);
        for (char& b : bytes)
            b = char(random.bounded(256));
        QTest::newRow("random bytes") << QString::fromUtf8(bytes);
        QTest::newRow("one long line")
            << QStringLiteral("http://") + QString(2'000'000, QLatin1Char('w')) + QStringLiteral(".com");
        QTest::newRow("frame tags only") << QStringLiteral("<frame src=").repeated(200'000);
        QTest::newRow("one name repeated")
            << QStringLiteral("http://www.same.com/ same.com ").repeated(70'000);
        QTest::newRow("distinct names") << listingPage(random, 40'000);
    }
    void hostilePagesAreSafe()
    {
        QFETCH(QString, html);
        const KnownExtensions known(fixtures::allDefaultRows());
        QString harvestText;
        const QStringList names = extractHarvestNames(html, &harvestText, known);
        QString seen;
        const PageScan scan = scanBrowserPage(html, &seen, known);
        QVERIFY(harvestText.size() <= html.size() + 2 * names.size());
        QVERIFY(seen.size() <= html.size() + 2 * scan.names.size());
    }
};

QTEST_GUILESS_MAIN(TestPageExtraction)
#include "test_page_extraction.moc"
