#include "history_store.h"

#include "history/history_reader.h"
#include "support/clock.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <optional>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#include <sqlite3.h>

namespace brisquel {

namespace {

// A batch is written after this long, or at once when this many are waiting.
constexpr auto BatchInterval = std::chrono::milliseconds(250);
constexpr size_t BatchSize = 2000;
// A write waits this long for another writer's lock; its batch is then tried again with the next,
// so that closing never waits long for a try to end.
constexpr int WriteTryMs = 1000;
// Verdicts kept for another try while the file is busy; more than that are dropped.
constexpr size_t MostHeldBack = 200000;
// A file larger than this is not checked through at opening (the check reads all of it).
constexpr qint64 MostCheckedBytes = 256LL * 1024 * 1024;

QString nextConnectionName(const char* what)
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("history-%1-%2").arg(QLatin1String(what)).arg(++counter);
}

// The tables as version 1 has them; a later version changes them in its own step, not here.
const QStringList& versionOneTables()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS checks (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                       "ascii TEXT NOT NULL, verdict TEXT NOT NULL, detail TEXT, server TEXT, method TEXT, "
                       "state TEXT, expires TEXT, checked TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS checks_by_name ON checks (ascii)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS checks_by_time ON checks (checked)"),
        // What the watch list noticed; files made before it get the table when next opened.
        QStringLiteral("CREATE TABLE IF NOT EXISTS changes (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                       "ascii TEXT NOT NULL, kind TEXT NOT NULL, before TEXT, after TEXT, "
                       "noticed TEXT NOT NULL)"),
    };
    return statements;
}

bool isFullDisk(const QString& error)
{
    return error.contains(QLatin1String("full"), Qt::CaseInsensitive);
}

bool isBusy(const QString& error)
{
    return error.contains(QLatin1String("locked"), Qt::CaseInsensitive) ||
           error.contains(QLatin1String("busy"), Qt::CaseInsensitive);
}

// The version of the tables, in the file's user_version. Files made before it was kept say 0 and
// are taken when their tables are the history's.
constexpr int SchemaVersion = 1;

// 0 -> 1: a new file gets the tables; one made before the version was kept (its tables checked by
// foreignContent) is adopted as it is, only one from before the watch list gains the changes table.
bool toVersionOne(QSqlQuery& query, QString* error)
{
    for (const QString& statement : versionOneTables()) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

// One step per version: SchemaSteps[v] brings a file of version v to v + 1. A later version adds its
// step here, and the tables it changes are changed by that step alone.
using SchemaStep = bool (*)(QSqlQuery& query, QString* error);
constexpr SchemaStep SchemaSteps[] = {toVersionOne};
static_assert(std::size(SchemaSteps) == SchemaVersion);

// Brings a file of an older version up to SchemaVersion: the steps and the new version in one
// transaction, so that a failed step leaves the file as it was. A current file is not written to,
// so that another writer's lock costs nothing at opening.
bool updateSchema(QSqlDatabase& db, int version, QString* error)
{
    if (version >= SchemaVersion)
        return true;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = query.lastError().text();
        return false;
    }
    bool ok = true;
    for (int step = version; ok && step < SchemaVersion; ++step)
        ok = SchemaSteps[step](query, error);
    if (ok && !query.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion))) {
        ok = false;
        *error = query.lastError().text();
    }
    if (ok && !query.exec(QStringLiteral("COMMIT"))) {
        ok = false;
        *error = query.lastError().text();
    }
    if (!ok)
        query.exec(QStringLiteral("ROLLBACK"));
    return ok;
}

