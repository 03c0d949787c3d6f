#include "text_file.h"

#include "line_reader.h"

#include <QFile>
#include <QSaveFile>

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

bool writeText(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
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

bool appendLines(const QString& path, const QStringList& lines, QString* error)
{
    QFile file(path);
    const QByteArray bytes = joinLines(lines);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool readLines(const QString& path, QStringList* lines, QString* error)
{
    LineReader reader;
    if (!reader.open(path, error))
        return false;
    QString line;
    while (reader.readLine(&line))
        lines->append(line);
    if (reader.hasError()) {
        if (error)
            *error = reader.errorString();
        return false;
    }
    return true;
}

} // namespace brisquel::TextFile
