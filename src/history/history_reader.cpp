#include "history_reader.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>

namespace brisquel {

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("history-reader-%1").arg(++counter);
}

constexpr const char* Columns = "id, name, ascii, verdict, detail, server, method, state, expires, checked";

// Runs a prepared query; false with its error in *error, when one is asked for.
bool run(QSqlQuery& query, QString* error)
{
    if (query.exec())
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

HistoryRow rowFrom(const QSqlQuery& query)
{
    HistoryRow row;
    row.id = query.value(0).toLongLong();
    CheckRecord& record = row.record;
    record.name = query.value(1).toString();
    record.ascii = query.value(2).toString();
    record.verdict = verdictFromName(query.value(3).toString()).value_or(Verdict::Unanswered);
    record.detail = query.value(4).toString();
    record.server = query.value(5).toString();
    record.method = checkMethodFromName(query.value(6).toString()).value_or(CheckMethod::Whois);
    record.lifeCycle.state = query.value(7).toString();
    record.lifeCycle.expires = QDate::fromString(query.value(8).toString(), Qt::ISODate);
    record.checked = historyTimeFromText(query.value(9).toString());
    return row;
}

// A pattern with wildcards matches the whole name; without, any part of it. Only '*' and '?' are
// wildcards: GLOB's character classes are taken literally.
QString globFor(const QString& pattern)
{
    const QString lower = pattern.trimmed().toLower();
    QString escaped;
    for (const QChar c : lower) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']'))
            escaped += QLatin1Char('[') + c + QLatin1Char(']');
        else
            escaped += c;
    }
    if (lower.contains(QLatin1Char('*')) || lower.contains(QLatin1Char('?')))
        return escaped;
    return QLatin1Char('*') + escaped + QLatin1Char('*');
}

} // namespace

QByteArray historyTimeBytes(const QDateTime& time)
{
    // Written for every verdict: by hand, QDateTime::toString costs more than storing the row.
    if (!time.isValid())
        return {};
    const qint64 ms = time.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const time_t whole = time_t(seconds);
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[40];
    const int size = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                                   utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                                   utc.tm_sec, int(ms - seconds * 1000));
    return QByteArray(text, size);
}

QByteArray historyDateBytes(const QDate& date)
{
    if (!date.isValid())
        return {};
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    char text[24];
    return QByteArray(text, std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day));
}

QString historyTimeText(const QDateTime& time)
{
    return QString::fromLatin1(historyTimeBytes(time));
}

