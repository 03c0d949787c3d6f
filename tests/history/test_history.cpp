#include "../engine/file_size_limit.h"
#include "../engine/search_harness.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "tools/fake_rdap_server.h"
#include "tools/fake_whois_server.h"
#include "whois_config/rdap_bootstrap.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <sqlite3.h>

using namespace brisquel;

namespace {

CheckRecord checked(const QString& name, Verdict verdict, const QDateTime& when)
{
    CheckRecord record;
    record.name = record.ascii = name;
    record.verdict = verdict;
    record.server = QStringLiteral("127.0.0.1");
    record.checked = when;
    return record;
}

QString historyPath(const test::Harness& harness)
{
    return harness.folder.path(QLatin1String(HistoryStore::FileName));
}

// Another program holding the file for writing, until release() (from any thread).
class OtherWriter
{
public:
    explicit OtherWriter(const QString& path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        m_holds = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtherWriter()
    {
        release();
        sqlite3_close(m_db);
    }
    bool holds() const { return m_holds; }
    void release()
    {
        if (m_holds.exchange(false))
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }

private:
    sqlite3* m_db = nullptr;
    std::atomic<bool> m_holds = false;
};

// A file made with these statements; the connection closes without copying its WAL into the file.
void makeDatabase(const QString& path, const QStringList& statements)
{
    const QString name = QStringLiteral("made");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        setCheckpointOnClose(db, false);
        QSqlQuery query(db);
        for (const QString& statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The file's user_version, read past the store: -1 when it cannot be read.
int userVersion(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    int version = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return version;
}

// A history as the program made it before the file kept a version, holding three checks; the
// tables of the watch list only when asked.
QStringList unversionedHistory(bool withChanges, int userVersion = 0)
{
    QStringList statements = {
        QStringLiteral(
            "CREATE TABLE checks (id INTEGER PRIMARY KEY, name TEXT NOT NULL, ascii TEXT NOT NULL, "
            "verdict TEXT NOT NULL, detail TEXT, server TEXT, method TEXT, state TEXT, expires TEXT, "
            "checked TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX checks_by_name ON checks (ascii)"),
        QStringLiteral("CREATE INDEX checks_by_time ON checks (checked)"),
    };
    if (withChanges)
        statements << QStringLiteral("CREATE TABLE changes (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                                     "ascii TEXT NOT NULL, kind TEXT NOT NULL, before TEXT, after TEXT, "
                                     "noticed TEXT NOT NULL)");
    for (const char* name : {"old1.com", "old2.com", "old3.com"})
        statements << QStringLiteral(
                          "INSERT INTO checks (name, ascii, verdict, server, method, checked) VALUES "
                          "('%1', '%1', 'registered', '127.0.0.1', 'whois', '2026-11-30T10:00:00.000Z')")
                          .arg(QLatin1String(name));
    statements << QStringLiteral("PRAGMA user_version = %1").arg(userVersion);
    return statements;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recheckRules_data()
    {
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<int>("hoursAgo");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("expiresInDays"); // 0: no date known
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("settled");
        QTest::newRow("taken yesterday") << "registered" << 24 << "" << 300 << 7 << true;
        QTest::newRow("not registrable yesterday") << "not-registrable" << 24 << "" << 0 << 7 << true;
        QTest::newRow("taken longer ago than the days") << "registered" << 8 * 24 << "" << 300 << 7 << false;
        QTest::newRow("dropping") << "registered" << 24 << "pendingDelete" << 300 << 7 << false;
        QTest::newRow("its expiry date has passed") << "registered" << 24 << "" << -1 << 7 << false;
        QTest::newRow("free") << "available" << 1 << "" << 0 << 7 << false;
        QTest::newRow("unanswered") << "unanswered" << 1 << "" << 0 << 7 << false;
        QTest::newRow("history off") << "registered" << 1 << "" << 0 << 0 << false;
        QTest::newRow("a clock that went back") << "registered" << -48 << "" << 0 << 7 << false;
    }

    void recheckRules()
    {
        QFETCH(QString, verdict);
        QFETCH(int, hoursAgo);
        QFETCH(QString, state);
        QFETCH(int, expiresInDays);
        QFETCH(int, days);
        QFETCH(bool, settled);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        TakenCheck last{*verdictFromName(verdict), state, {}, now.addSecs(-3600LL * hoursAgo)};
        if (expiresInDays != 0)
            last.expires = now.date().addDays(expiresInDays);
        const std::optional<QString> detail = settledByHistory(last, days, now);
        QCOMPARE(detail.has_value(), settled);
        if (settled)
            QCOMPARE(*detail, QStringLiteral("taken on %1 (history)")
                                  .arg(last.checked.toLocalTime().date().toString(Qt::ISODate)));
    }

    // A search records every verdict, and the next one asks only what the history cannot settle.
    void aSearchRecordsAndTheNextAsksLess()
    {
        test::FakeWhoisServer server;
        QVERIFY(server.listen());
        test::Harness harness(server.port());
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY2(store, qPrintable(messages.join(QLatin1Char('\n'))));
        harness.filer.setHistory(store.get());
        harness.driver.changeSetting(&SearchSettings::historyDays, 7);

        const QDateTime yesterday = QDateTime::currentDateTimeUtc().addDays(-1);
        store->record(checked(QStringLiteral("takenbefore.com"), Verdict::Registered, yesterday));
        CheckRecord dropping = checked(QStringLiteral("dropsoon.com"), Verdict::Registered, yesterday);
        dropping.lifeCycle.state = QStringLiteral("redemptionPeriod");
        store->record(dropping);
        CheckRecord expired = checked(QStringLiteral("expired.com"), Verdict::Registered, yesterday);
        expired.lifeCycle.expires = yesterday.date().addDays(-1);
        store->record(expired);
        store->record(checked(QStringLiteral("freebefore.com"), Verdict::Available, yesterday));
        // The newest check counts: taken two days ago, free yesterday.
        store->record(checked(QStringLiteral("wasfree.com"), Verdict::Registered, yesterday.addDays(-1)));
        store->record(checked(QStringLiteral("wasfree.com"), Verdict::Available, yesterday));

        const QString list = harness.writeList(
            "takenbefore.com\r\ndropsoon.com\r\nexpired.com\r\nfreebefore.com\r\nnew.com\r\nwasfree.com\r\n");
        QVERIFY(harness.run(list));
        QStringList asked = server.queries();
        asked.sort();
        QCOMPARE(asked, (QStringList{QStringLiteral("dropsoon.com"), QStringLiteral("expired.com"),
                                     QStringLiteral("freebefore.com"), QStringLiteral("new.com"),
                                     QStringLiteral("wasfree.com")}));
        QCOMPARE(harness.verdicts.value(QStringLiteral("takenbefore.com")), Verdict::Registered);
        QVERIFY(
            harness.details.value(QStringLiteral("takenbefore.com")).endsWith(QLatin1String("(history)")));
        QCOMPARE(harness.driver.historySettledCount(), 1);

        // Settled names are not recorded again (they would renew themselves); the others are.
        HistoryReader reader(historyPath(harness));
        QString error;
        QVERIFY2(reader.open(&error), qPrintable(error));
        store->flush();
        const QList<HistoryRow> rows = reader.rows({});
        QCOMPARE(rows.size(), 6 + 5);
        const CheckRecord& last = rows.last().record;
        QCOMPARE(last.method, CheckMethod::Whois);
        QCOMPARE(last.server, QStringLiteral("127.0.0.1"));
        QCOMPARE(last.lifeCycle.expires, QDate(2030, 8, 13));

        // Asked again when told to.
        const qsizetype before = server.queries().size();
        harness.driver.changeSetting(&SearchSettings::historyDays, 0);
        QVERIFY(harness.run(list));
        QCOMPARE(server.queries().size() - before, 6);
    }

    // A clock set back dates a newer check earlier: each name's last recorded check counts, and
    // then its age; one dated ahead passes as recent.
    void theLastRecordedCheckCountsWhateverItsDate()
    {
        QTemporaryDir dir;
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
        QVERIFY(store);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        store->record(checked(QStringLiteral("freenow.com"), Verdict::Registered, now.addSecs(-3600)));
        store->record(checked(QStringLiteral("freenow.com"), Verdict::Available, now.addDays(-10)));
        store->record(checked(QStringLiteral("ahead.com"), Verdict::Registered, now.addDays(2)));
        const QHash<QString, TakenCheck> taken = store->takenSince(now.addDays(-7));
        QCOMPARE(taken.keys(), QStringList{QStringLiteral("ahead.com")});
    }

    // A free name is recorded as decided by RDAP only when RDAP confirmed it; a confirmation that
    // brought no word, however it failed, leaves WHOIS and its server as what decided, in the
    // history and in the window's export. A name no server answered names the one asked.
    void aFailedConfirmationIsRecordedAsDecidedByWhois()
    {
        test::FakeWhoisServer whois;
        QVERIFY(whois.listen());
        test::FakeRdapServer rdap;
        QVERIFY(rdap.listen());
        // RDAP knows nothing of the first; then it answers 500, a page, 2 MiB, a redirect to
        // itself, and nothing, until it is given up, the confirmations waiting for it with it.
        const QStringList names = {QStringLiteral("freeone.com"),  QStringLiteral("brokenx.com"),
                                   QStringLiteral("garbagex.com"), QStringLiteral("hugex.com"),
                                   QStringLiteral("loopx.com"),    QStringLiteral("slowa.com"),
                                   QStringLiteral("slowb.com"),    QStringLiteral("slowc.com"),
                                   QStringLiteral("slowd.com"),    QStringLiteral("freetwo.com")};
        whois.setFreeNames(QSet<QString>(names.begin(), names.end()));
        test::FakeWhoisServer gone;
        QVERIFY(gone.listen());
        const quint16 gonePort = gone.port();
        gone.close();
        test::Harness harness(
            ExtensionTable({{QStringLiteral("com"), QStringLiteral("127.0.0.1"), whois.port(), true},
                            {QStringLiteral("net"), QStringLiteral("127.0.0.1"), gonePort, true}}));
        auto bootstrap = std::make_shared<RdapBootstrap>();
        bootstrap->load(QStringLiteral(R"({"services": [[["com"], ["%1"]]]})").arg(rdap.baseUrl()).toUtf8());
        SearchSettings settings = harness.driver.settings();
        settings.rdapBootstrap = bootstrap;
        settings.timings.deadServerMs = 1000;
        harness.driver.setSettings(settings);
        QHash<QString, Confirmation> confirmed;
        QObject::connect(&harness.driver, &SearchDriver::verdict,
                         [&](const QString& domain, Verdict, const QString&, const NameFacts& facts) {
                             confirmed.insert(domain, facts.confirmed);
                         });
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY(store);
        harness.filer.setHistory(store.get());
        QVERIFY(harness.run(
            harness.writeList(names.join(QStringLiteral("\r\n")).toUtf8() + "\r\nunanswered.net\r\n"),
            QStringLiteral("1"), 60000));
        store->flush();
        QCOMPARE(confirmed.value(QStringLiteral("freeone.com")), Confirmation::Rdap);

        HistoryTableModel table(historyPath(harness));
        table.refresh();
        HistoryFilterModel shown(&table);
        QList<CheckRecord> records = shown.records();
        QCOMPARE(records.size(), names.size() + 1);
        const auto isUnanswered = [](const CheckRecord& record) {
            return record.name == QLatin1String("unanswered.net");
        };
        const auto found = std::find_if(records.cbegin(), records.cend(), isUnanswered);
        QVERIFY(found != records.cend());
        const CheckRecord unanswered = *found;
        records.removeIf(isUnanswered);
        QCOMPARE(unanswered.verdict, Verdict::Unanswered);
        QCOMPARE(unanswered.server, QStringLiteral("127.0.0.1"));
        QCOMPARE(unanswered.method, CheckMethod::Whois);
        const QStringList exported = QString::fromUtf8(historyCsvFile(records)).split(QStringLiteral("\r\n"));
        for (const CheckRecord& record : records) {
            const bool byRdap = confirmed.value(record.name) == Confirmation::Rdap;
            QCOMPARE(record.verdict, Verdict::Available);
            QVERIFY2(record.method == (byRdap ? CheckMethod::Rdap : CheckMethod::Whois),
                     qPrintable(record.name));
            QCOMPARE(record.server, QStringLiteral("127.0.0.1"));
            const QString line = historyCsvLine(record);
            QVERIFY2(exported.contains(line), qPrintable(line));
            QCOMPARE(line.section(QLatin1Char(','), 5, 5),
                     byRdap ? QStringLiteral("rdap") : QStringLiteral("whois"));
        }
    }

    // `--name` and the window's filter: '*' and '?' are the only wildcards.
    void aNamePatternHasTwoWildcards()
    {
        QTemporaryDir dir;
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
        QVERIFY(store);
        for (const char* name : {"abc.com", "[a-z]x.com"})
            store->record(checked(QLatin1String(name), Verdict::Available, QDateTime::currentDateTimeUtc()));
        store->flush();
        HistoryReader reader(store->path());
        QString error;
        QVERIFY(reader.open(&error));
        for (const QString& pattern : {QStringLiteral("[a-z]*"), QStringLiteral("[A-Z]?.COM")}) {
            HistoryFilter filter;
            filter.namePattern = pattern;
            const QList<HistoryRow> rows = reader.rows(filter);
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().record.name, QStringLiteral("[a-z]x.com"));
            const HistoryNamePattern window(pattern);
            QVERIFY(window.matches(rows.first().record));
            QVERIFY(!window.matches(checked(QStringLiteral("abc.com"), Verdict::Available, {})));
        }
    }

    // Verdicts that meet another writer's lock at the end wait for it, and go in once it clears.
    void theLastVerdictsWaitForAnotherWriter()
    {
        QTemporaryDir dir;
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
        QVERIFY(store);
        const QString path = store->path();
        OtherWriter other(path);
        QVERIFY(other.holds());
        // It lets go once the store says it waits.
        QObject::connect(store.get(), &HistoryStore::problem, [&other](const QString&) { other.release(); });
        for (int i = 0; i < 200; ++i)
            store->record(checked(QStringLiteral("name%1.com").arg(i), Verdict::Available,
                                  QDateTime::currentDateTimeUtc()));
        store.reset();
        HistoryReader reader(path);
        QString error;
        QVERIFY(reader.open(&error));
        QCOMPARE(reader.rows({}).size(), 200);
    }

    // A lock that outlasts the wait: the search learns how many of its verdicts the history lost.
    void aLockOutlastingTheWaitIsCounted()
    {
        test::FakeWhoisServer server;
        QVERIFY(server.listen());
        test::Harness harness(server.port());
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY(store);
        store->setEndWait(std::chrono::milliseconds(300));
        harness.filer.setHistory(store.get());
        QSignalSpy problems(store.get(), &HistoryStore::problem);
        OtherWriter other(store->path());
        QVERIFY(other.holds());
        QVERIFY(harness.run(harness.writeList("a.com\r\nb.com\r\nfreec.com\r\n")));
        store->close();
        QCOMPARE(store->lostCount(), 3);
        QCOMPARE(harness.driver.progress().historyLost, 3);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.at(0).at(0).toString().contains(QLatin1String("locked")));
    }

    // The position a search saves never passes a verdict the history has not written yet: killed
    // there, the search would go on after names it neither filed nor recorded. Saved along the
    // way, it waits for the history's writes; a history that cannot write holds it back.
    void theSavedPositionWaitsForTheHistory()
    {
        test::FakeWhoisServer server;
        QVERIFY(server.listen());
        server.setDelayMs(10);
        test::Harness harness(server.port());
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY(store);
        harness.filer.setHistory(store.get());
        // One name at a time: the names before the position are the first ones recorded.
        harness.driver.changeSetting(&SearchSettings::poolSize, 1);
        QSet<qint64> saved;
        bool behind = true;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            const qint64 position = harness.settings.value(SettingKeys::customListPosition()).toLongLong();
            if (position == 0)
                return;
            saved.insert(position);
            behind = behind && position - 1 <= store->writtenCount();
        });
        look.start(2);
        QVERIFY(harness.run(harness.writeList(test::numberedList(200, "name")), QStringLiteral("1"), 30000));
        look.stop();
        QVERIFY(behind);
        QVERIFY(saved.size() > 1);
        QCOMPARE(harness.settings.value(SettingKeys::customListPosition()), QStringLiteral("201"));

