#include "cli/extract_command.h"
#include "support/text_file.h"
#include "text_rules_fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

struct Run
{
    int exitCode = 0;
    QStringList out;
    QString err;
};

Run runExtract(const QStringList& arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    Run run;
    run.exitCode =
        exitStatus(runExtractCommand(arguments, outStream, errStream, fixtures::defaultExtensions()));
    run.out = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = err;
    return run;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestExtractCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeBytes(path("one.html"), "<a href=\"http://www.myexample.com/\">x</a> see example.net\n"
                                             "<a href=\"http://www.spaced.com more\">"));
        QVERIFY(writeBytes(path("two.html"), "<a href=\"http://www.MyExample.com/\"></a>"
                                             "<a href=\"http://www.second.net/\"></a>"));
        QVERIFY(writeBytes(path("text.html"), "plain text: example.net\n"));
        QVERIFY(writeBytes(path("--browser"), "<a href=\"http://www.dashes.com/\"></a>"));
        QVERIFY(
            writeBytes(path("bad.html"), QByteArray("\xff\xfe<a href=\"http://www.caf\xe9.com/\">\xc3\x28")));
    }

    void extract_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("errorText");
        const auto names = [](const char* words) {
            return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        };
        QTest::newRow("harvester rules, trailing blank trimmed")
            << QStringList{path("one.html")} << 0 << names("myexample.com spaced.com") << QString();
        QTest::newRow("names are kept once over all files")
            << QStringList{path("one.html"), path("two.html")} << 0
            << names("myexample.com spaced.com second.net") << QString();
        QTest::newRow("browser rules read plain text")
            << QStringList{QStringLiteral("--browser"), path("one.html"), path("text.html")} << 0
            << names("myexample.com example.net spaced.com") << QString();
        QTest::newRow("harvester rules skip plain text")
            << QStringList{path("text.html")} << 0 << QStringList() << QString();
        QTest::newRow("double dash ends the options")
            << QStringList{QStringLiteral("--"), path("--browser")} << 0 << names("dashes.com") << QString();
        QTest::newRow("missing file reported, others read")
            << QStringList{path("missing.html"), path("two.html")} << 2 << names("MyExample.com second.net")
            << QStringLiteral("missing.html");
        QTest::newRow("invalid bytes become replacement characters")
            << QStringList{path("bad.html")} << 0 << QStringList{QStringLiteral("caf\uFFFD.com")}
            << QString();
        QTest::newRow("no file is a usage error")
            << QStringList{QStringLiteral("--browser")} << 1 << QStringList() << QStringLiteral("Usage:");
        QTest::newRow("unknown option is a usage error")
            << QStringList{QStringLiteral("--fast"), path("one.html")} << 1 << QStringList()
            << QStringLiteral("unknown option --fast");
    }
    void extract()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, names);
        QFETCH(QString, errorText);
        const Run run = runExtract(arguments);
        QCOMPARE(run.out, names);
        QCOMPARE(run.exitCode, exitCode);
        if (errorText.isEmpty())
            QCOMPARE(run.err, QString());
        else
            QVERIFY2(run.err.contains(errorText), qPrintable(run.err));
    }

    // The command prints what the page fixtures expect of the harvester and the browser.
    void printsWhatThePageFixturesExpect()
    {
        const QString folder = QStringLiteral(BRISQUEL_TEST_DATA "/pages/search_results");
        QStringList harvester;
        QVERIFY(TextFile::readLines(folder + QStringLiteral("/expected.txt"), &harvester));
        harvester.removeAll(QString());
        QCOMPARE(runExtract({folder + QStringLiteral("/input.html")}).out, harvester);
        QStringList browser;
        QVERIFY(TextFile::readLines(folder + QStringLiteral("/expected_browser.txt"), &browser));
        browser.removeAll(QString());
        QCOMPARE(runExtract({QStringLiteral("--browser"), folder + QStringLiteral("/input.html")}).out,
                 browser);
    }

private:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestExtractCommand)
#include "test_extract_command.moc"
