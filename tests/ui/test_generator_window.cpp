#include "engine/search/search_driver.h"
#include "support/settings_store.h"
#include "tools/fake_whois_server.h"
#include "ui/file_dialog.h"
#include "ui/generator_window.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;
using brisquel::test::WindowFixture;

namespace {

QCheckBox* extensionBox(GeneratorWindow* generator, int index)
{
    return test::child<QCheckBox>(generator, qPrintable(QStringLiteral("chkExt%1").arg(index)));
}

} // namespace

class TestGeneratorWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { MessageBox::clearShown(); }

    void aRunCreatesNamesAndSearchesThem()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        WindowFixture fixture;
        QVERIFY(QDir().mkpath(fixture.home));
        QVERIFY(fixture.write(QStringLiteral("Appends.txt"), "my\r\nmy\r\nfree\r\n"));
        MainWindow* window = fixture.open();
        window->searchDriver()->changeSetting(&SearchSettings::serverOverride,
                                              ServerOverride{QStringLiteral("127.0.0.1"), server.port()});
        // Settings as a user left them last time.
        window->settings()->setValue(SettingKeys::generatorExtension(1), QStringLiteral("0"));
        window->settings()->setValue(SettingKeys::generatorBaseWord(), QStringLiteral("shop"));

        window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::GenerateNames)));
        GeneratorWindow* generator = test::companion<GeneratorWindow>(window);
        QVERIFY(generator);
        QCOMPARE(generator->windowTitle(), QStringLiteral("Domain Name Creator"));
        auto* baseWord = test::child<QLineEdit>(generator, "Text1");
        auto* word = test::child<QLineEdit>(generator, "Text2");
        auto* words = test::child<QListWidget>(generator, "List2");
        auto* saveAs = test::child<QPushButton>(generator, "Command2");
        QCOMPARE(baseWord->text(), QStringLiteral("shop"));
        QVERIFY(!extensionBox(generator, 1)->isChecked());
        QVERIFY(extensionBox(generator, 0)->isChecked());
        extensionBox(generator, 0)->setChecked(false);
        QCOMPARE(window->settings()->value(SettingKeys::generatorExtension(0)), QStringLiteral("0"));
        for (int i = 2; i < GeneratorExtensionCount; ++i)
            extensionBox(generator, i)->setChecked(i == 2);
        QCOMPARE(words->count(), 3);

        // Del of a doubled word takes both from file and list.
        words->setCurrentRow(0);
        test::child<QPushButton>(generator, "cmdSub")->click();
        QCOMPARE(words->count(), 1);
        word->setText(QStringLiteral("get"));
        QTest::keyClick(word, Qt::Key_Return);
        QCOMPARE(words->count(), 2);
        QCOMPARE(fixture.read(QStringLiteral("Appends.txt")), QByteArray("free\r\nget\r\n"));

        // Enter in the base word runs it: 2 words x 4 forms x .org, searched at once.
        QTest::keyClick(baseWord, Qt::Key_Return);
        QCOMPARE(generator->generatedNames().size(), 8);
        QCOMPARE(test::child<QLineEdit>(generator, "txtStatus")->text(),
                 QStringLiteral("Created 8 domains...  Search Started"));
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("8"));
        QVERIFY(fixture.read(QStringLiteral("CreatedDomains.txt"))
                    .startsWith("freeshop.org\r\n\r\nfree-shop.org\r\n"));
        QTRY_VERIFY(!window->isSearching());
        QCOMPARE(server.queries().size(), 8);

        // Save Domains As: cancel does nothing, a name gets a copy.
        FileDialog::setNextFileName(QString());
        saveAs->click();
        QVERIFY(MessageBox::shown().isEmpty());
        FileDialog::setNextFileName(fixture.path(QStringLiteral("copy.txt")));
        saveAs->click();
        QCOMPARE(fixture.read(QStringLiteral("copy.txt")),
                 fixture.read(QStringLiteral("CreatedDomains.txt")));
        QCOMPARE(FileDialog::lastDirectory(), fixture.path(QStringLiteral("CustomLists/shop.txt")));

        // Without words there is nothing to start.
        QVERIFY(fixture.write(QStringLiteral("Appends.txt"), "\r\n"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        test::child<QPushButton>(generator, "Command1")->click();
        QCOMPARE(MessageBox::shown().last().text,
                 QStringLiteral("Add a word to the Prefixes/Suffixes list first."));
    }

    // A first run is small: .com alone, not nine extensions at once; what the user ticked since stays.
    void dotComAloneUntilTheUserTicksMore()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        const int generate = int(allSearchTypes().indexOf(SearchType::GenerateNames));
        window->chooseSearchType(generate);
        QPointer<GeneratorWindow> generator = test::companion<GeneratorWindow>(window);
        QVERIFY(generator);
        for (int i = 0; i < GeneratorExtensionCount; ++i)
            QVERIFY2(extensionBox(generator, i)->isChecked() == (i == 0), qPrintable(QString::number(i)));
        extensionBox(generator, 3)->setChecked(true);
        extensionBox(generator, 0)->setChecked(false);
        generator->close();
        QTRY_VERIFY(!generator);

        window->chooseSearchType(generate);
        generator = test::companion<GeneratorWindow>(window);
        QVERIFY(generator);
        for (int i = 0; i < GeneratorExtensionCount; ++i)
            QVERIFY2(extensionBox(generator, i)->isChecked() == (i == 3), qPrintable(QString::number(i)));
    }

    // The base word among the words makes one name twice (prefix and suffix); it is listed, written
    // and searched once, and a second run adds only names not there yet.
    void aNameMadeTwiceIsListedOnce()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        WindowFixture fixture;
        QVERIFY(QDir().mkpath(fixture.home));
        QVERIFY(fixture.write(QStringLiteral("Appends.txt"), "shop\r\nmy\r\n"));
        MainWindow* window = fixture.open();
        window->searchDriver()->changeSetting(&SearchSettings::serverOverride,
                                              ServerOverride{QStringLiteral("127.0.0.1"), server.port()});
        window->settings()->setValue(SettingKeys::generatorBaseWord(), QStringLiteral("shop"));
        window->settings()->setValue(SettingKeys::generatorForm(2), QStringLiteral("0"));
        window->chooseSearchType(int(allSearchTypes().indexOf(SearchType::GenerateNames)));
        GeneratorWindow* generator = test::companion<GeneratorWindow>(window);
        QVERIFY(generator);

        const QStringList once{QStringLiteral("shopshop.com"), QStringLiteral("myshop.com"),
                               QStringLiteral("shopmy.com")};
        test::child<QPushButton>(generator, "Command1")->click();
        QCOMPARE(generator->generatedNames(), once);
        QCOMPARE(fixture.read(QStringLiteral("CreatedDomains.txt")),
                 QByteArray("shopshop.com\r\n\r\nmyshop.com\r\n\r\nshopmy.com\r\n\r\n"));
        QTRY_VERIFY(!window->isSearching());
        QCOMPARE(server.queries(), once);

        test::child<QPushButton>(generator, "Command1")->click();
        QCOMPARE(generator->generatedNames(), once);
        QCOMPARE(test::child<QLineEdit>(window, "txtWordMax")->text(), QStringLiteral("3"));
        QTRY_VERIFY(!window->isSearching());
    }
};

QTEST_MAIN(TestGeneratorWindow)
#include "test_generator_window.moc"