        test::Harness held(server.port());
        held.filer.setHistory(store.get());
        OtherWriter other(store->path());
        QVERIFY(other.holds());
        QVERIFY(held.run(held.writeList("a.com\r\nb.com\r\n")));
        QCOMPARE(held.driver.resumePosition(), 3);
        // Still at the start of the list.
        QCOMPARE(held.settings.value(SettingKeys::customListPosition()), QStringLiteral("1"));
        other.release();
        store->close();
        QCOMPARE(store->writtenCount(), store->recordedCount());
    }

    // A search writes while another writer (the watch list) and a reader work on the same file:
    // every row arrives.
    void writersAndReadersShareTheFile()
    {
        test::FakeWhoisServer server;
        QVERIFY(server.listen());
        test::Harness harness(server.port());
        QStringList messages;
        std::unique_ptr<HistoryStore> search = openFolderHistory(harness.folder.root(), &messages);
        std::unique_ptr<HistoryStore> watch = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY(search && watch);
        harness.filer.setHistory(search.get());

        QByteArray names;
        for (int i = 0; i < 400; ++i)
            names += "name" + QByteArray::number(i) + ".com\r\n";
        const QString list = harness.writeList(names);

        HistoryReader reader(historyPath(harness));
        QString error;
        QVERIFY(reader.open(&error));
        int watched = 0;
        qint64 lastSeen = 0;
        QTimer busy;
        QObject::connect(&busy, &QTimer::timeout, [&] {
            for (int i = 0; i < 50 && watched < 3000; ++i, ++watched)
                watch->record(checked(QStringLiteral("watched%1.com").arg(watched), Verdict::Registered,
                                      QDateTime::currentDateTimeUtc()));
            const QList<HistoryRow> rows = reader.rows({{}, {}, {}, lastSeen, 0});
            if (!rows.isEmpty())
                lastSeen = rows.last().id;
        });
        busy.start(1);
        QVERIFY(harness.run(list));
        QTRY_COMPARE(watched, 3000);
        busy.stop();
        search->flush();
        watch->flush();
        QCOMPARE(search->lostCount() + watch->lostCount(), 0);
        QCOMPARE(reader.rows({}).size(), 400 + 3000);
    }

