#include "verdict_filer.h"

#include "engine/check_history.h"
#include "engine/list_files.h"
#include "engine/result_lists.h"
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

VerdictFiler::VerdictFiler(const DataFolder& folder, ResultLists* lists, ListFiles* listFiles,
                           QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_lists(lists)
    , m_listFiles(listFiles)
    , m_unanswered(folder.path(UnansweredFileName))
    , m_dropping(folder.path(DroppingFileName))
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
    Filed filed;
    if (m_recordOnly) {
        filed.detail = detail;
        record(domain, verdict, detail, facts);
        return filed;
    }
    switch (verdict) {
    case Verdict::Available:
        filed = fileAvailable(domain, facts.confirmed == Confirmation::None);
        break;
    case Verdict::Registered:
    case Verdict::NotRegistrable:
        if (facts.lifeCycle.isDropping()) {
            filed = fileDropping(domain, facts.lifeCycle);
            if (!filed.saved)
                return filed;
        }
        // Reserved and premium names cannot be had either; they go with the taken ones.
        m_lists->addRegisteredName(domain);
        filed.detail = detail.isEmpty() ? idleCaption(ResultList::Registered) : detail;
        break;
    case Verdict::Unanswered:
        filed = fileUnanswered(domain);
        filed.detail = detail;
        break;
    }
    if (filed.saved && m_listFiles)
        m_listFiles->overflowCheck();
    // The verdict's own detail, else where it was filed ("Mid Profile", "Registered").
    if (filed.saved)
        record(domain, verdict, detail.isEmpty() ? filed.detail : detail, facts);
    return filed;
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
    record.checked = QDateTime::currentDateTimeUtc();
    m_history->record(record);
}

VerdictFiler::Filed VerdictFiler::fileAvailable(const QString& domain, bool unconfirmed)
{
    Filed filed;
    bool added = false;
    const std::optional<ResultList> list = m_lists->addAvailableName(domain, &added, unconfirmed);
    filed.detail = list ? idleCaption(*list) : QString();
    // A name listed already is in its file already, or its failed write was reported then.
    if (!added || !m_listFiles || m_listFiles->isSaved(*list))
        return filed;
    // Shown but not on disk would be a find that vanishes with the window: take it back, so that
    // the next check finds and saves it.
    const int last = m_lists->entryCount(*list) - 1;
    if (last >= 0 && m_lists->entries(*list).at(last) == domain)
        m_lists->deleteEntry(*list, last);
    return failed(m_listFiles->liveFilePath(*list), m_listFiles->saveError(*list));
}

void VerdictFiler::reloadNameFiles()
{
    m_inDroppingFile.reset();
    m_inUnansweredFile.reset();
}

VerdictFiler::Filed VerdictFiler::fileUnanswered(const QString& domain)
{
    if (!m_inUnansweredFile) {
        m_inUnansweredFile.emplace();
        readNames(unansweredFilePath(), &*m_inUnansweredFile);
    }
    // A name left over from an earlier search, or from another checker, is in the file already.
    if (m_inUnansweredFile->contains(domain))
        return {};
    QString cause;
    if (!m_unanswered.append(domain, &cause))
        return failed(unansweredFilePath(), cause);
    m_inUnansweredFile->insert(domain);
    return {};
}

// Names about to drop, for whoever watches them: kept across runs, each name once.
VerdictFiler::Filed VerdictFiler::fileDropping(const QString& domain, const LifeCycle& lifeCycle)
{
    if (!m_inDroppingFile) {
        m_inDroppingFile.emplace();
        readNames(droppingFilePath(), &*m_inDroppingFile);
    }
    if (m_inDroppingFile->contains(domain))
        return {};
    const QString line = domain + QLatin1Char('\t') + lifeCycle.state + QLatin1Char('\t') +
                         lifeCycle.expires.toString(Qt::ISODate);
    QString cause;
    if (!m_dropping.append(line, &cause))
        return failed(droppingFilePath(), cause);
    m_inDroppingFile->insert(domain);
    return {};
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
