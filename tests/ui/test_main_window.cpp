#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "main_window_controls.h"
#include "sources/list_file_reader.h"
#include "support/settings_store.h"
#include "ui/about_window.h"
#include "ui/elided_label.h"
#include "ui/file_dialog.h"
#include "ui/generator_window.h"
#include "ui/message_log.h"
#include "ui/message_log_window.h"
#include "ui/overflow_notice.h"
#include "ui/permission_dialog.h"
#include "ui/result_list_view.h"
#include "ui/settings_window/settings_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

using namespace brisquel;
using brisquel::test::WindowFixture;

namespace {

int typeIndex(SearchType type)
{
    return int(allSearchTypes().indexOf(type));
}

// The same choice through the box, as the user makes it there.
void chooseInCombo(MainWindow* window, SearchType type)
{
    QComboBox* box = test::child<QComboBox>(window, "Combo1");
    box->setCurrentIndex(typeIndex(type));
    Q_EMIT box->activated(typeIndex(type));
}

struct WindowState
{
    QString listFile;
    QString start;
    QString count;
    bool wordListShown;
    bool searchShown;
    bool startEnabled;
    bool stopEnabled;
    bool createEnabled;

    friend bool operator==(const WindowState&, const WindowState&) = default;
};

WindowState stateOf(const MainWindow* window)
{
    const auto* startNumber = test::child<QLineEdit>(window, "txtWordNum");
    return {window->currentListFile(),
            startNumber->text(),
            test::child<QLineEdit>(window, "txtWordMax")->text(),
            !startNumber->isHidden(),
            !test::child<QLineEdit>(window, "txtSearch")->isHidden(),
            test::child<QPushButton>(window, "cmdDoSearch")->isEnabled(),
            test::child<QPushButton>(window, "Command3")->isEnabled(),
            test::child<QPushButton>(window, "cmdCreate")->isEnabled()};
}

QStringList loggedTexts(const MainWindow* window)
{
    QStringList texts;
    for (const MessageLog::Entry& entry : window->messageLog()->entries())
        texts.append(entry.text);
    return texts;
}

QByteArray numberedNames(int count, const char* blank = "")
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "name" + QByteArray::number(i) + ".com\r\n" + blank;
    return bytes;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { MessageBox::clearShown(); }

    void firstStartInEmptyFolder()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();

        for (const char* name : {"BrowserSearch.txt", "CreatedDomains.txt", "Remembered.txt"})
            QCOMPARE(fixture.read(QString::fromLatin1(name)), QByteArray("\r\n"));
        for (const char* name : {"backups", "overflow", "wordlists", "searches"})
            QVERIFY2(QFileInfo(fixture.path(QString::fromLatin1(name))).isDir(), name);
        QVERIFY(!fixture.read(QStringLiteral("registrars.txt")).isEmpty());
        QCOMPARE(window->extensionTable().rowCount(), defaultExtensionRows().size());
        QCOMPARE(fixture.opened, QList<QUrl>{QUrl::fromLocalFile(fixture.path(QStringLiteral("Help.html")))});
        QCOMPARE(test::child<ResultListView>(window, "List5")->model()->rowCount(), 0);
        QVERIFY(window->noticeText().isEmpty());

        QCOMPARE(window->windowTitle(), QStringLiteral("Brisquel by Velmorra"));
        QCOMPARE(test::child<QGroupBox>(window, "Frame2")->title(),
                 QStringLiteral("Domain Name Manager - Double Click any domain to purchase"));
        QCOMPARE(test::child<QLabel>(window, "Panel1")->text(), QStringLiteral("Entry Status"));
        QCOMPARE(test::child<QLabel>(window, "Panel2")->text(), QStringLiteral("Open Connections"));
        QCOMPARE(test::child<QLabel>(window, "Panel3")->text(), QStringLiteral("Connection Status"));

