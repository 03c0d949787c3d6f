#include "engine/search/browse_checker.h"
#include "engine/filing/result_lists.h"
#include "page_server.h"
#include "support/app_info.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"
#include "tools/fake_whois_server.h"
#include "ui/browser_window.h"
#include "ui/main_window/main_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>
#include <QToolButton>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::PageServer;
using brisquel::test::WindowFixture;

namespace {

// The pages by path; the frameset's frame points back to the same server.
PageServer::Reply page(const QUrl& request)
{
    const QString path = request.path();
    if (path == QLatin1String("/list"))
        return {"<html><head><title>Listing</title></head><body><a "
                "href=\"http://www.example.com/a\">one</a>\n"
                "<a href=\"http://example.com/b\">two</a></body></html>"};
    if (path == QLatin1String("/frameset"))
        return {"<html><frameset cols=\"*\"><frame src=\"" +
                request.resolved(QUrl(QStringLiteral("/frame"))).toString().toLatin1() +
                "\"></frameset></html>"};
    if (path == QLatin1String("/frame"))
        return {"<html><body><a href=\"http://www.example.com/c\">again</a>\n"
                "<a href=\"http://www.inframe.com/\">new</a></body></html>"};
    if (path == QLatin1String("/text"))
        return {"<html><body><p>Great names: greatname.com and more</p>\n<p>freeword.com is "
                "free</p></body></html>"};
    return PageServer::notFound();
}

// A main window whose every lookup goes to the fake server, with the browser's first page on 127.0.0.1.
BrowserWindow* openBrowser(WindowFixture& fixture, const FakeWhoisServer& whois, const QString& startPage)
{
    if (!QDir().mkpath(fixture.home) ||
        !fixture.write(QStringLiteral("registrars.txt"),
                       QStringLiteral("com|127.0.0.1|%1|Enabled\r\n").arg(whois.port()).toLatin1()))
        return nullptr;
    MainWindow* window = fixture.open();
    window->settings()->setValue(SettingKeys::browseStartAddress(), startPage);
    window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::BrowseForNames)));
    BrowserWindow* browser = test::companion<BrowserWindow>(window);
    if (browser)
        browser->checker()->setTimings({300, 1, 20, 50});
    return browser;
}

