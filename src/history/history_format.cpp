#include "history_format.h"

#include "support/csv_text.h"
#include "support/text_file.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace brisquel {

namespace {

// Columns wider than this are not padded further: the lines after them just stay apart.
constexpr qsizetype WidestTextColumn = 40;

constexpr const char* CheckedFormat = "yyyy-MM-dd hh:mm";
constexpr qsizetype CheckedWidth = 16;

QString checkedText(const QDateTime& checked)
{
    return checked.isValid() ? checked.toLocalTime().toString(QLatin1String(CheckedFormat)) : QString();
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
        return verdictToken(record.verdict);
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

HistoryTextLayout::HistoryTextLayout()
{
    for (int column = 0; column < HistoryColumnCount; ++column)
        m_widths[column] = historyColumnTitle(HistoryColumn(column)).size();
}

void HistoryTextLayout::measure(const CheckRecord& record)
{
    for (int column = 0; column < HistoryColumnCount; ++column) {
        // Every time has the same width; converting millions of them to local time only to count
        // their characters would double the time `history` takes.
        const auto cell = HistoryColumn(column);
        const qsizetype width = cell == HistoryColumn::Checked
                                    ? (record.checked.isValid() ? CheckedWidth : 1)
                                    : std::min(historyCell(record, cell).size(), WidestTextColumn);
        m_widths[column] = std::max(m_widths[column], width);
    }
}

QString HistoryTextLayout::titleLine() const
{
    QStringList titles;
    for (int column = 0; column < HistoryColumnCount; ++column)
        titles << historyColumnTitle(HistoryColumn(column));
    return lineOf(titles);
}

QString HistoryTextLayout::line(const CheckRecord& record) const
{
    QStringList cells = historyCells(record);
    // A dash keeps an empty cell visible among aligned columns.
    for (QString& cell : cells) {
        if (cell.isEmpty())
            cell = QStringLiteral("-");
    }
    return lineOf(cells);
}

QString HistoryTextLayout::lineOf(const QStringList& cells) const
{
    QString line;
    for (int column = 0; column < HistoryColumnCount; ++column) {
        if (column > 0)
            line += QStringLiteral("  ");
        line += cells.at(column).leftJustified(m_widths[column]);
    }
    // The last column is padded like the others; no line ends in blanks.
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

QString historyCsvHeader()
{
    return QStringLiteral("name,ascii,verdict,detail,server,method,state,expires,checked");
}

QString historyCsvLine(const CheckRecord& record)
{
    return QStringList{csvField(record.name),
                       csvField(record.ascii),
                       verdictToken(record.verdict),
                       csvField(record.detail),
                       csvField(record.server),
                       QString::fromLatin1(checkMethodName(record.method)),
                       csvField(record.lifeCycle.state),
                       record.lifeCycle.expires.toString(Qt::ISODate),
                       historyTimeText(record.checked)}
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
        {QStringLiteral("verdict"), verdictToken(record.verdict)},
        {QStringLiteral("detail"), record.detail},
        {QStringLiteral("server"), orNull(record.server)},
        {QStringLiteral("method"), QString::fromLatin1(checkMethodName(record.method))},
        {QStringLiteral("state"), orNull(record.lifeCycle.state)},
        {QStringLiteral("expires"), orNull(record.lifeCycle.expires.toString(Qt::ISODate))},
        {QStringLiteral("checked"), orNull(historyTimeText(record.checked))},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace brisquel
