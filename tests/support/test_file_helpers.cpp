#include "../engine/file_size_limit.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"
#include "support/line_appender.h"
#include "support/text_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brisquel;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
}

} // namespace

class TestFileHelpers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void existenceIsExactAndFilesOnly()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Remembered.txt"));
        QVERIFY(TextFile::writeLines(file, {QStringLiteral("a.com")}));
        QVERIFY(fileExists(file));
        QVERIFY(!fileExists(dir.filePath(QStringLiteral("remembered.txt"))));
        QVERIFY(!fileExists(dir.path()));
        QVERIFY(!fileExists(QString()));
        QVERIFY(dirExists(dir.path()));
        QVERIFY(dirExists(dir.path() + QLatin1Char('/')));
        QVERIFY(!dirExists(file));
        QVERIFY(!dirExists(dir.filePath(QStringLiteral("missing"))));
    }

    void fileNamePartTakesTheLastComponent()
    {
        QCOMPARE(fileNamePart(QStringLiteral("/a/b/c.txt")), QStringLiteral("c.txt"));
        QCOMPARE(fileNamePart(QStringLiteral("c.txt")), QStringLiteral("c.txt"));
        QCOMPARE(fileNamePart(QStringLiteral("a\\b\\c.txt")), QStringLiteral("c.txt"));
        QCOMPARE(fileNamePart(QString()), QString());
    }

    void copyReplacesAndSurvivesAMissingSource()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("s.txt"));
        const QString target = dir.filePath(QStringLiteral("t.txt"));
        QVERIFY(!copyFileTo(source, target));
        QVERIFY(!QFile::exists(target));
        QVERIFY(TextFile::writeLines(source, {QStringLiteral("new")}));
        QVERIFY(TextFile::writeLines(target, {QStringLiteral("old"), QStringLiteral("longer")}));
        QVERIFY(copyFileTo(source, target));
        QStringList lines;
        QVERIFY(TextFile::readLines(target, &lines));
        QCOMPARE(lines, QStringList{QStringLiteral("new")});
        QVERIFY(!copyFileTo(source, dir.filePath(QStringLiteral("no/such/folder/t.txt"))));
    }

    void deliveredFilesNeverOverwriteTheUsers()
    {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QVERIFY(TextFile::writeLines(folder.path(QStringLiteral("Appends.txt")), {QStringLiteral("mine")}));
        QCOMPARE(folder.deliverFiles(), QStringList());
        QStringList lines;
        QVERIFY(TextFile::readLines(folder.path(QStringLiteral("Appends.txt")), &lines));
        QCOMPARE(lines, QStringList{QStringLiteral("mine")});

        lines.clear();
        QVERIFY(TextFile::readLines(folder.path(QStringLiteral("wordlists/AllTwoLetter.txt")), &lines));
        QCOMPARE(lines.size(), 26 * 26);
        QCOMPARE(lines.first(), QStringLiteral("aa"));
        QCOMPARE(lines.at(1), QStringLiteral("ab"));
        QCOMPARE(lines.last(), QStringLiteral("zz"));
        QCOMPARE(QFileInfo(folder.path(QStringLiteral("wordlists/AllFourLetter.txt"))).size(),
                 26 * 26 * 26 * 26 * 6);

        lines.clear();
        QVERIFY(TextFile::readLines(folder.path(QStringLiteral("wordlists/FullWordList.txt")), &lines));
        QVERIFY(lines.size() > 50000);
        QVERIFY(lines.contains(QStringLiteral("house")));
        QVERIFY(QFile::exists(folder.path(QStringLiteral("Help.html"))));
    }

    void rootComesFromHomeThenEnvironment()
    {
        qputenv("BRISQUEL_HOME", "/tmp/from-env");
        QCOMPARE(DataFolder::resolveRoot(
                     {QStringLiteral("prog"), QStringLiteral("--home"), QStringLiteral("/tmp/x")}),
                 QStringLiteral("/tmp/x"));
        QCOMPARE(DataFolder::resolveRoot({QStringLiteral("prog")}), QStringLiteral("/tmp/from-env"));
        qunsetenv("BRISQUEL_HOME");
        QVERIFY(!DataFolder::resolveRoot({QStringLiteral("prog")}).isEmpty());
        QCOMPARE(DataFolder(QStringLiteral("/r")).path(QStringLiteral("\\Overflow\\x.txt")),
                 QStringLiteral("/r/Overflow/x.txt"));
    }

    void wholeWritesKeepFifosAndRefuseFolders()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("out"));
        const QByteArray name = QFile::encodeName(fifo);
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        QString error;
        QVERIFY(!TextFile::writeText(fifo, "nobody reads\r\n", &error));
        QVERIFY2(error.contains(QStringLiteral("no program reads from it")), qPrintable(error));
        const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QVERIFY(TextFile::writeLines(fifo, {QStringLiteral("a.com")}, &error));
        const QString source = dir.filePath(QStringLiteral("source.txt"));
        QVERIFY(TextFile::writeLines(source, {QStringLiteral("b.com")}));
        QVERIFY(copyFileTo(source, fifo));
        char got[32] = {};
        QCOMPARE(::read(reader, got, sizeof(got)), 14);
        ::close(reader);
        QCOMPARE(QByteArray(got), QByteArray("a.com\r\nb.com\r\n"));
        struct stat status = {};
        QVERIFY(::stat(name.constData(), &status) == 0 && S_ISFIFO(status.st_mode));

        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(!TextFile::writeText(folder, "x", &error));
        QVERIFY2(error.endsWith(QStringLiteral("it is a folder")), qPrintable(error));
        QVERIFY(!copyFileTo(source, folder));
    }

    void readsOfDevicesAndFifosEnd()
    {
        QString error;
        QVERIFY(!readWhole(QStringLiteral("/dev/zero"), 1024 * 1024, &error));
        QCOMPARE(error, QStringLiteral("/dev/zero holds more than the 1 MB such a file may have"));
        QStringList lines;
        QVERIFY(!TextFile::readLines(QStringLiteral("/dev/zero"), &lines, &error, 1024 * 1024));
        QVERIFY(lines.isEmpty());

        // Data files read whole take no device: its size says nothing.
        QCOMPARE(oversizeProblem(QStringLiteral("/dev/zero"), 1024 * 1024),
                 QStringLiteral("/dev/zero is not a regular file"));

        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("in"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        // No writer: empty, at once.
        QCOMPARE(readWhole(fifo, 100, &error), QByteArray());
        const QString large = dir.filePath(QStringLiteral("large"));
        QVERIFY(TextFile::writeText(large, QByteArray(101, 'x')));
        QVERIFY(!readWhole(large, 100, &error));
        QVERIFY2(error.contains(QStringLiteral("more than the")), qPrintable(error));
    }

    // Lines wait until write() and go out together. The look at the path that each write takes
    // finds a file another program put in its place; a write that does not fit leaves no part of
    // its lines behind.
    void appendedLinesGoOutTogether()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Unanswered.txt"));
        LineAppender appender(path);
        QVERIFY(appender.append(QStringLiteral("first.com")));
        appender.add(QStringLiteral("second.com"));
        appender.add(QStringLiteral("third.com"));
        QVERIFY(appender.hasPending());
        QCOMPARE(contents(path), QByteArray("first.com\r\n"));

        // Rewritten through a new file meanwhile, its last line unended.
        QVERIFY(TextFile::writeText(path, "theirs.com"));
        QVERIFY(appender.write());
        QVERIFY(!appender.hasPending());
        const QByteArray written("theirs.com\r\nsecond.com\r\nthird.com\r\n");
        QCOMPARE(contents(path), written);

        appender.add(QStringLiteral("fourth.com"));
        appender.add(QStringLiteral("fifth.com"));
        QString cause;
        {
            // Room for one of the two lines.
            test::FileSizeLimit limit(rlim_t(written.size() + 12));
            QVERIFY(limit.isSet());
            QVERIFY(!appender.write(&cause));
        }
        QCOMPARE(cause, QStringLiteral("File too large"));
        QVERIFY(!appender.hasPending());
        QCOMPARE(contents(path), written);
        QVERIFY(appender.append(QStringLiteral("sixth.com")));
        QCOMPARE(contents(path), written + "sixth.com\r\n");
    }
};

QTEST_GUILESS_MAIN(TestFileHelpers)
#include "test_file_helpers.moc"
