#include "drag_payload.h"

#include <algorithm>

namespace brisquel {

QString dragPayload(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    QStringList pieces;
    pieces.reserve(rows.size());
    for (int row : rows)
        pieces.append(QString::number(row));
    return pieces.join(QLatin1Char('|'));
}

QStringList entriesFromPayload(const QString& payload, const QStringList& entries)
{
    QStringList names;
    const QStringList pieces = payload.split(QLatin1Char('|'));
    for (const QString& piece : pieces) {
        bool ok = false;
        const qlonglong row = piece.toLongLong(&ok);
        if (ok && row >= 0 && row < entries.size())
            names.append(entries.at(row));
    }
    return names;
}

} // namespace brisquel
