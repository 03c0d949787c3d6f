#pragma once

#include "data_folder.h"

#include <QStringList>

namespace brisquel {

// The working files and folders every run relies on, created when missing (a file as one
// empty line). Returns what could not be created; the program carries on without it.
QStringList ensureStartupFiles(const DataFolder& folder);
QStringList ensureStartupFolders(const DataFolder& folder);

inline const QStringList StartupFileNames = {
    QStringLiteral("BrowserSearch.txt"), QStringLiteral("Appends.txt"), QStringLiteral("CreatedDomains.txt"),
    QStringLiteral("Remembered.txt")};
inline const QStringList StartupFolderNames = {QStringLiteral("backups"), QStringLiteral("overflow"),
                                               QStringLiteral("wordlists"), QStringLiteral("searches")};

} // namespace brisquel
