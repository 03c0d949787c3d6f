#pragma once

#include "engine/name_facts.h"
#include "engine/name_set.h"
#include "engine/result_list.h"
#include "engine/verdict.h"
#include "support/data_folder.h"
#include "support/line_appender.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QLockFile;

namespace brisquel {

class CheckHistory;
class ListFiles;
class ResultLists;

// Where every verdict of every checker in the process goes: free names into High, Mid or Low
// Profile and their live files, taken ones into Registered, names without an answer into
// Unanswered.txt (once each, whoever asked); taken names about to drop also into Dropping.txt
// (name, state and date, once each across runs). A find that did not reach the disk is taken back
// from its list, so that nothing is shown as kept that is not; the checker then stops.
class VerdictFiler : public QObject
{
    Q_OBJECT
public:
    // listFiles may be null: then the lists alone are kept.
    VerdictFiler(const DataFolder& folder, ResultLists* lists, ListFiles* listFiles,
                 QObject* parent = nullptr);
    ~VerdictFiler() override;

    struct Filed
    {
        bool saved = true;
        QString detail; // the list a find went to, or the verdict's own detail
        QString file;   // what could not be written, e.g. "LowProfile.txt"
        QString cause;  // why: "No space left on device"
        QString advice; // what the user can do about it
    };
    Filed file(const QString& domain, Verdict verdict, const QString& detail = QString(),
               const NameFacts& facts = NameFacts());

    // Every verdict filed from now on is also recorded there (none: not recorded). Verdicts that
    // came from the history itself are not recorded again, so they never renew themselves.
    void setHistory(CheckHistory* history) { m_history = history; }
    CheckHistory* history() const { return m_history; }
    // Verdicts go to the history alone: no list, no file, no claim on the folder (a check that may
    // run beside a search, such as the watch list's).
    void setRecordOnly(bool recordOnly) { m_recordOnly = recordOnly; }

    ResultLists* lists() const { return m_lists; }
    QString unansweredFilePath() const;
    QString droppingFilePath() const;
    // The names already in Unanswered.txt and Dropping.txt are read again (the user may have edited them).
    void reloadNameFiles();

    // Only one process at a time may search into a data folder: the other's atomic rewrites would
    // drop this one's finds. Every checker claims the folder while it files and releases it after;
    // the claims of one process share one lock. False with the holder named when another has it.
    bool claim(QString* error);
    void release();

private:
    Filed fileAvailable(const QString& domain, bool unconfirmed);
    Filed fileUnanswered(const QString& domain);
    Filed fileDropping(const QString& domain, const LifeCycle& lifeCycle);
    Filed failed(const QString& path, const QString& cause) const;
    void record(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);

    DataFolder m_folder;
    ResultLists* m_lists;
    ListFiles* m_listFiles;
    LineAppender m_unanswered;
    std::optional<NameSet> m_inUnansweredFile; // read on the first unanswered name
    LineAppender m_dropping;
    std::optional<NameSet> m_inDroppingFile; // read on the first dropping name
    std::unique_ptr<QLockFile> m_lock;
    int m_claims = 0;
    CheckHistory* m_history = nullptr;
    bool m_recordOnly = false;
};

} // namespace brisquel
