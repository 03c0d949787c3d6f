#pragma once

#include "engine/filing/result_list_id.h"
#include "support/data_folder.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <array>
#include <functional>
#include <memory>

namespace brisquel {

class ResultLists;

// Mirrors High, Mid and Low Profile to the live list files, rolls full lists over to the
// overflow folder, and keeps the backup stamp in the file names.
class LiveListFiles : public QObject
{
    Q_OBJECT
public:
    static constexpr int OverflowLimit = 20000;

    LiveListFiles(DataFolder folder, ResultLists* lists, QObject* parent = nullptr);
    ~LiveListFiles() override;

    // Tests move time through this.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    QString backupStamp() const { return m_backupStamp; }
    QString liveFilePath(ResultList list) const;     // Low, Mid or High
    QString overflowFilePath(ResultList list) const; // Low, Mid or High

    // Brings the three live files level with the lists. Names filed since the last call are
    // appended, one write per file however many they are; a file is rewritten whole (atomically)
    // the first time, after its list was edited, after a new stamp and after a failed write.
    // Filing a name writes nothing by itself: its filer calls this once per batch.
    void saveLiveLists();
    // After filing: when a list holds 20000 entries, writes the overflow files, resets the lists
    // and signals overflowed(). Returns true when that happened.
    bool overflowCheck();
    // Whether the live file of Low, Mid or High holds every entry of its list (none waits for
    // saveLiveLists()), and if not, why the last write failed ("No space left on device").
    bool isSaved(ResultList list) const;
    QString saveError(ResultList list) const;
    // False (and reported) when a file could not be written; the lists must then stay.
    bool saveOverflowLists();
    // The live files are brought level first: they end with the lists of their stamp.
    void resetResultLists();
    QString newBackupStamp();

Q_SIGNALS:
    void overflowed();
    // A file could not be written; reported once per file, the search goes on.
    void writeFailed(const QString& message);

private:
    struct LiveFile;
    LiveFile& live(ResultList list);
    void report(const QString& path, const QString& error);
    // Before this run first replaces a file, a copy of what an earlier run left there goes to backups.
    bool keepEarlierRun(const QString& path);
    void onNameFiled(ResultList list, const QString& domain);
    void onListEdited(ResultList list);
    bool appendPending(LiveFile& file);
    void rewrite(LiveFile& file);
    void appendMarkerLine(const QString& path);
    QString stampedPath(const QString& fragment) const;

    DataFolder m_folder;
    ResultLists* m_lists;
    QString m_backupStamp;
    std::function<QDateTime()> m_clock;
    std::array<std::unique_ptr<LiveFile>, 3> m_live;
    QStringList m_reported;
    QSet<QString> m_ownFiles; // files this run has written whole
    QSet<QString> m_usedStamps;
};

} // namespace brisquel
