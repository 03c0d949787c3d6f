#pragma once

#include "engine/filing/check_history.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSqlDatabase;

namespace brisquel {

class HistoryReader;

// history.sqlite, written: record() hands a verdict to a writer thread, which writes what came in
// a transaction at a time (a quarter second's worth, or sooner when many are waiting), so that a
// search never waits for the disk. WAL mode and a busy time-out let a search, `history` and
// `watch` use one file at once; verdicts that meet another program's lock wait for it, at the end
// up to endWait(). A file that is no database, is damaged or holds something other than a history
// is moved aside ("history-damaged-STAMP.sqlite") and a new one started; a full disk is reported
// once and the verdicts of that moment are dropped (the result lists' text files stay the truth).
// The file's user_version is its tables' version: an older file is brought up to date at opening,
// one that a newer version of the program keeps is read as it is and nothing recorded in it.
class HistoryStore : public QObject, public CheckHistory
{
    Q_OBJECT
public:
    static constexpr const char* FileName = "history.sqlite";
    // Opening waits this long for another writer.
    static constexpr int BusyTimeoutMs = 10000;
    // How long, at the end, what is still waiting may wait for another program's lock on the file.
    static constexpr std::chrono::milliseconds DefaultEndWait{120000};

    explicit HistoryStore(const QString& path, QObject* parent = nullptr);
    // Closes.
    ~HistoryStore() override;

    // Opens the file, making it when missing. *notice says what was done about a damaged one.
    // False with the reason in *error when no history can be kept at all.
    bool open(QString* notice, QString* error);
    bool isOpen() const { return m_writer.joinable() || m_readOnly; }
    QString path() const { return m_path; }
    void setEndWait(std::chrono::milliseconds wait);
    // Writes what is still waiting, waiting out another program's lock up to endWait(), and stops
    // recording; what could not be written is in lostCount(). Problems met are said by problem().
    void close();

    void record(const CheckRecord& record) override;
    QHash<QString, TakenCheck> takenSince(const QDateTime& since) override;
    QHash<QString, CheckRecord> latestOf(const QStringList& asciiNames) override;
    // Written with the next batch of verdicts.
    void recordChange(const WatchChange& change) override;
    void flush() override;
    qint64 lostCount() const override;
    qint64 recordedCount() const override;
    qint64 writtenCount() const override;

Q_SIGNALS:
    // A write failed (full disk, a broken file); said once per kind of failure.
    void problem(const QString& text);

private:
    bool openReadOnly(const QString& why, QString* notice, QString* error);
    void writeLoop();
    // Writes batch after batch until the store closes and nothing is left.
    void writeUntilStopped(const QSqlDatabase& db);
    // A batch that met another writer's lock goes first with the next (said once at the end, when
    // it has to be waited for). Called and left with the lock held, like lose().
    void holdBack(std::unique_lock<std::mutex>& lock, std::vector<CheckRecord>& batch,
                  std::vector<WatchChange>& changes, bool stopping);
    // Verdicts that could not be written are counted lost, and the failure said once.
    void lose(std::unique_lock<std::mutex>& lock, qint64 count, bool fullDisk, const QString& why);
    bool writeBatch(const std::vector<CheckRecord>& batch, const std::vector<WatchChange>& changes,
                    int busyTimeoutMs, QString* error);
    static bool writeChanges(QSqlDatabase& db, const std::vector<WatchChange>& changes, QString* error);
    void reportOnce(const QString& kind, const QString& text);
    // What `read` reads once everything recorded is written; a failure is said once.
    template <typename Read>
    auto readWritten(Read read) -> decltype(read(nullptr));

    QString m_path;
    std::chrono::milliseconds m_endWait = DefaultEndWait;
    QString m_connection; // the writer thread's
    std::unique_ptr<HistoryReader> m_reader;
    std::thread m_writer;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    std::vector<CheckRecord> m_pending;
    std::vector<WatchChange> m_pendingChanges;
    quint64 m_flushAsked = 0;
    quint64 m_flushDone = 0;
    bool m_stop = false;
    bool m_readOnly = false; // a newer version's file
    qint64 m_lostCount = 0;
    qint64 m_recordedCount = 0;
    qint64 m_writtenCount = 0; // written or lost
    QStringList m_reported;
};

// The history of the data folder at `root`, open; null when none can be kept. What was done about
// a damaged file, or why there is no history, is added to *messages.
std::unique_ptr<HistoryStore> openFolderHistory(const QString& root, QStringList* messages);

} // namespace brisquel
