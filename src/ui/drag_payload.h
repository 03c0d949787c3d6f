#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QMimeData;

namespace brisquel {

// Names dragged onto Saved Domains travel as the 0-based rows of the source list, in ascending
// order, joined by "|" (for example "0|3|7").
QString dragPayload(QList<int> rows);

// The entries the pieces of a payload point at, in payload order; pieces that are not a row of
// `entries` are skipped.
QStringList entriesFromPayload(const QString& payload, const QStringList& entries);

// Beside the rows, a drag from a result list carries the names as they were when it started: a
// running search can empty or refill the source list before the drop.
QMimeData* dragMimeData(const QList<int>& rows, const QStringList& names);
// The names a drag from a result list carried; nothing for text dragged from elsewhere.
std::optional<QStringList> draggedNames(const QMimeData* data);

} // namespace brisquel
