#include "name_facts.h"

namespace brisquel {

const char* checkMethodName(CheckMethod method)
{
    switch (method) {
    case CheckMethod::Whois:
        return "whois";
    case CheckMethod::Rdap:
        return "rdap";
    case CheckMethod::Dns:
        return "dns";
    case CheckMethod::History:
        return "history";
    case CheckMethod::Zone:
        return "zone";
    }
    return "whois";
}

std::optional<CheckMethod> checkMethodFromName(const QString& name)
{
    for (CheckMethod method :
         {CheckMethod::Whois, CheckMethod::Rdap, CheckMethod::Dns, CheckMethod::History, CheckMethod::Zone}) {
        if (name == QLatin1String(checkMethodName(method)))
            return method;
    }
    return std::nullopt;
}

} // namespace brisquel
