#pragma once

#include <QDateTime>
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
// A path in folder (made when missing) for a copy of a file about to change: "NAME-yyyyMMdd-hhmmss"
// plus suffix (".txt"), with "-2", "-3"... before the suffix when that is taken already.
QString freshBackupPath(const QString& folder, const QString& name, const QString& suffix,
                        const QDateTime& when);
// Copies, replacing the destination; failures are returned but callers may ignore them.
// A file the user chose by a setting: an absolute path as it is, a relative one, or the default
// name when none was chosen, in `folder`.
QString chosenFilePath(const QString& folder, const QString& chosen, const QString& defaultName);

bool copyFileTo(const QString& source, const QString& destination);

} // namespace brisquel
