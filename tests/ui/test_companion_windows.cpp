#include "engine/dispatch/lookup_router.h"
#include "engine/search/whois_query.h"
#include "support/app_info.h"
#include "support/settings_store.h"
#include "tools/fake_whois_server.h"
#include "ui/about_window.h"
#include "ui/message_log.h"
#include "ui/message_log_window.h"
#include "ui/splash_window.h"
#include "ui/whois_window.h"
#include "window_fixture.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::WindowFixture;

namespace {

// A desktop whose dialog buttons carry pictures (a red cross on Cancel), as some themes have it.
class ButtonPictureStyle : public QProxyStyle
{
public:
    ButtonPictureStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

// The small windows around the main window: the WHOIS record, the splash, the about box, the
// message log and the question boxes.
class TestCompanionWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void whoisWindowShowsTheRecordOfTheExtensionsServer()
    {
        FakeWhoisServer comServer;
        FakeWhoisServer orgServer;
        QVERIFY(comServer.listen() && orgServer.listen());
        const QByteArray record("Domain Name: FIRST.ORG\r\n<script>alert(1)</script> & <b>more</b>\r\n");
        orgServer.setAnswerFor(QStringLiteral("first.org"), record);
        WindowFixture fixture;
        QVERIFY(QDir().mkpath(fixture.home));
        QVERIFY(fixture.write(QStringLiteral("registrars.txt"),
                              QStringLiteral("org|127.0.0.1|%1|Enabled\r\ncom|127.0.0.1|%2|Enabled\r\n")
                                  .arg(orgServer.port())
                                  .arg(comServer.port())
                                  .toLatin1()));
        MainWindow* window = fixture.open();

        window->openWhois(QStringLiteral("first.org"));
        QPointer<WhoisWindow> first = test::companion<WhoisWindow>(window);
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("WHOIS Information"));
        QVERIFY(test::child<QPlainTextEdit>(first, "text1")->isReadOnly());
        QTRY_COMPARE(test::child<QPlainTextEdit>(first, "text1")->toPlainText(),
                     QString::fromLatin1(record).remove(QLatin1Char('\r')));
        QVERIFY(comServer.queries().isEmpty());

        // A second opening replaces the window and its text.
        window->openWhois(QStringLiteral("second.com"));
        QVERIFY(test::companion<WhoisWindow>(window) != first);
        QVERIFY(!first || !first->isVisible());
        QTRY_VERIFY(!first);
        QTRY_VERIFY(test::child<QPlainTextEdit>(test::companion<WhoisWindow>(window), "text1")
                        ->toPlainText()
                        .contains(QStringLiteral("SECOND.COM")));
        QCOMPARE(comServer.queries(), QStringList{QStringLiteral("second.com")});

        window->openWhois(QStringLiteral("third.de"));
        QTRY_COMPARE(
            test::child<QPlainTextEdit>(test::companion<WhoisWindow>(window), "text1")->toPlainText(),
            QStringLiteral("No WHOIS server is set up for .de."));

        window->close();
        QTRY_VERIFY(!test::companion<WhoisWindow>(window));
    }

    void whoisWindowSaysWhyThereIsNoRecord()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        const ExtensionTable table(
            {{QStringLiteral("com"), QStringLiteral("127.0.0.1"), server.port(), true}});
        const LookupRouter router(&table);
        WhoisWindow silent(QStringLiteral("quiet.com"));
        silent.query()->setTimeoutMs(50);
        silent.ask(router);
        QTRY_COMPARE(test::child<QPlainTextEdit>(&silent, "text1")->toPlainText(),
                     QStringLiteral("No answer from 127.0.0.1 within 0.05 seconds."));

