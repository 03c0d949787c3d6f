#include "page_server.h"
#include "ui/main_window.h"
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
        QVERIFY(window->windowState() & Qt::WindowMaximized);
        QCOMPARE(window->frmBrowser->title(), QStringLiteral("Browser"));
        QCOMPARE(window->Label5->text(), QStringLiteral("URL:"));
        QCOMPARE(window->Command3->toolTip(), QStringLiteral("browse the entered url"));
        QCOMPARE(window->StatusBar1->findChildren<QLabel*>().size(), 2);

        const QString first = pages.url("/first").toString();
        QTRY_COMPARE_WITH_TIMEOUT(window->statusPanel(2)->text(), QStringLiteral("Completed ") + first,
                                  30000);
        QCOMPARE(window->windowTitle(), QStringLiteral("First Page"));
        QCOMPARE(window->Text1->text(), first);

        // Nothing to go back to: nothing happens.
        window->Command4->click();
        QTest::qWait(300);
        QCOMPARE(window->WebBrowser1->url().toString(), first);
        QCOMPARE(window->windowTitle(), QStringLiteral("First Page"));

        QStringList opening;
        const QMetaObject::Connection recording =
            connect(window->WebBrowser1, &QWebEngineView::loadStarted, this,
                    [&] { opening << window->statusPanel(2)->text(); });
        const QString second = pages.url("/second").toString();
        window->Text1->setText(second);
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Second Page"), 30000);
        QCOMPARE(opening, QStringList{QStringLiteral("Opening ") + second});
        QCOMPARE(window->statusPanel(2)->text(), QStringLiteral("Completed ") + second);
        disconnect(recording);

        window->Command4->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("First Page"), 30000);
        QCOMPARE(window->Text1->text(), first);
        window->Command5->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Second Page"), 30000);

        // A second opening reuses the window.
        QCOMPARE(WebsiteWindow::open(pages.url("/first")), window);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("First Page"), 30000);
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
