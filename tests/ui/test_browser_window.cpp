#include "engine/browse_checker.h"
#include "engine/result_lists.h"
#include "support/app_info.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"
#include "tools/fake_whois_server.h"
#include "ui/browser_window.h"
#include "ui/main_window.h"
#include "window_fixture.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QToolButton>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::WindowFixture;

namespace {

// Pages on 127.0.0.1 by path; the frameset's frame points back to this server.
class PageServer : public QObject
{
public:
    PageServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString address(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->peek(socket->bytesAvailable());
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        QByteArray body;
        if (path == "/list") {
            body = "<html><head><title>Listing</title></head><body><a "
                   "href=\"http://www.example.com/a\">one</a>\n"
                   "<a href=\"http://example.com/b\">two</a></body></html>";
        } else if (path == "/frameset") {
            body = "<html><frameset cols=\"*\"><frame src=\"" + address("/frame").toLatin1() +
                   "\"></frameset></html>";
        } else if (path == "/frame") {
            body = "<html><body><a href=\"http://www.example.com/c\">again</a>\n"
                   "<a href=\"http://www.inframe.com/\">new</a></body></html>";
        } else if (path == "/text") {
            body = "<html><body><p>Great names: greatname.com and more</p>\n<p>freeword.com is "
                   "free</p></body></html>";
        }
        const QByteArray status = body.isEmpty() ? "404 Not Found" : "200 OK";
        socket->write("HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
};

// A main window whose every lookup goes to the fake server, with the browser's first page on 127.0.0.1.
BrowserWindow* openBrowser(WindowFixture& fixture, const FakeWhoisServer& whois, const QString& startPage)
{
    if (!QDir().mkpath(fixture.home) ||
        !fixture.write(QStringLiteral("registrars.txt"),
                       QStringLiteral("com|127.0.0.1|%1|Enabled\r\n").arg(whois.port()).toLatin1()))
        return nullptr;
    MainWindow* window = fixture.open();
    window->settings()->setValue(SettingKeys::BrowseStartAddress(), startPage);
    window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::BrowseForNames)));
    BrowserWindow* browser = window->browserWindow();
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
        PageServer pages;
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
        QTRY_COMPARE_WITH_TIMEOUT(browser->statusPanel(1)->text(),
                                  QStringLiteral("Checked 4 unique domains."), 10000);
        QCOMPARE(whois.queries(), listedNames(fixture));
        QCOMPARE(browser->List1->model()->rowCount(), 1);
        QCOMPARE(browser->Label1->text(), QStringLiteral("Unregistered: (1)"));
        QCOMPARE(browser->Label2->text(), QStringLiteral("Registered: (3)"));
        QCOMPARE(fixture.window->resultLists()->entries(ResultList::Low),
                 QStringList{QStringLiteral("freeword.com")});
        QCOMPARE(fixture.window->resultLists()->entryCount(ResultList::Registered), 3);
        QCOMPARE(browser->statusPanel(2)->text(), QStringLiteral("Finished domains on current page"));

        browser->close();
        QTRY_VERIFY(!fixture.window->browserWindow());
        QVERIFY(!QFile::exists(fixture.path(QStringLiteral("BrowserSearch.txt"))));
    }

    void clearingUnregisteredLetsANameBeFoundAndCheckedAgain()
    {
        PageServer pages;
        QVERIFY(pages.listen());
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        whois.setAllFree(true);
        WindowFixture fixture;
        BrowserWindow* browser = openBrowser(fixture, whois, pages.address("/list"));
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(browser->List1->model()->rowCount(), 1, 20000);

        browser->cmdClear[1]->click();
        QCOMPARE(browser->List1->model()->rowCount(), 0);
        QCOMPARE(browser->Label1->text(), QStringLiteral("Unregistered"));
        browser->cmdRefresh->click();
        QTRY_COMPARE_WITH_TIMEOUT(browser->List1->model()->rowCount(), 1, 20000);
        QCOMPARE(whois.queries(),
                 (QStringList{QStringLiteral("example.com"), QStringLiteral("example.com")}));
        QCOMPARE(listedNames(fixture),
                 (QStringList{QStringLiteral("example.com"), QStringLiteral("example.com")}));
    }
};

QTEST_MAIN(TestBrowserWindow)
#include "test_browser_window.moc"
