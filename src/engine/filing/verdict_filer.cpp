#include "verdict_filer.h"

#include "engine/filing/check_history.h"
#include "engine/filing/drop_calendar.h"
#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "support/clock.h"
#include "support/file_helpers.h"
#include "support/text_file.h"

#include <QFileInfo>
#include <QLockFile>

namespace brisquel {

namespace {
const QString UnansweredFileName = QStringLiteral("Unanswered.txt");
const QString DroppingFileName = QStringLiteral("Dropping.txt");
const QString LockFileName = QStringLiteral("search.lock");

// The names of a file of one name a line, each maybe followed by tab-separated fields.
void readNames(const QString& path, NameSet* names)
{
    QStringList lines;
    TextFile::readLines(path, &lines);
    for (const QString& line : std::as_const(lines))
        names->insert(line.section(QLatin1Char('\t'), 0, 0).trimmed());
}
} // namespace

VerdictFiler::NameFile::NameFile(const QString& path)
    : m_appender(path)
{}

NameSet& VerdictFiler::NameFile::names()
{
    if (!m_names) {
        m_names.emplace();
        readNames(path(), &*m_names);
    }
    return *m_names;
}

void VerdictFiler::NameFile::add(const QString& name, const QString& line)
{
    if (names().insert(name))
        m_appender.add(line);
}

void VerdictFiler::NameFile::write()
{
    if (!m_appender.write(&m_error))
        m_names.reset();
}

VerdictFiler::VerdictFiler(const DataFolder& folder, ResultLists* lists, LiveListFiles* listFiles,
                           QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_lists(lists)
    , m_listFiles(listFiles)
    , m_unanswered(folder.path(UnansweredFileName))
    , m_dropping(folder.path(DroppingFileName))
    , m_dropRules(DropRules::inFolderFile(folder.path(QStringLiteral("drop-rules.txt")), nullptr))
{}

VerdictFiler::~VerdictFiler() = default;

QString VerdictFiler::unansweredFilePath() const
{
    return m_unanswered.path();
}

QString VerdictFiler::droppingFilePath() const
{
    return m_dropping.path();
}

VerdictFiler::Filed VerdictFiler::file(const QString& domain, Verdict verdict, const QString& detail,
                                       const NameFacts& facts)
{
    const Staged staged = prepare(domain, verdict, detail, facts);
    writeFiles();
    const Filed filed = resolve(staged);
    if (m_listFiles)
        m_listFiles->overflowCheck();
    return filed;
}

VerdictFiler::Filed VerdictFiler::stage(const QString& domain, Verdict verdict, const QString& detail,
                                        const NameFacts& facts)
{
    m_staged.push_back(prepare(domain, verdict, detail, facts));
    return m_staged.back().filed;
}

std::vector<VerdictFiler::Filed> VerdictFiler::writeStaged()
{
    std::vector<Filed> filed;
    if (m_staged.empty())
        return filed;
    const std::vector<Staged> staged = std::exchange(m_staged, {});
    writeFiles();
    filed.reserve(staged.size());
    for (const Staged& one : staged)
        filed.push_back(resolve(one));
    // Once the names are known to be on disk: an overflow starts new files.
    if (m_listFiles)
        m_listFiles->overflowCheck();
    return filed;
}

VerdictFiler::Staged VerdictFiler::prepare(const QString& domain, Verdict verdict, const QString& detail,
                                           const NameFacts& facts)
{
    Staged staged;
    staged.domain = domain;
    staged.verdict = verdict;
    staged.detail = detail;
    staged.facts = facts;
    staged.filed.detail = detail;
    if (m_recordOnly)
        return staged;
    switch (verdict) {
    case Verdict::Available: {
        bool added = false;
        const std::optional<ResultList> list =
            m_lists->addAvailableName(domain, &added, facts.confirmed == Confirmation::None);
        staged.filed.detail = list ? idleCaption(*list) : QString();
        // A name listed already is in its file already, or its failed write was reported then.
        if (added && m_listFiles) {
            staged.target = Staged::Target::List;
            staged.list = *list;
        }
        break;
    }
    case Verdict::Registered:
    case Verdict::NotRegistrable:
        // Names about to drop, for whoever watches them: kept across runs, each name once.
        if (facts.lifeCycle.isDropping()) {
            staged.target = Staged::Target::Dropping;
            const DropEstimate estimate = estimateDrop(facts.lifeCycle, m_dropRules->forName(domain),
                                                       Clock::currentDateTimeUtc().date());
            m_dropping.add(domain, DropCalendar::line(domain, facts.lifeCycle, estimate));
        }
        staged.filed.detail = detail.isEmpty() ? idleCaption(ResultList::Registered) : detail;
        break;
    case Verdict::Unanswered:
        // A name left over from an earlier search, or from another checker, is in the file already.
        staged.target = Staged::Target::Unanswered;
        m_unanswered.add(domain, domain);
        break;
    }
    return staged;
}

void VerdictFiler::writeFiles()
{
    if (m_listFiles)
        m_listFiles->saveLiveLists();
    m_unanswered.write();
    m_dropping.write();
}

// Whether the verdict is on disk is asked of its file as it stands now: another checker's filing
// may have written (or failed to write) its line since it was staged.
VerdictFiler::Filed VerdictFiler::resolve(const Staged& staged)
{
    switch (staged.target) {
    case Staged::Target::None:
        break;
    case Staged::Target::List:
        if (!m_listFiles->isSaved(staged.list)) {
            // Shown but not on disk would be a find that vanishes with the window: take it back,
            // so that the next check finds and saves it.
            takeBack(staged.list, staged.domain);
            return failed(m_listFiles->liveFilePath(staged.list), m_listFiles->saveError(staged.list));
        }
        break;
    case Staged::Target::Unanswered:
        if (!m_unanswered.contains(staged.domain))
            return failed(m_unanswered.path(), m_unanswered.error());
        break;
    case Staged::Target::Dropping:
        if (!m_dropping.contains(staged.domain))
            return failed(m_dropping.path(), m_dropping.error());
        break;
    }
    // Reserved and premium names cannot be had either; they go with the taken ones.
    if (!m_recordOnly && (staged.verdict == Verdict::Registered || staged.verdict == Verdict::NotRegistrable))
        m_lists->addRegisteredName(staged.domain);
    // The verdict's own detail, else where it was filed ("Mid Profile", "Registered").
    record(staged.domain, staged.verdict, staged.detail.isEmpty() ? staged.filed.detail : staged.detail,
           staged.facts);
    return staged.filed;
}

void VerdictFiler::takeBack(ResultList list, const QString& domain)
{
    // Names filed in one batch are the last of their list, unless it was edited meanwhile.
    const int at = int(m_lists->entries(list).lastIndexOf(domain));
    if (at >= 0)
        m_lists->deleteEntry(list, at);
}

void VerdictFiler::record(const QString& domain, Verdict verdict, const QString& detail,
                          const NameFacts& facts)
{
    if (!m_history || facts.method == CheckMethod::History)
        return;
    CheckRecord record;
    record.name = domain;
    record.ascii = historyKey(domain);
    record.verdict = verdict;
    record.detail = detail;
    record.server = facts.server;
    record.method = facts.method;
    record.lifeCycle = facts.lifeCycle;
    record.checked = Clock::currentDateTimeUtc();
    m_history->record(record);
}

void VerdictFiler::reloadNameFiles()
{
    m_dropping.reload();
    m_unanswered.reload();
}

VerdictFiler::Filed VerdictFiler::failed(const QString& path, const QString& cause) const
{
    Filed filed;
    filed.saved = false;
    filed.file = fileNamePart(path);
    filed.cause = cause;
    if (QFileInfo(path).isDir())
        filed.advice = QStringLiteral("%1 is a folder; move it out of the way").arg(filed.file);
    else if (TextFile::isOutOfSpace(cause))
        filed.advice = QStringLiteral("free some space");
    else
        filed.advice = QStringLiteral("make the data folder writable");
    return filed;
}

bool VerdictFiler::claim(QString* error)
{
    if (m_recordOnly || m_claims > 0) {
        ++m_claims;
        return true;
    }
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(m_folder.path(LockFileName));
        // Never stale by age: a search may run for days. A lock whose process is gone is taken over.
        m_lock->setStaleLockTime(0);
    }
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError) {
            // A folder that cannot hold the lock cannot hold finds either; the first write says so.
            ++m_claims;
            return true;
        }
        qint64 pid = 0;
        QString host;
        QString program;
        m_lock->getLockInfo(&pid, &host, &program);
        if (error) {
            const QString who = program.isEmpty() ? QStringLiteral("another program") : program;
            *error = QStringLiteral("Another search is writing into this data folder: %1 (process %2%3). "
                                    "Wait until it ends or stop it, then start again.")
                         .arg(who)
                         .arg(pid)
                         .arg(host.isEmpty() ? QString() : QStringLiteral(" on ") + host);
        }
        return false;
    }
    ++m_claims;
    return true;
}

void VerdictFiler::release()
{
    if (m_claims == 0 || --m_claims > 0 || m_recordOnly)
        return;
    if (m_lock && m_lock->isLocked())
        m_lock->unlock();
}

} // namespace brisquel
