#include "file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace brisquel {

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool dirExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

QString oversizeProblem(const QString& path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= maxBytes)
        return {};
    constexpr double MiB = 1024.0 * 1024.0;
    return QStringLiteral("%1 is %2 MB, more than the %3 MB such a file may have")
        .arg(QDir::toNativeSeparators(path), QString::number(double(info.size()) / MiB, 'f', 1),
             QString::number(double(maxBytes) / MiB, 'g', 3));
}

QString freshBackupPath(const QString& folder, const QString& name, const QString& suffix,
                        const QDateTime& when)
{
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name + when.toString(QStringLiteral("-yyyyMMdd-hhmmss"));
    QString path = base + suffix;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("-%1").arg(n) + suffix;
    return path;
}

bool copyFileTo(const QString& source, const QString& destination)
{
    if (!fileExists(source))
        return false;
    const QString temporary = destination + QStringLiteral(".part");
    QFile::remove(temporary);
    if (!QFile::copy(source, temporary))
        return false;
    // Rename over the destination so that a failed copy never leaves a half-written file.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) !=
        0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

QString chosenFilePath(const QString& folder, const QString& chosen, const QString& defaultName)
{
    const QString name = chosen.trimmed().isEmpty() ? defaultName : chosen.trimmed();
    return QDir::isAbsolutePath(name) ? name : QDir(folder).filePath(name);
}

} // namespace brisquel
