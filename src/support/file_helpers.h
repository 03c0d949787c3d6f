#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <optional>

class QFile;

namespace brisquel {

// File names are case-sensitive here, so both tests compare exactly.
bool fileExists(const QString& path);
bool dirExists(const QString& path);
// The part after the last "/" (or "\", for paths typed the Windows way).
QString fileNamePart(const QString& path);
// Data files are read whole, so one far larger than any real one would take the memory with it:
// the problem naming the file and its size when it is larger than maxBytes, or saying that it is
// a device or a FIFO (no size to check; /dev/zero never ends); empty otherwise (also when it is
// missing or a folder). Callers add what they do instead of reading it.
QString oversizeProblem(const QString& path, qint64 maxBytes);
// The same for a file that may also be a device or a pipe, read up to the limit (readWhole()):
// only a regular file larger than maxBytes is a problem.
QString streamOversizeProblem(const QString& path, qint64 maxBytes);
// The same for a device or a pipe found to hold more than maxBytes while it was read.
QString overLimitProblem(const QString& path, qint64 maxBytes);
// Opens a file to read. A FIFO is opened without waiting for a writer: with none it reads as
// empty instead of holding the program. *error says why it cannot be read.
bool openToRead(QFile* file, const QString& path, QString* error);
// The bytes of a file that holds at most maxBytes; nullopt with *error (naming the file) when it
// holds more or cannot be read. A device or a pipe has no size to check beforehand (/dev/zero never
// ends): it is read in chunks and given up once it passes the limit.
std::optional<QByteArray> readWhole(const QString& path, qint64 maxBytes, QString* error);

// How a file the user named is written whole.
enum class WriteTarget
{
    Replace, // a regular file, or none yet: a temporary file is renamed over it
    InPlace, // a character device or a FIFO: a rename would put a regular file where the node was
    Refused, // a folder, a block device, a socket
};
// *why says what the path is when it is refused.
WriteTarget writeTargetOf(const QString& path, QString* why);
// Opens a character device or FIFO to write to in place. A FIFO nobody reads from is an error
// ("no program reads from it") rather than a wait without end.
bool openInPlace(QFile* file, const QString& path, QString* error);
// A path in folder (made when missing) for a copy of a file about to change: "NAME-yyyyMMdd-hhmmss"
// plus suffix (".txt"), with "-2", "-3"... before the suffix when that is taken already.
QString freshBackupPath(const QString& folder, const QString& name, const QString& suffix,
                        const QDateTime& when);
// Copies, replacing the destination (a device or FIFO is written to in place, a folder refused,
// as by writeTargetOf()); failures are returned but callers may ignore them.
// A file the user chose by a setting: an absolute path as it is, a relative one, or the default
// name when none was chosen, in `folder`.
QString chosenFilePath(const QString& folder, const QString& chosen, const QString& defaultName);

bool copyFileTo(const QString& source, const QString& destination);

} // namespace brisquel