QStringList listedNames(const WindowFixture& fixture)
{
    return QString::fromUtf8(fixture.read(QStringLiteral("BrowserSearch.txt")))
        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace

class TestBrowserWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pagesFramesAndPlainTextAddEachNameOnce()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        WindowFixture fixture;
        BrowserWindow* browser = openBrowser(fixture, whois, pages.address("/list"));
        QVERIFY(browser);
        QCOMPARE(browser->objectName(), QStringLiteral("Form5"));

        QTRY_COMPARE_WITH_TIMEOUT(listedNames(fixture), QStringList{QStringLiteral("example.com")}, 20000);
        QTRY_COMPARE(browser->windowTitle(), QStringLiteral("Listing - ") + AppInfo::productTitle());
        browser->navigate(QUrl(pages.address("/frameset")));
        QTRY_COMPARE_WITH_TIMEOUT(listedNames(fixture).size(), 2, 20000);
        browser->navigate(QUrl(pages.address("/text")));
        QTRY_COMPARE_WITH_TIMEOUT(listedNames(fixture).size(), 4, 20000);
        QCOMPARE(listedNames(fixture),
                 (QStringList{QStringLiteral("example.com"), QStringLiteral("inframe.com"),
                              QStringLiteral("greatname.com"), QStringLiteral("freeword.com")}));

        // Each listed name is looked up once, in list order, into both sets of lists.
        QTRY_COMPARE_WITH_TIMEOUT(test::child<QLabel>(browser, "StatusBar1_Panel1")->text(),
                                  QStringLiteral("Checked 4 unique domains."), 10000);
        QCOMPARE(whois.queries(), listedNames(fixture));
        QCOMPARE(test::child<QListView>(browser, "List1")->model()->rowCount(), 1);
        QCOMPARE(test::child<QLabel>(browser, "Label1")->text(), QStringLiteral("Unregistered: (1)"));
        QCOMPARE(test::child<QLabel>(browser, "Label2")->text(), QStringLiteral("Registered: (3)"));
        QCOMPARE(fixture.window->resultLists()->entries(ResultList::Low),
                 QStringList{QStringLiteral("freeword.com")});
        QCOMPARE(fixture.window->resultLists()->entryCount(ResultList::Registered), 3);
        QCOMPARE(test::child<QLabel>(browser, "StatusBar1_Panel2")->text(),
                 QStringLiteral("Finished domains on current page"));

        browser->close();
        QTRY_VERIFY(!test::companion<BrowserWindow>(fixture.window.get()));
        QVERIFY(!QFile::exists(fixture.path(QStringLiteral("BrowserSearch.txt"))));
    }

    // Names found but not checked are not dropped without a word when the window closes.
    void closingWithUncheckedNamesAsks()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.setFault(FakeWhoisServer::Fault::NeverAnswer);
        WindowFixture fixture;
        BrowserWindow* browser = openBrowser(fixture, whois, pages.address("/text"));
        QVERIFY(browser);
        browser->checker()->setTimings({60000, 1, 20, 50});
        browser->show();
        QTRY_COMPARE_WITH_TIMEOUT(test::child<QLabel>(browser, "StatusBar1_Panel1")->text(),
                                  QStringLiteral("Checking 1 of 2: greatname.com"), 20000);
        // The query is on its way once the status says so; the server must have it before closing.
        QTRY_COMPARE_WITH_TIMEOUT(whois.queries().size(), 1, 20000);

        MessageBox::setNextAnswer(QMessageBox::Cancel);
        QVERIFY(!browser->close());
        QVERIFY(MessageBox::shown().last().text.startsWith(QStringLiteral("2 of the names found")));
        QVERIFY(browser->isVisible());

        MessageBox::setNextAnswer(QMessageBox::Save);
        QVERIFY(browser->close());
        QTRY_VERIFY(!test::companion<BrowserWindow>(fixture.window.get()));
        QCOMPARE(fixture.read(QStringLiteral("Unanswered.txt")),
                 QByteArray("greatname.com\r\nfreeword.com\r\n"));
        QCOMPARE(whois.queries(), QStringList{QStringLiteral("greatname.com")});
    }

    void clearingUnregisteredLetsANameBeFoundAndCheckedAgain()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.setAllFree(true);
        WindowFixture fixture;
        BrowserWindow* browser = openBrowser(fixture, whois, pages.address("/list"));
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(test::child<QListView>(browser, "List1")->model()->rowCount(), 1, 20000);

        test::child<QPushButton>(browser, "cmdClear_1")->click();
        QCOMPARE(test::child<QListView>(browser, "List1")->model()->rowCount(), 0);
        QCOMPARE(test::child<QLabel>(browser, "Label1")->text(), QStringLiteral("Unregistered"));
        test::child<QToolButton>(browser, "cmdRefresh")->click();
        QTRY_COMPARE_WITH_TIMEOUT(test::child<QListView>(browser, "List1")->model()->rowCount(), 1, 20000);
        QCOMPARE(whois.queries(),
                 (QStringList{QStringLiteral("example.com"), QStringLiteral("example.com")}));
        QCOMPARE(listedNames(fixture),
                 (QStringList{QStringLiteral("example.com"), QStringLiteral("example.com")}));
    }

    // The lists' buttons stand as in the main window, and a right-click offers what it offers there.
    void listsWorkAsInTheMainWindow()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.setAllFree(true);
        WindowFixture fixture;
        BrowserWindow* browser = openBrowser(fixture, whois, pages.address("/list"));
        QVERIFY(browser);
        browser->show();
        QVERIFY(QTest::qWaitForWindowExposed(browser));
        for (int number = 1; number <= 2; ++number) {
            QList<int> left;
            for (const char* name : {"cmdCopy_%1", "cmdClear2_%1", "cmdClear_%1"})
                left << test::child<QPushButton>(browser, qPrintable(QString::fromLatin1(name).arg(number)))
                            ->x();
            QVERIFY2(left.at(0) < left.at(1) && left.at(1) < left.at(2), qPrintable(QString::number(number)));
            QCOMPARE(test::child<QPushButton>(browser, qPrintable(QStringLiteral("cmdClear2_%1").arg(number)))
                         ->text(),
                     QStringLiteral("Del"));
        }

        auto* list = test::child<QListView>(browser, "List1");
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 1, 20000);
        list->setCurrentIndex(list->model()->index(0, 0));
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list->viewport(), &event);
        QPointer<QMenu> menu = list->findChild<QMenu*>(QStringLiteral("mnuEntries"));
        QVERIFY(menu);
        QStringList captions;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator())
                captions << action->text();
        }
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("WHOIS record"), QStringLiteral("Buy at registrar"),
                              QStringLiteral("Copy"), QStringLiteral("Save"), QStringLiteral("Delete")}));
        test::child<QAction>(menu, "mnuCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("example.com\n"));
        test::child<QAction>(menu, "mnuSave")->trigger();
        QCOMPARE(fixture.window->resultLists()->entries(ResultList::Saved),
                 QStringList{QStringLiteral("example.com")});
        test::child<QAction>(menu, "mnuDelete")->trigger();
        QCOMPARE(list->model()->rowCount(), 0);
        menu->close();
        QTRY_VERIFY(!menu);

        // The list's Copy button: one name a line, the platform's line end.
        browser->checker()
            ->model(BrowseChecker::Column::Registered)
            ->setStringList({QStringLiteral("a.com"), QStringLiteral("b.com")});
        test::child<QPushButton>(browser, "cmdCopy_2")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a.com\nb.com\n"));
    }
};

QTEST_MAIN(TestBrowserWindow)
#include "test_browser_window.moc"
