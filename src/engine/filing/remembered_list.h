#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace brisquel::RememberedList {

// Saved Domains as kept in Remembered.txt: one name a line; empty lines and lines of one
// blank are skipped when reading. A missing file is an empty list; a file that exists but
// cannot be read sets *error, so that the caller does not overwrite it with less.
QStringList load(const QString& path, QString* error = nullptr);
bool save(const QString& path, const QStringList& names, QString* error = nullptr);
// Before Saved Domains is cleared: the file goes to backupFolder as "Remembered-yyyyMMdd-hhmmss.txt".
// Returns the copy's path; empty with *error set when it could not be moved (a missing or empty
// file has nothing to keep: empty without an error).
QString moveToBackups(const QString& path, const QString& backupFolder, const QDateTime& when,
                      QString* error = nullptr);

} // namespace brisquel::RememberedList
