#include "drop_estimate.h"

#include <QStringList>
#include <algorithm>

namespace brisquel {

namespace {

DropEstimate window(QDate start, QDate end, const QDate& today, DropEstimate::Sureness sureness)
{
    // A name not free yet is not free before today; a window wholly past says the registry is late.
    start = std::max(start, today);
    end = std::max(end, start);
    return {start, end, sureness};
}

DropEstimate exact(const QDate& day, const QDate& today, DropEstimate::Sureness sureness)
{
    return window(day, day, today, sureness);
}

// Whether the last update can be the day the state began: a stage that would have ended already
// says the record was updated for something else, or the registry follows other rules.
bool startedWithUpdate(const LifeCycle& cycle, int stageDays, const QDate& today)
{
    return cycle.updated.isValid() && cycle.updated <= today && cycle.updated.addDays(stageDays) >= today;
}

// pendingDelete: the registry's last stage, a fixed number of days from its start.
DropEstimate inPendingDelete(const LifeCycle& cycle, const DropRule& rule, const QDate& today)
{
    const int days = rule.quarantineDays > 0 ? rule.quarantineDays : rule.pendingDeleteDays;
    if (startedWithUpdate(cycle, days, today))
        return exact(cycle.updated.addDays(days), today, DropEstimate::Sureness::High);
    return window(today, today.addDays(days), today, DropEstimate::Sureness::Medium);
}

// redemptionPeriod (a quarantine where the registry has one): the holder may still restore the name.
DropEstimate inRedemption(const LifeCycle& cycle, const DropRule& rule, const QDate& today)
{
    const int days = rule.daysAfterDeletion();
    if (startedWithUpdate(cycle, days, today))
        return exact(cycle.updated.addDays(days), today, DropEstimate::Sureness::Medium);
    // A quarantine starts on the expiry day where the registry deletes on expiry.
    if (rule.quarantineDays > 0 && cycle.expires.isValid() && cycle.expires <= today)
        return exact(cycle.expires.addDays(days), today, DropEstimate::Sureness::Medium);
    return window(today.addDays(rule.pendingDeleteDays), today.addDays(days), today,
                  DropEstimate::Sureness::Low);
}

// Past its expiry with no deletion state: the registrar deletes it some day within its grace.
DropEstimate pastExpiry(const LifeCycle& cycle, const DropRule& rule, const QDate& today)
{
    if (!cycle.expires.isValid())
        return {};
    const QDate earliest = cycle.expires.addDays(rule.daysAfterDeletion());
    const QDate latest = earliest.addDays(rule.graceDays);
    return window(earliest, latest, today,
                  rule.graceDays == 0 ? DropEstimate::Sureness::Medium : DropEstimate::Sureness::Low);
}

} // namespace

QString DropEstimate::text() const
{
    if (!isKnown())
        return {};
    if (isExact())
        return start.toString(Qt::ISODate);
    return start.toString(Qt::ISODate) + QLatin1Char('/') + end.toString(Qt::ISODate);
}

DropEstimate DropEstimate::fromText(QStringView text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QDate start = QDate::fromString(text.left(slash < 0 ? text.size() : slash).trimmed(), Qt::ISODate);
    const QDate end = slash < 0 ? start : QDate::fromString(text.mid(slash + 1).trimmed(), Qt::ISODate);
    if (!start.isValid() || !end.isValid() || end < start)
        return {};
    // The file does not keep how sure: a day read back is as sure as a window is not.
    return {start, end, start == end ? Sureness::Medium : Sureness::Low};
}

QString surenessName(DropEstimate::Sureness sureness)
{
    switch (sureness) {
    case DropEstimate::Sureness::Unknown:
        return QStringLiteral("unknown");
    case DropEstimate::Sureness::Low:
        return QStringLiteral("low");
    case DropEstimate::Sureness::Medium:
        return QStringLiteral("medium");
    case DropEstimate::Sureness::High:
        return QStringLiteral("high");
    }
    return {};
}

DropEstimate estimateDrop(const LifeCycle& cycle, const DropRule* rule, const QDate& today)
{
    if (!rule || !today.isValid())
        return {};
    if (cycle.state == QLatin1String("pendingDelete"))
        return inPendingDelete(cycle, *rule, today);
    if (cycle.state == QLatin1String("redemptionPeriod"))
        return inRedemption(cycle, *rule, today);
    if (cycle.state == QLatin1String("expired"))
        return pastExpiry(cycle, *rule, today);
    // pendingRestore: the holder is taking the name back.
    return {};
}

QDate readWhoisLastUpdate(const QString& text, LifeCycleRules::DateOrder order)
{
    static const QStringList keys = {
        QStringLiteral("updateddate"), QStringLiteral("lastupdated"),   QStringLiteral("lastupdatedon"),
        QStringLiteral("lastupdate"),  QStringLiteral("lastmodified"),  QStringLiteral("modified"),
        QStringLiteral("changed"),     QStringLiteral("updated"),       QStringLiteral("domainlastupdated"),
        QStringLiteral("lastchanged"), QStringLiteral("domainupdated"), QStringLiteral("updatedon")};
    for (QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        // Keys of a few words only: a notice's sentence never dates the name.
        if (colon <= 0 || colon > 40)
            continue;
        if (!keys.contains(squeezed(line.left(colon))))
            continue;
        const QDate date = readRegistryDate(line.mid(colon + 1).trimmed().toString(), order);
        if (date.isValid())
            return date;
    }
    return {};
}

} // namespace brisquel
