#pragma once

#include <QString>

namespace brisquel {

// File names are case-sensitive here, so both tests compare exactly.
bool fileExists(const QString& path);
bool dirExists(const QString& path);
// The part after the last "/" (or "\", for paths typed the Windows way).
QString fileNamePart(const QString& path);
// Copies, replacing the destination; failures are returned but callers may ignore them.
bool copyFileTo(const QString& source, const QString& destination);

} // namespace brisquel
