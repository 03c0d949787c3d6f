#include "support/line_reader.h"
#include "support/text_file.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {
// The text in the encoding, after its byte-order mark.
QByteArray marked(QStringConverter::Encoding encoding, const QString& text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

QStringList readAll(const QString& path, qsizetype limit = LineReader::DefaultMaxLineBytes)
{
    LineReader reader(limit);
    if (!reader.open(path))
        return {QStringLiteral("<cannot open>")};
    QStringList lines;
    QString line;
    while (reader.readLine(&line))
        lines << line;
    return lines;
}
} // namespace

class TestLineReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QString a = QStringLiteral("a");
        const QString b = QStringLiteral("b");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{a, b};
        QTest::newRow("lone lf") << QByteArray("a\nb\n") << QStringList{a, b};
        QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{a, b};
        QTest::newRow("mixed") << QByteArray("a\r\n\nb\r\r\n") << QStringList{a, QString(), b, QString()};
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{a, b};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << QStringList{QString(), QString()};
        QTest::newRow("utf8") << QByteArray("caf\xc3\xa9\n") << QStringList{QStringLiteral("caf\u00e9")};
        // Text editors on Windows save "Unicode" as UTF-16 with a byte-order mark.
        const QString cafe = QStringLiteral("caf\u00e9.com");
        const QStringList names{cafe, QStringLiteral("b.com")};
        QTest::newRow("utf8 bom") << marked(QStringConverter::Utf8, cafe + QStringLiteral("\r\nb.com"))
                                  << names;
        QTest::newRow("utf16le bom crlf")
            << marked(QStringConverter::Utf16LE, cafe + QStringLiteral("\r\nb.com\r\n")) << names;
        QTest::newRow("utf16be bom lf")
            << marked(QStringConverter::Utf16BE, cafe + QStringLiteral("\nb.com\n")) << names;
        QTest::newRow("utf32le bom crlf")
            << marked(QStringConverter::Utf32LE, cafe + QStringLiteral("\r\nb.com\r\n")) << names;
        QTest::newRow("utf32be bom lone cr")
            << marked(QStringConverter::Utf32BE, cafe + QStringLiteral("\rb.com")) << names;
        QTest::newRow("only a utf16 bom") << QByteArray("\xFF\xFE") << QStringList{};
    }

    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        QVERIFY(TextFile::writeText(path, bytes));
        QCOMPARE(readAll(path), lines);
    }

    void crLfSplitAcrossChunksIsOneLineEnd()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        // The reader fills 64 KiB at a time; put the CR last in the first chunk.
        QByteArray bytes(64 * 1024 - 1, 'x');
        bytes += "\r\nnext\r\n";
        QVERIFY(TextFile::writeText(path, bytes));
        const QStringList lines = readAll(path);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(1), QStringLiteral("next"));
    }

    void utf16CharactersSplitAcrossChunksStayWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        // After the mark, the line fills the first 64 KiB chunk but for half of a surrogate pair.
        const QString first = QString(32766, QLatin1Char('x')) + QStringLiteral("\U0001F600");
        QVERIFY(TextFile::writeText(
            path, marked(QStringConverter::Utf16LE, first + QStringLiteral("\r\nnext\r\n"))));
        QCOMPARE(readAll(path), (QStringList{first, QStringLiteral("next")}));
    }

    void longLinesAreCutAndTheRestSkipped()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        QByteArray bytes(3 * 1024 * 1024, 'y');
        bytes += "\nshort\n";
        QVERIFY(TextFile::writeText(path, bytes));
        LineReader reader(1000);
        QVERIFY(reader.open(path));
        QString line;
        QVERIFY(reader.readLine(&line));
        QCOMPARE(line.size(), 1000);
        QVERIFY(reader.lastLineTruncated());
        QVERIFY(reader.readLine(&line));
        QCOMPARE(line, QStringLiteral("short"));
        QVERIFY(!reader.lastLineTruncated());
        QCOMPARE(reader.lineNumber(), 2);
        QVERIFY(!reader.readLine(&line));
    }

    void byteLimitStopsAtTheSnapshot()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        QVERIFY(TextFile::writeText(path, "one\r\ntwo\r\n"));
        LineReader reader;
        QVERIFY(reader.open(path));
        reader.setByteLimit(5);
        QVERIFY(TextFile::appendLines(path, {QStringLiteral("three")}));
        QString line;
        QVERIFY(reader.readLine(&line));
        QCOMPARE(line, QStringLiteral("one"));
        QVERIFY(!reader.readLine(&line));
    }

    void randomBytesNeverBreakTheReader()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.bin"));
        QByteArray bytes(512 * 1024, '\0');
        QRandomGenerator generator(42);
        for (char& c : bytes)
            c = char(generator.bounded(256));
        QVERIFY(TextFile::writeText(path, bytes));
        LineReader reader(4096);
        QVERIFY(reader.open(path));
        QString line;
        qint64 lines = 0;
        while (reader.readLine(&line)) {
            QVERIFY(line.size() <= 4096);
            ++lines;
        }
        QVERIFY(lines > 0);
        QVERIFY(!reader.hasError());
    }

    void missingFileReportsAnError()
    {
        LineReader reader;
        QString error;
        QVERIFY(!reader.open(QStringLiteral("/no/such/file.txt"), &error));
        QVERIFY(!error.isEmpty());
        QString line;
        QVERIFY(!reader.readLine(&line));
    }

    void writersUseCrLfAndReplaceAtomically()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        QVERIFY(TextFile::writeLines(path, {QStringLiteral("a"), QStringLiteral("b")}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a\r\nb\r\n"));
        QString error;
        QVERIFY(!TextFile::writeLines(dir.filePath(QStringLiteral("missing/f.txt")), {}, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLineReader)
#include "test_line_reader.moc"
