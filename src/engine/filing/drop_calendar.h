#pragma once

#include "engine/judging/drop_estimate.h"
#include "engine/judging/drop_rules.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

namespace brisquel {

// One line of Dropping.txt: name, state, expiry and, since the drop calendar, the estimated release.
struct DropCalendarEntry
{
    QString domain;
    LifeCycle cycle;
    DropEstimate estimate;
};

// The names about to drop, soonest first, read from Dropping.txt.
class DropCalendar
{
public:
    // Dropping.txt's line for a name: four tab-separated columns, the last two empty when unknown.
    static QString line(const QString& domain, const LifeCycle& cycle, const DropEstimate& estimate);

    // Reads the lines of Dropping.txt (CR LF, CR or LF). A line of three columns, from before the
    // estimate was kept, is estimated now from its state and expiry with `rules`; one with a fourth
    // column keeps it. Lines without a name are skipped; a name listed twice keeps its first line.
    static DropCalendar read(const QByteArray& text, const DropRules& rules, const QDate& today);

    // Soonest release first; names of an unknown release last, in their file order.
    void sort();
    // The names whose release may come within `days` of today (a window that starts by then).
    DropCalendar within(const QDate& today, int days) const;

    const QList<DropCalendarEntry>& entries() const { return m_entries; }

private:
    QList<DropCalendarEntry> m_entries;
};

} // namespace brisquel