// Why the open file holds something other than a history; empty for a history or an empty file.
// A WAL of another database left beside the file ends here too: SQLite reads it as the file's
// newest state, and the file then shows that database. *version is the file's.
QString foreignContent(QSqlQuery& query, int* version)
{
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return query.lastError().text();
    *version = query.value(0).toInt();
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")))
        return query.lastError().text();
    QStringList tables;
    while (query.next())
        tables << query.value(0).toString();
    if (tables.isEmpty() && *version == 0)
        return {};
    // A newer history is known by its checks table; what its columns are now is its own business.
    if (*version > SchemaVersion && tables.contains(QLatin1String("checks")))
        return {};
    if (*version != 0 && *version != SchemaVersion)
        return QStringLiteral("it is not a history of this version of the program: its version is %1")
            .arg(*version);
    const bool checksFit =
        tables.contains(QLatin1String("checks")) &&
        query.exec(QStringLiteral("SELECT id, name, ascii, verdict, detail, server, method, state, expires, "
                                  "checked FROM checks LIMIT 0"));
    const bool changesFit = !tables.contains(QLatin1String("changes")) ||
                            query.exec(QStringLiteral(
                                "SELECT id, name, ascii, kind, before, after, noticed FROM changes LIMIT 0"));
    if (!checksFit || !changesFit)
        return QStringLiteral("it is not a history: its tables are %1")
            .arg(tables.join(QStringLiteral(", ")));
    return {};
}

// Makes the file ready: WAL mode, the tables, and (when not too large) a look through it. False
// with the reason; *damaged tells a file to move aside from one that could not be used just now,
// *newer one that a newer version of the program keeps.
bool prepareFile(const QString& path, QString* error, bool* damaged, bool* newer)
{
    const QString name = nextConnectionName("setup");
    bool ok = false;
    *newer = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(HistoryStore::BusyTimeoutMs));
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            // Until the file is known to be a history, closing must not copy a WAL found beside it
            // into the file: were that WAL another database's, it would overwrite the history.
            setCheckpointOnClose(db, false);
            QSqlQuery query(db);
            int version = 0;
            *error = foreignContent(query, &version);
            ok = error->isEmpty();
            // Nothing is written to a newer history, not even its journal mode: that program may
            // still want it as it was.
            if (ok && version > SchemaVersion) {
                ok = false;
                *newer = true;
                *error = QStringLiteral("is kept by a newer version of the program (its version is %1; this "
                                        "one knows versions up to %2)")
                             .arg(version)
                             .arg(SchemaVersion);
            }
            if (ok) {
                ok = query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && query.next() &&
                     query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
                if (!ok)
                    *error = query.lastError().isValid() ? query.lastError().text()
                                                         : QStringLiteral("it cannot be put in WAL mode");
            }
            query.finish();
            if (ok)
                ok = updateSchema(db, version, error);
            if (ok && QFileInfo(path).size() <= MostCheckedBytes) {
                ok = query.exec(QStringLiteral("PRAGMA quick_check(1)")) && query.next() &&
                     query.value(0).toString() == QLatin1String("ok");
                if (!ok)
                    *error =
                        query.lastError().isValid() ? query.lastError().text() : query.value(0).toString();
            }
            query.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    // A busy file is sound, only held by another writer for now.
    *damaged = !ok && !isBusy(*error) && !*newer;
    return ok;
}

// The file and its WAL companions go to history-damaged-STAMP.sqlite beside it.
bool moveAside(const QString& path, QString* movedTo, QString* error)
{
    const QFileInfo info(path);
    const QString stamp = Clock::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = info.dir().filePath(QStringLiteral("history-damaged-%1.sqlite").arg(stamp));
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = info.dir().filePath(QStringLiteral("history-damaged-%1-%2.sqlite").arg(stamp).arg(i));
    QFile file(path);
    if (!file.rename(target)) {
        *error = file.errorString();
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion) && !QFile::rename(companion, target + QLatin1String(suffix)))
            QFile::remove(companion);
    }
    *movedTo = target;
    return true;
}

// How long a write may wait for another writer's lock: a try's time, and at the end no longer
// than is left.
int writeTryMs(const std::optional<std::chrono::steady_clock::time_point>& endBy)
{
    if (!endBy)
        return WriteTryMs;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*endBy - std::chrono::steady_clock::now());
    return int(std::clamp<qint64>(left.count(), 0, WriteTryMs));
}

