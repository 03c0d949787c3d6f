#pragma once

#include <QString>
#include <QStringList>

namespace brisquel::RememberedList {

// Saved Domains as kept in Remembered.txt: one name a line; empty lines and lines of one
// blank are skipped when reading. A missing file is an empty list; a file that exists but
// cannot be read sets *error, so that the caller does not overwrite it with less.
QStringList load(const QString& path, QString* error = nullptr);
bool save(const QString& path, const QStringList& names, QString* error = nullptr);

} // namespace brisquel::RememberedList
