#include "name_facts.h"

#include "engine/lookup_request.h"

namespace brisquel {

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
