#include "text_file.h"

#include "file_helpers.h"
#include "line_reader.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace brisquel::TextFile {

QByteArray joinLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += LineEnd;
    }
    return bytes;
}

bool writeAll(QFileDevice& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

namespace {

// A device or a FIFO takes the bytes as they come.
bool writeInPlace(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile file;
    QString why;
    if (!openInPlace(&file, path, &why)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, why);
        return false;
    }
    if (writeAll(file, bytes))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

bool writeText(const QString& path, const QByteArray& bytes, QString* error)
{
    QString why;
    switch (writeTargetOf(path, &why)) {
    case WriteTarget::Refused:
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, why);
        return false;
    case WriteTarget::InPlace:
        return writeInPlace(path, bytes, error);
    case WriteTarget::Replace:
        break;
    }
    QSaveFile file(path);
    // Unbuffered: commit() overlooks a short write that only its final flush meets, and would put a
    // cut file in place of a whole one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, bytes) ||
        !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool writeLines(const QString& path, const QStringList& lines, QString* error)
{
    return writeText(path, joinLines(lines), error);
}

bool appendWhole(QFile& file, const QByteArray& bytes, QString* error)
{
    const qint64 end = file.size();
    if (writeAll(file, bytes) && file.flush())
        return true;
    const QString why = file.errorString();
    // Whatever part of the bytes reached the disk would be read as a line of its own later.
    if (!file.resize(end)) {
        file.close();
        QFile(file.fileName()).resize(end);
    }
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(file.fileName(), why);
    return false;
}

bool appendLines(const QString& path, const QStringList& lines, QString* error)
{
    QByteArray bytes = joinLines(lines);
    // Text after the last line end is a line of its own; what is added must not run on from it.
    QFile existing(path);
    if (existing.size() > 0 && existing.open(QIODevice::ReadOnly) && existing.seek(existing.size() - 1)) {
        char last = 0;
        if (existing.getChar(&last) && last != '\n' && last != '\r')
            bytes.prepend(LineEnd);
    }
    existing.close();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return appendWhole(file, bytes, error);
}

bool isOutOfSpace(const QString& errorString)
{
    for (int code : {ENOSPC, EDQUOT, EFBIG}) {
        if (errorString.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool readLines(const QString& path, QStringList* lines, QString* error, qint64 maxBytes)
{
    if (const QString tooLarge = streamOversizeProblem(path, maxBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge;
        return false;
    }
    LineReader reader;
    if (!reader.open(path, error))
        return false;
    reader.setByteLimit(maxBytes + 1);
    QString line;
    QStringList read;
    while (reader.readLine(&line))
        read.append(line);
    if (reader.hasError()) {
        if (error)
            *error = reader.errorString();
        return false;
    }
    if (reader.bytesRead() > maxBytes) {
        if (error)
            *error = overLimitProblem(path, maxBytes);
        return false;
    }
    *lines += read;
    return true;
}

} // namespace brisquel::TextFile
