#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QFile;
class QFileDevice;

namespace brisquel::TextFile {

inline constexpr char LineEnd[] = "\r\n";

// Whole-file rewrite through QSaveFile: a crash never leaves a half-written file.
// Every line is written as UTF-8 followed by CR LF. A character device or a FIFO is written to in
// place and a path that is neither such a node nor a regular file is refused (writeTargetOf()).
bool writeLines(const QString& path, const QStringList& lines, QString* error = nullptr);
bool writeText(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Appends lines, each followed by CR LF, creating the file when missing; a file whose last line has
// no line end gets one first. A failed or short write cuts the file back to where it ended, so it
// never ends in a partial line.
bool appendLines(const QString& path, const QStringList& lines, QString* error = nullptr);
// Appends bytes to a file open for unbuffered appending the same way: all of them or none. The
// error names the file.
bool appendWhole(QFile& file, const QByteArray& bytes, QString* error = nullptr);
// Writes all bytes to an unbuffered device. A short write reports no cause, so the rest is
// written again until the system says why it cannot be.
bool writeAll(QFileDevice& file, const QByteArray& bytes);
// A failure to write that more room on the disk would cure (full disk, quota, file size limit).
bool isOutOfSpace(const QString& errorString);

// Far above any file the program keeps a line a name in (tens of millions of names), yet short of
// taking all the memory.
inline constexpr qint64 MaxReadBytes = 512 * 1024 * 1024;
// Every line of the file (any line end), blank ones included; a file of more than maxBytes is an
// error (a device or a pipe is read up to the limit first).
bool readLines(const QString& path, QStringList* lines, QString* error = nullptr,
               qint64 maxBytes = MaxReadBytes);

QByteArray joinLines(const QStringList& lines);

} // namespace brisquel::TextFile
