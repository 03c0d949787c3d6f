#pragma once

#include "engine/filing/check_history.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QSqlDatabase;
struct sqlite3;

namespace brisquel {

// What a history query asks for; empty fields do not filter.
struct HistoryFilter
{
    QString namePattern; // '*' and '?' as wildcards, else a part of the name; case-insensitive
    std::optional<Verdict> verdict;
    QDateTime since;
    qint64 afterId = 0; // only rows added after this one: a reader following a growing history
    int limit = 0;      // the newest this many; 0: all
};

struct HistoryRow
{
    qint64 id = 0;
    CheckRecord record;
};

// Reads history.sqlite, beside whoever writes it (another process too: the file is in WAL mode,
// so readers never wait for a search's writes, nor a search for them). A connection of its own,
// used on the thread that made the reader.
class HistoryReader
{
public:
    explicit HistoryReader(const QString& path);
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // False with the reason when there is no history to read (none yet, or not a database).
    bool open(QString* error);
    bool isOpen() const;

    // Oldest first. On a failure, *error says why and the rows read so far are returned.
    QList<HistoryRow> rows(const HistoryFilter& filter, QString* error = nullptr) const;
    // The same rows one at a time, without holding them all: a history of millions of checks is
    // printed in little memory. `take` returns false to stop. False with *error on a failure.
    bool forEachRow(const HistoryFilter& filter, const std::function<bool(const HistoryRow&)>& take,
                    QString* error = nullptr) const;
    // Per name (ASCII form), its newest check, the one recorded last, where that found the name
    // taken and not dropping and is dated at or after `since`.
    QHash<QString, TakenCheck> takenSince(const QDateTime& since, QString* error = nullptr) const;
    // The newest answer about each of these names (ASCII forms), however old: an unanswered check
    // says nothing of the name.
    QHash<QString, CheckRecord> latestOf(const QStringList& asciiNames, QString* error = nullptr) const;
    // What the watch list noticed, oldest first.
    // A history made before the watch list has none.
    QList<WatchChange> changes(QString* error = nullptr) const;
    // Changes with every commit of any connection: a window polls it to know when to read again.
    qint64 dataVersion() const;

private:
    QString m_path;
    QString m_connection;
};

// ISO 8601 in UTC with milliseconds: sorts as text in the order of time; empty for an invalid time.
QString historyTimeText(const QDateTime& time);
QByteArray historyTimeBytes(const QDateTime& time);
// yyyy-MM-dd; empty for an invalid date.
QByteArray historyDateBytes(const QDate& date);
QDateTime historyTimeFromText(const QString& text);

// SQLite's own handle of an open Qt SQL connection; null when the driver is another.
sqlite3* sqliteHandle(const QSqlDatabase& db);
// Whether closing the connection copies the WAL into the file when it is the last one (SQLite's
// way). Off while a file is looked at: a WAL beside it may be another database's.
void setCheckpointOnClose(const QSqlDatabase& db, bool on);

} // namespace brisquel