        // A second start opens no help and keeps what is there.
        fixture.window.reset();
        fixture.write(QStringLiteral("Remembered.txt"), "keep.com\r\n");
        fixture.open();
        QCOMPARE(fixture.opened.size(), 1);
        QCOMPARE(fixture.window->resultLists()->entries(ResultList::Saved),
                 QStringList{QStringLiteral("keep.com")});
    }

    void startupProblemsShowInTheStatusBar()
    {
        WindowFixture fixture;
        QVERIFY(QDir().mkpath(fixture.home));
        QVERIFY(fixture.write(QStringLiteral("registrars.txt"),
                              "com|whois.example|43|Enabled\r\nbroken line\r\n"));
        MainWindow* window = fixture.open();
        QVERIFY(window->noticeText().startsWith(QStringLiteral("registrars.txt: 1 line(s) skipped")));
        QCOMPARE(window->extensionTable().rowCount(), 1);
        QVERIFY(loggedTexts(window).first().startsWith(QStringLiteral("registrars.txt: line 2 skipped")));
    }

    void controlsCarryTheirNames()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QStringList names = {
            QStringLiteral("Form1"),      QStringLiteral("Frame1"),     QStringLiteral("Label6"),
            QStringLiteral("Combo1"),     QStringLiteral("wLabel1"),    QStringLiteral("wLabel2"),
            QStringLiteral("txtWordNum"), QStringLiteral("txtWordMax"), QStringLiteral("cmdDoSearch"),
            QStringLiteral("Command3"),   QStringLiteral("sLabel1"),    QStringLiteral("SLabel2"),
            QStringLiteral("txtSearch"),  QStringLiteral("Combo2"),     QStringLiteral("cmdCreate"),
            QStringLiteral("cmdSetup"),   QStringLiteral("cmdWebsite"), QStringLiteral("Frame2"),
            QStringLiteral("StatusBar1")};
        for (int n = 1; n <= 5; ++n) {
            for (const char* prefix : {"List%1", "Label%1", "cmdCopy%1", "cmdClear%1", "cmdClear2_%1"})
                names << QString::fromLatin1(prefix).arg(n);
        }
        for (const QString& name : names)
            QVERIFY2(window->objectName() == name || window->findChild<QWidget*>(name), qPrintable(name));
        QCOMPARE(test::child<QPushButton>(window, "cmdClear2_3")->objectName(),
                 QStringLiteral("cmdClear2_3"));
        QCOMPARE(test::child<QPushButton>(window, "cmdWebsite")->text(),
                 QStringLiteral("Visit Brisquel.app"));
        QCOMPARE(test::child<QComboBox>(window, "Combo2")->currentText(), QStringLiteral("~100 Domains"));
        QCOMPARE(test::child<QComboBox>(window, "Combo2")->count(), 4);

        QStringList menus;
        for (QMenu* menu : {test::child<QMenu>(window, "menuFile"), test::child<QMenu>(window, "mnuEdit"),
                            test::child<QMenu>(window, "mnuTools"), test::child<QMenu>(window, "mnuOptions"),
                            test::child<QMenu>(window, "mnuHelp"), test::child<QMenu>(window, "mnuAbout")})
            menus << menu->title();
        QCOMPARE(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                     QStringLiteral("&Tools"), QStringLiteral("&Options"),
                                     QStringLiteral("&Help"), QStringLiteral("&About")}));
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(test::numberedChild<QAction>(window, "mnuToolsItem_%1", i)->text(),
                     test::child<QComboBox>(window, "Combo1")->itemText(i));
            QCOMPARE(test::child<QComboBox>(window, "Combo1")->itemText(i),
                     searchTypeCaption(allSearchTypes().at(i)));
        }
        QCOMPARE(test::child<QAction>(window, "mnuEditItem_0")->text(), QStringLiteral("Clear High/Mid/Low"));
        QCOMPARE(test::child<QAction>(window, "mnuEditItem_9")->text(), QStringLiteral("Copy Saved"));
        // Separators part clearing several lists, clearing one and copying one.
        const QList<QAction*> editActions = test::child<QMenu>(window, "mnuEdit")->actions();
        QCOMPARE(editActions.size(), 12);
        QVERIFY(editActions.at(1)->isSeparator());
        QVERIFY(editActions.at(7)->isSeparator());
        QCOMPARE(editActions.at(8), test::child<QAction>(window, "mnuEditItem_6"));

        QStringList bar;
        for (QAction* menu : window->menuBar()->actions())
            bar << menu->text();
        QCOMPARE(bar.mid(1, 3),
                 (QStringList{QStringLiteral("&Edit"), QStringLiteral("&View"), QStringLiteral("&Tools")}));
        QCOMPARE(test::child<QMenu>(window, "menuView")->objectName(), QStringLiteral("menuView"));
        QCOMPARE(test::child<QAction>(window, "mnuViewMessages")->objectName(),
                 QStringLiteral("mnuViewMessages"));
    }

    // The buttons stay where the hand expects them, whatever the list file is called.
    void searchButtonsKeepTheirPlace()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->show();
        window->resize(900, 620);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto startAt = [&](const QString& name) {
            fixture.write(QStringLiteral("wordlists/") + name, "a.com\r\n");
            FileDialog::setNextFileName(fixture.path(QStringLiteral("wordlists/") + name));
            chooseInCombo(window, SearchType::CustomList);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            return test::child<QPushButton>(window, "cmdDoSearch")->mapTo(window, QPoint()).x();
        };
        const int shortName = startAt(QStringLiteral("a.txt"));
        QCOMPARE(startAt(QStringLiteral("a-list-with-a-rather-long-name-indeed.txt")), shortName);
        chooseInCombo(window, SearchType::FullWordList);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(test::child<QPushButton>(window, "cmdDoSearch")->mapTo(window, QPoint()).x(), shortName);
        // The Registered list's rule is told where the list is.
        QVERIFY(test::child<ResultListView>(window, "List2")->toolTip().contains(QStringLiteral("101")));
    }

    void labelsAreWholeAtTheMinimumSize()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->show();
        window->resize(433, 433);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (int panel = 1; panel <= 3; ++panel)
            QTRY_VERIFY(!qobject_cast<ElidedLabel*>(test::numberedChild<QLabel>(window, "Panel%1", panel))
                             ->isElided());
        for (ResultList list : AllResultLists) {
            QLabel* caption = test::numberedChild<QLabel>(window, "Label%1", int(list));
            QTRY_VERIFY2(caption->height() >= caption->heightForWidth(caption->width()),
                         qPrintable(caption->text()));
        }
        auto* website = test::child<QPushButton>(window, "cmdWebsite");
        const QFontMetrics metrics = website->fontMetrics();
        QTRY_VERIFY(website->isVisible());
        QVERIFY(website->width() > metrics.horizontalAdvance(website->text()));
        auto* progress = test::child<QProgressBar>(window, "searchProgress");
        QVERIFY(progress->minimumWidth() >
                progress->fontMetrics().horizontalAdvance(QStringLiteral("999999 of 999999")));
    }

    void minimumSizeIsKept()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->show();
        window->resize(200, 200);
        QCOMPARE(window->size(), QSize(433, 433));
        QVERIFY(window->minimumSizeHint().width() <= 433);
    }

    void listButtonsStackWhenNarrow()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->show();
        window->resize(1200, 700);
        auto* copy = test::child<QPushButton>(window, "cmdCopy2");
        auto* del = test::child<QPushButton>(window, "cmdClear2");
        auto* clear = test::child<QPushButton>(window, "cmdClear2_2");
        QTRY_COMPARE(del->y(), copy->y());
        QVERIFY(del->x() > copy->x());
        window->resize(433, 433);
        QTRY_VERIFY(del->y() > copy->y());
        QVERIFY(clear->y() > del->y());
    }

    void wordListChoice_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("fromMenu");
        for (SearchType type : {SearchType::FullWordList, SearchType::AllTwoLetter,
                                SearchType::AllThreeLetter, SearchType::AllFourLetter}) {
            const QByteArray caption = searchTypeCaption(type).toUtf8();
            QTest::newRow(caption + " in the box") << int(type) << false;
            QTest::newRow(caption + " in the Tools menu") << int(type) << true;
        }
    }

    void wordListChoice()
    {
        QFETCH(int, type);
        QFETCH(bool, fromMenu);
        const auto searchType = SearchType(type);
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->settings()->setValue(*searchTypeCounterKey(searchType), QStringLiteral("7"));
        chooseInCombo(window, SearchType::YahooSearch);

        if (fromMenu)
            test::toolsMenuItem(window, searchType)->trigger();
        else
            chooseInCombo(window, searchType);

        QCOMPARE(test::child<QComboBox>(window, "Combo1")->currentText(), searchTypeCaption(searchType));
        const QString listFile = fixture.path(searchTypeListFile(searchType));
        const WindowState expected{listFile,
                                   QStringLiteral("7"),
                                   QString::number(countListEntries(listFile)),
                                   true,
                                   false,
                                   true,
                                   false,
                                   false};
        QCOMPARE(stateOf(window), expected);
        QVERIFY(!test::child<QLineEdit>(window, "txtSearch")->isEnabled());
        QVERIFY(!test::child<QComboBox>(window, "Combo2")->isEnabled());
    }

    void resumePositionAtTheEndStartsOver()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        const qint64 count = countListEntries(fixture.path(QStringLiteral("wordlists/AllTwoLetter.txt")));
        // A search that ended saved the position after the last entry.
        window->settings()->setValue(SettingKeys::twoWordsPosition(), QString::number(count + 1));
        chooseInCombo(window, SearchType::AllTwoLetter);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QString::number(count));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordNum")->text(), QStringLiteral("1"));

        // One that stopped before the last entry resumes there.
        window->settings()->setValue(SettingKeys::twoWordsPosition(), QString::number(count));
        chooseInCombo(window, SearchType::AllFourLetter);
        chooseInCombo(window, SearchType::AllTwoLetter);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordNum")->text(), QString::number(count));
    }

    void startNumberRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("below the count") << "9"
                                         << "9";
        QTest::newRow("equal to the count: the last entry") << "10"
                                                            << "10";
        QTest::newRow("above the count") << "11"
                                         << "1";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("letters") << "abc"
                                 << "abc";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("huge") << "99999999999999999999"
                              << "99999999999999999999";
    }

    void startNumberRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QVERIFY(fixture.write(QStringLiteral("wordlists/ten.txt"), numberedNames(10)));
        FileDialog::setNextFileName(fixture.path(QStringLiteral("wordlists/ten.txt")));
        chooseInCombo(window, SearchType::CustomList);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("10"));

        auto* startNumber = test::child<QLineEdit>(window, "txtWordNum");
        startNumber->setText(typed);
        QTest::keyClick(startNumber, Qt::Key_Return);
        QCOMPARE(startNumber->text(), shown);
    }

    // A typo must not lose the place the list was resumed at.
    void startNumberPastTheEndIsRefused()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QVERIFY(fixture.write(QStringLiteral("wordlists/ten.txt"), numberedNames(10)));
        FileDialog::setNextFileName(fixture.path(QStringLiteral("wordlists/ten.txt")));
        chooseInCombo(window, SearchType::CustomList);
        auto* startNumber = test::child<QLineEdit>(window, "txtWordNum");
        startNumber->clear();
        QTest::keyClicks(startNumber, QStringLiteral("7"));
        QTest::keyClick(startNumber, Qt::Key_Return);
        // Typing "50" passes "5", which must not be taken for the whole number.
        startNumber->clear();
        QTest::keyClicks(startNumber, QStringLiteral("50"));
        QCOMPARE(startNumber->text(), QStringLiteral("50"));
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QVERIFY(!window->isSearching());
        QCOMPARE(startNumber->text(), QStringLiteral("7"));
        QCOMPARE(window->noticeText(),
                 QStringLiteral("Start Number 50 is past the end of the list (10 entries); it stays at 7."));
        QCOMPARE(window->messageLog()->entries().last().text, window->noticeText());
    }

    // The next start shows the search type of the last, without asking for the file again.
    void searchTypeIsRemembered()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QVERIFY(fixture.write(QStringLiteral("wordlists/ten.txt"), numberedNames(10)));
        FileDialog::setNextFileName(fixture.path(QStringLiteral("wordlists/ten.txt")));
        chooseInCombo(window, SearchType::CustomList);
        fixture.window.reset();

        FileDialog::setNextFileName(QStringLiteral("/nowhere/never-asked.txt"));
        window = fixture.open();
        QCOMPARE(window->currentSearchType(), SearchType::CustomList);
        QCOMPARE(window->currentListFile(), fixture.path(QStringLiteral("wordlists/ten.txt")));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("10"));
        FileDialog::setNextFileName(QString());
        chooseInCombo(window, SearchType::GenerateNames);
        test::companion<GeneratorWindow>(window)->close();
        fixture.window.reset();

        // A type whose choice opens a window comes back without opening it.
        window = fixture.open();
        QCOMPARE(window->currentSearchType(), SearchType::GenerateNames);
        QVERIFY(!test::companion<GeneratorWindow>(window));
        QVERIFY(!test::child<QPushButton>(window, "cmdReopen")->isHidden());
    }

    void customListChoice()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();

        // Cancelled the first time: no file, nothing to count.
        FileDialog::setNextFileName(QString());
        chooseInCombo(window, SearchType::CustomList);
        QCOMPARE(FileDialog::lastFilter(), QStringLiteral("*.txt"));
        QCOMPARE(QDir(FileDialog::lastDirectory()), QDir(fixture.path(QStringLiteral("wordlists"))));
        QCOMPARE(stateOf(window), (WindowState{QString(), QStringLiteral("1"), QStringLiteral("0"), true,
                                               false, true, false, false}));

        const QString mine = fixture.path(QStringLiteral("mine.txt"));
        QVERIFY(fixture.write(QStringLiteral("mine.txt"), "\r\na.com\r\n\r\nb.com\r\n\r\nc.com\r\n\r\n"));
        window->settings()->setValue(SettingKeys::customListPosition(), QStringLiteral("2"));
        FileDialog::setNextFileName(mine);
        test::toolsMenuItem(window, SearchType::CustomList)->trigger();
        QCOMPARE(stateOf(window), (WindowState{mine, QStringLiteral("1"), QStringLiteral("3"), true, false,
                                               true, false, false}));
        auto* listFile = test::child<QLabel>(window, "lblListFile");
        QVERIFY(!listFile->isHidden());
        QCOMPARE(listFile->text(), QStringLiteral("mine.txt"));
        QCOMPARE(listFile->toolTip(), QDir::toNativeSeparators(mine));

        // Cancelled later: the file picked before stays.
        chooseInCombo(window, SearchType::FullWordList);
        QVERIFY(listFile->isHidden());
        FileDialog::setNextFileName(QString());
        chooseInCombo(window, SearchType::CustomList);
        QCOMPARE(window->currentListFile(), mine);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("3"));
    }

    void searchEngineChoice_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("Yahoo") << int(SearchType::YahooSearch);
        QTest::newRow("Google") << int(SearchType::GoogleSearch);
    }

    void searchEngineChoice()
    {
        QFETCH(int, type);
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        const QString countBefore = test::child<QLineEdit>(window, "txtWordMax")->text();
        test::child<QLineEdit>(window, "txtWordNum")->setText(QStringLiteral("5"));
        chooseInCombo(window, SearchType(type));

        QCOMPARE(stateOf(window),
                 (WindowState{fixture.path(QStringLiteral("BrowserSearch.txt")), QStringLiteral("1"),
                              countBefore, false, true, true, false, false}));
        auto* searchString = test::child<QLineEdit>(window, "txtSearch");
        auto* harvest = test::child<QPushButton>(window, "cmdCreate");
        QVERIFY(searchString->isEnabled());
        QVERIFY(test::child<QComboBox>(window, "Combo2")->isEnabled());
        QTest::keyClicks(searchString, QStringLiteral("cheap"));
        QVERIFY(harvest->isEnabled());
        searchString->clear();
        QVERIFY(!harvest->isEnabled());

        // With a search string already there, the button is ready at once.
        searchString->setText(QStringLiteral("cheap"));
        chooseInCombo(window, SearchType::FullWordList);
        test::toolsMenuItem(window, SearchType(type))->trigger();
        QVERIFY(harvest->isEnabled());
    }

    // Which controls each search type shows and lets the user use, while no search runs.
    void controlsFollowTheSearchType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("listControls");
        QTest::addColumn<bool>("searchControls");
        QTest::addColumn<bool>("listFileName");
        QTest::addColumn<bool>("reopenButton");
        for (SearchType type : allSearchTypes()) {
            const bool engine = type == SearchType::YahooSearch || type == SearchType::GoogleSearch;
            const bool ownWindow = type == SearchType::BrowseForNames || type == SearchType::GenerateNames;
            QTest::newRow(qPrintable(searchTypeCaption(type)))
                << int(type) << (!engine && !ownWindow) << engine << (type == SearchType::CustomList)
                << ownWindow;
        }
    }

    void controlsFollowTheSearchType()
    {
        QFETCH(int, type);
        QFETCH(bool, listControls);
        QFETCH(bool, searchControls);
        QFETCH(bool, listFileName);
        QFETCH(bool, reopenButton);
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->settings()->setValue(SettingKeys::browseStartAddress(), QStringLiteral("about:blank"));
        FileDialog::setNextFileName(QString());
        test::toolsMenuItem(window, SearchType(type))->trigger();

        for (const char* name : {"wLabel1", "wLabel2", "txtWordNum", "txtWordMax", "cmdDoSearch"})
            QVERIFY2(test::child<QWidget>(window, name)->isHidden() != listControls, name);
        for (const char* name : {"sLabel1", "SLabel2", "txtSearch", "Combo2", "cmdCreate"})
            QVERIFY2(test::child<QWidget>(window, name)->isHidden() != searchControls, name);
        QCOMPARE(!test::child<QWidget>(window, "lblListFile")->isHidden(), listFileName);
        QCOMPARE(!test::child<QWidget>(window, "cmdReopen")->isHidden(), reopenButton);

        QVERIFY(test::child<QComboBox>(window, "Combo1")->isEnabled());
        QVERIFY(test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());
        QVERIFY(test::child<QLineEdit>(window, "txtWordNum")->isEnabled());
        QVERIFY(!test::child<QPushButton>(window, "Command3")->isEnabled());
        QCOMPARE(test::child<QLineEdit>(window, "txtSearch")->isEnabled(), searchControls);
        QCOMPARE(test::child<QComboBox>(window, "Combo2")->isEnabled(), searchControls);
        // Search also wants a search string.
        QVERIFY(!test::child<QPushButton>(window, "cmdCreate")->isEnabled());
    }

    void generateAndBrowseChoices()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        auto* startNumber = test::child<QLineEdit>(window, "txtWordNum");
        auto* searchString = test::child<QLineEdit>(window, "txtSearch");
        auto* reopen = test::child<QPushButton>(window, "cmdReopen");
        chooseInCombo(window, SearchType::GenerateNames);
        QCOMPARE(window->currentListFile(), fixture.path(QStringLiteral("CreatedDomains.txt")));
        QVERIFY(startNumber->isHidden());
        QVERIFY(searchString->isHidden());
        QVERIFY(test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());
        QCOMPARE(startNumber->text(), QStringLiteral("1"));
        QVERIFY(test::companion<GeneratorWindow>(window) &&
                test::companion<GeneratorWindow>(window)->isVisible());
        // Closed, it is a click away: the main window shows the way back in Start's place.
        QVERIFY(test::companion<GeneratorWindow>(window)->close());
        QVERIFY(!reopen->isHidden());
        QCOMPARE(reopen->text(), QStringLiteral("Generate"));
        reopen->click();
        QVERIFY(test::companion<GeneratorWindow>(window) &&
                test::companion<GeneratorWindow>(window)->isVisible());

        // Browsing keeps the current list file. The browser's first page stays on this machine.
        window->settings()->setValue(SettingKeys::browseStartAddress(), QStringLiteral("about:blank"));
        test::toolsMenuItem(window, SearchType::BrowseForNames)->trigger();
        QCOMPARE(window->currentListFile(), fixture.path(QStringLiteral("CreatedDomains.txt")));
        QVERIFY(startNumber->isHidden());
        QVERIFY(searchString->isHidden());
        QCOMPARE(reopen->text(), QStringLiteral("Browse"));
        chooseInCombo(window, SearchType::FullWordList);
        QVERIFY(reopen->isHidden());
    }

    void startRefusesBadInput_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("deleteList");
        QTest::newRow("letters as start number") << "abc" << false;
        QTest::newRow("empty start number") << "" << false;
        QTest::newRow("fraction as start number") << "2.5" << false;
        QTest::newRow("list file missing") << "1" << true;
    }

    void startRefusesBadInput()
    {
        QFETCH(QString, start);
        QFETCH(bool, deleteList);
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QVERIFY(fixture.write(QStringLiteral("list.txt"), numberedNames(5)));
        FileDialog::setNextFileName(fixture.path(QStringLiteral("list.txt")));
        chooseInCombo(window, SearchType::CustomList);
        if (deleteList)
            QVERIFY(QFile::remove(fixture.path(QStringLiteral("list.txt"))));
        test::child<QLineEdit>(window, "txtWordNum")->setText(start);

        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdDoSearch")->click();

        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Brisquel"));
        QCOMPARE(MessageBox::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!MessageBox::shown().first().text.isEmpty());
        QVERIFY(!window->isSearching());
        QVERIFY(test::child<QPushButton>(window, "cmdDoSearch")->isEnabled());
        QVERIFY(!test::child<QPushButton>(window, "Command3")->isEnabled());
        QVERIFY(test::child<QComboBox>(window, "Combo1")->isEnabled());
        QVERIFY(test::child<QLineEdit>(window, "txtWordNum")->isEnabled());
        QCOMPARE(test::child<QLabel>(window, "Panel1")->text(), QStringLiteral("Entry Status"));
    }

    void overflowShowsTheNotice()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        ResultLists* lists = window->resultLists();
        auto overflow = [&] {
            for (int i = 0; i < LiveListFiles::OverflowLimit; ++i)
                lists->addAvailableName(QStringLiteral("longname%1.com").arg(i));
            return window->listFiles()->overflowCheck();
        };

        QVERIFY(!test::companion<OverflowNotice>(window));
        QVERIFY(overflow());
        OverflowNotice* notice = test::companion<OverflowNotice>(window);
        QVERIFY(notice);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->objectName(), QStringLiteral("Form2"));
        QCOMPARE(notice->windowTitle(), QStringLiteral("File backup"));
        QCOMPARE(
            test::child<QLabel>(notice, "Label1")->text(),
            QStringLiteral("One of your lists has reached 20000 entries.  They have been saved and cleared.  "
                           "You may find your backed up lists in the brisquel /overflow/ directory."));
        QCOMPARE(test::child<QPushButton>(notice, "Command1")->text(), QStringLiteral("Ok"));
        QVERIFY(!notice->isModal());
        QCOMPARE(lists->entryCount(ResultList::Low), 0);

        // A second overflow while it is open shows the same window.
        QVERIFY(overflow());
        QCOMPARE(window->findChildren<OverflowNotice*>().size(), 1);
        QCOMPARE(test::companion<OverflowNotice>(window), notice);

        test::child<QPushButton>(notice, "Command1")->click();
        QTRY_VERIFY(!test::companion<OverflowNotice>(window));
        QVERIFY(overflow());
        QVERIFY(test::companion<OverflowNotice>(window));
        QVERIFY(test::companion<OverflowNotice>(window)->isVisible());
    }

    void listFileFailuresAreShownInABox()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        // A folder where the live Low file belongs makes every write of it fail.
        QVERIFY(QDir().mkpath(window->listFiles()->liveFilePath(ResultList::Low)));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        // Filed as the filer does it: into the list, then the batch to disk.
        window->resultLists()->addAvailableName(QStringLiteral("longername.com"));
        window->listFiles()->saveLiveLists();
        QVERIFY(window->noticeText().contains(QStringLiteral("LowProfile")));
        QCOMPARE(window->resultLists()->entryCount(ResultList::Low), 1);
        // Not in the middle of the filing: the box comes from the event loop.
        QVERIFY(MessageBox::shown().isEmpty());
        QTRY_COMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("LowProfile")));
        QVERIFY(loggedTexts(window).last().contains(QStringLiteral("LowProfile")));
    }

    void noticesGoToTheLogAndLeaveWhenTheUserActs()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->showNotice(QStringLiteral("Something to read."));
        const QString notice = window->noticeText();
        QCOMPARE(notice, QStringLiteral("Something to read."));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("noticeLabel"))->toolTip(), notice);
        chooseInCombo(window, SearchType::FullWordList);
        QVERIFY(window->noticeText().isEmpty());

        test::child<QAction>(window, "mnuViewMessages")->trigger();
        MessageLogWindow* messages = test::companion<MessageLogWindow>(window);
        QVERIFY(messages);
        QCOMPARE(messages->objectName(), QStringLiteral("frmMessages"));
        QCOMPARE(messages->windowTitle(), QStringLiteral("Messages"));
        QVERIFY(messages->isVisible());
        QVERIFY(!messages->isModal());
        QPlainTextEdit* text = test::child<QPlainTextEdit>(messages, "txtMessages");
        QVERIFY(text->isReadOnly());
        const QRegularExpression line(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d ") +
                                      QRegularExpression::escape(notice) + QLatin1Char('$'));
        QVERIFY(line.match(text->toPlainText()).hasMatch());
        text->selectAll();
        QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), text->toPlainText());
    }

    void searchStoppedByTheDriverIsAWarning()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        const QString message = QStringLiteral("Cannot write LowProfile.txt: No space left on device. The "
                                               "search stopped; free some space and press Start to go on.");
        MessageBox::setNextAnswer(QMessageBox::Ok);
        Q_EMIT window->searchDriver()->searchStopped(message);
        QTRY_COMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, message);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        QCOMPARE(loggedTexts(window).last(), message);
    }

    void skippedEntriesAreLoggedInBatches()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QAction>(window, "mnuViewMessages")->trigger();
        QPlainTextEdit* text =
            test::child<QPlainTextEdit>(test::companion<MessageLogWindow>(window), "txtMessages");
        const int shownBefore = text->blockCount();
        const int count = MessageLog::Capacity + 2000;
        for (int i = 0; i < count; ++i)
            Q_EMIT window->searchDriver()->problem(QStringLiteral("Skipped entry %1").arg(i));

        const QStringList logged = loggedTexts(window);
        QCOMPARE(logged.size(), MessageLog::Capacity);
        QCOMPARE(logged.first(), QStringLiteral("Skipped entry 2000"));
        QCOMPARE(logged.last(), QStringLiteral("Skipped entry %1").arg(count - 1));
        QCOMPARE(text->blockCount(), shownBefore);
        QTRY_COMPARE(text->blockCount(), MessageLog::Capacity);
        QVERIFY(text->toPlainText().endsWith(logged.last()));
    }

    void permissionDeniedDialog()
    {
        WindowFixture fixture;
        // Settings written into a folder in place of the settings file always fail.
        QVERIFY(QDir().mkpath(fixture.path(QStringLiteral("settings.ini"))));
        MessageBox::setNextAnswer(QMessageBox::Ignore);
        MainWindow* window = fixture.open();

        QCOMPARE(MessageBox::shown().size(), 1);
        const MessageBox::Shown& shown = MessageBox::shown().first();
        QCOMPARE(shown.title, QStringLiteral("Permission Denied"));
        QCOMPARE(shown.buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        QVERIFY(shown.text.endsWith(SettingsStore::permissionDeniedMessage()));
        QCOMPARE(window->settings()->value(SettingKeys::ignorePermissionDenied()), QStringLiteral("1"));

        // Once ignored, failures stay quiet.
        window->settings()->setValue(SettingKeys::fullWordsPosition(), QStringLiteral("5"));
        QCOMPARE(MessageBox::shown().size(), 1);
    }

    void permissionDeniedIsAskedOnceAtATime()
    {
        std::optional<SettingsStore::PermissionAnswer> nested;
        QTimer::singleShot(0, this, [&nested] {
            nested = askPermissionDenied(nullptr, QStringLiteral("second"));
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::Ignore);
        });
        QCOMPARE(askPermissionDenied(nullptr, QStringLiteral("first")),
                 SettingsStore::PermissionAnswer::Ignore);
        QCOMPARE(nested, SettingsStore::PermissionAnswer::Abort);
        QCOMPARE(MessageBox::shown().size(), 1);
    }

    void menuCommands()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        fixture.opened.clear();
        test::child<QAction>(window, "mnuHelpItem_0")->trigger();
        QCOMPARE(fixture.opened, QList<QUrl>{QUrl::fromLocalFile(fixture.path(QStringLiteral("Help.html")))});
        test::child<QPushButton>(window, "cmdWebsite")->click();
        QCOMPARE(fixture.opened.last(), QUrl(window->settings()->value(SettingKeys::webSiteAddress())));
        fixture.openSucceeds = false;
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdWebsite")->click();
        QTRY_COMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().last().text.startsWith(QStringLiteral("Could not open")));
        MessageBox::clearShown();

        test::child<QAction>(window, "mnuAboutItem_0")->trigger();
        QVERIFY(test::companion<AboutWindow>(window) && test::companion<AboutWindow>(window)->isVisible());
        QVERIFY(MessageBox::shown().isEmpty());

        test::child<QPushButton>(window, "cmdSetup")->click();
        QVERIFY(test::companion<SettingsWindow>(window) &&
                test::companion<SettingsWindow>(window)->isVisible());
        // A second click brings the same window forward.
        SettingsWindow* settingsWindow = test::companion<SettingsWindow>(window);
        test::child<QAction>(window, "mnuOptionsItem_0")->trigger();
        QCOMPARE(test::companion<SettingsWindow>(window), settingsWindow);

        window->show();
        test::child<QAction>(window, "mnuFileItem_0")->trigger();
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
