#include "drop_calendar.h"

#include <QSet>
#include <algorithm>

namespace brisquel {

QString DropCalendar::line(const QString& domain, const LifeCycle& cycle, const DropEstimate& estimate)
{
    return domain + QLatin1Char('\t') + cycle.state + QLatin1Char('\t') +
           cycle.expires.toString(Qt::ISODate) + QLatin1Char('\t') + estimate.text();
}

DropCalendar DropCalendar::read(const QByteArray& text, const DropRules& rules, const QDate& today)
{
    DropCalendar calendar;
    QSet<QStringView> seen;
    const QString all = QString::fromUtf8(text);
    for (QStringView line : QStringView(all).tokenize(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        // A lone CR ends a line too.
        for (QStringView part : line.tokenize(u'\r')) {
            const QList<QStringView> columns = part.split(u'\t');
            const QStringView domain = columns.at(0).trimmed();
            if (domain.isEmpty() || seen.contains(domain))
                continue;
            seen.insert(domain);
            DropCalendarEntry entry;
            entry.domain = domain.toString();
            entry.cycle.state = columns.value(1).trimmed().toString();
            entry.cycle.expires = QDate::fromString(columns.value(2).trimmed(), Qt::ISODate);
            entry.estimate = columns.size() > 3
                                 ? DropEstimate::fromText(columns.at(3))
                                 : estimateDrop(entry.cycle, rules.forName(entry.domain), today);
            calendar.m_entries.append(std::move(entry));
        }
    }
    return calendar;
}

void DropCalendar::sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const DropCalendarEntry& a, const DropCalendarEntry& b) {
                         if (a.estimate.isKnown() != b.estimate.isKnown())
                             return a.estimate.isKnown();
                         if (a.estimate.start != b.estimate.start)
                             return a.estimate.start < b.estimate.start;
                         return a.estimate.end < b.estimate.end;
                     });
}

DropCalendar DropCalendar::within(const QDate& today, int days) const
{
    DropCalendar near;
    const QDate last = today.addDays(days);
    for (const DropCalendarEntry& entry : m_entries) {
        if (entry.estimate.isKnown() && entry.estimate.start <= last)
            near.m_entries.append(entry);
    }
    return near;
}

} // namespace brisquel
