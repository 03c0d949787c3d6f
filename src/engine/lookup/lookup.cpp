#include "lookup.h"

#include "engine/judging/answer_rules.h"
#include "engine/judging/life_cycle.h"
#include "engine/lookup/lookup_pool.h"
#include "engine/lookup/rdap_lookup.h"

namespace brisquel {

NameFacts lookupFacts(const LookupRequest& request)
{
    NameFacts facts;
    facts.method = request.isRdap() ? CheckMethod::Rdap : CheckMethod::Whois;
    facts.server = request.host;
    return facts;
}

LookupResult judgeReply(const LookupReply& reply, const AnswerRules& rules, const QDate& today)
{
    LookupResult result;
    result.request = reply.request;
    result.answered = reply.answered;
    result.failure = reply.failure;
    result.neverConnected = reply.neverConnected;
    result.proxyFailed = reply.proxyFailed;
    result.tooLarge = reply.tooLarge;
    result.facts = lookupFacts(reply.request);
    if (!reply.answered) {
        result.judgement.verdict = Verdict::Unanswered;
        result.judgement.detail = reply.failure;
        return result;
    }
    result.answer = reply.answer;
    const bool rdap = reply.request.isRdap();
    if (rdap) {
        result.judgement = judgeRdapReply(reply.httpStatus, reply.answer, reply.contentType,
                                          RdapLookup::queryUrl(reply.request));
        result.namedWaitMs = reply.retryAfterMs;
        if (result.judgement.verdict == Verdict::Unanswered)
            result.failure = result.judgement.detail;
    } else {
        result.judgement = rules.judge(reply.answer, reply.request.host, reply.request.queryName());
        if (result.judgement.refused)
            result.namedWaitMs = LookupPool::namedWaitMs(reply.answer);
    }
    if (!result.judgement.refused && isTaken(result.judgement.verdict))
        result.facts.lifeCycle = rdap ? readRdapLifeCycle(reply.answer, today)
                                      : readWhoisLifeCycle(reply.answer, today, reply.request.host);
    return result;
}

void applyConfirmation(const LookupRequest& request, const QString& whoisHost, Verdict* verdict, QString* detail,
                       NameFacts* facts)
{
    switch (*verdict) {
    case Verdict::Available:
        facts->confirmed = Confirmation::Rdap;
        break;
    case Verdict::Unanswered:
        // No word from RDAP takes nothing from WHOIS's.
        *verdict = Verdict::Available;
        facts->confirmed = Confirmation::None;
        facts->method = CheckMethod::Whois;
        facts->server = whoisHost;
        detail->clear();
        break;
    case Verdict::Registered:
    case Verdict::NotRegistrable:
        *detail = QStringLiteral("WHOIS said free, but %1 has a record of it").arg(request.serverName());
        break;
    }
}

} // namespace brisquel
