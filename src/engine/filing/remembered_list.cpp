#include "remembered_list.h"

#include "support/file_helpers.h"
#include "support/text_file.h"

#include <QFile>
#include <QFileInfo>

namespace brisquel::RememberedList {

QStringList load(const QString& path, QString* error)
{
    QStringList lines;
    if (!fileExists(path))
        return {};
    TextFile::readLines(path, &lines, error);
    lines.removeIf([](const QString& line) { return line.isEmpty() || line == QLatin1String(" "); });
    return lines;
}

bool save(const QString& path, const QStringList& names, QString* error)
{
    return TextFile::writeLines(path, names, error);
}

QString moveToBackups(const QString& path, const QString& backupFolder, const QDateTime& when, QString* error)
{
    const QFileInfo info(path);
    if (!info.exists() || info.size() == 0)
        return QString();
    const QString kept = freshBackupPath(backupFolder, info.completeBaseName(), QStringLiteral(".txt"), when);
    if (QFile::rename(path, kept))
        return kept;
    if (error)
        *error = QStringLiteral("%1 could not be moved to %2").arg(path, kept);
    return QString();
}

} // namespace brisquel::RememberedList
