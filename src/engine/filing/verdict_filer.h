#pragma once

#include "engine/judging/drop_rules.h"
#include "engine/judging/name_facts.h"
#include "engine/filing/name_set.h"
#include "engine/filing/result_list_id.h"
#include "engine/judging/verdict.h"
#include "support/data_folder.h"
#include "support/line_appender.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace brisquel {

class CheckHistory;
class LiveListFiles;
class ResultLists;

// Where every verdict of every checker in the process goes: free names into High, Mid or Low
// Profile and their live files, taken ones into Registered, names without an answer into
// Unanswered.txt (once each, whoever asked); taken names about to drop also into Dropping.txt
// (name, state and date, once each across runs). A find that did not reach the disk is taken back
// from its list, so that nothing is shown as kept that is not; the checker then stops.
//
// A checker files each verdict at once (file()), or in batches (stage(), then writeStaged() once
// per turn of the event loop), which costs one write per file for the whole batch. One checker
// at a time files in batches: the search; the others' filings write its staged lines too.
class VerdictFiler : public QObject
{
    Q_OBJECT
public:
    // listFiles may be null: then the lists alone are kept.
    VerdictFiler(const DataFolder& folder, ResultLists* lists, LiveListFiles* listFiles,
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
    // The verdict is on disk (or could not be put there) when this returns.
    Filed file(const QString& domain, Verdict verdict, const QString& detail = QString(),
               const NameFacts& facts = NameFacts());
    // Takes the verdict into its list now and queues its line; the detail is file()'s, whether it
    // is saved is for writeStaged() to say.
    Filed stage(const QString& domain, Verdict verdict, const QString& detail = QString(),
                const NameFacts& facts = NameFacts());
    // Writes every queued line, one write per file, and says of each verdict staged since the last
    // call, in order, whether it reached the disk. Those that did not are taken back from their
    // lists; only the others are recorded in the history.
    std::vector<Filed> writeStaged();
    bool hasStaged() const { return !m_staged.empty(); }

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
    // A file of one name a line (maybe followed by tab-separated fields), each name once across
    // runs: the names in it are read on the first that is filed.
    class NameFile
    {
    public:
        explicit NameFile(const QString& path);
        QString path() const { return m_appender.path(); }
        // The names are read again with the next filing (the user may have edited the file).
        void reload() { m_names.reset(); }
        bool contains(const QString& name) { return names().contains(name); }
        // Queues the line of a name that is not in the file yet.
        void add(const QString& name, const QString& line);
        // After a failed write the names are read again: those that did not get in are not there.
        void write();
        QString error() const { return m_error; }

    private:
        NameSet& names();

        LineAppender m_appender;
        std::optional<NameSet> m_names;
        QString m_error;
    };

    // A verdict taken into the lists, its line queued; which file decides whether it is saved.
    struct Staged
    {
        enum class Target
        {
            None,
            List,
            Unanswered,
            Dropping,
        };
        QString domain;
        Verdict verdict = Verdict::Unanswered;
        QString detail;
        NameFacts facts;
        Target target = Target::None;
        ResultList list = ResultList::Low;
        Filed filed;
    };
    Staged prepare(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);
    void writeFiles();
    Filed resolve(const Staged& staged);
    void takeBack(ResultList list, const QString& domain);
    Filed failed(const QString& path, const QString& cause) const;
    void record(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);

    DataFolder m_folder;
    ResultLists* m_lists;
    LiveListFiles* m_listFiles;
    NameFile m_unanswered;
    NameFile m_dropping;
    std::shared_ptr<const DropRules> m_dropRules;
    std::vector<Staged> m_staged;
    std::unique_ptr<QLockFile> m_lock;
    int m_claims = 0;
    CheckHistory* m_history = nullptr;
    bool m_recordOnly = false;
};

} // namespace brisquel