        const quint16 port = server.port();
        server.close();
        WhoisWindow refused(QStringLiteral("closed.com"));
        refused.ask(router);
        QTRY_COMPARE(test::child<QPlainTextEdit>(&refused, "text1")->toPlainText(),
                     QStringLiteral("Cannot connect to 127.0.0.1:%1: connection refused").arg(port));
    }

    void whoisWindowShowsTheStateAndExpiryItRead()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setAnswerFor(QStringLiteral("dropping.com"),
                            "Domain Name: DROPPING.COM\r\nRegistry Expiry Date: 2031-05-06T04:00:00Z\r\n"
                            "Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n");
        const ExtensionTable table(
            {{QStringLiteral("com"), QStringLiteral("127.0.0.1"), server.port(), true}});
        const LookupRouter router(&table);
        WhoisWindow dropping(QStringLiteral("dropping.com"));
        auto* reading = test::child<QLabel>(&dropping, "lblReading");
        QVERIFY(reading->isHidden());
        dropping.ask(router);
        QTRY_VERIFY(!test::child<QPlainTextEdit>(&dropping, "text1")->toPlainText().isEmpty());
        QVERIFY(!reading->isHidden());
        QCOMPARE(reading->text(), QStringLiteral("Taken · state pendingDelete · expires 2031-05-06"));

        WhoisWindow free(QStringLiteral("freename.com"));
        free.ask(router);
        QTRY_COMPARE(test::child<QLabel>(&free, "lblReading")->text(), QStringLiteral("Free"));
    }

    void splashHandsOverToTheMainWindowOnce()
    {
        int opened = 0;
        int countAtHandOver = 0;
        bool timerRestarted = true;
        QWidget mainWindow;
        QPointer<SplashWindow> splash;
        splash = new SplashWindow([&] {
            ++opened;
            countAtHandOver = splash->count();
            // Started again in the middle of the hand-over: nothing more happens.
            splash->start();
            timerRestarted = test::child<QTimer>(splash, "Timer2")->isActive();
            mainWindow.show();
        });
        QVERIFY(!test::child<QLabel>(splash, "Image1")->pixmap().isNull());
        // The same version as the About box.
        QVERIFY(test::child<QLabel>(splash, "Label3")
                    ->text()
                    .startsWith(AppInfo::productTitle() + QLatin1Char(' ') +
                                AppInfo::version() + QStringLiteral(" —")));
        splash->show();
        QVERIFY(!test::child<QTimer>(splash, "Timer2")->isActive());
        splash->start();
        QCOMPARE(test::child<QTimer>(splash, "Timer2")->interval(), 2);
        QTRY_COMPARE(opened, 1);
        QCOMPARE(countAtHandOver, 150);
        QVERIFY(!timerRestarted);
        // The splash goes away by itself.
        QTRY_VERIFY(!splash);
        QTest::qWait(20);
        QCOMPARE(opened, 1);
        QVERIFY(mainWindow.isVisible());
    }

    void aboutBoxShowsTheProductAndOpensItsSite()
    {
        QList<QUrl> opened;
        const QUrl site(QStringLiteral("https://brisquel.app/"));
        AboutWindow about(site, [&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        about.show();
        QCOMPARE(about.windowTitle(), QStringLiteral("About Brisquel"));
        QCOMPARE(test::child<QLabel>(&about, "Label1")->text(), AppInfo::productTitle());
        QCOMPARE(test::child<QLabel>(&about, "Label2")->text(), QStringLiteral("Version:"));
        QCOMPARE(test::child<QLabel>(&about, "lblVersion")->text(), QStringLiteral("0.1.0"));
        QCOMPARE(test::child<QLabel>(&about, "Label3")->text(), QStringLiteral("Owned By:"));
        QCOMPARE(test::child<QLabel>(&about, "lblCompany")->text(), AppInfo::companyName());
        QCOMPARE(test::child<QLabel>(&about, "Label4")->text(), QStringLiteral("Website:"));
        QCOMPARE(test::child<QLabel>(&about, "lblWebsite")->text(), site.toString());
        QVERIFY(!test::child<QLabel>(&about, "Picture1")->pixmap().isNull());
        QVERIFY(about.minimumWidth() > about.fontMetrics().horizontalAdvance(about.windowTitle()));

        QTest::mouseClick(test::child<QLabel>(&about, "lblWebsite"), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{site});
    }

    // It opens in the middle of the window it belongs to, and closes with its button or Escape.
    void aboutBoxOpensOverItsWindowAndCloses()
    {
        QWidget owner;
        owner.setGeometry(120, 90, 560, 420);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        for (const bool byEscape : {false, true}) {
            QPointer<AboutWindow> about =
                new AboutWindow(QUrl(QStringLiteral("https://brisquel.app/")), {}, &owner);
            about->show();
            QVERIFY(QTest::qWaitForWindowExposed(about));
            const QPoint offset = about->frameGeometry().center() - owner.frameGeometry().center();
            QVERIFY2(offset.manhattanLength() < 40,
                     qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
            if (byEscape)
                QTest::keyClick(about, Qt::Key_Escape);
            else
                test::child<QPushButton>(about, "cmdClose")->click();
            QTRY_VERIFY(!about);
        }
    }

    // A long message is read whole without scrolling sideways, a path without blanks too.
    void messagesWrapLongLines()
    {
        MessageLog log;
        log.append(QStringLiteral("Could not read %1").arg(QStringLiteral("/very/long/path").repeated(40)));
        log.append(QStringLiteral("word ").repeated(100));
        MessageLogWindow window(&log);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* text = test::child<QPlainTextEdit>(&window, "txtMessages");
        QCOMPARE(text->document()->blockCount(), 2);
        QCOMPARE(text->horizontalScrollBar()->maximum(), 0);
        for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
            QVERIFY2(block.layout()->lineCount() > 1, qPrintable(block.text().left(30)));
    }

    // A button relabelled in the program's words loses the picture of the meaning it no longer has:
    // "Keep checking" is no cancel.
    void relabelledButtonsHaveNoStockPicture()
    {
        const QString styleBefore = QApplication::style()->name();
        QApplication::setStyle(new ButtonPictureStyle);
        {
            QMessageBox box(QMessageBox::Question, QStringLiteral("Browse for Domains"),
                            QStringLiteral("Keep?"),
                            QMessageBox::Cancel | QMessageBox::Save | QMessageBox::Discard);
            MessageBox::applyButtons(&box, QMessageBox::Cancel,
                                     {{QMessageBox::Cancel, QStringLiteral("Keep checking")},
                                      {QMessageBox::Save, QStringLiteral("Add to Unanswered.txt")}});
            QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Keep checking"));
            QVERIFY(box.button(QMessageBox::Cancel)->icon().isNull());
            QVERIFY(box.button(QMessageBox::Save)->icon().isNull());
            // The style does hand out pictures: the button left as it was keeps its own.
            QVERIFY(!box.button(QMessageBox::Discard)->icon().isNull());
            QCOMPARE(box.defaultButton(), box.button(QMessageBox::Cancel));
        }
        QApplication::setStyle(QStyleFactory::create(styleBefore));
    }
};

QTEST_MAIN(TestCompanionWindows)
#include "test_companion_windows.moc"
