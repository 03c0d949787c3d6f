#pragma once

#include "engine/check_history.h"
#include "engine/life_cycle.h"
#include "engine/verdict.h"

#include <QString>

namespace brisquel {

// Who besides the first answer says that a free name is free.
enum class Confirmation
{
    None, // nobody: WHOIS alone (the registry's RDAP gave no answer, or there is none to ask)
    Rdap, // the registry's RDAP service does not know the name (or was the first to say so)
    Dns,  // no RDAP word, but the DNS pre-check found no delegation
};

// "rdap", "dns", "-": the command line's confirmed column.
inline const char* confirmationName(Confirmation confirmed)
{
    switch (confirmed) {
    case Confirmation::Rdap:
        return "rdap";
    case Confirmation::Dns:
        return "dns";
    case Confirmation::None:
        break;
    }
    return "-";
}

// What a lookup learnt of a name beside its verdict.
struct NameFacts
{
    Confirmation confirmed = Confirmation::None; // free names
    LifeCycle lifeCycle;                         // taken names
    CheckMethod method = CheckMethod::Whois;     // how the verdict was reached
    QString server;                              // the host asked, for the history
};

struct LookupRequest;

// What the RDAP answer to a confirmation (`request`) makes of a name WHOIS called free, in place:
// "not found" confirms it; a record overrules WHOIS, and the detail says so; no answer leaves it
// free, unconfirmed, decided by WHOIS at `whoisHost`.
void applyConfirmation(const LookupRequest& request, const QString& whoisHost, Verdict* verdict, QString* detail,
                       NameFacts* facts);

} // namespace brisquel
