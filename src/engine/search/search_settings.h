#pragma once

#include "engine/lookup/lookup_request.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/lookup/proxy_list.h"
#include "whois_config/server_limits.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace brisquel {

class AnswerRules;
class RdapBootstrap;
struct StartupResult;

// Everything a search is told before it runs: how many lookups at once and how long each may
// take, where names go and how answers are judged, the DNS pre-check, the history and the network
// proxies. A driver takes it whole (SearchDriver::setSettings); the defaults are a driver's
// before it is told anything.
struct SearchSettings
{
    static constexpr int MaxPoolSize = 100;

    // Lookups in flight at most, 1 to MaxPoolSize.
    int poolSize = 25;
    // Taken at a search's start; deadServerMs is how long a registry may stay silent before its
    // waiting names are given up.
    LookupTimings timings;
    // Every name to the extension table's "proxy" row.
    bool useProxy = false;
    // Put after an entry without an extension.
    QString defaultExtension = QStringLiteral(".com");
    // Every name to this one server, over the extension table (the command line's --proxy).
    std::optional<ServerOverride> serverOverride;
    // The rules that judge the answers; the delivered ones when none.
    std::shared_ptr<const AnswerRules> answerRules;
    // How hard each server may be asked. A running search takes new limits at once; a pace
    // learned from refusals stays.
    ServerLimitsTable serverLimits = ServerLimitsTable::delivered();
    // Which registries answer RDAP: where a WHOIS server gives no answer at all, and every
    // extension it knows when RDAP is preferred.
    std::shared_ptr<const RdapBootstrap> rdapBootstrap;
    bool preferRdap = false;
    // Whether a name WHOIS calls free is asked again over RDAP (where the registry has a service)
    // before it is filed.
    bool confirmFree = true;
    // Asks DNS for each name's NS records before its registry: a delegated name is registered
    // without a registry query. dnsServer: "HOST[:PORT]", empty for the system's resolver. A
    // running search keeps the pre-check it started with.
    bool dnsPrecheck = false;
    QString dnsServer;
    // A name the history found taken within the last `historyDays` days is filed from there,
    // without a query (see settledByHistory); 0 asks every name.
    int historyDays = 0;
    // A name in an imported zone (`zoneFolder`, the data folder's zones/) younger than `zoneDays`
    // days is filed taken without a query; 0 days (or no folder) uses no zone. Taken at the next start.
    QString zoneFolder;
    int zoneDays = 0;
    // Whether the resume position goes into the settings. A check beside the user's search (the
    // watch list) keeps it off, so that it never moves where that search goes on.
    bool keepsPosition = true;
    // The network proxies lookups go through, taking turns; none: straight to the servers. A
    // running search keeps its own; the router (the WHOIS window, the browser's checker) takes
    // them at once. While any are set, the DNS pre-check is off unless a DNS server is named
    // (DNS does not go through them).
    QList<ProxyEntry> proxies;
};

// The settings a search of the program runs with: the choices start-up read from the settings
// store, and the rules, limits, RDAP bootstrap and proxies it loaded from the data folder, over
// `settings` for what start-up does not know (the pool size, the timings but for the dead-server
// time, a server override, whether the position is kept).
SearchSettings searchSettingsFrom(const StartupResult& startup, SearchSettings settings = SearchSettings());

} // namespace brisquel