// The verdicts as rows of `checks`, straight through SQLite inside the caller's transaction; false
// with SQLite's message.
bool insertChecks(sqlite3* sqlite, const std::vector<CheckRecord>& batch, QString* error)
{
    sqlite3_stmt* insert = nullptr;
    const auto fail = [&] {
        *error = QString::fromUtf8(sqlite3_errmsg(sqlite));
        sqlite3_finalize(insert);
        return false;
    };
    if (sqlite3_prepare_v2(
            sqlite,
            "INSERT INTO checks (name, ascii, verdict, detail, server, method, state, expires, "
            "checked) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
            -1, &insert, nullptr) != SQLITE_OK)
        return fail();
    for (const CheckRecord& record : batch) {
        const QByteArray values[] = {
            record.name.toUtf8(),
            record.ascii.toUtf8(),
            QByteArray(verdictName(record.verdict)),
            record.detail.toUtf8(),
            record.server.toUtf8(),
            QByteArray(checkMethodName(record.method)),
            record.lifeCycle.state.toUtf8(),
            historyDateBytes(record.lifeCycle.expires),
            historyTimeBytes(record.checked),
        };
        for (int i = 0; i < int(std::size(values)); ++i) {
            // The values live until the row is stepped: SQLite need not copy them.
            if (sqlite3_bind_text(insert, i + 1, values[i].constData(), int(values[i].size()),
                                  SQLITE_STATIC) != SQLITE_OK)
                return fail();
        }
        if (sqlite3_step(insert) != SQLITE_DONE)
            return fail();
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return true;
}

} // namespace

HistoryStore::HistoryStore(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
{}

void HistoryStore::setEndWait(std::chrono::milliseconds wait)
{
    const std::lock_guard lock(m_mutex);
    m_endWait = wait;
}

HistoryStore::~HistoryStore()
{
    close();
}

void HistoryStore::close()
{
    m_readOnly = false;
    if (!m_writer.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

bool HistoryStore::open(QString* notice, QString* error)
{
    if (isOpen())
        return true;
    QString why;
    bool damaged = false;
    bool newer = false;
    if (!prepareFile(m_path, &why, &damaged, &newer)) {
        if (newer)
            return openReadOnly(why, notice, error);
        if (!QFileInfo::exists(m_path)) {
            *error = QStringLiteral("The history %1 cannot be made: %2").arg(m_path, why);
            return false;
        }
        if (!damaged) {
            *error = QStringLiteral("The history %1 cannot be opened: %2").arg(m_path, why);
            return false;
        }
        QString movedTo;
        QString moveError;
        if (!moveAside(m_path, &movedTo, &moveError)) {
            *error = QStringLiteral("The history %1 cannot be opened (%2) nor moved aside: %3")
                         .arg(m_path, why, moveError);
            return false;
        }
        *notice = QStringLiteral("The history %1 could not be opened (%2); it was moved to %3 and a new one "
                                 "started.")
                      .arg(m_path, why, movedTo);
        if (!prepareFile(m_path, &why, &damaged, &newer)) {
            *error = QStringLiteral("The history %1 cannot be made: %2").arg(m_path, why);
            return false;
        }
    }
    m_reader = std::make_unique<HistoryReader>(m_path);
    if (!m_reader->open(error))
        return false;
    m_connection = nextConnectionName("writer");
    m_stop = false;
    m_writer = std::thread([this] { writeLoop(); });
    return true;
}

// The newer version keeps its file as it left it: this one reads it, and records nothing in it.
bool HistoryStore::openReadOnly(const QString& why, QString* notice, QString* error)
{
    m_reader = std::make_unique<HistoryReader>(m_path);
    QString readError;
    if (!m_reader->open(&readError)) {
        *error = QStringLiteral("The history %1 %2; %3").arg(m_path, why, readError);
        return false;
    }
    m_readOnly = true;
    *notice = QStringLiteral("The history %1 %2: it is read as it is, and no verdict is recorded in it.")
                  .arg(m_path, why);
    return true;
}

void HistoryStore::record(const CheckRecord& record)
{
    if (!isOpen())
        return;
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        ++m_recordedCount;
        if (m_readOnly) {
            // Counted as lost, so that the search says how many verdicts the history did not take.
            ++m_lostCount;
            ++m_writtenCount;
            return;
        }
        m_pending.push_back(record);
        wake = m_pending.size() == BatchSize;
    }
    if (wake)
        m_wake.notify_one();
}

void HistoryStore::recordChange(const WatchChange& change)
{
    if (!isOpen() || m_readOnly)
        return;
    const std::lock_guard lock(m_mutex);
    m_pendingChanges.push_back(change);
}

void HistoryStore::flush()
{
    if (!m_writer.joinable())
        return;
    std::unique_lock lock(m_mutex);
    const quint64 asked = ++m_flushAsked;
    m_wake.notify_one();
    m_written.wait(lock, [&] { return m_flushDone >= asked; });
}

template <typename Read>
auto HistoryStore::readWritten(Read read) -> decltype(read(nullptr))
{
    if (!isOpen())
        return {};
    // What was recorded before is read too.
    flush();
    QString error;
    auto result = read(&error);
    if (!error.isEmpty())
        reportOnce(QStringLiteral("read"),
                   QStringLiteral("The history %1 cannot be read: %2").arg(m_path, error));
    return result;
}

QHash<QString, TakenCheck> HistoryStore::takenSince(const QDateTime& since)
{
    return readWritten([&](QString* error) { return m_reader->takenSince(since, error); });
}

QHash<QString, CheckRecord> HistoryStore::latestOf(const QStringList& asciiNames)
{
    return readWritten([&](QString* error) { return m_reader->latestOf(asciiNames, error); });
}

qint64 HistoryStore::lostCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_lostCount;
}

qint64 HistoryStore::recordedCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_recordedCount;
}

