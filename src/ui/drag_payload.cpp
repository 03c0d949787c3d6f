#include "drag_payload.h"

#include <QMimeData>
#include <algorithm>

namespace brisquel {

namespace {

const QString DraggedNamesType = QStringLiteral("application/x-brisquel-names");

} // namespace

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

QMimeData* dragMimeData(const QList<int>& rows, const QStringList& names)
{
    auto* data = new QMimeData;
    data->setText(dragPayload(rows));
    data->setData(DraggedNamesType, names.join(QLatin1Char('\n')).toUtf8());
    return data;
}

std::optional<QStringList> draggedNames(const QMimeData* data)
{
    if (!data || !data->hasFormat(DraggedNamesType))
        return std::nullopt;
    const QString names = QString::fromUtf8(data->data(DraggedNamesType));
    return names.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace brisquel
