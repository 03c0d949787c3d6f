#include "page_server.h"
#include "tools/socks_proxy.h"
#include "ui/main_window/main_window.h"
#include "ui/website_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QWebEngineView>

using namespace brisquel;
using brisquel::test::PageServer;
using brisquel::test::WindowFixture;

namespace {

PageServer::Reply page(const QUrl& request)
{
    if (request.path() == QLatin1String("/first"))
        return {"<html><head><title>First Page</title></head><body><a href='/second'>on</a></body></html>"};
    if (request.path() == QLatin1String("/second"))
        return {"<html><head><title>Second Page</title></head><body>second</body></html>"};
    return PageServer::notFound();
}

QWidgetList visibleWindows()
{
    QWidgetList visible;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            visible << widget;
    }
    return visible;
}

} // namespace

class TestWebsiteWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void browsesBackAndForth()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        WebsiteWindow* window = WebsiteWindow::open(pages.url("/first"));
        QVERIFY(window->isVisible());
        // Read beside the program: a window of its own size, inside the screen.
        QVERIFY(!(window->windowState() & Qt::WindowMaximized));
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        // No caption over the page: the address row is the top.
        QVERIFY(window->findChildren<QGroupBox*>().isEmpty());
        QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("frmBrowser"));
        QCOMPARE(test::child<QLabel>(window, "Label5")->text(), QStringLiteral("URL:"));
        QCOMPARE(test::child<QToolButton>(window, "Command3")->toolTip(),
                 QStringLiteral("browse the entered url"));
        QCOMPARE(test::child<QStatusBar>(window, "StatusBar1")->findChildren<QLabel*>().size(), 2);
        QLineEdit* address = test::child<QLineEdit>(window, "Text1");
        QWebEngineView* view = test::child<QWebEngineView>(window, "WebBrowser1");
        QToolButton* back = test::child<QToolButton>(window, "Command4");
        QLabel* loading = test::child<QLabel>(window, "StatusBar1_Panel2");

        const QString first = pages.url("/first").toString();
        QTRY_COMPARE_WITH_TIMEOUT(loading->text(), QStringLiteral("Completed ") + first, 30000);
        QCOMPARE(window->windowTitle(), QStringLiteral("First Page"));
        QCOMPARE(address->text(), first);

        // Nothing to go back to: nothing happens.
        back->click();
        QTest::qWait(300);
        QCOMPARE(view->url().toString(), first);
        QCOMPARE(window->windowTitle(), QStringLiteral("First Page"));

        QStringList opening;
        const QMetaObject::Connection recording =
            connect(view, &QWebEngineView::loadStarted, this, [&] { opening << loading->text(); });
        const QString second = pages.url("/second").toString();
        address->setText(second);
        QTest::keyClick(address, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Second Page"), 30000);
        QCOMPARE(opening, QStringList{QStringLiteral("Opening ") + second});
        QCOMPARE(loading->text(), QStringLiteral("Completed ") + second);
        disconnect(recording);

        back->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("First Page"), 30000);
        QCOMPARE(address->text(), first);
        test::child<QToolButton>(window, "Command5")->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Second Page"), 30000);

        // A second opening reuses the window.
        QCOMPARE(WebsiteWindow::open(pages.url("/first")), window);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("First Page"), 30000);
    }

    // A page that did not come says so; "Completed" is for pages that did.
    void aFailedPageSaysSo()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        WebsiteWindow* window = WebsiteWindow::open(pages.url("/first"));
        QLabel* loading = test::child<QLabel>(window, "StatusBar1_Panel2");
        QTRY_COMPARE_WITH_TIMEOUT(loading->text(), QStringLiteral("Completed ") + pages.address("/first"),
                                  30000);

        const QString closed = QStringLiteral("http://127.0.0.1:%1/buy?domain=x.com").arg(test::freePort());
        window->navigate(QUrl(closed));
        QTRY_VERIFY_WITH_TIMEOUT(loading->text().startsWith(QStringLiteral("Could not load ")), 30000);
        QVERIFY2(loading->text().contains(QStringLiteral("127.0.0.1")), qPrintable(loading->text()));

        window->navigate(pages.url("/missing"));
        QTRY_VERIFY_WITH_TIMEOUT(loading->text().contains(QStringLiteral("/missing")) &&
                                     !loading->text().startsWith(QStringLiteral("Opening ")),
                                 30000);
        QVERIFY2(loading->text().startsWith(QStringLiteral("Could not load ")), qPrintable(loading->text()));
        QVERIFY2(loading->text().contains(QStringLiteral("404")), qPrintable(loading->text()));
        window->close();
    }

    // What the program's end hangs on: the visible windows, since it quits after the last one.
    void outlivesTheMainWindow()
    {
        PageServer pages(page);
        QVERIFY(pages.listen());
        WindowFixture fixture;
        MainWindow* main = fixture.open();
        main->show();
        QPointer<WebsiteWindow> browser = WebsiteWindow::open(pages.url("/first"));
        main->close();
        fixture.window.reset();
        QTest::qWait(50);
        QVERIFY(browser && browser->isVisible());
        QCOMPARE(visibleWindows(), QWidgetList{browser.data()});
        browser->close();
        QTRY_VERIFY(!browser);
        QVERIFY(visibleWindows().isEmpty());
    }

    // The manual is read beside the program, not over it.
    void firstStartManualOpensBesideTheMainWindow()
    {
        delete WebsiteWindow::instance();
        WindowFixture fixture;
        fixture.openWith = [](const QUrl& url) {
            return WebsiteWindow::open(url) != nullptr;
        };
        MainWindow* main = fixture.open();
        QVERIFY(main->startupResult().helpOpened);
        main->showOnStart();
        QPointer<WebsiteWindow> manual = WebsiteWindow::instance();
        QVERIFY(manual && manual->isVisible());
        QTRY_VERIFY(main->isVisible() && !main->isMaximized() && !manual->isMaximized());
        const QRect screen = main->screen()->availableGeometry();
        QVERIFY(!main->frameGeometry().intersects(manual->frameGeometry()));
        QVERIFY(screen.contains(main->frameGeometry()) && screen.contains(manual->frameGeometry()));
        QVERIFY(main->width() > manual->width());

        // View Help later does the same, whatever the windows were meanwhile.
        main->showMaximized();
        test::child<QAction>(main, "mnuHelpItem_0")->trigger();
        QTRY_VERIFY(!main->frameGeometry().intersects(manual->frameGeometry()));
        manual->close();
        main->close();
    }

    void cleanupTestCase() { delete WebsiteWindow::instance(); }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWebsiteWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_website_window.moc"
