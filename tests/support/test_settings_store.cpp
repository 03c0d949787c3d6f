#include "support/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

class TestSettingsStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.ini")),
                                                  m_dir->filePath(QStringLiteral("user/user.ini")));
    }

    void freshStoreReadsDefaults()
    {
        QCOMPARE(m_store->value(SettingKeys::fullWordsPosition()), QStringLiteral("1"));
        QCOMPARE(m_store->value(SettingKeys::defaultExtension()), QStringLiteral(".com"));
        QCOMPARE(m_store->value(SettingKeys::generatorCustomExtension()), QStringLiteral(".co.uk"));
        QCOMPARE(m_store->getRegSetting(QStringLiteral("Velmorra"), QStringLiteral("Settings"),
                                        QStringLiteral("Nothing"), QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
    }

    void valuesReadBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("zero is not the default") << QStringLiteral("0");
        QTest::newRow("empty is not the default") << QString(QLatin1String(""));
        QTest::newRow("commas stay one string") << QStringLiteral("a, b,c");
        QTest::newRow("blanks kept") << QStringLiteral("  padded  ");
        QTest::newRow("quotes and semicolons") << QStringLiteral("\"x\";y=z");
        QTest::newRow("unicode") << QStringLiteral("\u00e9\u4e2d");
        QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo");
    }

    void valuesReadBackExactly()
    {
        QFETCH(QString, value);
        m_store->setValue(SettingKeys::generatorBaseWord(), value);
        SettingsStore reopened(m_store->machinePath(), m_store->userPath());
        const QString read = reopened.value(SettingKeys::generatorBaseWord());
        QCOMPARE(read, value);
        QVERIFY(!read.isNull() || value.isNull());
    }

    void storesAreSeparate()
    {
        m_store->setValue(SettingKeys::defaultExtension(), QStringLiteral(".net"));
        QCOMPARE(m_store->getRegSetting(SettingKeys::optionsApplication(), QStringLiteral("Settings"),
                                        QStringLiteral("DefaultExt"), QStringLiteral("none")),
                 QStringLiteral("none"));
        QCOMPARE(m_store->value(SettingKeys::defaultExtension()), QStringLiteral(".net"));
    }

    void blanksAroundApplicationAndSectionDoNotMatterButInTheKeyTheyDo()
    {
        m_store->saveRegSetting(QStringLiteral(" Velmorra "), QStringLiteral("Settings  "),
                                QStringLiteral("k"), QStringLiteral("v"));
        QCOMPARE(m_store->getRegSetting(QStringLiteral("Velmorra"), QStringLiteral("Settings"),
                                        QStringLiteral("k"), QString()),
                 QStringLiteral("v"));
        QCOMPARE(m_store->getRegSetting(QStringLiteral("Velmorra"), QStringLiteral("Settings"),
                                        QStringLiteral(" k"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    void emptyNamesAreErrorsThatYieldTheDefault_data()
    {
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("application") << QStringLiteral(" ") << QStringLiteral("Settings")
                                     << QStringLiteral("k") << QStringLiteral("AppName may not be empty");
        QTest::newRow("section") << QStringLiteral("a") << QString() << QStringLiteral("k")
                                 << QStringLiteral("Section may not be empty");
        QTest::newRow("key") << QStringLiteral("a") << QStringLiteral("Settings") << QStringLiteral("  ")
                             << QStringLiteral("Key may not be empty");
    }

    void emptyNamesAreErrorsThatYieldTheDefault()
    {
        QFETCH(QString, application);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, message);
        QString error;
        QCOMPARE(m_store->getRegSetting(application, section, key, QStringLiteral("d"), &error),
                 QStringLiteral("d"));
        QCOMPARE(error, message);
    }

    void aValueThatIsNotAStringIsAnError()
    {
        QFile file(m_store->machinePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Velmorra]\nSettings\\FullWordNum=1, 2\n");
        file.close();
        SettingsStore store(m_store->machinePath(), m_store->userPath());
        QString error;
        QCOMPARE(store.value(SettingKeys::fullWordsPosition(), &error), QStringLiteral("1"));
        QCOMPARE(error, QStringLiteral("Registry data not a string"));
    }

    void binaryOrHugeFilesLoadWithoutCrashing()
    {
        const QString path = m_dir->filePath(QStringLiteral("damaged.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray junk(1024 * 1024, '\x01');
        junk[5000] = '\n';
        junk += "\n[Velmorra]\nSettings\\TwoWordNum=7\n";
        file.write(junk);
        file.close();
        SettingsStore store(path, m_store->userPath());
        QCOMPARE(store.value(SettingKeys::twoWordsPosition()), QStringLiteral("7"));
        QCOMPARE(store.value(SettingKeys::threeWordsPosition()), QStringLiteral("1"));
        QVERIFY(store.loadProblem().contains(QStringLiteral("damaged")));
        QCOMPARE(QFileInfo(path + QStringLiteral(".damaged")).size(), junk.size());

        // The store holds what could be read and saves normally again.
        store.setValue(SettingKeys::fourWordsPosition(), QStringLiteral("9"));
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray text = raw.readAll();
        QVERIFY(text.contains("FourWordNum=9"));
        QVERIFY(text.contains("TwoWordNum=7"));
    }

    void writeFailuresGoThroughTheHandler()
    {
        QTemporaryDir dir;
        // A folder where the file should be: no store can be written there.
        const QString blocked = dir.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(blocked + QStringLiteral("/x")));
        SettingsStore store(blocked, dir.filePath(QStringLiteral("user.ini")));
        QList<SettingsStore::PermissionAnswer> answers{SettingsStore::PermissionAnswer::Retry,
                                                       SettingsStore::PermissionAnswer::Abort};
        int asked = 0;
        store.setPermissionHandler([&](const QString& message) {
            ++asked;
            Q_ASSERT(message.contains(QStringLiteral("please press 'Ignore'.")));
            return answers.takeFirst();
        });
        store.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("5"));
        QCOMPARE(asked, 2);
        // Abort holds for the rest of this run.
        store.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("6"));
        QCOMPARE(asked, 2);

        SettingsStore next(blocked, dir.filePath(QStringLiteral("user.ini")));
        next.setPermissionHandler([&](const QString&) {
            ++asked;
            return SettingsStore::PermissionAnswer::Ignore;
        });
        next.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("6"));
        QCOMPARE(asked, 3);
        QCOMPARE(next.value(SettingKeys::ignorePermissionDenied()), QStringLiteral("1"));

        // Ignore holds from now on, also for a new store on the same per-user area.
        store.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("7"));
        SettingsStore again(blocked, dir.filePath(QStringLiteral("user.ini")));
        again.setPermissionHandler([&](const QString&) {
            ++asked;
            return SettingsStore::PermissionAnswer::Abort;
        });
        again.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("8"));
        QCOMPARE(asked, 3);
    }

    void aFailureWhileTheQuestionIsOpenDoesNotAskAgain()
    {
        QTemporaryDir dir;
        const QString blocked = dir.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(blocked));
        SettingsStore store(blocked, dir.filePath(QStringLiteral("user.ini")));
        int asked = 0;
        bool nestedSaved = true;
        QString shown;
        store.setPermissionHandler([&](const QString& message) {
            ++asked;
            shown = message;
            // The dialog's event loop runs a timer that saves again.
            nestedSaved = store.setValue(SettingKeys::twoWordsPosition(), QStringLiteral("3"));
            return SettingsStore::PermissionAnswer::Abort;
        });
        QVERIFY(!store.setValue(SettingKeys::fullWordsPosition(), QStringLiteral("5")));
        QCOMPARE(asked, 1);
        QVERIFY(!nestedSaved);
        // The message names the real cause before the general advice.
        QVERIFY(shown.startsWith(
            QStringLiteral("Settings cannot be saved to %1: a folder of that name is in the way.")
                .arg(blocked)));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