qint64 HistoryStore::writtenCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_writtenCount;
}

void HistoryStore::writeLoop()
{
#ifdef Q_OS_LINUX
    // Background work: on a busy machine the lookups go first, and the batches simply grow.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
#endif
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!db.open())
            reportOnce(
                QStringLiteral("open"),
                QStringLiteral("The history %1 cannot be written: %2").arg(m_path, db.lastError().text()));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        writeUntilStopped(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void HistoryStore::writeUntilStopped(const QSqlDatabase& db)
{
    // Set when the store closes; until then another writer's lock is waited out however long
    // (as long as no more than MostHeldBack verdicts wait).
    std::optional<std::chrono::steady_clock::time_point> endBy;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, BatchInterval, [&] {
            return m_stop || m_flushAsked > m_flushDone || m_pending.size() >= BatchSize;
        });
        std::vector<CheckRecord> batch;
        batch.swap(m_pending);
        std::vector<WatchChange> changes;
        changes.swap(m_pendingChanges);
        const quint64 asked = m_flushAsked;
        const bool stop = m_stop;
        if (stop && !endBy)
            endBy = std::chrono::steady_clock::now() + m_endWait;
        lock.unlock();
        QString error;
        const bool written = (batch.empty() && changes.empty()) ||
                             (db.isOpen() && writeBatch(batch, changes, writeTryMs(endBy), &error));
        lock.lock();
        if (written) {
            m_writtenCount += qint64(batch.size());
        } else if (isBusy(error) && m_pending.size() + batch.size() <= MostHeldBack &&
                   (!endBy || std::chrono::steady_clock::now() < *endBy)) {
            holdBack(lock, batch, changes, stop);
        } else {
            lose(lock, qint64(batch.size()), isFullDisk(error),
                 error.isEmpty() ? db.lastError().text() : error);
        }
        m_flushDone = asked;
        m_written.notify_all();
        if (stop && m_pending.empty() && m_pendingChanges.empty())
            break;
    }
}

