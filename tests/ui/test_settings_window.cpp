#include "engine/search/search_driver.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "tools/fake_whois_server.h"
#include "ui/elided_label.h"
#include "ui/file_dialog.h"
#include "ui/settings_window/settings_window.h"
#include "whois_config/extension_settings.h"
#include "whois_config/registrars_file.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::WindowFixture;

namespace {

QStringList fileRows(const WindowFixture& fixture)
{
    QStringList lines;
    TextFile::readLines(fixture.path(QStringLiteral("registrars.txt")), &lines);
    lines.removeAll(QString());
    return lines;
}

QTreeWidgetItem* itemOf(SettingsWindow* settings, const QString& extension)
{
    const QList<QTreeWidgetItem*> found =
        test::child<QTreeWidget>(settings, "lstDomains")->findItems(extension, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

void click(SettingsWindow* settings, QTreeWidgetItem* item)
{
    test::child<QTreeWidget>(settings, "lstDomains")->setCurrentItem(item);
    Q_EMIT test::child<QTreeWidget>(settings, "lstDomains")->itemClicked(item, 0);
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { MessageBox::clearShown(); }

    void rowsAreEditedInTheFileAndTheTable()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        QCOMPARE(settings->windowTitle(), QStringLiteral("Domain extension settings"));
        QCOMPARE(test::child<QTreeWidget>(settings, "lstDomains")->topLevelItemCount(), 92);

        // A new row: trimmed, the dot dropped, lower case, enabled.
        test::child<QPushButton>(settings, "Command1")->click();
        test::child<QLineEdit>(settings, "txtExt")->setText(QStringLiteral(" .XYZ "));
        test::child<QLineEdit>(settings, "txtServer")->setText(QStringLiteral(" whois.nic.xyz "));
        test::child<QLineEdit>(settings, "txtPort")->setText(QStringLiteral("43"));
        test::child<QPushButton>(settings, "cmdSave")->click();
        QVERIFY(fileRows(fixture).contains(QStringLiteral("xyz|whois.nic.xyz|43|Enabled")));
        const int row = window->extensionTable().findExtensionIndex(QStringLiteral("a.xyz"), false);
        QCOMPARE(window->extensionTable().row(row).server, QStringLiteral("whois.nic.xyz"));

        // A bad port writes nothing.
        test::child<QLineEdit>(settings, "txtPort")->setText(QStringLiteral("70000"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(settings, "cmdSave")->click();
        QCOMPARE(MessageBox::shown().last().text,
                 QStringLiteral("Please enter valid information for all fields."));
        QVERIFY(fileRows(fixture).contains(QStringLiteral("xyz|whois.nic.xyz|43|Enabled")));

        // An RDAP row keeps its URL as typed; plain http to another computer is refused.
        test::child<QLineEdit>(settings, "txtPort")->setText(QStringLiteral("443"));
        test::child<QLineEdit>(settings, "txtServer")->setText(QStringLiteral("http://rdap.nic.xyz/"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(settings, "cmdSave")->click();
        QVERIFY(MessageBox::shown().last().text.contains(QStringLiteral("only allowed to this computer")));
        test::child<QLineEdit>(settings, "txtServer")->setText(QStringLiteral("https://rdap.nic.xyz/V1/"));
        test::child<QPushButton>(settings, "cmdSave")->click();
        QVERIFY(fileRows(fixture).contains(QStringLiteral("xyz|https://rdap.nic.xyz/V1/|443|Enabled")));
        QCOMPARE(window->extensionTable().row(row).server, QStringLiteral("https://rdap.nic.xyz/V1/"));
        test::child<QLineEdit>(settings, "txtServer")->setText(QStringLiteral("whois.nic.xyz"));
        test::child<QLineEdit>(settings, "txtPort")->setText(QStringLiteral("43"));
        test::child<QPushButton>(settings, "cmdSave")->click();

        // A disabled row stays disabled through Add/Save; Enable/Disable flips it.
        click(settings, itemOf(settings, QStringLiteral("xyz")));
        test::child<QPushButton>(settings, "cmdToggle")->click();
        QVERIFY(fileRows(fixture).contains(QStringLiteral("xyz|whois.nic.xyz|43|Disabled")));
        click(settings, itemOf(settings, QStringLiteral("xyz")));
        QVERIFY(!settings->newRowEnabled());
        test::child<QLineEdit>(settings, "txtPort")->setText(QStringLiteral("4343"));
        test::child<QPushButton>(settings, "cmdSave")->click();
        QVERIFY(fileRows(fixture).contains(QStringLiteral("xyz|whois.nic.xyz|4343|Disabled")));

        // Delete Selected removes the row from file and table.
        click(settings, itemOf(settings, QStringLiteral("xyz")));
        test::child<QPushButton>(settings, "Command2")->click();
        QVERIFY(!itemOf(settings, QStringLiteral("xyz")));
        QCOMPARE(fileRows(fixture).filter(QStringLiteral("xyz|")), QStringList());
        QVERIFY(test::child<QLineEdit>(settings, "txtExt")->text().isEmpty());
    }

    void sortThenDeleteWritesTheSortedOrder()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        Q_EMIT test::child<QTreeWidget>(settings, "lstDomains")
            ->header()
            ->sectionClicked(1); // ascending by server
        Q_EMIT test::child<QTreeWidget>(settings, "lstDomains")
            ->header()
            ->sectionClicked(1); // the order flips
        click(settings, test::child<QTreeWidget>(settings, "lstDomains")->topLevelItem(0));
        test::child<QPushButton>(settings, "Command2")->click();
        const QStringList rows = fileRows(fixture);
        QCOMPARE(rows.size(), 91);
        QStringList servers;
        for (const QString& row : rows)
            servers << row.section(QLatin1Char('|'), 1, 1);
        QStringList sorted = servers;
        std::sort(sorted.begin(), sorted.end(), std::greater<QString>());
        QCOMPARE(servers, sorted);
    }

    void restoreDefaultsKeepsACopy()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        QVERIFY(fixture.write(QStringLiteral("registrars.txt"), "mine|whois.example.net|43|Enabled\r\n"));
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        test::child<QPushButton>(settings, "Command3")->click();
        QCOMPARE(fileRows(fixture).size(), 92);
        QCOMPARE(test::child<QTreeWidget>(settings, "lstDomains")->topLevelItemCount(), 92);
        const QStringList copies =
            QDir(fixture.path(QStringLiteral("backups"))).entryList({QStringLiteral("registrars-*.txt")});
        QCOMPARE(copies.size(), 1);
        QCOMPARE(fixture.read(QStringLiteral("backups/") + copies.first()),
                 QByteArray("mine|whois.example.net|43|Enabled\r\n"));
    }

    void proxyAndDefaultExtensionAreStored()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        test::child<QCheckBox>(settings, "chkProxy")->setChecked(true);
        QCOMPARE(window->settings()->value(SettingKeys::useProxy()), QStringLiteral("1"));
        QVERIFY(window->useProxy());
        QVERIFY(!test::child<QLabel>(window, "proxyLabel")->isHidden());
        QVERIFY(test::child<QLabel>(window, "proxyLabel")
                    ->text()
                    .startsWith(QStringLiteral("All lookups go to ")));
        test::child<QCheckBox>(settings, "chkProxy")->setChecked(false);
        QVERIFY(test::child<QLabel>(window, "proxyLabel")->isHidden());
        test::child<QCheckBox>(settings, "chkRdap")->setChecked(true);
        QCOMPARE(window->settings()->value(SettingKeys::useRdap()), QStringLiteral("1"));
        QVERIFY(window->searchDriver()->settings().preferRdap);
        test::child<QCheckBox>(settings, "chkRdap")->setChecked(false);
        QVERIFY(!window->searchDriver()->settings().preferRdap);
        QVERIFY(test::child<QCheckBox>(settings, "chkConfirm")->isChecked() &&
                window->searchDriver()->settings().confirmFree);
        test::child<QCheckBox>(settings, "chkConfirm")->setChecked(false);
        QCOMPARE(window->settings()->value(SettingKeys::confirmFreeOverRdap()), QStringLiteral("0"));
        QVERIFY(!window->searchDriver()->settings().confirmFree);
        QCOMPARE(window->searchDriver()->settings().historyDays, 7);
        test::child<QSpinBox>(settings, "txtHistoryDays")->setValue(0);
        QCOMPARE(window->settings()->value(SettingKeys::historyDays()), QStringLiteral("0"));
        QCOMPARE(window->searchDriver()->settings().historyDays, 0);
        test::child<QSpinBox>(settings, "txtWatchHours")->setValue(6);
        QCOMPARE(window->settings()->value(SettingKeys::watchHours()), QStringLiteral("6"));

        const QList<std::pair<QString, QString>> typed = {{QStringLiteral("org"), QStringLiteral(".org")},
                                                          {QString(), QStringLiteral(".com")},
                                                          {QStringLiteral("co.uk"), QStringLiteral("co.uk")}};
        for (const auto& [text, stored] : typed) {
            test::child<QLineEdit>(settings, "txtDefault")->setText(text);
            Q_EMIT test::child<QLineEdit>(settings, "txtDefault")->textEdited(text);
            Q_EMIT test::child<QLineEdit>(settings, "txtDefault")->editingFinished();
            QCOMPARE(test::child<QLineEdit>(settings, "txtDefault")->text(), stored);
            QCOMPARE(window->settings()->value(SettingKeys::defaultExtension()), stored);
        }
    }

    void fieldsAndHintsAreWholeAtTheSmallestSize()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        settings->resize(1, 1);
        QTRY_VERIFY(test::child<QLineEdit>(settings, "txtLimit")->isVisible());
        for (QLineEdit* field :
             {test::child<QLineEdit>(settings, "txtExt"), test::child<QLineEdit>(settings, "txtServer"),
              test::child<QLineEdit>(settings, "txtPort"), test::child<QLineEdit>(settings, "txtLimit"),
              test::child<QLineEdit>(settings, "txtDns")}) {
            QVERIFY2(field->height() >= field->minimumSizeHint().height(), qPrintable(field->objectName()));
            if (!field->placeholderText().isEmpty())
                QVERIFY2(field->width() > field->fontMetrics().horizontalAdvance(field->placeholderText()),
                         qPrintable(field->objectName()));
        }
    }

    void aServerLimitIsShownAndChanged()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        click(settings, itemOf(settings, QStringLiteral("org")));
        QCOMPARE(test::child<QLineEdit>(settings, "txtLimit")->text(), QString());
        test::child<QLineEdit>(settings, "txtLimit")->setText(QStringLiteral("rate=5/s connections=2"));
        test::child<QPushButton>(settings, "cmdLimit")->click();
        // Written into the template, whose comments stay.
        const QByteArray limits = fixture.read(QStringLiteral("server-limits.txt"));
        QVERIFY(limits.startsWith("# Your own server limits"));
        QVERIFY(limits.endsWith("\r\nwhois.publicinterestregistry.org rate=5/s connections=2\r\n"));
        QCOMPARE(itemOf(settings, QStringLiteral("org"))->text(4), QStringLiteral("5 a second, 2 at once"));
        // Shown in a column of its own, under its caption.
        auto* list = test::child<QTreeWidget>(settings, "lstDomains");
        QCOMPARE(list->columnCount(), 5);
        QCOMPARE(list->headerItem()->text(4), QStringLiteral("Limit"));
        QCOMPARE(test::child<QLabel>(settings, "lblLimitSaved")->text(),
                 QStringLiteral("Limit saved for whois.publicinterestregistry.org: 5 a second, 2 at once"));

        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QLineEdit>(settings, "txtLimit")->setText(QStringLiteral("fast please"));
        test::child<QPushButton>(settings, "cmdLimit")->click();
        QVERIFY(MessageBox::shown().last().text.startsWith(QStringLiteral("A limit is written as rate=N/s")));
        QCOMPARE(test::child<QLabel>(settings, "lblLimitSaved")->text(), QString());
        QVERIFY(fixture.read(QStringLiteral("server-limits.txt")).contains("rate=5/s connections=2"));
    }

    // Every column under its caption, wide enough for what it shows; the limit column is in view.
    void everyColumnIsShownWhole()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        auto* list = test::child<QTreeWidget>(settings, "lstDomains");
        QStringList captions;
        for (int column = 0; column < list->columnCount(); ++column)
            captions << list->headerItem()->text(column);
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("Extension"), QStringLiteral("Server"), QStringLiteral("Port"),
                              QStringLiteral("Status"), QStringLiteral("Limit")}));
        const QFontMetrics metrics = list->fontMetrics();
        for (const QString& status : {RegistrarsFile::enabledStatus(), QStringLiteral("Disabled")})
            // The cell's margins take about a character's width.
            QVERIFY2(list->columnWidth(3) > metrics.horizontalAdvance(status) + metrics.averageCharWidth(),
                     qPrintable(status));
        QVERIFY(list->columnWidth(0) > metrics.horizontalAdvance(QStringLiteral("Extension")));
        QVERIFY(list->header()->sectionViewportPosition(4) < list->viewport()->width());
    }

    // Tab goes through the controls as they are seen, the watch row included.
    void tabFollowsTheVisualOrder()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        QWidget* first = test::child<QTreeWidget>(settings, "lstDomains");
        QStringList order{first->objectName()};
        for (QWidget* next = first->nextInFocusChain(); next != first; next = next->nextInFocusChain()) {
            if (settings->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) &&
                next->isVisibleTo(settings) && next->isEnabled() &&
                !next->objectName().startsWith(QLatin1String("qt_")))
                order << next->objectName();
        }
        QCOMPARE(order, (QStringList{QStringLiteral("lstDomains"),       QStringLiteral("txtExt"),
                                     QStringLiteral("txtServer"),        QStringLiteral("txtPort"),
                                     QStringLiteral("txtLimit"),         QStringLiteral("cmdSave"),
                                     QStringLiteral("cmdLimit"),         QStringLiteral("cmdToggle"),
                                     QStringLiteral("Command2"),         QStringLiteral("Command1"),
                                     QStringLiteral("Command3"),         QStringLiteral("chkProxy"),
                                     QStringLiteral("chkRdap"),          QStringLiteral("chkConfirm"),
                                     QStringLiteral("chkDns"),           QStringLiteral("txtDns"),
                                     QStringLiteral("txtHistoryDays"),   QStringLiteral("txtWatchHours"),
                                     QStringLiteral("btnCheckSavedNow"), QStringLiteral("cmbDoubleClick"),
                                     QStringLiteral("txtDefault"),       QStringLiteral("chkNetProxies"),
                                     QStringLiteral("txtProxies"),       QStringLiteral("cmdProxiesBrowse"),
                                     QStringLiteral("cmdProxiesTest"),   QStringLiteral("txtProxyResults")}));
    }

    // Beside the interval, a button asks for the saved names to be checked now.
    void savedNamesCanBeCheckedNow()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        auto* now = test::child<QPushButton>(settings, "btnCheckSavedNow");
        auto* hours = test::child<QSpinBox>(settings, "txtWatchHours");
        QVERIFY(now->geometry().top() < hours->geometry().bottom() &&
                hours->geometry().top() < now->geometry().bottom());
        QSignalSpy requested(settings, &SettingsWindow::checkSavedNamesNowRequested);
        now->click();
        QCOMPARE(requested.size(), 1);
    }

    // What a double-click opens is chosen in Setup, stored under its old key and told at once.
    void doubleClickChoiceIsStored()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        auto* choice = test::child<QComboBox>(settings, "cmbDoubleClick");
        QCOMPARE(choice->currentIndex(), 0);
        QVERIFY(choice->currentText().contains(QStringLiteral("purchase")));
        QSignalSpy changed(window->extensionSettings(), &ExtensionSettings::purchaseOnDoubleClickChanged);
        choice->setCurrentIndex(1);
        Q_EMIT choice->activated(1);
        QCOMPARE(window->settings()->value(SettingKeys::purchaseOnDoubleClick()), QStringLiteral("0"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toBool(), false);
        QVERIFY(choice->currentText().contains(QStringLiteral("WHOIS")));

        // The window shows the stored choice when it opens again.
        QPointer<SettingsWindow> closed(settings);
        settings->close();
        QTRY_VERIFY(!closed);
        test::child<QPushButton>(window, "cmdSetup")->click();
        QCOMPARE(
            test::child<QComboBox>(test::companion<SettingsWindow>(window), "cmbDoubleClick")->currentIndex(),
            1);
    }

    void aRunningSearchPicksUpAChangedRow()
    {
        FakeWhoisServer first;
        FakeWhoisServer second;
        QVERIFY(first.listen() && second.listen());
        first.setDelayMs(100);
        second.setDelayMs(100);
        WindowFixture fixture;
        QByteArray rows = "com|127.0.0.1|" + QByteArray::number(first.port()) + "|Enabled\r\n";
        QVERIFY(QDir().mkpath(fixture.home));
        QVERIFY(fixture.write(QStringLiteral("registrars.txt"), rows));
        MainWindow* window = fixture.open();
        QByteArray list;
        for (int i = 0; i < 40; ++i)
            list += "name" + QByteArray::number(i) + ".com\r\n";
        QVERIFY(fixture.write(QStringLiteral("wordlists/mine.txt"), list));
        window->searchDriver()->changeSetting(&SearchSettings::poolSize, 2);
        FileDialog::setNextFileName(fixture.path(QStringLiteral("wordlists/mine.txt")));
        window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::CustomList)));
        test::child<QPushButton>(window, "cmdDoSearch")->click();
        QTRY_VERIFY(first.queries().size() >= 2);

        test::child<QPushButton>(window, "cmdSetup")->click();
        SettingsWindow* settings = test::companion<SettingsWindow>(window);
        click(settings, itemOf(settings, QStringLiteral("com")));
        test::child<QLineEdit>(settings, "txtPort")->setText(QString::number(second.port()));
        test::child<QPushButton>(settings, "cmdSave")->click();
        QTRY_VERIFY(!second.queries().isEmpty());
        test::child<QPushButton>(window, "Command3")->click();
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