QDateTime historyTimeFromText(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

void setCheckpointOnClose(const QSqlDatabase& db, bool on)
{
    if (sqlite3* sqlite = sqliteHandle(db))
        sqlite3_db_config(sqlite, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, on ? 0 : 1, nullptr);
}

HistoryReader::HistoryReader(const QString& path)
    : m_path(path)
{}

HistoryReader::~HistoryReader()
{
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryReader::open(QString* error)
{
    if (isOpen())
        return true;
    if (!QFileInfo(m_path).isFile()) {
        *error = QStringLiteral("there is no history yet (%1 does not exist)").arg(m_path);
        return false;
    }
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery probe(db);
        if (db.open())
            setCheckpointOnClose(db, false);
        if (!db.isOpen() || !probe.exec(QStringLiteral("SELECT count(*) FROM checks WHERE id < 0"))) {
            *error = QStringLiteral("%1 cannot be read: %2")
                         .arg(m_path, db.isOpen() ? probe.lastError().text() : db.lastError().text());
            probe.finish();
            db.close();
        } else {
            setCheckpointOnClose(db, true);
            m_connection = name;
            return true;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return false;
}

bool HistoryReader::isOpen() const
{
    return !m_connection.isEmpty();
}

QList<HistoryRow> HistoryReader::rows(const HistoryFilter& filter, QString* error) const
{
    QList<HistoryRow> rows;
    forEachRow(
        filter,
        [&rows](const HistoryRow& row) {
            rows.append(row);
            return true;
        },
        error);
    return rows;
}

bool HistoryReader::forEachRow(const HistoryFilter& filter,
                               const std::function<bool(const HistoryRow&)>& take, QString* error) const
{
    if (!isOpen())
        return true;
    QStringList where;
    QVariantList values;
    if (!filter.namePattern.trimmed().isEmpty()) {
        where << QStringLiteral("(lower(name) GLOB ? OR ascii GLOB ?)");
        values << globFor(filter.namePattern) << globFor(filter.namePattern);
    }
    if (filter.verdict) {
        where << QStringLiteral("verdict = ?");
        values << QString::fromLatin1(verdictName(*filter.verdict));
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("checked >= ?");
        values << historyTimeText(filter.since);
    }
    if (filter.afterId > 0) {
        where << QStringLiteral("id > ?");
        values << filter.afterId;
    }
    QString sql = QStringLiteral("SELECT %1 FROM checks").arg(QLatin1String(Columns));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    // The newest `limit`, still listed oldest first.
    if (filter.limit > 0)
        sql = QStringLiteral("SELECT * FROM (%1 ORDER BY id DESC LIMIT %2) ORDER BY id")
                  .arg(sql)
                  .arg(filter.limit);
    else
        sql += QStringLiteral(" ORDER BY id");
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    if (!run(query, error))
        return false;
    while (query.next()) {
        if (!take(rowFrom(query)))
            break;
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    return true;
}

QHash<QString, TakenCheck> HistoryReader::takenSince(const QDateTime& since, QString* error) const
{
    QHash<QString, TakenCheck> taken;
    if (!isOpen())
        return taken;
    // Each name's newest check is the one recorded last, whatever its date says (a clock set back
    // dates a newer check earlier); only then does its age count, a date ahead of now passing as
    // recent. Only names checked since then can qualify, which keeps the grouping small.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT ascii, verdict, state, expires, checked FROM checks WHERE id IN (SELECT MAX(id) FROM checks "
        "WHERE ascii IN (SELECT ascii FROM checks WHERE checked >= ?) GROUP BY ascii) "
        "AND checked >= ? AND verdict IN ('registered', 'not-registrable') "
        "AND (state IS NULL OR state = '')"));
    query.addBindValue(historyTimeText(since));
    query.addBindValue(historyTimeText(since));
    if (!run(query, error))
        return taken;
    while (query.next()) {
        TakenCheck check;
        check.verdict = verdictFromName(query.value(1).toString()).value_or(Verdict::Registered);
        check.state = query.value(2).toString();
        check.expires = QDate::fromString(query.value(3).toString(), Qt::ISODate);
        check.checked = historyTimeFromText(query.value(4).toString());
        taken.insert(query.value(0).toString(), check);
    }
    if (query.lastError().isValid() && error)
        *error = query.lastError().text();
    return taken;
}

QHash<QString, CheckRecord> HistoryReader::latestOf(const QStringList& asciiNames, QString* error) const
{
    QHash<QString, CheckRecord> latest;
    if (!isOpen())
        return latest;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral(
            "SELECT %1 FROM checks WHERE ascii = ? AND verdict != 'unanswered' ORDER BY id DESC LIMIT 1")
            .arg(QLatin1String(Columns)));
    for (const QString& ascii : asciiNames) {
        query.bindValue(0, ascii.toLower());
        if (!run(query, error))
            return latest;
        if (query.next())
            latest.insert(ascii.toLower(), rowFrom(query).record);
        query.finish();
    }
    return latest;
}

QList<WatchChange> HistoryReader::changes(QString* error) const
{
    QList<WatchChange> changes;
    if (!isOpen())
        return changes;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT name, ascii, kind, before, after, noticed FROM changes ORDER BY id"));
    QString failure;
    if (!run(query, &failure)) {
        // Only a writer adds the table; a file no watch has written to yet simply has no changes.
        if (error && !failure.contains(QLatin1String("no such table")))
            *error = failure;
        return changes;
    }
    while (query.next()) {
        changes.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                        query.value(3).toString(), query.value(4).toString(),
                        historyTimeFromText(query.value(5).toString())});
    }
    return changes;
}

qint64 HistoryReader::dataVersion() const
{
    if (!isOpen())
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

} // namespace brisquel
