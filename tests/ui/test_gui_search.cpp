#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/filing/verdict_filer.h"
#include "engine/search/watch_run.h"
#include "engine/search/watch_schedule.h"
#include "main_window_controls.h"
#include "support/settings_store.h"
#include "tools/fake_dns_server.h"
#include "tools/fake_drop_window.h"
#include "tools/fake_whois_server.h"
#include "ui/file_dialog.h"
#include "ui/generator_window.h"
#include "ui/message_log.h"
#include "ui/settings_window/settings_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeDnsServer;
using brisquel::test::FakeWhoisServer;
using brisquel::test::WindowFixture;

namespace {

constexpr int SearchTimeoutMs = 15000;

// A window whose lookups all go to a fake WHOIS server on 127.0.0.1.
struct SearchFixture : WindowFixture
{
    SearchFixture()
    {
        server.listen();
        open();
        window->searchDriver()->changeSetting(&SearchSettings::serverOverride,
                                              ServerOverride{QStringLiteral("127.0.0.1"), server.port()});
        window->searchDriver()->changeSetting(&SearchSettings::timings, {2000, 1});
    }

    void chooseCustomList(const QByteArray& bytes)
    {
        write(QStringLiteral("wordlists/mine.txt"), bytes);
        FileDialog::setNextFileName(path(QStringLiteral("wordlists/mine.txt")));
        test::toolsMenuItem(window.get(), SearchType::CustomList)->trigger();
    }

    FakeWhoisServer server;
};

void verifyRunning(MainWindow* window)
{
    QVERIFY(window->isSearching());
    QVERIFY(!test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());
    QVERIFY(!test::child<QComboBox>(window, "Combo1")->isEnabled());
    QVERIFY(!test::child<QLineEdit>(window, "txtWordNum")->isEnabled());
    QVERIFY(!test::child<QComboBox>(window, "Combo2")->isEnabled());
    QVERIFY(!test::child<QPushButton>(window, "cmdCreate")->isEnabled());
    QVERIFY(!test::child<QLineEdit>(window, "txtSearch")->isEnabled());
    QVERIFY(!test::child<QMenu>(window, "mnuTools")->isEnabled());
    QVERIFY(test::child<QPushButton>(window, "Command3")->isEnabled());
    QVERIFY(!test::child<QProgressBar>(window, "searchProgress")->isHidden());
}

void verifyIdle(MainWindow* window)
{
    QVERIFY(!window->isSearching());
    QVERIFY(test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());
    QVERIFY(!test::child<QPushButton>(window, "Command3")->isEnabled());
    QVERIFY(test::child<QComboBox>(window, "Combo1")->isEnabled());
    QVERIFY(test::child<QLineEdit>(window, "txtWordNum")->isEnabled());
    QVERIFY(test::child<QMenu>(window, "mnuTools")->isEnabled());
    QVERIFY(test::child<QProgressBar>(window, "searchProgress")->isHidden());
    QCOMPARE(test::child<QLabel>(window, "Panel1")->text(), QStringLiteral("Entry Status"));
    QCOMPARE(test::child<QLabel>(window, "Panel2")->text(), QStringLiteral("Open Connections"));
    QCOMPARE(test::child<QLabel>(window, "Panel3")->text(), QStringLiteral("Connection Status"));
}

} // namespace

class TestGuiSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { MessageBox::clearShown(); }

    void searchFillsTheLists()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.server.setFaultFor(QStringLiteral("silent.com"), FakeWhoisServer::Fault::CloseWithoutData);
        fixture.chooseCustomList(
            "free.com\r\n\r\nfree1.com\r\ntaken.com\r\nfreeabcdefgh.com\r\nsilent.com\r\n"
            "dropzone.com\r\n");
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("6"));

        test::child<QPushButton>(window, "cmdDoSearch")->click();
        verifyRunning(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        verifyIdle(window);
        QVERIFY(MessageBox::shown().isEmpty());

        ResultLists* lists = window->resultLists();
        QCOMPARE(lists->entries(ResultList::High), QStringList{QStringLiteral("free.com")});
        QCOMPARE(lists->entries(ResultList::Mid), QStringList{QStringLiteral("free1.com")});
        QCOMPARE(lists->entries(ResultList::Low), QStringList{QStringLiteral("freeabcdefgh.com")});
        QCOMPARE(lists->entryCount(ResultList::Registered), 2);
        QCOMPARE(test::child<QLabel>(window, "Label3")->text(), QStringLiteral("High Profile (1, 1 new)"));
        QCOMPARE(test::child<QLabel>(window, "Label2")->text(), QStringLiteral("Registered (2, 2 new)"));
        QVERIFY(!test::child<QLabel>(window, "unansweredLabel")->isHidden());
        QCOMPARE(test::child<QLabel>(window, "unansweredLabel")->text(), QStringLiteral("Unanswered: 1"));
        QCOMPARE(fixture.read(QStringLiteral("LowProfile.txt")), QByteArray("freeabcdefgh.com\r\n"));
        // The taken name in its redemption period is listed for watching, and the window says so.
        QCOMPARE(fixture.read(QStringLiteral("Dropping.txt")),
                 "dropzone.com\tredemptionPeriod\t2030-08-13\t" + test::fakeDropWindow().toLatin1() + "\r\n");
        const QString logged = window->messageLog()->entries().last().text;
        QVERIFY2(logged.contains(QLatin1String("1 taken name about to drop")), qPrintable(logged));

        // The list was searched to its end, so it is offered from its start again.
        QCOMPARE(window->settings()->value(SettingKeys::customListPosition()), QStringLiteral("7"));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordNum")->text(), QStringLiteral("1"));
        // The status bar has the counts in a line; the log in sentences, the dropping names too.
        QCOMPARE(window->noticeText(),
                 QStringLiteral("Search finished: 6 checked, 3 free, 2 taken, 1 unanswered · 1 dropping"));
        QVERIFY2(logged.startsWith(QStringLiteral("Search finished: 6 checked, 3 free, 2 taken, 1 unanswered. "
                                                  "This search found")),
                 qPrintable(logged));
        QVERIFY(test::child<QLabel>(window, "droppingPanel")->isHidden());

        // Searched again, the same names are not listed or written twice.
        const QStringList high = lists->entries(ResultList::High);
        const QByteArray lowFile = fixture.read(QStringLiteral("LowProfile.txt"));
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        QCOMPARE(lists->entries(ResultList::High), high);
        QCOMPARE(lists->entries(ResultList::Low), QStringList{QStringLiteral("freeabcdefgh.com")});
        QCOMPARE(fixture.read(QStringLiteral("LowProfile.txt")), lowFile);
        QCOMPARE(test::child<QLabel>(window, "Label3")->text(), QStringLiteral("High Profile (1, 1 new)"));
    }

    void generatorSaysWhenItsSearchEnded()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        test::toolsMenuItem(window, SearchType::GenerateNames)->trigger();
        QVERIFY(test::companion<GeneratorWindow>(window));
        fixture.write(QStringLiteral("CreatedDomains.txt"), "free1.com\r\nfree2.com\r\n");
        window->searchCreatedNames(2);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        QCOMPARE(test::child<QLineEdit>(test::companion<GeneratorWindow>(window), "txtStatus")->text(),
                 QStringLiteral("Search finished: 2 checked, 2 free, 0 taken, 0 unanswered"));
    }

    void aSecondSearchOnTheDataFolderDoesNotStart()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.chooseCustomList("free.com\r\n");
        // Another search (here: another filer on the same folder) holds it.
        ResultLists otherLists;
        VerdictFiler other(DataFolder(fixture.home), &otherLists, nullptr);
        QVERIFY(other.claim(nullptr));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QVERIFY(!window->isSearching());
        QVERIFY(MessageBox::shown().last().text.startsWith(
            QStringLiteral("Another search is writing into this data folder")));
        QVERIFY(test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());

        other.release();
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        QCOMPARE(window->resultLists()->entries(ResultList::High), QStringList{QStringLiteral("free.com")});
    }

    void setupTurnsTheDnsPrecheckOn()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        FakeDnsServer dns;
        QVERIFY(dns.listen());
        dns.addDelegated(QStringLiteral("taken.com"));
        fixture.server.setFaultFor(QStringLiteral("slow.com"), FakeWhoisServer::Fault::NeverAnswer);
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* setup = test::companion<SettingsWindow>(window);
        test::child<QCheckBox>(setup, "chkDns")->setChecked(true);
        test::child<QLineEdit>(setup, "txtDns")->setText(QStringLiteral("dns.example"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        Q_EMIT test::child<QLineEdit>(setup, "txtDns")->editingFinished();
        QVERIFY(MessageBox::shown().last().text.contains(QStringLiteral("is not a DNS server")));
        QCOMPARE(test::child<QLineEdit>(setup, "txtDns")->text(), QString());
        test::child<QLineEdit>(setup, "txtDns")->setText(dns.address());
        Q_EMIT test::child<QLineEdit>(setup, "txtDns")->editingFinished();
        QCOMPARE(window->settings()->value(SettingKeys::dnsServer()), dns.address());

        fixture.chooseCustomList("taken.com\r\nfree.com\r\nslow.com\r\n");
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            test::child<QLabel>(window, "dnsPanel")->text() == QStringLiteral("DNS: 1 taken"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        QStringList asked = fixture.server.queries();
        asked.sort();
        QCOMPARE(asked, (QStringList{QStringLiteral("free.com"), QStringLiteral("slow.com")}));
        QCOMPARE(window->resultLists()->entries(ResultList::Registered),
                 QStringList{QStringLiteral("taken.com")});
        QCOMPARE(window->messageLog()->entries().last().text,
                 QStringLiteral("Search finished: 3 checked, 1 free, 1 taken, 1 unanswered. "
                                "DNS settled 1 taken name without a registry query."));
        QCOMPARE(window->noticeText(),
                 QStringLiteral("Search finished: 3 checked, 1 free, 1 taken, 1 unanswered"));
    }

    void stopRestoresTheWordList()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        test::toolsMenuItem(window, SearchType::AllThreeLetter)->trigger();
        test::child<QLineEdit>(window, "txtWordNum")->setText(QStringLiteral("40"));

        test::child<QPushButton>(window, "cmdDoSearch")->click();
        verifyRunning(window);
        // A server not yet heard from is asked two names at a time.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.openConnectionCount(), 2, SearchTimeoutMs);
        test::child<QPushButton>(window, "Command3")->click();
        verifyIdle(window);
        // Names still in flight are looked up again next time.
        QCOMPARE(window->settings()->value(SettingKeys::threeWordsPosition()), QStringLiteral("40"));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordNum")->text(), QStringLiteral("40"));
        QCOMPARE(test::child<QComboBox>(window, "Combo1")->currentText(), QStringLiteral("All Three Letter"));
    }

    void stopRestoresTheCustomPosition()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        QByteArray names;
        for (int i = 1; i <= 40; ++i)
            names += "name" + QByteArray::number(i) + ".com\r\n";
        fixture.chooseCustomList(names);
        test::child<QLineEdit>(window, "txtWordNum")->setText(QStringLiteral("4"));
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        // A server not yet heard from is asked two names at a time.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.openConnectionCount(), 2, SearchTimeoutMs);
        test::child<QPushButton>(window, "Command3")->click();
        verifyIdle(window);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordNum")->text(), QStringLiteral("4"));
        QCOMPARE(window->settings()->value(SettingKeys::customPositionListFile()), window->currentListFile());
        QCOMPARE(window->noticeText(),
                 QStringLiteral("Stopped at entry 4 of 40: 0 checked, 0 free, 0 taken, 0 unanswered"));

        // The same file chosen again goes on where it stopped, in this window and the next; another
        // file starts at 1, and so does the same file once it changed.
        const QString mine = fixture.path(QStringLiteral("wordlists/mine.txt"));
        const QString other = fixture.path(QStringLiteral("wordlists/other.txt"));
        fixture.write(QStringLiteral("wordlists/other.txt"), names);
        const auto choose = [&fixture](const QString& file) {
            FileDialog::setNextFileName(file);
            test::toolsMenuItem(fixture.window.get(), SearchType::CustomList)->trigger();
            return test::child<QLineEdit>(fixture.window.get(), "txtWordNum")->text();
        };
        QCOMPARE(choose(other), QStringLiteral("1"));
        QCOMPARE(choose(mine), QStringLiteral("4"));
        fixture.window.reset();
        fixture.open();
        QCOMPARE(choose(mine), QStringLiteral("4"));
        const QDateTime changed = QFileInfo(mine).lastModified();
        QFile list(mine);
        QVERIFY(list.open(QIODevice::ReadWrite));
        QVERIFY(list.seek(4) && list.write("X", 1) == 1); // same size, other names
        list.flush();
        QVERIFY(list.setFileTime(changed, QFileDevice::FileModificationTime));
        list.close();
        QCOMPARE(choose(mine), QStringLiteral("1"));
    }

    void searchEngineListsStartAtTheirFirstEntry()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.write(QStringLiteral("BrowserSearch.txt"), "free1.com\r\nfree2.com\r\nfree3.com\r\n");
        test::toolsMenuItem(window, SearchType::GoogleSearch)->trigger();
        test::child<QLineEdit>(window, "txtWordNum")->setText(QStringLiteral("3"));
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isSearching(), SearchTimeoutMs);
        QCOMPARE(fixture.server.queries().size(), 3);
        QCOMPARE(window->resultLists()->entryCount(ResultList::Mid), 3);
    }

    void emptyListEndsAtOnce()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.chooseCustomList("\r\n\r\n");
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        verifyIdle(window);
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void closingStopsTheSearch()
    {
        SearchFixture fixture;
        MainWindow* window = fixture.window.get();
        fixture.server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        test::toolsMenuItem(window, SearchType::AllTwoLetter)->trigger();
        window->show();
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QVERIFY(window->searchDriver()->isRunning());
        QVERIFY(window->close());
        QVERIFY(!window->searchDriver()->isRunning());
    }

    void theWatchListRunsOnItsTimerAndLogsWhatChanged()
    {
        SearchFixture fixture;
        fixture.write(QStringLiteral("Remembered.txt"), "slipping.com\r\n");
        WatchSchedule* watch = fixture.window->watchSchedule();
        QVERIFY(watch && watch->isScheduled());
        watch->run()->driver()->changeSetting(
            &SearchSettings::serverOverride,
            ServerOverride{QStringLiteral("127.0.0.1"), fixture.server.port()});
        QSignalSpy rounds(watch, &WatchSchedule::roundFinished);
        // Rounds follow each other every 20 ms: each phase ends once one has.
        const auto oneRound = [&] {
            rounds.clear();
            watch->startEveryMs(20);
            QTRY_VERIFY_WITH_TIMEOUT(rounds.count() >= 1, SearchTimeoutMs);
            watch->startEveryMs(0);
            QTRY_VERIFY(!watch->run()->isRunning());
        };
        // Not beside a search: it waits for the search to end.
        watch->setBusyCheck([] { return true; });
        watch->startEveryMs(20);
        QTest::qWait(200);
        QCOMPARE(rounds.count(), 0);
        watch->setBusyCheck([&] { return fixture.window->isSearching(); });
        oneRound();
        fixture.server.addFreeName(QStringLiteral("slipping.com"));
        // Asked for from the File menu, the round shows its news where the user looks.
        ResultLists* lists = fixture.window->resultLists();
        lists->setSaved({QStringLiteral("slipping.com")});
        rounds.clear();
        fixture.window->findChild<QAction*>(QStringLiteral("mnuCheckSaved"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(rounds.count() >= 1, SearchTimeoutMs);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(fixture.window->noticeText(), QStringLiteral("Saved names: 1 came free, marked in Saved Domains."));
        const QModelIndex saved = lists->model(ResultList::Saved)->index(0);
        QCOMPARE(saved.data(ResultLists::NewsRole).toString(), QStringLiteral("came free"));
        test::child<QListView>(fixture.window.get(), "List5")->setCurrentIndex(saved);
        QCOMPARE(saved.data(ResultLists::NewsRole).toString(), QString());
        QStringList logged;
        for (const MessageLog::Entry& entry : fixture.window->messageLog()->entries())
            logged << entry.text;
        QVERIFY2(logged.contains(QStringLiteral("Saved names: came free: slipping.com (taken when checked on %1)")
                                     .arg(QDate::currentDate().toString(Qt::ISODate))),
                 qPrintable(logged.join(QLatin1Char('\n'))));
        // Beside the user's lists, not in them.
        QCOMPARE(fixture.window->resultLists()->entryCount(ResultList::Low), 0);
        QCOMPARE(fixture.window->resultLists()->entryCount(ResultList::Registered), 0);
    }
};

QTEST_MAIN(TestGuiSearch)
#include "test_gui_search.moc"
