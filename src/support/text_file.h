#pragma once

#include <QString>
#include <QStringList>

namespace brisquel::TextFile {

inline constexpr char LineEnd[] = "\r\n";

// Whole-file rewrite through QSaveFile: a crash never leaves a half-written file.
// Every line is written as UTF-8 followed by CR LF.
bool writeLines(const QString& path, const QStringList& lines, QString* error = nullptr);
bool writeText(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Appends lines, each followed by CR LF, creating the file when missing.
bool appendLines(const QString& path, const QStringList& lines, QString* error = nullptr);
// Every line of the file (any line end), blank ones included.
bool readLines(const QString& path, QStringList* lines, QString* error = nullptr);

QByteArray joinLines(const QStringList& lines);

} // namespace brisquel::TextFile
