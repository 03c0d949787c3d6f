#include "live_list_files.h"

#include "engine/filing/result_lists.h"
#include "support/clock.h"
#include "support/file_helpers.h"
#include "support/line_appender.h"
#include "support/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace brisquel {

namespace {

const QString OverflowFolder = QStringLiteral("overflow");
const QString BackupsFolder = QStringLiteral("backups");

bool isProfileList(ResultList list)
{
    return list == ResultList::Low || list == ResultList::Mid || list == ResultList::High;
}

} // namespace

// One live list file. While "level" holds, the file and the lines waiting in its appender equal
// its list, and a new entry only needs to be appended; anything else (first filing, an edit, a new
// stamp, a failed write) makes the next save rewrite it whole.
struct LiveListFiles::LiveFile
{
    LiveFile(ResultList list, QString fragment)
        : list(list)
        , fragment(std::move(fragment))
    {}

    ResultList list;
    QString fragment; // the file names do not follow the list titles
    LineAppender appender;
    bool level = false;
    QString error; // why the last write failed
};

LiveListFiles::LiveListFiles(DataFolder folder, ResultLists* lists, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_lists(lists)
    , m_clock([] { return Clock::currentDateTime(); })
{
    // The order is the order the files are written in.
    m_live = {std::make_unique<LiveFile>(ResultList::Low, QStringLiteral("LowProfile")),
              std::make_unique<LiveFile>(ResultList::Mid, QStringLiteral("HighProfile")),
              std::make_unique<LiveFile>(ResultList::High, QStringLiteral("SuperHighProfile"))};
    connect(m_lists, &ResultLists::availableNameFiled, this, &LiveListFiles::onNameFiled);
    connect(m_lists, &ResultLists::listEdited, this, &LiveListFiles::onListEdited);
}

LiveListFiles::~LiveListFiles() = default;

LiveListFiles::LiveFile& LiveListFiles::live(ResultList list)
{
    for (auto& file : m_live) {
        if (file->list == list)
            return *file;
    }
    Q_UNREACHABLE();
    return *m_live.front();
}

QString LiveListFiles::stampedPath(const QString& fragment) const
{
    return m_folder.path(fragment + m_backupStamp + QStringLiteral(".txt"));
}

QString LiveListFiles::liveFilePath(ResultList list) const
{
    for (const auto& file : m_live) {
        if (file->list == list)
            return stampedPath(file->fragment);
    }
    return QString();
}

QString LiveListFiles::overflowFilePath(ResultList list) const
{
    for (const auto& file : m_live) {
        if (file->list == list)
            return stampedPath(OverflowFolder + QLatin1Char('/') + file->fragment);
    }
    return QString();
}

void LiveListFiles::onNameFiled(ResultList list, const QString& domain)
{
    if (!isProfileList(list))
        return;
    LiveFile& file = live(list);
    // A file that is not level is rewritten whole with the next save, this name with it.
    if (file.level) {
        file.appender.setPath(liveFilePath(list));
        file.appender.add(domain);
    }
}

void LiveListFiles::onListEdited(ResultList list)
{
    if (isProfileList(list))
        live(list).level = false;
}

bool LiveListFiles::appendPending(LiveFile& file)
{
    const QString path = liveFilePath(file.list);
    QString cause;
    if (file.appender.write(&cause))
        return true;
    file.error = cause;
    report(path, QStringLiteral("Cannot write %1: %2").arg(path, cause));
    return false;
}

bool LiveListFiles::isSaved(ResultList list) const
{
    for (const auto& file : m_live) {
        if (file->list == list)
            return file->level && !file->appender.hasPending();
    }
    return true;
}

QString LiveListFiles::saveError(ResultList list) const
{
    for (const auto& file : m_live) {
        if (file->list == list)
            return file->error;
    }
    return QString();
}

bool LiveListFiles::keepEarlierRun(const QString& path)
{
    if (m_ownFiles.contains(path))
        return true;
    const QFileInfo info(path);
    if (info.exists() && info.size() > 0) {
        // Files of the same name from an earlier run hold finds that exist nowhere else.
        QString name =
            QDir(m_folder.root())
                .relativeFilePath(info.absolutePath() + QLatin1Char('/') + info.completeBaseName());
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        const QString kept =
            freshBackupPath(m_folder.path(BackupsFolder), name, QStringLiteral(".txt"), m_clock());
        if (!QFile::copy(path, kept)) {
            report(path,
                   QStringLiteral("Cannot keep the earlier %1 in %2; it is left as it is.").arg(path, kept));
            return false;
        }
    }
    m_ownFiles.insert(path);
    return true;
}

void LiveListFiles::rewrite(LiveFile& file)
{
    // The whole list goes out, the names still waiting with it.
    file.appender.dropPending();
    file.appender.close();
    const QString path = liveFilePath(file.list);
    if (!keepEarlierRun(path)) {
        file.error = QStringLiteral("the earlier copy could not be kept");
        return;
    }
    QString error;
    file.level = TextFile::writeLines(path, m_lists->entries(file.list), &error);
    if (file.level) {
        file.error.clear();
        return;
    }
    file.error = error.mid(error.lastIndexOf(QStringLiteral(": ")) + 2);
    report(path, error);
}

void LiveListFiles::saveLiveLists()
{
    for (auto& file : m_live) {
        const bool pending = file->appender.hasPending();
        if (pending && !appendPending(*file))
            file->level = false;
        const bool whole = !file->level;
        if (whole)
            rewrite(*file);
        if ((pending || whole) && file->level) {
            file->error.clear();
            // Written again: the next failure of this file is news and is reported.
            m_reported.removeAll(liveFilePath(file->list));
        }
    }
}

bool LiveListFiles::overflowCheck()
{
    bool full = false;
    for (const auto& file : m_live)
        full = full || m_lists->entryCount(file->list) > OverflowLimit - 1;
    if (!full)
        return false;
    // Without the overflow files the lists are the only copy of the finds; keep them.
    if (!saveOverflowLists())
        return false;
    resetResultLists();
    Q_EMIT overflowed();
    return true;
}

bool LiveListFiles::saveOverflowLists()
{
    QDir().mkpath(m_folder.path(OverflowFolder));
    bool written = true;
    for (const auto& file : m_live) {
        const QString path = overflowFilePath(file->list);
        QString error;
        if (!keepEarlierRun(path)) {
            written = false;
            continue;
        }
        if (!TextFile::writeLines(path, m_lists->entries(file->list), &error)) {
            report(path, error);
            written = false;
        }
    }
    return written;
}

void LiveListFiles::resetResultLists()
{
    // The live files of this stamp end with the full lists; the next name starts the new set.
    saveLiveLists();
    m_lists->resetResultLists();
    newBackupStamp();
}

QString LiveListFiles::newBackupStamp()
{
    // A fixed English format, so that the names do not change with the user's regional settings.
    QString stamp = QLocale::c().toString(m_clock(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
    stamp.remove(QLatin1Char('/')).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    // Two overflows within one second would otherwise write the second set over the first.
    const QString base = stamp;
    for (int n = 2; m_usedStamps.contains(stamp); ++n)
        stamp = base + QStringLiteral("-%1").arg(n);
    m_usedStamps.insert(stamp);
    m_backupStamp = stamp;
    // The files of the old stamp stay as they are; the next filing starts the new set whole.
    for (auto& file : m_live) {
        file->appender.dropPending();
        file->appender.close();
        file->level = false;
    }

    QDir().mkpath(m_folder.path(BackupsFolder));
    const QString high = stampedPath(BackupsFolder + QStringLiteral("/HighProfile"));
    const QString mid = stampedPath(BackupsFolder + QStringLiteral("/MidProfile"));
    appendMarkerLine(high);
    appendMarkerLine(mid);
    appendMarkerLine(high);
    return stamp;
}

void LiveListFiles::appendMarkerLine(const QString& path)
{
    QString error;
    if (!TextFile::appendLines(path, {QStringLiteral(" ")}, &error))
        report(path, error);
}

void LiveListFiles::report(const QString& path, const QString& error)
{
    if (m_reported.contains(path))
        return;
    m_reported.append(path);
    Q_EMIT writeFailed(error);
}

} // namespace brisquel
