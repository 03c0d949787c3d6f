#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace brisquel {

// Names dragged onto Saved Domains travel as the 0-based rows of the source list, in ascending
// order, joined by "|" (for example "0|3|7").
QString dragPayload(QList<int> rows);

// The entries the pieces of a payload point at, in payload order; pieces that are not a row of
// `entries` are skipped.
QStringList entriesFromPayload(const QString& payload, const QStringList& entries);

} // namespace brisquel
