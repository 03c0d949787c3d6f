#include "startup_files.h"

#include "file_helpers.h"
#include "text_file.h"

#include <QDir>

namespace brisquel {

QStringList ensureStartupFiles(const DataFolder& folder)
{
    QStringList problems;
    for (const QString& name : StartupFileNames) {
        const QString path = folder.path(name);
        if (fileExists(path))
            continue;
        QString error;
        if (!TextFile::appendLines(path, {QString()}, &error))
            problems << error;
    }
    return problems;
}

QStringList ensureStartupFolders(const DataFolder& folder)
{
    QStringList problems;
    for (const QString& name : StartupFolderNames) {
        const QString path = folder.path(name);
        if (!dirExists(path) && !QDir().mkpath(path))
            problems << QStringLiteral("Cannot create the folder %1").arg(path);
    }
    return problems;
}

} // namespace brisquel
