#include "engine/search/search_driver.h"
#include "page_server.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "tools/fake_whois_server.h"
#include "ui/harvester_window.h"
#include "ui/main_window/main_window.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::PageServer;
using brisquel::test::WindowFixture;

namespace {

// Result pages on 127.0.0.1 by offset ("b" for Yahoo, "start" for Google): page k lists the names
// pageNames(k), except that page failAtPage answers 500.
class ResultServer
{
public:
    bool listen() { return m_server.listen(); }
    QString address() const { return m_server.address(); }

    QList<QUrl> requests;
    std::function<QStringList(int page)> pageNames;
    int failAtPage = -1;

private:
    PageServer::Reply answer(const QUrl& url)
    {
        if (url.path() == QLatin1String("/favicon.ico"))
            return PageServer::notFound();
        requests << url;
        const QUrlQuery query(url);
        const int page = query.hasQueryItem(QStringLiteral("b"))
                             ? (query.queryItemValue(QStringLiteral("b")).toInt() - 1) / 20
                             : query.queryItemValue(QStringLiteral("start")).toInt() / 100;
        if (page == failAtPage)
            return {"<html><body>broken</body></html>", "500 Internal Server Error"};
        QByteArray body = "<html><body>";
        for (const QString& name : pageNames(page))
            body += "<a href=\"http://www." + name.toUtf8() + "/x\">r</a>\n";
        return {body + "</body></html>"};
    }

    PageServer m_server{[this](const QUrl& url) {
        return answer(url);
    }};
};

QStringList numbered(const char* prefix, int from, int count)
{
    QStringList names;
    for (int i = from; i < from + count; ++i)
        names << QStringLiteral("%1%2.com").arg(QLatin1String(prefix)).arg(i);
    return names;
}

} // namespace

class TestHarvesterWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { MessageBox::clearShown(); }

    void yahooPagesUntilNothingNewAndSearches()
    {
        ResultServer pages;
        QVERIFY(pages.listen());
        // Page 2 repeats page 1 and adds part of an earlier name: nothing new, the run ends.
        pages.pageNames = [](int page) {
            return page == 0 ? numbered("myexample", 1, 5)
                             : QStringList{QStringLiteral("myexample1.com"), QStringLiteral("example1.com")};
        };
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        window->settings()->setValue(SettingKeys::yahooSearchAddress(), pages.address());
        window->searchDriver()->changeSetting(&SearchSettings::serverOverride,
                                              ServerOverride{QStringLiteral("127.0.0.1"), whois.port()});
        window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::YahooSearch)));
        test::child<QLineEdit>(window, "txtSearch")->setText(QStringLiteral("red car"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdCreate")->click();
        QVERIFY(test::companion<HarvesterWindow>(window));
        test::companion<HarvesterWindow>(window)->setPageDelay(10);

        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shown().isEmpty(), 30000);
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral("List of 5 unique domains was created successfully!"));
        QCOMPARE(pages.requests.size(), 2);
        QCOMPARE(QUrlQuery(pages.requests.at(1)).queryItemValue(QStringLiteral("b")), QStringLiteral("21"));
        QCOMPARE(QUrlQuery(pages.requests.at(0)).query(QUrl::FullyEncoded),
                 QStringLiteral("h=s&xargs=0&p=red+car&b=1"));
        QCOMPARE(fixture.read(QStringLiteral("searches/Yahoo red car.txt")),
                 fixture.read(QStringLiteral("BrowserSearch.txt")));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("5"));
        QTRY_COMPARE_WITH_TIMEOUT(whois.queries().size(), 5, 15000);
        QTRY_VERIFY(!test::companion<HarvesterWindow>(window));
    }

    void googleStopsAtTheTargetOrAnErrorPage()
    {
        ResultServer pages;
        QVERIFY(pages.listen());
        pages.pageNames = [](int page) {
            return numbered("name", page * 60, 60);
        };
        pages.failAtPage = 2;
        FakeWhoisServer whois;
        QVERIFY(whois.listen());
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        // The hand-over starts a search: it must ask nobody but the fake server.
        window->searchDriver()->changeSetting(&SearchSettings::serverOverride,
                                              ServerOverride{QStringLiteral("127.0.0.1"), whois.port()});
        window->settings()->setValue(SettingKeys::googleSearchAddress(), pages.address());
        window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::GoogleSearch)));
        test::child<QLineEdit>(window, "txtSearch")->setText(QStringLiteral("a/b"));

        // ~100: page 1 gives 60, page 2 takes it to 120, past the target; no third page.
        test::child<QComboBox>(window, "Combo2")->setCurrentIndex(0);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdCreate")->click();
        test::companion<HarvesterWindow>(window)->setPageDelay(10);
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shown().isEmpty(), 30000);
        QCOMPARE(MessageBox::shown().last().text,
                 QStringLiteral("List of 120 unique domains was created successfully!"));
        QCOMPARE(pages.requests.size(), 2);
        QVERIFY(QFile::exists(fixture.path(QStringLiteral("searches/Google a_b.txt"))));
        test::child<QPushButton>(window, "Command3")->click();
        QTRY_VERIFY(!test::companion<HarvesterWindow>(window));

        // ~200: the third page fails; the run ends with what it has and says why.
        MessageBox::clearShown();
        test::child<QComboBox>(window, "Combo2")->setCurrentIndex(1);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(window, "cmdCreate")->click();
        test::companion<HarvesterWindow>(window)->setPageDelay(10);
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shown().isEmpty(), 30000);
        QVERIFY(MessageBox::shown().last().text.startsWith(QStringLiteral("List of 120 unique domains")));
        QVERIFY(MessageBox::shown().last().text.contains(QStringLiteral("could not be loaded")));
        test::child<QPushButton>(window, "Command3")->click();
    }
};

QTEST_MAIN(TestHarvesterWindow)
#include "test_harvester_window.moc"
