#include "engine/filing/check_history.h"
#include "engine/filing/live_list_files.h"
#include "engine/filing/remembered_list.h"
#include "engine/filing/result_lists.h"
#include "engine/filing/verdict_filer.h"
#include "file_size_limit.h"
#include "support/text_file.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

QStringList lines(const QString& path)
{
    QStringList result;
    TextFile::readLines(path, &result);
    return result;
}

// The n-th of many names that go to the given list; High Profile labels are too short for
// all of them to differ.
QString numbered(ResultList list, int n)
{
    // High Profile labels are short: base 36 gives 20000 different ones in four characters.
    if (list == ResultList::High)
        return QString::number(n, 36) + QStringLiteral(".com");
    const QLatin1String label(list == ResultList::Mid ? "m" : "lowlabel");
    return QStringLiteral("%1%2.com").arg(label).arg(n, 6, 10, QLatin1Char('0'));
}

// The names of the verdicts it was given.
struct RecordedNames : CheckHistory
{
    void record(const CheckRecord& record) override { names << record.name; }
    QHash<QString, TakenCheck> takenSince(const QDateTime&) override { return {}; }
    QHash<QString, CheckRecord> latestOf(const QStringList&) override { return {}; }
    void flush() override {}

    QStringList names;
};

const QDateTime FirstOverflow(QDate(2026, 12, 6), QTime(8, 36, 18));
const QDateTime SecondOverflow(QDate(2026, 12, 6), QTime(23, 5, 9));

// A data folder with the lists and their files, as the main window wires them.
struct Fixture
{
    explicit Fixture(const QString& root)
        : folder(root)
        , files(folder, &lists)
    {
        files.setClock([this] { return now; });
    }

    bool liveFilesMirrorTheLists() const
    {
        for (ResultList list : {ResultList::Low, ResultList::Mid, ResultList::High}) {
            if (contents(files.liveFilePath(list)) != TextFile::joinLines(lists.entries(list)))
                return false;
        }
        return true;
    }

    // Files a name the way a filer does with a batch of one: into the list, then to disk.
    void file(const QString& name)
    {
        lists.addAvailableName(name);
        files.saveLiveLists();
    }

    // Files available names one batch each; each is followed by the overflow check.
    int fileNames(ResultList list, int count, int first = 0)
    {
        int overflows = 0;
        for (int i = first; i < first + count; ++i) {
            file(numbered(list, i));
            overflows += files.overflowCheck() ? 1 : 0;
        }
        return overflows;
    }

    DataFolder folder;
    ResultLists lists;
    LiveListFiles files;
    QDateTime now = FirstOverflow;
};

} // namespace

class TestListFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void namesFollowTheStamp()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        QCOMPARE(f.files.backupStamp(), QString());
        QCOMPARE(f.files.liveFilePath(ResultList::Low), dir.filePath(QStringLiteral("LowProfile.txt")));
        QCOMPARE(f.files.liveFilePath(ResultList::Mid), dir.filePath(QStringLiteral("HighProfile.txt")));
        QCOMPARE(f.files.liveFilePath(ResultList::High),
                 dir.filePath(QStringLiteral("SuperHighProfile.txt")));
        QCOMPARE(f.files.overflowFilePath(ResultList::Mid),
                 dir.filePath(QStringLiteral("overflow/HighProfile.txt")));
        QCOMPARE(f.files.liveFilePath(ResultList::Registered), QString());

        QCOMPARE(f.files.newBackupStamp(), QStringLiteral("126202683618AM"));
        QCOMPARE(f.files.liveFilePath(ResultList::Mid),
                 dir.filePath(QStringLiteral("HighProfile126202683618AM.txt")));
        QCOMPARE(f.files.overflowFilePath(ResultList::High),
                 dir.filePath(QStringLiteral("overflow/SuperHighProfile126202683618AM.txt")));
        QCOMPARE(contents(dir.filePath(QStringLiteral("backups/HighProfile126202683618AM.txt"))),
                 QByteArray(" \r\n \r\n"));
        QCOMPARE(contents(dir.filePath(QStringLiteral("backups/MidProfile126202683618AM.txt"))),
                 QByteArray(" \r\n"));

        f.now = SecondOverflow;
        QCOMPARE(f.files.newBackupStamp(), QStringLiteral("1262026110509PM"));
        QCOMPARE(f.files.backupStamp(), QStringLiteral("1262026110509PM"));
        // A second overflow within the same second gets names of its own.
        QCOMPARE(f.files.newBackupStamp(), QStringLiteral("1262026110509PM-2"));
    }

    void aFileReplacedByAnotherProgramGetsTheNextFinds()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.file(QStringLiteral("lowlabel1.com"));
        f.file(QStringLiteral("lowlabel2.com"));
        // Another search on the folder rewrites the file through a new one, its last line unended.
        const QString path = f.files.liveFilePath(ResultList::Low);
        QVERIFY(TextFile::writeText(path, "theirs1.com\r\ntheirs2.com"));
        f.file(QStringLiteral("lowlabel3.com"));
        QVERIFY(f.files.isSaved(ResultList::Low));
        QCOMPARE(contents(path), QByteArray("theirs1.com\r\ntheirs2.com\r\nlowlabel3.com\r\n"));
        // Removed altogether: the next find starts the file again instead of going nowhere.
        QVERIFY(QFile::remove(path));
        f.file(QStringLiteral("lowlabel4.com"));
        QCOMPARE(contents(path), QByteArray("lowlabel4.com\r\n"));
    }

    void liveFilesMirrorTheListsAfterEveryFiling()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        // Left over from an earlier run: the first filing replaces it.
        QVERIFY(TextFile::writeLines(f.files.liveFilePath(ResultList::Low), {QStringLiteral("old.com")}));

        const char* domains[] = {"abcde.com", "abcd.com",         "abcdefgh.com",   ".com",
                                 "abcd.com",  "xn--bcher-kva.de", "abcdefghijk.net"};
        for (const char* domain : domains) {
            f.file(QString::fromLatin1(domain));
            QVERIFY2(f.liveFilesMirrorTheLists(), domain);
        }
        // Found twice, written once.
        QCOMPARE(lines(dir.filePath(QStringLiteral("SuperHighProfile.txt"))),
                 QStringList{QStringLiteral("abcd.com")});
        QCOMPARE(lines(dir.filePath(QStringLiteral("LowProfile.txt"))),
                 (QStringList{QStringLiteral("abcdefgh.com"), QStringLiteral("xn--bcher-kva.de"),
                              QStringLiteral("abcdefghijk.net")}));
        // What the earlier run left is kept, once, before it is replaced.
        QCOMPARE(lines(dir.filePath(QStringLiteral("backups/LowProfile-20261206-083618.txt"))),
                 QStringList{QStringLiteral("old.com")});
        QCOMPARE(QDir(dir.filePath(QStringLiteral("backups"))).entryList(QDir::Files).size(), 1);
    }

    void editsReachTheFilesWithTheNextFiling()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        for (const char* domain : {"abcde.com", "bcdef.com", "cdefg.com", "abcd.com"})
            f.file(QString::fromLatin1(domain));
        const QString mid = f.files.liveFilePath(ResultList::Mid);
        const QByteArray before = contents(mid);

        QVERIFY(f.lists.deleteEntry(ResultList::Mid, 1));
        f.lists.clear(ResultList::High);
        QCOMPARE(contents(mid), before);

        f.file(QStringLiteral("abcdefgh.com"));
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(lines(mid), (QStringList{QStringLiteral("abcde.com"), QStringLiteral("cdefg.com")}));
        QCOMPARE(contents(f.files.liveFilePath(ResultList::High)), QByteArray());

        // An edit followed by a filing into the same list.
        QVERIFY(f.lists.deleteEntry(ResultList::Mid, 0));
        f.file(QStringLiteral("defgh.com"));
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(lines(mid), (QStringList{QStringLiteral("cdefg.com"), QStringLiteral("defgh.com")}));
    }

    // Finds wait for their batch: its lines go out together, a file replaced meanwhile gets them
    // all, and an edit before the batch is written has the file rewritten whole, the waiting
    // names with it.
    void findsWaitForTheirBatch()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.file(QStringLiteral("lowlabel1.com"));
        const QString path = f.files.liveFilePath(ResultList::Low);
        f.lists.addAvailableName(QStringLiteral("lowlabel2.com"));
        f.lists.addAvailableName(QStringLiteral("lowlabel3.com"));
        QCOMPARE(contents(path), QByteArray("lowlabel1.com\r\n"));
        QVERIFY(!f.files.isSaved(ResultList::Low));

        QVERIFY(TextFile::writeText(path, "theirs.com\r\n"));
        f.files.saveLiveLists();
        QVERIFY(f.files.isSaved(ResultList::Low));
        QCOMPARE(contents(path), QByteArray("theirs.com\r\nlowlabel2.com\r\nlowlabel3.com\r\n"));

        f.lists.addAvailableName(QStringLiteral("lowlabel4.com"));
        QVERIFY(f.lists.deleteEntry(ResultList::Low, 0));
        f.files.saveLiveLists();
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(lines(path), (QStringList{QStringLiteral("lowlabel2.com"), QStringLiteral("lowlabel3.com"),
                                           QStringLiteral("lowlabel4.com")}));
    }

    // A batch is on disk or taken back, file by file: finds whose file could not take them leave
    // their list, and the history hears only of what reached the disk. The next batch brings the
    // file level again.
    void aBatchIsSavedOrTakenBack()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        VerdictFiler filer(f.folder, &f.lists, &f.files);
        RecordedNames history;
        filer.setHistory(&history);
        QVERIFY(filer.file(QStringLiteral("lowlabel1.com"), Verdict::Available).saved);
        for (const char* name : {"lowlabel2.com", "lowlabel3.com", "lowlabel4.com"})
            QCOMPARE(filer.stage(QLatin1String(name), Verdict::Available).detail,
                     QStringLiteral("Low Profile"));
        filer.stage(QStringLiteral("silent.com"), Verdict::Unanswered, QStringLiteral("no answer"));
        filer.stage(QStringLiteral("taken.com"), Verdict::Registered);
        QCOMPARE(f.lists.entryCount(ResultList::Low), 4);
        QCOMPARE(history.names, QStringList{QStringLiteral("lowlabel1.com")});

        std::vector<VerdictFiler::Filed> filed;
        {
            // Room for Unanswered.txt's line, not for three more finds in LowProfile.txt.
            test::FileSizeLimit limit(40);
            QVERIFY(limit.isSet());
            filed = filer.writeStaged();
        }
        QCOMPARE(filed.size(), size_t(5));
        for (size_t i = 0; i < 3; ++i) {
            QVERIFY(!filed[i].saved);
            QCOMPARE(filed[i].file, QStringLiteral("LowProfile.txt"));
            QCOMPARE(filed[i].cause, QStringLiteral("File too large"));
        }
        QVERIFY(filed[3].saved && filed[4].saved);
        QCOMPARE(f.lists.entries(ResultList::Low), QStringList{QStringLiteral("lowlabel1.com")});
        QCOMPARE(contents(f.files.liveFilePath(ResultList::Low)), QByteArray("lowlabel1.com\r\n"));
        QCOMPARE(lines(filer.unansweredFilePath()), QStringList{QStringLiteral("silent.com")});
        QCOMPARE(f.lists.entries(ResultList::Registered), QStringList{QStringLiteral("taken.com")});
        QCOMPARE(history.names, (QStringList{QStringLiteral("lowlabel1.com"), QStringLiteral("silent.com"),
                                             QStringLiteral("taken.com")}));

        filer.stage(QStringLiteral("lowlabel5.com"), Verdict::Available);
        QVERIFY(filer.writeStaged().front().saved);
        QVERIFY(f.liveFilesMirrorTheLists());
        QVERIFY(filer.writeStaged().empty());
    }

    void saveLiveListsWritesListsNeverFiled()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.files.saveLiveLists();
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(contents(f.files.liveFilePath(ResultList::Low)), QByteArray());
    }

    void midListOverflowsAllThreeAndKeepsSaved()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("overflow")));
        QVERIFY(
            TextFile::writeLines(f.files.overflowFilePath(ResultList::Low), {QStringLiteral("earlier.run")}));
        f.lists.setSaved({QStringLiteral("kept.com")});
        f.lists.addRegisteredName(QStringLiteral("taken.com"));
        QSignalSpy overflowed(&f.files, &LiveListFiles::overflowed);

        QCOMPARE(f.fileNames(ResultList::High, 10), 0);
        QCOMPARE(f.fileNames(ResultList::Low, 5), 0);
        // Each filing appends (bench/filing_bench times it).
        QCOMPARE(f.fileNames(ResultList::Mid, LiveListFiles::OverflowLimit - 1), 0);
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(overflowed.size(), 0);

        QCOMPARE(f.fileNames(ResultList::Mid, 1, LiveListFiles::OverflowLimit - 1), 1);
        QCOMPARE(overflowed.size(), 1);

        // The first overflow of the run: the stamp was still empty.
        const QStringList overflowMid = lines(dir.filePath(QStringLiteral("overflow/HighProfile.txt")));
        QCOMPARE(overflowMid.size(), LiveListFiles::OverflowLimit);
        QCOMPARE(overflowMid.first(), numbered(ResultList::Mid, 0));
        QCOMPARE(overflowMid.last(), numbered(ResultList::Mid, LiveListFiles::OverflowLimit - 1));
        QCOMPARE(lines(dir.filePath(QStringLiteral("overflow/SuperHighProfile.txt"))).size(), 10);
        const QStringList overflowLow = lines(dir.filePath(QStringLiteral("overflow/LowProfile.txt")));
        QCOMPARE(overflowLow.size(), 5);
        QVERIFY(!overflowLow.contains(QStringLiteral("earlier.run")));
        QCOMPARE(lines(dir.filePath(QStringLiteral("backups/overflow-LowProfile-20261206-083618.txt"))),
                 QStringList{QStringLiteral("earlier.run")});
        for (const QString& name : QDir(dir.filePath(QStringLiteral("overflow"))).entryList(QDir::Files))
            QVERIFY2(!contents(dir.filePath(QStringLiteral("overflow/")) + name).contains("taken.com"),
                     qPrintable(name));

        for (ResultList list : {ResultList::Low, ResultList::Registered, ResultList::High, ResultList::Mid}) {
            QCOMPARE(f.lists.entryCount(list), 0);
            QCOMPARE(f.lists.counter(list), qint64(0));
        }
        QCOMPARE(f.lists.entries(ResultList::Saved), QStringList{QStringLiteral("kept.com")});
        QCOMPARE(f.lists.caption(ResultList::Mid), QStringLiteral("Mid Profile (20000, 20000 new)"));
        QCOMPARE(f.files.backupStamp(), QStringLiteral("126202683618AM"));

        // The old live files keep the full lists; the next name starts the new set.
        QCOMPARE(lines(dir.filePath(QStringLiteral("HighProfile.txt"))).size(), LiveListFiles::OverflowLimit);
        QCOMPARE(lines(dir.filePath(QStringLiteral("SuperHighProfile.txt"))).size(), 10);
        f.file(QStringLiteral("abcdefgh.com"));
        QCOMPARE(f.files.liveFilePath(ResultList::Low),
                 dir.filePath(QStringLiteral("LowProfile126202683618AM.txt")));
        QVERIFY(f.liveFilesMirrorTheLists());
        QCOMPARE(lines(f.files.liveFilePath(ResultList::Low)), QStringList{QStringLiteral("abcdefgh.com")});
        QCOMPARE(lines(dir.filePath(QStringLiteral("HighProfile.txt"))).size(), LiveListFiles::OverflowLimit);
        QCOMPARE(f.lists.caption(ResultList::Low), QStringLiteral("Low Profile (1, 1 new)"));

        // A second overflow writes under the stamp of the first.
        f.now = SecondOverflow;
        QCOMPARE(f.fileNames(ResultList::Low, LiveListFiles::OverflowLimit - 1), 1);
        QCOMPARE(lines(dir.filePath(QStringLiteral("overflow/LowProfile126202683618AM.txt"))).size(),
                 LiveListFiles::OverflowLimit);
        QCOMPARE(f.files.backupStamp(), QStringLiteral("1262026110509PM"));
        QCOMPARE(overflowed.size(), 2);
    }

    void overflowThatCannotBeSavedKeepsTheLists()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        // A file where the folder should be: it cannot be created.
        QVERIFY(TextFile::writeLines(dir.filePath(QStringLiteral("overflow")), {}));
        QSignalSpy failed(&f.files, &LiveListFiles::writeFailed);
        QSignalSpy overflowed(&f.files, &LiveListFiles::overflowed);

        QCOMPARE(f.fileNames(ResultList::High, LiveListFiles::OverflowLimit + 1), 0);
        QCOMPARE(overflowed.size(), 0);
        QCOMPARE(f.lists.entryCount(ResultList::High), LiveListFiles::OverflowLimit + 1);
        QCOMPARE(f.files.backupStamp(), QString());
        // One report per file, however often it is tried.
        QCOMPARE(failed.size(), 3);
        QVERIFY(failed.at(0).at(0).toString().contains(QStringLiteral("overflow/LowProfile.txt")));

        // Once the folder can be made, the next check saves and resets.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("overflow"))));
        QVERIFY(f.files.overflowCheck());
        QCOMPARE(lines(dir.filePath(QStringLiteral("overflow/SuperHighProfile.txt"))).size(),
                 LiveListFiles::OverflowLimit + 1);
        QCOMPARE(f.lists.entryCount(ResultList::High), 0);
    }

    void unwritableFolderIsReportedOnceAndFilingGoesOn()
    {
        QTemporaryDir dir;
        // Below a plain file nothing can be created, whoever runs the test.
        QVERIFY(TextFile::writeLines(dir.filePath(QStringLiteral("blocked")), {}));
        Fixture f(dir.filePath(QStringLiteral("blocked/data")));
        QSignalSpy failed(&f.files, &LiveListFiles::writeFailed);

        QCOMPARE(f.fileNames(ResultList::High, 50), 0);
        f.lists.addAvailableName(QStringLiteral("abcdefgh.com"));
        f.files.saveLiveLists();
        QCOMPARE(f.lists.entryCount(ResultList::High), 50);
        QCOMPARE(failed.size(), 3);
        QStringList messages;
        for (const QList<QVariant>& arguments : failed)
            messages << arguments.at(0).toString();
        QVERIFY(messages.join(QLatin1Char('\n')).contains(QStringLiteral("SuperHighProfile.txt")));
        QVERIFY(messages.join(QLatin1Char('\n')).contains(QStringLiteral("LowProfile.txt")));
    }

    void removedFileIsRecreatedWhole()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.file(QStringLiteral("abcd.com"));
        // The user moves the file away while a search runs; an edit brings it back whole.
        QVERIFY(QFile::remove(f.files.liveFilePath(ResultList::High)));
        f.file(QStringLiteral("bcde.com"));
        QCOMPARE(lines(f.files.liveFilePath(ResultList::High)), QStringList{QStringLiteral("bcde.com")});
        f.lists.clear(ResultList::Low);
        f.file(QStringLiteral("cdef.com"));
        f.files.saveLiveLists();
        QCOMPARE(lines(f.files.liveFilePath(ResultList::Low)), QStringList());
    }

    void rememberedListSkipsBlankLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Remembered.txt"));
        QVERIFY(TextFile::writeText(path, QByteArray("\r\n \r\nfirst.com\r\n\r\nsecond.net\n \rthird.org")));
        QCOMPARE(RememberedList::load(path),
                 (QStringList{QStringLiteral("first.com"), QStringLiteral("second.net"),
                              QStringLiteral("third.org")}));

        QString error;
        QCOMPARE(RememberedList::load(dir.filePath(QStringLiteral("missing.txt")), &error), QStringList());
        QVERIFY(error.isEmpty());
    }

    void rememberedListIsSavedWholeWithCrLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Remembered.txt"));
        QVERIFY(TextFile::writeLines(path, {QStringLiteral("old.com"), QStringLiteral("older.com")}));
        QVERIFY(RememberedList::save(path, {QStringLiteral("a.com"), QStringLiteral("a.com")}));
        QCOMPARE(contents(path), QByteArray("a.com\r\na.com\r\n"));
        QVERIFY(RememberedList::save(path, {}));
        QCOMPARE(contents(path), QByteArray());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Remembered.txt")});

        QString error;
        QVERIFY(!RememberedList::save(dir.filePath(QStringLiteral("no/such/Remembered.txt")), {}, &error));
        QVERIFY(error.contains(QStringLiteral("Remembered.txt")));
    }
};

QTEST_GUILESS_MAIN(TestListFiles)
#include "test_list_files.moc"
