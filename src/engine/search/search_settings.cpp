#include "search_settings.h"

#include "engine/search/startup.h"

namespace brisquel {

SearchSettings searchSettingsFrom(const StartupResult& startup, SearchSettings settings)
{
    settings.timings.deadServerMs = startup.deadServerMs;
    settings.useProxy = startup.useProxy;
    settings.defaultExtension = startup.defaultExtension;
    settings.answerRules = startup.answerRules;
    settings.serverLimits = startup.serverLimits;
    settings.rdapBootstrap = startup.rdapBootstrap;
    settings.preferRdap = startup.preferRdap;
    settings.confirmFree = startup.confirmFree;
    settings.dnsPrecheck = startup.checkDnsFirst;
    settings.dnsServer = startup.dnsServer;
    settings.historyDays = startup.historyDays;
    settings.zoneFolder = startup.zoneFolder;
    settings.zoneDays = startup.zoneDays;
    settings.proxies = startup.proxies;
    return settings;
}

} // namespace brisquel