void HistoryStore::holdBack(std::unique_lock<std::mutex>& lock, std::vector<CheckRecord>& batch,
                            std::vector<WatchChange>& changes, bool stopping)
{
    m_pending.insert(m_pending.begin(), std::make_move_iterator(batch.begin()),
                     std::make_move_iterator(batch.end()));
    m_pendingChanges.insert(m_pendingChanges.begin(), std::make_move_iterator(changes.begin()),
                            std::make_move_iterator(changes.end()));
    if (!stopping)
        return;
    const qint64 waiting = qint64(m_pending.size());
    const double seconds = double(m_endWait.count()) / 1000;
    lock.unlock();
    reportOnce(QStringLiteral("wait"),
               QStringLiteral("Another writer holds the history %1: the last %2 verdicts "
                              "wait for it, up to %3 s.")
                   .arg(m_path)
                   .arg(waiting)
                   .arg(seconds));
    lock.lock();
}

void HistoryStore::lose(std::unique_lock<std::mutex>& lock, qint64 count, bool fullDisk, const QString& why)
{
    m_lostCount += count;
    m_writtenCount += count;
    lock.unlock();
    if (fullDisk)
        reportOnce(
            QStringLiteral("full"),
            QStringLiteral("The history %1 cannot grow: the disk is full. Verdicts go on into the result "
                           "files but not into the history.")
                .arg(m_path));
    else
        reportOnce(QStringLiteral("write"),
                   QStringLiteral("The history %1 cannot be written: %2").arg(m_path, why));
    lock.lock();
}

bool HistoryStore::writeBatch(const std::vector<CheckRecord>& batch, const std::vector<WatchChange>& changes,
                              int busyTimeoutMs, QString* error)
{
    // The insert goes to SQLite directly on the connection Qt SQL opened: binding values through
    // QSqlQuery costs several times what SQLite spends storing them.
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    sqlite3* sqlite = sqliteHandle(db);
    if (!sqlite) {
        *error = QStringLiteral("the database driver is not SQLite");
        return false;
    }
    sqlite3_busy_timeout(sqlite, busyTimeoutMs);
    // The write lock at once: another writer is waited for here, not midway through the inserts.
    if (sqlite3_exec(sqlite, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(sqlite));
        return false;
    }
    if (!insertChecks(sqlite, batch, error)) {
        sqlite3_exec(sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    // Few: through Qt SQL, in the same transaction.
    QSqlDatabase connection = db;
    if (!changes.empty() && !writeChanges(connection, changes, error)) {
        sqlite3_exec(sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    if (sqlite3_exec(sqlite, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(sqlite));
        sqlite3_exec(sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

bool HistoryStore::writeChanges(QSqlDatabase& db, const std::vector<WatchChange>& changes, QString* error)
{
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO changes (name, ascii, kind, before, after, noticed) VALUES (?, ?, ?, ?, ?, ?)"));
    for (const WatchChange& change : changes) {
        insert.bindValue(0, change.name);
        insert.bindValue(1, change.ascii);
        insert.bindValue(2, change.kind);
        insert.bindValue(3, change.before);
        insert.bindValue(4, change.after);
        insert.bindValue(5, historyTimeText(change.noticed));
        if (!insert.exec()) {
            *error = insert.lastError().text();
            return false;
        }
    }
    return true;
}

std::unique_ptr<HistoryStore> openFolderHistory(const QString& root, QStringList* messages)
{
    auto store = std::make_unique<HistoryStore>(QDir(root).filePath(QLatin1String(HistoryStore::FileName)));
    QString notice;
    QString error;
    const bool opened = store->open(&notice, &error);
    if (!notice.isEmpty())
        messages->append(notice);
    if (!opened) {
        messages->append(error + QStringLiteral(" Searches go on without a history."));
        return nullptr;
    }
    return store;
}

void HistoryStore::reportOnce(const QString& kind, const QString& text)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_reported.contains(kind))
            return;
        m_reported.append(kind);
    }
    // From the writer thread too: the signal reaches the store's own thread through its event loop.
    Q_EMIT problem(text);
}

} // namespace brisquel
