#pragma once

#include "engine/judging/verdict.h"

namespace brisquel {

// What one lookup brought back, as far as the fate of its name goes, and what the queue knew then.
struct LookupFacts
{
    bool viaProxy = false;       // it went through a network proxy
    bool proxyFailed = false;    // the proxy said it failed (a refused login, a dead proxy)
    bool neverConnected = false; // no connection to the server was opened
    bool answered = false;       // the server answered; `refused` and `verdict` say what it meant
    bool tooLarge = false;
    bool refused = false; // a refusal or a rationed answer: ask again later
    bool rdap = false;    // it asked an RDAP service
    Verdict verdict = Verdict::Unanswered;
    // Another proxy that has not failed reached this server: a proxy that never connects to it
    // has a broken way out.
    bool reachedThroughOtherProxy = false;
    // A proxy is left that has not failed this name.
    bool otherProxyLeft = false;
    // The registry's RDAP service may be asked instead of a WHOIS server.
    bool rdapFallback = false;
    // The lookup was the RDAP confirmation of a WHOIS "free".
    bool confirming = false;
    // The registry's RDAP service may be asked to confirm a free verdict.
    bool canConfirm = false;
};

// What happens to the name next; the queue carries it out.
enum class LookupStep
{
    AnotherProxy,     // a proxy could not open a way: another proxy asks, nobody is blamed yet
    ProxyFailed,      // the proxy failed: it rests, the name goes back first in its line
    ProxyCannotReach, // the proxy cannot reach a server the others reach: its failure, as above
    AskRdap,          // the WHOIS server gave nothing: the registry's RDAP service is asked
    Unanswered,       // no answer at all: filed unanswered with the failure
    Refused,          // refused or rationed: see afterRefusal()
    Confirm,          // WHOIS called it free: RDAP is asked before it is filed
    File,             // filed with the answer's verdict
};

// The queue's policy for a lookup that ended: proxies are blamed before servers, a silent WHOIS
// server is gone around through RDAP, a refusal is asked again, and a WHOIS "free" is confirmed.
LookupStep nextStep(const LookupFacts& facts);

// A refusal, once the server's pace has heard it: the name is asked again later, behind its
// server's next name, until the day's quota is spent or it was refused MaxRefusals times.
enum class RefusalStep
{
    AskAgainLater,
    QuotaSpent,
    RefusedTooOften,
};
constexpr int MaxRefusals = 5;
// `refusals`: of the name, this one counted.
RefusalStep afterRefusal(int refusals, bool quotaUsedUp);

} // namespace brisquel
