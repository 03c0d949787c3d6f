#include "whois_config/registrars_file.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ExtensionRow row(const char* extension, const char* server, int port = 43, bool enabled = true)
{
    return {QLatin1String(extension), QLatin1String(server), port, enabled};
}

RegistrarsDisplayRow displayRow(const char* extension, const char* server, const char* port,
                                const char* status)
{
    return {QLatin1String(extension), QLatin1String(server), QLatin1String(port), QLatin1String(status)};
}

// A table that a load must either replace or leave exactly as it was.
ExtensionTable sentinelTable()
{
    return ExtensionTable({row("sentinel", "whois.sentinel.example")});
}

} // namespace

class TestRegistrarsFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("registrars.txt"));
        QFile::remove(m_path);
    }

    void defaultsEndWithOneEmptyLineAndLoadAsTheTable()
    {
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        const QByteArray bytes = readBytes(m_path);
        QVERIFY(bytes.startsWith("proxy|127.0.0.1|43|Enabled\r\ncom|whois.verisign-grs.com|43|Enabled\r\n"));
        QVERIFY(bytes.contains("\r\nedu|whois.educause.edu|43|Disabled\r\n"));
        QVERIFY(bytes.endsWith("\r\nto|whois.tonicregistry.to|43|Disabled\r\n\r\n"));
        QCOMPARE(bytes.count("\r\n"), 93);
        QVERIFY(!bytes.contains("\n\n"));

        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(file.loadExtensionTable(&table, &problems));
        QVERIFY(problems.isEmpty());
        QCOMPARE(table.rows(), defaultExtensionRows());
    }

    void existingFileIsKeptUnlessReset_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("user's rows") << QByteArray("com|whois.mine.example|43|Enabled\r\n");
    }

    void existingFileIsKeptUnlessReset()
    {
        QFETCH(QByteArray, content);
        const RegistrarsFile file(m_path);
        QVERIFY(writeBytes(m_path, content));
        QVERIFY(file.createDefaultRegistrars(false));
        QCOMPARE(readBytes(m_path), content);

        QVERIFY(file.createDefaultRegistrars(true));
        ExtensionTable table;
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.rows(), defaultExtensionRows());
    }

    void resetWritesAMissingFile()
    {
        QVERIFY(RegistrarsFile(m_path).createDefaultRegistrars(true));
        QCOMPARE(RegistrarsFile(m_path).fillExtensionList().size(), 92);
    }

    void unwritableFolderIsReported()
    {
        const RegistrarsFile file(m_dir.filePath(QStringLiteral("missing/registrars.txt")));
        QString error;
        QVERIFY(!file.createDefaultRegistrars(false, &error));
        QVERIFY(!error.isEmpty());
    }

    void unreadableFileLeavesTheTable_data()
    {
        QTest::addColumn<bool>("asFolder");
        QTest::newRow("missing") << false;
        QTest::newRow("a folder") << true;
    }

    void unreadableFileLeavesTheTable()
    {
        QFETCH(bool, asFolder);
        if (asFolder)
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
        const RegistrarsFile file(asFolder ? m_dir.filePath(QStringLiteral("folder")) : m_path);
        ExtensionTable table = sentinelTable();
        QString error;
        QVERIFY(!file.loadExtensionTable(&table, nullptr, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(table.rows(), sentinelTable().rows());

        error.clear();
        QVERIFY(file.fillExtensionList(nullptr, &error).isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(
            !file.saveExtensionRow(QStringLiteral("com"), QStringLiteral("a"), QStringLiteral("43"), true));
    }

    void fileWithoutRowsLeavesTheTable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one line end") << QByteArray("\r\n");
        QTest::newRow("blanks and spaces") << QByteArray("\r\n \r\n\r\n \r\n");
        QTest::newRow("LF only") << QByteArray("\n\n \n");
        QTest::newRow("single space without line end") << QByteArray(" ");
    }

    void fileWithoutRowsLeavesTheTable()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeBytes(m_path, content));
        ExtensionTable table = sentinelTable();
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        QVERIFY(problems.isEmpty());
        QCOMPARE(table.rows(), sentinelTable().rows());
    }

    void everyLineEndEndsALine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("CR LF") << QByteArray("com|a|43|Enabled\r\nnet|b|43|Enabled\r\n");
        QTest::newRow("lone LF") << QByteArray("com|a|43|Enabled\nnet|b|43|Enabled\n");
        QTest::newRow("lone CR") << QByteArray("com|a|43|Enabled\rnet|b|43|Enabled\r");
        QTest::newRow("mixed with blanks") << QByteArray("\ncom|a|43|Enabled\r\r\n \nnet|b|43|Enabled\n\r\n");
        QTest::newRow("no final line end") << QByteArray("com|a|43|Enabled\r\nnet|b|43|Enabled");
    }

    void everyLineEndEndsALine()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeBytes(m_path, content));
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        QVERIFY(problems.isEmpty());
        QCOMPARE(table.rows(), (QList<ExtensionRow>{row("com", "a"), row("net", "b")}));
        QCOMPARE(RegistrarsFile(m_path).fillExtensionList().size(), 2);
    }

    void loadLowerCasesNamesButNotStatusAndTrimsNothing()
    {
        QVERIFY(writeBytes(m_path, "COM|WHOIS.Example.COM|43|Enabled\r\n"
                                   "net|n|43|enabled\r\n"
                                   "org|o|43| Enabled\r\n"
                                   " info|i|43|Enabled\r\n"
                                   "biz|b|43|Enabled|more|fields\r\n"));
        ExtensionTable table;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table));
        QCOMPARE(table.rows(),
                 (QList<ExtensionRow>{row("com", "whois.example.com"), row("net", "n", 43, false),
                                      row("org", "o", 43, false), row(" info", "i"), row("biz", "b")}));
    }

    void portLimits_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expected"); // 0: the line is bad
        QTest::newRow("lowest") << QStringLiteral("1") << 1;
        QTest::newRow("highest") << QStringLiteral("65535") << 65535;
        QTest::newRow("leading zero") << QStringLiteral("043") << 43;
        QTest::newRow("above the 16-bit signed range") << QStringLiteral("40000") << 40000;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("too high") << QStringLiteral("65536") << 0;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999") << 0;
        QTest::newRow("negative") << QStringLiteral("-1") << 0;
        QTest::newRow("plus sign") << QStringLiteral("+43") << 0;
        QTest::newRow("leading space") << QStringLiteral(" 43") << 0;
        QTest::newRow("trailing space") << QStringLiteral("43 ") << 0;
        QTest::newRow("fraction") << QStringLiteral("4.3") << 0;
        QTest::newRow("hexadecimal") << QStringLiteral("0x2b") << 0;
        QTest::newRow("letters") << QStringLiteral("abc") << 0;
        QTest::newRow("empty") << QString() << 0;
    }

    void portLimits()
    {
        QFETCH(QString, port);
        QFETCH(int, expected);
        const QByteArray line = "com|c|" + port.toUtf8() + "|Enabled";
        QVERIFY(writeBytes(m_path, "net|n|43|Enabled\r\n" + line + "\r\norg|o|43|Enabled\r\n"));
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        if (expected) {
            QVERIFY(problems.isEmpty());
            QCOMPARE(table.rowCount(), 3);
            QCOMPARE(table.row(1).port, expected);
        } else {
            QCOMPARE(problems.size(), 1);
            QCOMPARE(problems.first().lineNumber, 2);
            QVERIFY(problems.first().message.contains(QStringLiteral("port")));
            QCOMPARE(table.rows(), (QList<ExtensionRow>{row("net", "n"), row("org", "o")}));
        }
        // The list shows such a line as stored, so that the user can correct or delete it.
        QCOMPARE(RegistrarsFile(m_path).fillExtensionList().at(1).at(2), port);
        QString error;
        QCOMPARE(RegistrarsFile(m_path).saveExtensionRow(QStringLiteral("new"), QStringLiteral("x"), port,
                                                         true, &error),
                 expected != 0);
        QCOMPARE(error.isEmpty(), expected != 0);
    }

    void shortLinesAreSkippedWithTheirLineNumbers()
    {
        // Only an empty line or a single space is blank; two spaces make a short line.
        QVERIFY(writeBytes(m_path, "com\r\n"
                                   "\r\n"
                                   "net|n|43|Enabled\r\n"
                                   "org|o\n"
                                   "info|i|43\r"
                                   "  \r\n"
                                   "biz|b|43|Enabled\r\n"));
        ExtensionTable table = sentinelTable();
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        QCOMPARE(table.rows(), (QList<ExtensionRow>{row("net", "n"), row("biz", "b")}));
        QCOMPARE(problems.size(), 4);
        QCOMPARE(problems.at(0).lineNumber, 1);
        QCOMPARE(problems.at(1).lineNumber, 4);
        QCOMPARE(problems.at(2).lineNumber, 5);
        QCOMPARE(problems.at(3).lineNumber, 6);

        problems.clear();
        QCOMPARE(RegistrarsFile(m_path).fillExtensionList(&problems).size(), 2);
        QCOMPARE(problems.size(), 4);
    }

    void onlyBadLinesEmptyTheTable()
    {
        QVERIFY(writeBytes(m_path, "garbage\r\ncom|x|0|Enabled\r\n"));
        ExtensionTable table = sentinelTable();
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        QVERIFY(table.isEmpty());
        QCOMPARE(problems.size(), 2);
    }

    void theThreeFileShapesLoadAlike()
    {
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        ExtensionTable created;
        QVERIFY(file.loadExtensionTable(&created));
        const QList<RegistrarsDisplayRow> listed = file.fillExtensionList();

        QVERIFY(file.saveExtensionRow(QStringLiteral("com"), QStringLiteral("whois.verisign-grs.com"),
                                      QStringLiteral("43"), true));
        const QByteArray saved = readBytes(m_path);
        QVERIFY(saved.startsWith("\r\nproxy|"));
        QVERIFY(saved.endsWith("|Disabled\r\n\r\n"));
        ExtensionTable afterSave;
        QVERIFY(file.loadExtensionTable(&afterSave));
        QCOMPARE(afterSave.rows(), created.rows());

        QVERIFY(file.writeRegistrarsFromList(listed));
        const QByteArray written = readBytes(m_path);
        QCOMPARE(written.count("\r\n\r\n"), 92);
        QVERIFY(written.startsWith("proxy|127.0.0.1|43|Enabled\r\n\r\ncom|"));
        ExtensionTable afterWrite;
        QVERIFY(file.loadExtensionTable(&afterWrite));
        QCOMPARE(afterWrite.rows(), created.rows());
        QCOMPARE(file.fillExtensionList(), listed);
    }

    void savingAnExtensionReplacesEveryLineOfIt()
    {
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        QVERIFY(file.saveExtensionRow(QStringLiteral("CN"), QStringLiteral("Whois.CNNIC.cn"),
                                      QStringLiteral("4343"), true));
        const QList<RegistrarsDisplayRow> rows = file.fillExtensionList();
        QCOMPARE(rows.size(), 92);
        const RegistrarsDisplayRow expected = displayRow("cn", "Whois.CNNIC.cn", "4343", "Enabled");
        QCOMPARE(rows.at(11), expected);
        QCOMPARE(rows.at(17), expected);
        QCOMPARE(rows.at(12), displayRow("hk", "whois.apnic.net", "43", "Disabled"));

        ExtensionTable table;
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.row(11), row("cn", "whois.cnnic.cn", 4343, true));
        QCOMPARE(table.row(17), table.row(11));
    }

    void savingANewExtensionAppendsIt()
    {
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        QVERIFY(file.saveExtensionRow(QStringLiteral("XYZ"), QStringLiteral("whois.nic.xyz"),
                                      QStringLiteral("43"), false));
        QVERIFY(readBytes(m_path).endsWith("|Disabled\r\n\r\nxyz|whois.nic.xyz|43|Disabled\r\n"));
        ExtensionTable table;
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.rowCount(), 93);
        QCOMPARE(table.row(92), row("xyz", "whois.nic.xyz", 43, false));
        QCOMPARE(table.findExtensionIndex(QStringLiteral("example.xyz"), false), 92);
    }

    void saveRefusesRowsThatWouldBreakTheFile_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        const QString ext = QStringLiteral("com");
        const QString server = QStringLiteral("whois.example");
        const QString port = QStringLiteral("43");
        QTest::newRow("empty extension") << QString() << server << port;
        QTest::newRow("empty server") << ext << QString() << port;
        QTest::newRow("empty port") << ext << server << QString();
        QTest::newRow("separator in extension") << QStringLiteral("a|b") << server << port;
        QTest::newRow("line in server") << ext << QStringLiteral("x\r\nnet|y|43|Enabled") << port;
        QTest::newRow("LF in extension") << QStringLiteral("a\nb") << server << port;
        QTest::newRow("separator in port") << ext << server << QStringLiteral("43|Enabled");
    }

    void saveRefusesRowsThatWouldBreakTheFile()
    {
        QFETCH(QString, extension);
        QFETCH(QString, server);
        QFETCH(QString, port);
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        const QByteArray before = readBytes(m_path);
        QString error;
        QVERIFY(!file.saveExtensionRow(extension, server, port, true, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!file.appendExtensionRow(extension, server, port, QStringLiteral("Enabled"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readBytes(m_path), before);
    }

    void appendStartsOnALineOfItsOwn()
    {
        const RegistrarsFile file(m_path);
        QVERIFY(file.appendExtensionRow(QStringLiteral("COM"), QStringLiteral("A"), QStringLiteral("43"),
                                        QStringLiteral("Enabled")));
        QCOMPARE(readBytes(m_path), QByteArray("com|A|43|Enabled\r\n"));
        QVERIFY(writeBytes(m_path, "com|a|43|Enabled"));
        QVERIFY(file.appendExtensionRow(QStringLiteral("net"), QStringLiteral("b"), QStringLiteral("43"),
                                        QStringLiteral("Enabled")));
        ExtensionTable table;
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.rows(), (QList<ExtensionRow>{row("com", "a"), row("net", "b")}));
        QVERIFY(!file.appendExtensionRow(QStringLiteral("org"), QStringLiteral("c"), QStringLiteral("43"),
                                         QStringLiteral("En|abled")));
    }

    void listShowsFieldsAsStored()
    {
        QVERIFY(writeBytes(m_path, "COM|Whois.X|43|enabled|extra\r\n"
                                   " \r\n"
                                   "short|line\r\n"
                                   "bad|port|abc|Enabled\r\n"));
        QList<RegistrarsProblem> problems;
        const QList<RegistrarsDisplayRow> rows = RegistrarsFile(m_path).fillExtensionList(&problems);
        QCOMPARE(rows, (QList<RegistrarsDisplayRow>{displayRow("COM", "Whois.X", "43", "enabled"),
                                                    displayRow("bad", "port", "abc", "Enabled")}));
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().lineNumber, 3);
    }

    void writingFromTheListKeepsItsOrder()
    {
        const RegistrarsFile file(m_path);
        const QList<RegistrarsDisplayRow> rows{displayRow("net", "b", "43", "Enabled"),
                                               displayRow("com", "a", "44", "Disabled")};
        QVERIFY(file.writeRegistrarsFromList(rows));
        QCOMPARE(readBytes(m_path), QByteArray("net|b|43|Enabled\r\n\r\ncom|a|44|Disabled\r\n\r\n"));
        QCOMPARE(file.fillExtensionList(), rows);

        QVERIFY(file.writeRegistrarsFromList({}));
        QCOMPARE(readBytes(m_path), QByteArray());
    }

    void writingRefusesRowsThatWouldBreakTheFile_data()
    {
        QTest::addColumn<RegistrarsDisplayRow>("bad");
        QTest::newRow("three fields") << displayRow("com", "a", "43", "Enabled").mid(0, 3);
        QTest::newRow("five fields") << (displayRow("com", "a", "43", "Enabled") << QStringLiteral("x"));
        QTest::newRow("separator") << displayRow("com", "a|b", "43", "Enabled");
        QTest::newRow("line end") << displayRow("com", "a", "43", "Enabled\nnet");
    }

    void writingRefusesRowsThatWouldBreakTheFile()
    {
        QFETCH(RegistrarsDisplayRow, bad);
        const RegistrarsFile file(m_path);
        QVERIFY(file.createDefaultRegistrars(false));
        const QByteArray before = readBytes(m_path);
        QString error;
        QVERIFY(!file.writeRegistrarsFromList({displayRow("net", "b", "43", "Enabled"), bad}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readBytes(m_path), before);
    }

    void overlongLineIsABadLine()
    {
        // Would be a good row but for its length.
        const QByteArray big = "big|whois.big.example|43|Disabled|" + QByteArray(1024 * 1024, 'x');
        QVERIFY(writeBytes(m_path, "com|a|43|Enabled\r\n" + big + "\r\nnet|b|43|Enabled\r\n"));
        const RegistrarsFile file(m_path);
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(file.loadExtensionTable(&table, &problems));
        QCOMPARE(table.rows(), (QList<ExtensionRow>{row("com", "a"), row("net", "b")}));
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().lineNumber, 2);

        problems.clear();
        QCOMPARE(file.fillExtensionList(&problems).size(), 2);
        QCOMPARE(problems.size(), 1);

        // A rewrite drops the line rather than keep a cut-down copy that might load.
        QVERIFY(
            file.saveExtensionRow(QStringLiteral("org"), QStringLiteral("c"), QStringLiteral("43"), true));
        QVERIFY(readBytes(m_path).size() < 100);
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.rows(), (QList<ExtensionRow>{row("com", "a"), row("net", "b"), row("org", "c")}));
    }

    void randomBytesLoadWhatTheyCan()
    {
        QRandomGenerator random(20240607);
        QByteArray bytes;
        QList<ExtensionRow> planted;
        for (int chunk = 0; chunk < 64; ++chunk) {
            QByteArray garbage(4096, '\0');
            random.fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
            bytes += garbage;
            const QByteArray name = "p" + QByteArray::number(chunk);
            bytes += "\n" + name + "|whois." + name + ".example|43|Enabled\n";
            planted.append({QString::fromLatin1(name),
                            QStringLiteral("whois.%1.example").arg(QLatin1String(name)), 43, true});
        }
        QVERIFY(writeBytes(m_path, bytes));

        const RegistrarsFile file(m_path);
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(file.loadExtensionTable(&table, &problems));
        QVERIFY(!problems.isEmpty());
        QVERIFY(problems.size() <= RegistrarsFile::MaxReportedProblems + 1);
        for (const ExtensionRow& r : planted)
            QVERIFY2(table.rows().contains(r), qPrintable(r.extension));
        for (const ExtensionRow& r : table.rows())
            QVERIFY(r.port >= 1 && r.port <= 65535);

        QVERIFY(file.fillExtensionList().size() >= planted.size());
        QVERIFY(file.saveExtensionRow(QStringLiteral("p0"), QStringLiteral("whois.new.example"),
                                      QStringLiteral("43"), false));
        QVERIFY(file.loadExtensionTable(&table));
        QCOMPARE(table.row(table.findExtensionIndex(QStringLiteral("a.p0"), false)).server,
                 QStringLiteral("whois.new.example"));
    }

    void reportsAreCapped()
    {
        QByteArray bytes;
        for (int i = 0; i < 1000; ++i)
            bytes += "bad line\r\n";
        bytes += "com|a|43|Enabled\r\n";
        QVERIFY(writeBytes(m_path, bytes));
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(RegistrarsFile(m_path).loadExtensionTable(&table, &problems));
        QCOMPARE(table.rows(), QList<ExtensionRow>{row("com", "a")});
        QCOMPARE(problems.size(), RegistrarsFile::MaxReportedProblems + 1);
        QCOMPARE(problems.at(RegistrarsFile::MaxReportedProblems - 1).lineNumber,
                 qint64(RegistrarsFile::MaxReportedProblems));
        QCOMPARE(problems.last().lineNumber, qint64(RegistrarsFile::MaxReportedProblems + 1));
        QVERIFY(
            problems.last().message.contains(QString::number(1000 - RegistrarsFile::MaxReportedProblems)));
    }

    void rowsAreCapped()
    {
        QByteArray bytes;
        for (int i = 0; i < ExtensionTable::MaxRows + 10; ++i)
            bytes += "e" + QByteArray::number(i) + "|s|43|Enabled\r\n";
        QVERIFY(writeBytes(m_path, bytes));
        const RegistrarsFile file(m_path);
        ExtensionTable table;
        QList<RegistrarsProblem> problems;
        QVERIFY(file.loadExtensionTable(&table, &problems));
        QCOMPARE(table.rowCount(), ExtensionTable::MaxRows);
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().lineNumber, qint64(ExtensionTable::MaxRows + 1));
        QCOMPARE(file.fillExtensionList().size(), ExtensionTable::MaxRows);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestRegistrarsFile)
#include "test_registrars_file.moc"
