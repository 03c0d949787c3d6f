#include "history_format.h"

#include "support/csv_text.h"
#include "support/text_file.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace brisquel {

namespace {

// Columns wider than this are not padded further: the lines after them just stay apart.
constexpr qsizetype WidestTextColumn = 40;

QString checkedText(const QDateTime& checked)
{
    return checked.isValid() ? checked.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString();
}

} // namespace

QString historyColumnTitle(HistoryColumn column)
{
    switch (column) {
    case HistoryColumn::Name:
        return QStringLiteral("Name");
    case HistoryColumn::Verdict:
        return QStringLiteral("Verdict");
    case HistoryColumn::Detail:
        return QStringLiteral("Detail");
    case HistoryColumn::State:
        return QStringLiteral("State");
    case HistoryColumn::Expires:
        return QStringLiteral("Expires");
    case HistoryColumn::Checked:
        return QStringLiteral("Checked");
    }
    return {};
}

QString historyCell(const CheckRecord& record, HistoryColumn column)
{
    switch (column) {
    case HistoryColumn::Name:
        return record.name;
    case HistoryColumn::Verdict:
        return QString::fromLatin1(verdictName(record.verdict));
    case HistoryColumn::Detail:
        return record.detail;
    case HistoryColumn::State:
        return record.lifeCycle.state;
    case HistoryColumn::Expires:
        return record.lifeCycle.expires.toString(Qt::ISODate);
    case HistoryColumn::Checked:
        return checkedText(record.checked);
    }
    return {};
}

QStringList historyCells(const CheckRecord& record)
{
    QStringList cells;
    for (int column = 0; column < HistoryColumnCount; ++column)
        cells << historyCell(record, HistoryColumn(column));
    return cells;
}

QStringList historyTextLines(const QList<HistoryRow>& rows)
{
    QList<QStringList> table;
    table.reserve(rows.size() + 1);
    QStringList titles;
    for (int column = 0; column < HistoryColumnCount; ++column)
        titles << historyColumnTitle(HistoryColumn(column));
    table << titles;
    for (const HistoryRow& row : rows) {
        QStringList cells = historyCells(row.record);
        // A dash keeps an empty cell visible among aligned columns.
        for (QString& cell : cells) {
            if (cell.isEmpty())
                cell = QStringLiteral("-");
        }
        table << cells;
    }
    std::array<qsizetype, HistoryColumnCount> widths{};
    for (const QStringList& cells : std::as_const(table)) {
        for (int column = 0; column < HistoryColumnCount; ++column)
            widths[column] = std::max(widths[column], std::min(cells.at(column).size(), WidestTextColumn));
    }
    QStringList lines;
    lines.reserve(table.size());
    for (const QStringList& cells : std::as_const(table)) {
        QString line;
        for (int column = 0; column < HistoryColumnCount; ++column) {
            if (column > 0)
                line += QStringLiteral("  ");
            line += cells.at(column).leftJustified(widths[column]);
        }
        // No trailing blanks: the last column is padded like the others.
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    return lines;
}

QString historyCsvHeader()
{
    return QStringLiteral("name,ascii,verdict,detail,server,method,state,expires,checked");
}

QString historyCsvLine(const CheckRecord& record)
{
    return QStringList{csvField(record.name),
                       csvField(record.ascii),
                       QString::fromLatin1(verdictName(record.verdict)),
                       csvField(record.detail),
                       csvField(record.server),
                       QString::fromLatin1(checkMethodName(record.method)),
                       csvField(record.lifeCycle.state),
                       record.lifeCycle.expires.toString(Qt::ISODate),
                       record.checked.isValid() ? historyTimeText(record.checked) : QString()}
        .join(QLatin1Char(','));
}

QByteArray historyCsvFile(const QList<CheckRecord>& records)
{
    QByteArray bytes = historyCsvHeader().toUtf8() + TextFile::LineEnd;
    for (const CheckRecord& record : records)
        bytes += historyCsvLine(record).toUtf8() + TextFile::LineEnd;
    return bytes;
}

QByteArray historyJsonObject(const CheckRecord& record)
{
    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? QJsonValue() : QJsonValue(text);
    };
    const QJsonObject object{
        {QStringLiteral("name"), record.name},
        {QStringLiteral("ascii"), record.ascii},
        {QStringLiteral("verdict"), QString::fromLatin1(verdictName(record.verdict))},
        {QStringLiteral("detail"), record.detail},
        {QStringLiteral("server"), orNull(record.server)},
        {QStringLiteral("method"), QString::fromLatin1(checkMethodName(record.method))},
        {QStringLiteral("state"), orNull(record.lifeCycle.state)},
        {QStringLiteral("expires"), orNull(record.lifeCycle.expires.toString(Qt::ISODate))},
        {QStringLiteral("checked"),
         record.checked.isValid() ? QJsonValue(historyTimeText(record.checked)) : QJsonValue()},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace brisquel
