#pragma once

#include "engine/judging/life_cycle_rules.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace brisquel {

// Where a taken name stands in its life, as far as its registry says: a deletion state and the
// expiry date. A name in a deletion state (or past its expiry) may soon be free again.
struct LifeCycle
{
    // "pendingDelete", "redemptionPeriod", "pendingRestore", or "expired" for a name past its
    // expiry date without a state of its own; empty for a name in good standing, or when unknown.
    QString state;
    QDate expires; // invalid when the answer gives none
    // The last update: for a name in a deletion state, usually the day it entered it.
    QDate updated;

    bool isDropping() const { return !state.isEmpty(); }
    bool operator==(const LifeCycle&) const = default;
};

// The life cycle from a WHOIS answer of `server`: status lines ("Domain Status: pendingDelete https://…",
// "Status: REDEMPTION PERIOD", "state: to be released") and expiry lines ("Registry Expiry Date:",
// "paid-till:", "Expires on:", "Exp date", "renewal date:", a status "OK-UNTIL 20251218") in their
// registries' date spellings, with the keys, wordings and date order of `rules` (none: the rules in
// force). Prose (notices, terms of use) is not read: only lines of a key of a few words decide. A
// numeric date whose order neither its line, the server's rules nor the answer's other dates tell
// is no date. `today` tells an expired name.
LifeCycle readWhoisLifeCycle(const QByteArray& answer, const QDate& today, const QString& server = QString(),
                             const LifeCycleRules* rules = nullptr);

// The same from an RDAP domain object: its "status" values and its "expiration" event.
LifeCycle readRdapLifeCycle(const QByteArray& body, const QDate& today);

// A date as registries write it: "2024-05-01T04:00:00Z", "01-may-2024", "2024.05.01",
// "2024/05/01", "20240501", "20240501000000", "01.05.2024", "1 May 2024", "May 01 2024",
// "2024-May-01", "Wed May 01 23:59:59 GMT 2024", "2024. 05. 01.", "25/05/24"; invalid when the text
// holds no date. A numeric date with both first parts 12 or less ("05/04/2024") is read in `order`;
// without one it is no date, except with dots, which are day first.
QDate readRegistryDate(const QString& text,
                       LifeCycleRules::DateOrder order = LifeCycleRules::DateOrder::Unknown);

} // namespace brisquel
