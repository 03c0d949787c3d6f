#include "lookup_outcome.h"

namespace brisquel {

LookupStep nextStep(const LookupFacts& facts)
{
    // Nothing came through the proxy: its own failure, or an open question another proxy settles.
    if (facts.viaProxy && !facts.proxyFailed && facts.neverConnected) {
        if (facts.reachedThroughOtherProxy)
            return LookupStep::ProxyCannotReach;
        if (facts.otherProxyLeft)
            return LookupStep::AnotherProxy;
    }
    if (facts.viaProxy && facts.proxyFailed)
        return LookupStep::ProxyFailed;
    if (!facts.answered)
        return facts.rdapFallback && !facts.tooLarge ? LookupStep::AskRdap : LookupStep::Unanswered;
    if (facts.refused)
        return LookupStep::Refused;
    // RDAP's own "not found" needs no second word; a WHOIS "free" asks for one.
    if (facts.verdict == Verdict::Available && !facts.confirming && !facts.rdap && facts.canConfirm)
        return LookupStep::Confirm;
    return LookupStep::File;
}

RefusalStep afterRefusal(int refusals, bool quotaUsedUp)
{
    if (quotaUsedUp)
        return RefusalStep::QuotaSpent;
    if (refusals >= MaxRefusals)
        return RefusalStep::RefusedTooOften;
    return RefusalStep::AskAgainLater;
}

} // namespace brisquel
