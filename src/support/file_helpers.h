#pragma once

#include <QString>
#include <QtGlobal>

namespace brisquel {

// File names are case-sensitive here, so both tests compare exactly.
bool fileExists(const QString& path);
bool dirExists(const QString& path);
// The part after the last "/" (or "\", for paths typed the Windows way).
QString fileNamePart(const QString& path);
// Data files are read whole, so one far larger than any real one would take the memory with it:
// the problem naming the file and its size when it is larger than maxBytes, empty otherwise
// (also when it is missing). Callers add what they do instead of reading it.
QString oversizeProblem(const QString& path, qint64 maxBytes);
// Copies, replacing the destination; failures are returned but callers may ignore them.
bool copyFileTo(const QString& source, const QString& destination);

} // namespace brisquel
