#include "verdict_filer.h"

#include "engine/list_files.h"
#include "engine/result_lists.h"
#include "support/file_helpers.h"
#include "support/text_file.h"

#include <QFileInfo>
#include <QLockFile>

namespace brisquel {

namespace {
const QString UnansweredFileName = QStringLiteral("Unanswered.txt");
const QString LockFileName = QStringLiteral("search.lock");
} // namespace

VerdictFiler::VerdictFiler(const DataFolder& folder, ResultLists* lists, ListFiles* listFiles,
                           QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_lists(lists)
    , m_listFiles(listFiles)
    , m_unanswered(folder.path(UnansweredFileName))
{}

VerdictFiler::~VerdictFiler() = default;

QString VerdictFiler::unansweredFilePath() const
{
    return m_unanswered.path();
}

VerdictFiler::Filed VerdictFiler::file(const QString& domain, Verdict verdict, const QString& detail)
{
    Filed filed;
    switch (verdict) {
    case Verdict::Available:
        filed = fileAvailable(domain);
        break;
    case Verdict::Registered:
    case Verdict::NotRegistrable:
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
    return filed;
}

VerdictFiler::Filed VerdictFiler::fileAvailable(const QString& domain)
{
    Filed filed;
    bool added = false;
    const std::optional<ResultList> list = m_lists->addAvailableName(domain, &added);
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

void VerdictFiler::reloadUnanswered()
{
    m_inUnansweredFile.emplace();
    QStringList names;
    TextFile::readLines(unansweredFilePath(), &names);
    for (const QString& name : std::as_const(names))
        m_inUnansweredFile->insert(name.trimmed());
}

VerdictFiler::Filed VerdictFiler::fileUnanswered(const QString& domain)
{
    if (!m_inUnansweredFile)
        reloadUnanswered();
    // A name left over from an earlier search, or from another checker, is in the file already.
    if (m_inUnansweredFile->contains(domain))
        return {};
    QString cause;
    if (!m_unanswered.append(domain, &cause))
        return failed(unansweredFilePath(), cause);
    m_inUnansweredFile->insert(domain);
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
    if (m_claims > 0) {
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
    if (m_claims == 0 || --m_claims > 0)
        return;
    if (m_lock && m_lock->isLocked())
        m_lock->unlock();
}

} // namespace brisquel
