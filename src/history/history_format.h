#pragma once

#include "history/history_reader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace brisquel {

// The columns a person reads, in the history window and in `history`'s text.
enum class HistoryColumn
{
    Name,
    Verdict,
    Detail,
    State,
    Expires,
    Checked,
};
inline constexpr int HistoryColumnCount = 6;

QString historyColumnTitle(HistoryColumn column);
// A cell as `history` prints it: the verdict as verdictToken() says it ("free", "taken",
// "not-registrable"; the file keeps the older words), the time checked in local time
// ("2026-12-07 14:05"), an expiry as 2027-03-01.
QString historyCell(const CheckRecord& record, HistoryColumn column);
QStringList historyCells(const CheckRecord& record);

// `history`'s text: a title line, then a line per check, each column padded to its widest value
// (up to a limit, so that one long detail does not push every line apart). Every record is
// measured before the first line is made.
class HistoryTextLayout
{
public:
    HistoryTextLayout();
    void measure(const CheckRecord& record);
    QString titleLine() const;
    QString line(const CheckRecord& record) const;

private:
    QString lineOf(const QStringList& cells) const;

    std::array<qsizetype, HistoryColumnCount> m_widths{};
};

// CSV and JSON carry every field: the ASCII form, the server and method too, and the time in UTC
// as the history keeps it; the verdict as the text shows it. The search's quoting; the line end is the
// writer's.
QString historyCsvHeader(); // name,ascii,verdict,detail,server,method,state,expires,checked
QString historyCsvLine(const CheckRecord& record);
// A CSV file of the records: the header first, every line ended by CR LF.
QByteArray historyCsvFile(const QList<CheckRecord>& records);
// One compact object with the CSV's keys; an empty server, state or expiry is null.
QByteArray historyJsonObject(const CheckRecord& record);

} // namespace brisquel
