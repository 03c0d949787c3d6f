#pragma once

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

    bool isDropping() const { return !state.isEmpty(); }
    bool operator==(const LifeCycle&) const = default;
};

// The life cycle from a WHOIS answer: status lines ("Domain Status: pendingDelete https://…",
// "Status: REDEMPTION PERIOD", "state: in quarantine") and expiry lines ("Registry Expiry Date:",
// "paid-till:", "Expires on:", "renewal date:", …) in their registries' date spellings. Prose
// (notices, terms of use) is not read: only "key: value" lines decide. `today` tells an expired name.
LifeCycle readWhoisLifeCycle(const QByteArray& answer, const QDate& today);

// The same from an RDAP domain object: its "status" values and its "expiration" event.
LifeCycle readRdapLifeCycle(const QByteArray& body, const QDate& today);

// A date as registries write it: "2024-05-01T04:00:00Z", "01-may-2024", "2024.05.01",
// "2024/05/01", "20240501", "01.05.2024", "1 May 2024", "May 01 2024", "2024. 05. 01.";
// invalid when the text holds no date.
QDate readRegistryDate(const QString& text);

} // namespace brisquel