    // A history that cannot grow is said once; the search and its text files go on.
    void aFullDiskCostsTheHistoryOnly()
    {
        test::FakeWhoisServer server;
        QVERIFY(server.listen());
        test::Harness harness(server.port());
        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(harness.folder.root(), &messages);
        QVERIFY(store);
        harness.filer.setHistory(store.get());
        QSignalSpy problems(store.get(), &HistoryStore::problem);
        QByteArray names;
        for (int i = 1; i <= 3000; ++i)
            names += (i % 10 == 0 ? "free" : "name") + QByteArray::number(i) + ".com\r\n";
        const QString list = harness.writeList(names);
        test::FileSizeLimit limit(96 * 1024);
        QVERIFY(limit.isSet());
        QVERIFY(harness.run(list));
        store->flush();
        limit.lift();
        QTRY_COMPARE(problems.size(), 1);
        QVERIFY(store->lostCount() > 0);
        QCOMPARE(harness.outcomes.size(), 3000);
        QCOMPARE(harness.fileLines(QStringLiteral("MidProfile.txt")).size() +
                     harness.fileLines(QStringLiteral("LowProfile.txt")).size() +
                     harness.fileLines(QStringLiteral("HighProfile.txt")).size(),
                 300);
    }

    void aDamagedFileIsMovedAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(HistoryStore::FileName));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();

        QStringList messages;
        std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
        QVERIFY(store);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QLatin1String("moved to")), qPrintable(messages.first()));
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("history-damaged-*.sqlite")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(QFileInfo(dir.filePath(aside.first())).size(), 4096);
        // The new one works; an unanswered check says nothing of the name.
        store->record(checked(QStringLiteral("a.com"), Verdict::Available, QDateTime::currentDateTimeUtc()));
        store->record(checked(QStringLiteral("a.com"), Verdict::Unanswered, QDateTime::currentDateTimeUtc()));
        QCOMPARE(store->latestOf({QStringLiteral("a.com")}).value(QStringLiteral("a.com")).verdict,
                 Verdict::Available);
    }

    // A file that holds something else than a history is moved aside with its WAL, untouched: a WAL
    // of another database left beside a history, or a history of another version.
    void aForeignFileIsMovedAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(HistoryStore::FileName));
        QStringList messages;
        {
            std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
            QVERIFY(store);
            for (int i = 0; i < 30; ++i)
                store->record(checked(QStringLiteral("kept%1.com").arg(i), Verdict::Registered,
                                      QDateTime::currentDateTimeUtc()));
        }
        const QString other = dir.filePath(QStringLiteral("other.sqlite"));
        makeDatabase(other,
                     {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("CREATE TABLE notes (x)"),
                      QStringLiteral("INSERT INTO notes VALUES (1)")});
        QVERIFY(QFile::copy(other + QLatin1String("-wal"), path + QLatin1String("-wal")));

        std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
        QVERIFY(store);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QLatin1String("its tables are notes")),
                 qPrintable(messages.first()));
        QVERIFY(store->takenSince(QDateTime::currentDateTimeUtc().addDays(-1)).isEmpty());
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("history-damaged-*.sqlite")});
        QCOMPARE(aside.size(), 1);
        const QString movedTo = dir.filePath(aside.first());
        // Without the stray WAL the file moved aside is the history it was.
        QVERIFY(QFile::remove(movedTo + QLatin1String("-wal")));
        QFile::remove(movedTo + QLatin1String("-shm"));
        HistoryReader reader(movedTo);
        QString error;
        QVERIFY2(reader.open(&error), qPrintable(error));
        QCOMPARE(reader.rows({}).size(), 30);

        store.reset();
        makeDatabase(path, {QStringLiteral("PRAGMA user_version = 99")});
        messages.clear();
        QVERIFY(openFolderHistory(dir.path(), &messages));
        QVERIFY2(messages.value(0).contains(QLatin1String("its version is 99")),
                 qPrintable(messages.value(0)));
    }

    // A new file gets the current version; one from before the version was kept is adopted with its
    // rows (one from before the watch list gains the changes table); one a newer version keeps is
    // read and never written to, unless it is no history at all.
    void theFileCarriesItsSchemaVersion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(HistoryStore::FileName));
        const auto removeHistory = [&path] {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(suffix));
            return !QFileInfo::exists(path);
        };
        QStringList messages;
        QVERIFY(openFolderHistory(dir.path(), &messages));
        QCOMPARE(messages, QStringList());
        QCOMPARE(userVersion(path), 1);

        for (const bool withChanges : {true, false}) {
            QVERIFY(removeHistory());
            makeDatabase(path, unversionedHistory(withChanges));
            std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
            QVERIFY(store);
            QCOMPARE(messages, QStringList());
            QCOMPARE(userVersion(path), 1);
            store->recordChange({QStringLiteral("old1.com"), QStringLiteral("old1.com"),
                                 QStringLiteral("came-free"), QStringLiteral("registered"),
                                 QStringLiteral("available"), QDateTime::currentDateTimeUtc()});
            store->record(
                checked(QStringLiteral("new.com"), Verdict::Available, QDateTime::currentDateTimeUtc()));
            store.reset();
            HistoryReader reader(path);
            QString error;
            QVERIFY2(reader.open(&error), qPrintable(error));
            const QList<HistoryRow> rows = reader.rows({});
            QCOMPARE(rows.size(), 4);
            QCOMPARE(rows.first().record.name, QStringLiteral("old1.com"));
            QCOMPARE(rows.first().record.verdict, Verdict::Registered);
            QCOMPARE(reader.changes().size(), 1);
        }

        QVERIFY(removeHistory());
        makeDatabase(path, unversionedHistory(true, 2));
        const QByteArray before = fileBytes(path);
        {
            std::unique_ptr<HistoryStore> store = openFolderHistory(dir.path(), &messages);
            QVERIFY(store);
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().contains(QLatin1String("newer version")) &&
                         messages.first().contains(QLatin1String("its version is 2")),
                     qPrintable(messages.first()));
            QCOMPARE(store->latestOf({QStringLiteral("old2.com")}).value(QStringLiteral("old2.com")).verdict,
                     Verdict::Registered);
            store->record(
                checked(QStringLiteral("new.com"), Verdict::Available, QDateTime::currentDateTimeUtc()));
            store->recordChange({QStringLiteral("old1.com"), QStringLiteral("old1.com"),
                                 QStringLiteral("came-free"), QStringLiteral("registered"),
                                 QStringLiteral("available"), QDateTime::currentDateTimeUtc()});
            store->flush();
            QCOMPARE(store->lostCount(), 1);
            QCOMPARE(store->writtenCount(), store->recordedCount());
        }
        QCOMPARE(fileBytes(path), before);
        QVERIFY(!QFileInfo::exists(path + QLatin1String("-wal")));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("history-damaged-*")}), QStringList());

        // A version number on a database without the history's tables does not make it one.
        QVERIFY(removeHistory());
        makeDatabase(path,
                     {QStringLiteral("CREATE TABLE notes (x)"), QStringLiteral("PRAGMA user_version = 2")});
        messages.clear();
        QVERIFY(openFolderHistory(dir.path(), &messages));
        QVERIFY2(messages.value(0).contains(QLatin1String("moved to")), qPrintable(messages.value(0)));
        QCOMPARE(userVersion(path), 1);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
