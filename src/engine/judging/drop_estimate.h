#pragma once

#include "engine/judging/drop_rules.h"
#include "engine/judging/life_cycle.h"

#include <QDate>
#include <QString>

namespace brisquel {

// When a dropping name should be free again: one day, a window of days, or unknown, and how sure.
struct DropEstimate
{
    enum class Sureness
    {
        Unknown, // no rule for the registry, or nothing dated to start from
        Low,     // a window the registrar's choices may move (a name past its expiry)
        Medium,  // the registry's clock, but its start is guessed or the holder may still restore
        High     // pendingDelete counted from the day it started
    };

    QDate start;
    QDate end; // the same day as start for an exact estimate
    Sureness sureness = Sureness::Unknown;

    bool isKnown() const { return start.isValid(); }
    bool isExact() const { return isKnown() && start == end; }
    // "2025-03-09", "2025-03-01/2025-03-14", or empty when unknown.
    QString text() const;
    // The reverse of text(); unknown for anything else.
    static DropEstimate fromText(QStringView text);
    bool operator==(const DropEstimate&) const = default;
};

QString surenessName(DropEstimate::Sureness sureness);

// The release of a taken name from its state, its dates and its registry's rule (null: unknown).
// A state's start is the name's last update, the day the registry moved it into that state; a
// window never starts before `today`, since a name not yet free is not free earlier.
DropEstimate estimateDrop(const LifeCycle& cycle, const DropRule* rule, const QDate& today);

// The last update of the name in a WHOIS answer ("Updated Date:", "Last Updated On:", "last-update:",
// "changed:", "Last Modified:"), read in `order`; invalid when none.
QDate readWhoisLastUpdate(const QString& text, LifeCycleRules::DateOrder order);

} // namespace brisquel
