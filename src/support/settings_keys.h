#pragma once

#include <QString>

namespace brisquel {

enum class SettingsScope
{
    Machine,
    User
};

// One row of the settings table: where a key lives and what it reads as when never written.
struct SettingKey
{
    QString application;
    QString key;
    SettingsScope scope = SettingsScope::Machine;
    QString defaultValue;
};

namespace SettingKeys {

inline const QString Section = QStringLiteral("Settings");
inline const QString PositionsApplication = QStringLiteral("Velmorra");
QString optionsApplication(); // the product title

SettingKey FullWordNum();
SettingKey TwoWordNum();
SettingKey ThreeWordNum();
SettingKey FourWordNum();
SettingKey CustWordNum();
SettingKey YahooWordNum();
SettingKey GoogleWordNum();
// The custom list that CustWordNum belongs to, so that another file does not resume at its position.
SettingKey CustListFile();
// The list file a position counter belongs to ("path|size|time of change"), saved with it.
SettingKey positionList(const SettingKey& counter);
SettingKey showHelp();
SettingKey chkProxy();
// Ask registries over RDAP wherever the bootstrap file names a server for the extension.
SettingKey chkRdap();
// Ask DNS for each name's NS records first: a delegated name is taken without a registry query.
SettingKey chkDns();
// Ask a registry's RDAP service about each name its WHOIS server calls free, before filing it.
SettingKey chkConfirm();
// The resolver the DNS pre-check asks ("HOST" or "HOST:PORT"); empty: the system's configuration.
SettingKey DnsServer();
// Send lookups through the network proxies of NetProxyFile.
SettingKey chkNetProxies();
// The network proxies' list file; empty: proxies.txt in the data folder, as is a relative path.
SettingKey NetProxyFile();
// How long a registry may stay silent before a search gives up its names (minutes, fractions too).
SettingKey DeadServerMinutes();
// Days a name found taken is filed from the history instead of asked again; 0: always asked.
SettingKey HistoryDays();
SettingKey ZoneDays(); // how old an imported zone may be to settle names; 0: never
// Hours between checks of the saved names while the window runs; 0: never.
SettingKey WatchHours();
// When the window last checked the saved names (ISO 8601, UTC); empty: never.
SettingKey LastWatch();
// The caption of the search type the window showed last; the next start shows it again.
SettingKey LastSearchType();
// The custom list file chosen last, shown again with "Custom List" at the next start.
SettingKey LastListFile();
SettingKey DefaultExt();
SettingKey IgnorePermissionDeniedError();
SettingKey chkExt(int index);
SettingKey chkAdd(int index);
SettingKey txtMake();
SettingKey txtCustom();
// Addresses of the outside world are settings, so that they can follow the sites.
SettingKey PurchaseAddress();
SettingKey PurchaseOnDoubleClick();
SettingKey WebSiteAddress();
// The domain browser's first page, and the start pages of its seven site buttons (0 to 6).
SettingKey BrowseStartAddress();
SettingKey SiteAddress(int index);
// Scheme, host and port of the search engines whose result pages the harvester reads.
SettingKey YahooSearchAddress();
SettingKey GoogleSearchAddress();

} // namespace SettingKeys
} // namespace brisquel
