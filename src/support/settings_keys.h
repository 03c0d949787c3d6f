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

// Each function names a setting by its role; its row in settings_keys.cpp keeps the key name the
// settings files have always stored, so files written by earlier versions read the same.
namespace SettingKeys {

inline const QString Section = QStringLiteral("Settings");
inline const QString PositionsApplication = QStringLiteral("Velmorra");
QString optionsApplication(); // the product title

// Where each built-in list, the custom list and the two harvests resume (1-based word number).
SettingKey fullWordsPosition();
SettingKey twoWordsPosition();
SettingKey threeWordsPosition();
SettingKey fourWordsPosition();
SettingKey customListPosition();
SettingKey yahooHarvestPosition();
SettingKey googleHarvestPosition();
// The custom list that customListPosition belongs to, so that another file does not resume at its position.
SettingKey customPositionListFile();
// The list file a position counter belongs to ("path|size|time of change"), saved with it.
SettingKey positionListFile(const SettingKey& counter);
SettingKey showHelpAtStart();
SettingKey useProxy();
// Ask registries over RDAP wherever the bootstrap file names a server for the extension.
SettingKey useRdap();
// Ask DNS for each name's NS records first: a delegated name is taken without a registry query.
SettingKey checkDnsFirst();
// Ask a registry's RDAP service about each name its WHOIS server calls free, before filing it.
SettingKey confirmFreeOverRdap();
// The resolver the DNS pre-check asks ("HOST" or "HOST:PORT"); empty: the system's configuration.
SettingKey dnsServer();
// Send lookups through the network proxies of networkProxyFile.
SettingKey useNetworkProxies();
// The network proxies' list file; empty: proxies.txt in the data folder, as is a relative path.
SettingKey networkProxyFile();
// How long a registry may stay silent before a search gives up its names (minutes, fractions too).
SettingKey deadServerMinutes();
// Days a name found taken is filed from the history instead of asked again; 0: always asked.
SettingKey historyDays();
SettingKey zoneDays(); // how old an imported zone may be to settle names; 0: never
// Hours between checks of the saved names while the window runs; 0: never.
SettingKey watchHours();
// When the window last checked the saved names (ISO 8601, UTC); empty: never.
SettingKey lastWatch();
// The caption of the search type the window showed last; the next start shows it again.
SettingKey lastSearchType();
// The custom list file chosen last, shown again with "Custom List" at the next start.
SettingKey lastListFile();
SettingKey defaultExtension();
SettingKey ignorePermissionDenied();
// The name creator's ticked extensions, ticked word forms, base word and custom extension.
SettingKey generatorExtension(int index);
SettingKey generatorForm(int index);
SettingKey generatorBaseWord();
SettingKey generatorCustomExtension();
// Addresses of the outside world are settings, so that they can follow the sites.
SettingKey purchaseAddress();
SettingKey purchaseOnDoubleClick();
SettingKey webSiteAddress();
// The domain browser's first page, and the start pages of its seven site buttons (0 to 6).
SettingKey browseStartAddress();
SettingKey siteAddress(int index);
// Scheme, host and port of the search engines whose result pages the harvester reads.
SettingKey yahooSearchAddress();
SettingKey googleSearchAddress();

} // namespace SettingKeys
} // namespace brisquel
