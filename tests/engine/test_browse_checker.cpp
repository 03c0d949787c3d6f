#include "engine/search/browse_checker.h"
#include "engine/filing/live_list_files.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/filing/result_lists.h"
#include "engine/filing/verdict_filer.h"
#include "file_size_limit.h"
#include "support/text_file.h"
#include "tools/fake_drop_window.h"
#include "tools/fake_rdap_server.h"
#include "tools/fake_whois_server.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"

#include <QDir>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;

class TestBrowseChecker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filesAnswersAndKeepsUnansweredNamesThenWaitsForMore()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setFreeNames({QStringLiteral("freebie.com"), QStringLiteral("late.com")});
        server.setAnswerFor(QStringLiteral("throttled.com"),
                            "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n");
        server.setFaultFor(QStringLiteral("silent.com"), FakeWhoisServer::Fault::NeverAnswer);
        QTemporaryDir dir;
        const QString listPath = dir.filePath(QStringLiteral("BrowserSearch.txt"));
        const QString unansweredPath = dir.filePath(QStringLiteral("Unanswered.txt"));
        QVERIFY(TextFile::appendLines(listPath,
                                      {QStringLiteral("taken.com"), QString(), QStringLiteral("freebie.com"),
                                       QStringLiteral("throttled.com"), QStringLiteral("silent.com")}));
        const ExtensionTable table(
            {ExtensionRow{QStringLiteral("com"), QStringLiteral("127.0.0.1"), server.port(), true}});
        ResultLists lists;
        VerdictFiler filer(DataFolder(dir.path()), &lists, nullptr);
        const LookupRouter router(&table);
        BrowseChecker checker(listPath, &router, &filer);
        checker.setTimings({200, 2, 20, 50});
        QSignalSpy idle(&checker, &BrowseChecker::idle);
        QSignalSpy status(&checker, &BrowseChecker::statusText);

        checker.start();
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 10000);
        QCOMPARE(server.queries().mid(0, 4),
                 (QStringList{QStringLiteral("taken.com"), QStringLiteral("freebie.com"),
                              QStringLiteral("throttled.com"), QStringLiteral("silent.com")}));
        QCOMPARE(checker.entries(BrowseChecker::Column::Unregistered),
                 QStringList{QStringLiteral("freebie.com")});
        QCOMPARE(checker.entries(BrowseChecker::Column::Registered),
                 QStringList{QStringLiteral("taken.com")});
        QCOMPARE(checker.caption(BrowseChecker::Column::Unregistered), QStringLiteral("Unregistered: (1)"));
        QCOMPARE(checker.caption(BrowseChecker::Column::Registered), QStringLiteral("Registered: (1)"));
        QCOMPARE(lists.entries(ResultList::Mid), QStringList{QStringLiteral("freebie.com")});
        QCOMPARE(lists.entries(ResultList::Registered), QStringList{QStringLiteral("taken.com")});
        QStringList unanswered;
        QVERIFY(TextFile::readLines(unansweredPath, &unanswered));
        QCOMPARE(unanswered, (QStringList{QStringLiteral("throttled.com"), QStringLiteral("silent.com")}));
        QCOMPARE(status.last().first().toString(), QStringLiteral("Checked 2 unique domains."));

        // A later page appends a name: the waiting checker finds it by itself.
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("late.com")}));
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 2, 5000);
        QCOMPARE(checker.entries(BrowseChecker::Column::Unregistered),
                 (QStringList{QStringLiteral("freebie.com"), QStringLiteral("late.com")}));
        QCOMPARE(checker.nextEntry(), 5);

        // A name a search beside it put into Unanswered.txt meanwhile is not written twice.
        QVERIFY(filer.file(QStringLiteral("silent2.com"), Verdict::Unanswered).saved);
        server.setFaultFor(QStringLiteral("silent2.com"), FakeWhoisServer::Fault::NeverAnswer);
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("silent2.com")}));
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 3, 5000);
        QCOMPARE(checker.unansweredCount(), 3);
        QVERIFY(TextFile::readLines(unansweredPath, &unanswered));
        QCOMPARE(unanswered.count(QStringLiteral("silent2.com")), 1);
    }

    void uncheckedNamesCanBeKeptAsUnanswered()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        QTemporaryDir dir;
        const QString listPath = dir.filePath(QStringLiteral("BrowserSearch.txt"));
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("first.com"), QStringLiteral("second.com"),
                                                 QStringLiteral("third.com")}));
        const ExtensionTable table(
            {ExtensionRow{QStringLiteral("com"), QStringLiteral("127.0.0.1"), server.port(), true}});
        ResultLists lists;
        VerdictFiler filer(DataFolder(dir.path()), &lists, nullptr);
        const LookupRouter router(&table);
        BrowseChecker checker(listPath, &router, &filer);
        checker.setTimings({60000, 1, 20, 50});
        QSignalSpy status(&checker, &BrowseChecker::statusText);

        checker.start();
        QCOMPARE(status.last().first().toString(), QStringLiteral("Checking 1 of 3: first.com"));
        QCOMPARE(checker.uncheckedNames(),
                 (QStringList{QStringLiteral("first.com"), QStringLiteral("second.com"),
                              QStringLiteral("third.com")}));
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("fourth.com")}));
        QCOMPARE(checker.entryTotal(), 4);
        QTRY_COMPARE(server.queries(), QStringList{QStringLiteral("first.com")});

        QString error;
        QVERIFY(checker.fileUncheckedAsUnanswered(&error));
        QStringList unanswered;
        QVERIFY(TextFile::readLines(dir.filePath(QStringLiteral("Unanswered.txt")), &unanswered));
        QCOMPARE(unanswered.size(), 4);
        QVERIFY(checker.uncheckedNames().isEmpty());
        QVERIFY(!checker.isChecking());
        // Ended: nothing more is asked.
        QTest::qWait(100);
        QCOMPARE(server.queries(), QStringList{QStringLiteral("first.com")});
    }

    void aFullDiskTakesTheFindBackAndStopsTheChecker()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setFreeNames({QStringLiteral("freebie.com"), QStringLiteral("freeabcdefgh1.com")});
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        const QString listPath = dir.filePath(QStringLiteral("BrowserSearch.txt"));
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("taken.com"), QStringLiteral("freebie.com"),
                                                 QStringLiteral("freeabcdefgh1.com")}));
        const ExtensionTable table(
            {ExtensionRow{QStringLiteral("com"), QStringLiteral("127.0.0.1"), server.port(), true}});
        const LookupRouter router(&table);
        ResultLists lists;
        LiveListFiles listFiles(folder, &lists);
        VerdictFiler filer(folder, &lists, &listFiles);
        BrowseChecker checker(listPath, &router, &filer);
        checker.setTimings({200, 2, 20, 50});
        QSignalSpy problems(&checker, &BrowseChecker::problem);

        // Files of this process may hold 5 bytes: no find fits.
        test::FileSizeLimit limit(5);
        QVERIFY(limit.isSet());
        checker.start();
        const bool told = QTest::qWaitFor([&] { return problems.size() > 0; }, 5000);
        QTest::qWait(200);
        limit.lift();
        QVERIFY(told);
        QCOMPARE(problems.first().first().toString(),
                 QStringLiteral("Cannot write HighProfile.txt: File too large. Checking stopped at freebie.com; "
                                "free some space, then open a page to go on."));
        // Neither listed nor counted, and nothing after it was checked.
        QCOMPARE(lists.entries(ResultList::Mid), QStringList());
        QCOMPARE(checker.entries(BrowseChecker::Column::Unregistered), QStringList());
        QCOMPARE(checker.checkedCount(), 1);
        QCOMPARE(server.queries().count(QStringLiteral("freeabcdefgh1.com")), 0);

        // With room again, going on starts from the name that failed.
        QSignalSpy idle(&checker, &BrowseChecker::idle);
        checker.checkNext();
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(checker.entries(BrowseChecker::Column::Unregistered),
                 (QStringList{QStringLiteral("freebie.com"), QStringLiteral("freeabcdefgh1.com")}));
        QCOMPARE(lists.entries(ResultList::Mid), QStringList{QStringLiteral("freebie.com")});
    }

    void freeNamesAreConfirmedAndDroppingNamesListed()
    {
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        test::FakeRdapServer rdap;
        QVERIFY(rdap.listen());
        whois.setFreeNames({QStringLiteral("freebie.com"), QStringLiteral("ghost.com")});
        QTemporaryDir dir;
        const QString listPath = dir.filePath(QStringLiteral("BrowserSearch.txt"));
        QVERIFY(TextFile::appendLines(listPath, {QStringLiteral("freebie.com"), QStringLiteral("ghost.com"),
                                                 QStringLiteral("dropzone.com")}));
        const ExtensionTable table(
            {ExtensionRow{QStringLiteral("com"), QStringLiteral("127.0.0.1"), whois.port(), true}});
        LookupRouter router(&table);
        auto bootstrap = std::make_shared<RdapBootstrap>();
        QVERIFY(bootstrap->load("{\"services\": [[[\"com\"], [\"" + rdap.baseUrl().toUtf8() + "\"]]]}"));
        router.setRdapBootstrap(bootstrap);
        ResultLists lists;
        VerdictFiler filer(DataFolder(dir.path()), &lists, nullptr);
        BrowseChecker checker(listPath, &router, &filer);
        checker.setTimings({200, 2, 20, 50});
        QSignalSpy idle(&checker, &BrowseChecker::idle);
        checker.start();
        QTRY_COMPARE_WITH_TIMEOUT(idle.size(), 1, 5000);
        QCOMPARE(rdap.queries(), (QStringList{QStringLiteral("freebie.com"), QStringLiteral("ghost.com")}));
        QCOMPARE(checker.entries(BrowseChecker::Column::Unregistered),
                 QStringList{QStringLiteral("freebie.com")});
        QCOMPARE(checker.entries(BrowseChecker::Column::Registered),
                 (QStringList{QStringLiteral("ghost.com"), QStringLiteral("dropzone.com")}));
        QStringList dropping;
        QVERIFY(TextFile::readLines(dir.filePath(QStringLiteral("Dropping.txt")), &dropping));
        QCOMPARE(dropping, QStringList{QStringLiteral("dropzone.com\tredemptionPeriod\t2030-08-13\t") +
                                       test::fakeDropWindow()});
    }

    void clearAndDeleteSetTheCaptions()
    {
        QTemporaryDir dir;
        ResultLists lists;
        const ExtensionTable table;
        VerdictFiler filer(DataFolder(dir.path()), &lists, nullptr);
        const LookupRouter router(&table);
        BrowseChecker checker(dir.filePath(QStringLiteral("none.txt")), &router, &filer);
        checker.model(BrowseChecker::Column::Registered)
            ->setStringList({QStringLiteral("a.com"), QStringLiteral("b.com")});
        QVERIFY(checker.deleteEntry(BrowseChecker::Column::Registered, 0));
        QVERIFY(!checker.deleteEntry(BrowseChecker::Column::Registered, 5));
        QCOMPARE(checker.caption(BrowseChecker::Column::Registered), QStringLiteral("Registered (1)"));
        checker.clear(BrowseChecker::Column::Registered);
        QCOMPARE(checker.entries(BrowseChecker::Column::Registered), QStringList());
        QCOMPARE(checker.caption(BrowseChecker::Column::Registered), QStringLiteral("Registered"));
    }
};

QTEST_GUILESS_MAIN(TestBrowseChecker)
#include "test_browse_checker.moc"
