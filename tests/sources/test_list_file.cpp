#include "sources/list_file_reader.h"
#include "sources/search_type.h"
#include "support/text_file.h"

#include <QFile>
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
} // namespace

class TestListFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entriesAndCount_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("crlf with blank lines")
            << QByteArray("a.com\r\n\r\nb.com\r\n")
            << QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")};
        QTest::newRow("last entry without line end")
            << QByteArray("a.com\nb.com") << QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")};
        QTest::newRow("lone cr") << QByteArray("a\rb\r")
                                 << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("a line of one blank is an entry")
            << QByteArray(" \r\n") << QStringList{QStringLiteral(" ")};
        QTest::newRow("only blank lines") << QByteArray("\r\n\n\r") << QStringList{};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        // Saved as "Unicode" by a Windows editor: UTF-16 with a byte-order mark.
        const QString text = QStringLiteral("caf\u00e9.com\r\n\r\nb.com\r\n");
        const QStringList entries{QStringLiteral("caf\u00e9.com"), QStringLiteral("b.com")};
        QTest::newRow("utf16le") << marked(QStringConverter::Utf16LE, text) << entries;
        QTest::newRow("utf16be lf") << marked(QStringConverter::Utf16BE,
                                              QString(text).remove(QLatin1Char('\r')))
                                    << entries;
        QTest::newRow("utf32le") << marked(QStringConverter::Utf32LE, text) << entries;
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << entries;
        QTest::newRow("a mark alone on a line is blank")
            << QByteArray("caf\xC3\xA9.com\r\n\xEF\xBB\xBF\r\nb.com\r\n") << entries;
    }

    void entriesAndCount()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        QVERIFY(TextFile::writeText(path, bytes));
        QCOMPARE(countListEntries(path), entries.size());
        ListFileReader reader;
        QVERIFY(reader.open(path));
        QStringList read;
        QString entry;
        while (reader.readEntry(&entry)) {
            read << entry;
            QCOMPARE(reader.entryNumber(), read.size());
        }
        QCOMPARE(read, entries);
    }

    void seekSkipsToAnEntryNumber_data()
    {
        QTest::addColumn<bool>("utf16");
        QTest::newRow("utf8") << false;
        QTest::newRow("utf16") << true;
    }

    void seekSkipsToAnEntryNumber()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        // The same in UTF-16: entries are counted by lines, whatever the encoding.
        const QString text = QStringLiteral("one\r\n\r\ntwo\r\nthree\r\nfour");
        QFETCH(bool, utf16);
        QVERIFY(TextFile::writeText(path, utf16 ? marked(QStringConverter::Utf16LE, text) : text.toUtf8()));
        ListFileReader reader;
        QVERIFY(reader.open(path));
        reader.seekEntry(3);
        QString entry;
        QVERIFY(reader.readEntry(&entry));
        QCOMPARE(entry, QStringLiteral("three"));
        QCOMPARE(reader.entryNumber(), 3);
        reader.seekEntry(10);
        QVERIFY(!reader.readEntry(&entry));
        QCOMPARE(reader.entryNumber(), 4);
    }

    void aListCutWhileReadIsNotGuessedAt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        QByteArray bytes;
        for (int i = 1; i <= 20000; ++i)
            bytes += "name" + QByteArray::number(i) + ".com\r\n";
        QVERIFY(TextFile::writeText(path, bytes));
        ListFileReader reader;
        QVERIFY(reader.open(path));
        QString entry;
        QVERIFY(reader.readEntry(&entry));
        // Cut in the middle of "name15000.com", well past what the first read took in.
        QVERIFY(QFile::resize(path, bytes.indexOf("name15000.com") + 6));
        QString last;
        while (reader.readEntry(&entry))
            last = entry;
        QCOMPARE(last, QStringLiteral("name14999.com"));
        QCOMPARE(reader.entryNumber(), 14999);
        QVERIFY(reader.hasShrunk());
        QVERIFY(!reader.hasError());
    }

    void aLineTooLongForANameIsCutAndADeviceHoldsNone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        QVERIFY(TextFile::writeText(path, "a.com\r\n" + QByteArray(200 * 1024, 'x') + "\r\nb.com\r\n"));
        QCOMPARE(countListEntries(path), 3);
        ListFileReader reader;
        QVERIFY(reader.open(path));
        QString entry;
        QStringList read;
        while (reader.readEntry(&entry))
            read << entry;
        // The search skips the cut line as no name and says so.
        QCOMPARE(read.size(), 3);
        QCOMPARE(read.at(1), QString(ListFileReader::MaxLineBytes, QLatin1Char('x')));
        QCOMPARE(read.at(2), QStringLiteral("b.com"));
        QCOMPARE(countListEntries(QStringLiteral("/dev/zero")), 0);
    }

    void missingFilesCountZero()
    {
        QCOMPARE(countListEntries(QStringLiteral("/no/such/list.txt")), 0);
        QCOMPARE(countListEntries(QString()), 0);
    }

    void searchTypesKeepTheirOrderCaptionsFilesAndKeys()
    {
        QStringList captions;
        for (SearchType type : allSearchTypes()) {
            captions << searchTypeCaption(type);
            QCOMPARE(searchTypeFromCaption(searchTypeCaption(type)), type);
        }
        QCOMPARE(captions, (QStringList{QStringLiteral("Browse for names"), QStringLiteral("Generate names"),
                                        QStringLiteral("Yahoo Search"), QStringLiteral("Google Search"),
                                        QStringLiteral("Full Word List"), QStringLiteral("All Two Letter"),
                                        QStringLiteral("All Three Letter"), QStringLiteral("All Four Letter"),
                                        QStringLiteral("Custom List")}));
        QCOMPARE(searchTypeListFile(SearchType::AllThreeLetter),
                 QStringLiteral("wordlists/AllThreeLetter.txt"));
        QCOMPARE(searchTypeListFile(SearchType::GoogleSearch), QStringLiteral("BrowserSearch.txt"));
        QCOMPARE(searchTypeCounterKey(SearchType::AllTwoLetter)->key, QStringLiteral("TwoWordNum"));
        QVERIFY(!searchTypeCounterKey(SearchType::GenerateNames));
        QVERIFY(!searchTypeFromCaption(QStringLiteral("full word list")));
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "test_list_file.moc"
