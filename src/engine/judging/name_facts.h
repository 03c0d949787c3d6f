#pragma once

#include "engine/judging/life_cycle.h"
#include "engine/judging/verdict.h"

#include <QString>
#include <optional>

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

// How a verdict was reached.
enum class CheckMethod
{
    Whois,
    Rdap,
    Dns,     // delegated in DNS: taken without asking the registry
    History, // a recent verdict of the history, not asked again
    Zone,    // in an imported zone file: taken without asking the registry
};
const char* checkMethodName(CheckMethod method); // "whois", "rdap", "dns", "history", "zone"
std::optional<CheckMethod> checkMethodFromName(const QString& name);

// What a lookup learnt of a name beside its verdict.
struct NameFacts
{
    Confirmation confirmed = Confirmation::None; // free names
    LifeCycle lifeCycle;                         // taken names
    CheckMethod method = CheckMethod::Whois;     // how the verdict was reached
    QString server;                              // the host asked, for the history
};

} // namespace brisquel
