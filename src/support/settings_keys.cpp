#include "settings_keys.h"

#include "app_info.h"

#include <iterator>

namespace brisquel::SettingKeys {

namespace {
SettingKey position(const char* key, const char* defaultValue)
{
    return {PositionsApplication, QString::fromLatin1(key), SettingsScope::Machine,
            QString::fromLatin1(defaultValue)};
}

SettingKey option(const QString& key, const char* defaultValue, SettingsScope scope = SettingsScope::Machine)
{
    return {optionsApplication(), key, scope, QString::fromLatin1(defaultValue)};
}
} // namespace

QString optionsApplication()
{
    return AppInfo::productTitle();
}

SettingKey fullWordsPosition()
{
    return position("FullWordNum", "1");
}
SettingKey twoWordsPosition()
{
    return position("TwoWordNum", "1");
}
SettingKey threeWordsPosition()
{
    return position("ThreeWordNum", "1");
}
SettingKey fourWordsPosition()
{
    return position("FourWordNum", "1");
}
SettingKey customListPosition()
{
    return position("CustWordNum", "1");
}
SettingKey yahooHarvestPosition()
{
    return position("YahooWordNum", "1");
}
SettingKey googleHarvestPosition()
{
    return position("GoogleWordNum", "1");
}
SettingKey customPositionListFile()
{
    return position("CustListFile", "");
}
SettingKey positionListFile(const SettingKey& counter)
{
    return {counter.application, counter.key + QStringLiteral("List"), counter.scope, QString()};
}
SettingKey showHelpAtStart()
{
    return option(QStringLiteral("showHelp"), "1");
}
SettingKey useProxy()
{
    return option(QStringLiteral("chkProxy"), "0");
}
SettingKey useRdap()
{
    return option(QStringLiteral("chkRdap"), "0");
}
SettingKey checkDnsFirst()
{
    return option(QStringLiteral("chkDns"), "1");
}
SettingKey confirmFreeOverRdap()
{
    return option(QStringLiteral("chkConfirm"), "1");
}
SettingKey dnsServer()
{
    return option(QStringLiteral("DnsServer"), "");
}
SettingKey useNetworkProxies()
{
    return option(QStringLiteral("chkNetProxies"), "0");
}
SettingKey networkProxyFile()
{
    return option(QStringLiteral("NetProxyFile"), "");
}
SettingKey deadServerMinutes()
{
    return option(QStringLiteral("DeadServerMinutes"), "2");
}
SettingKey historyDays()
{
    return option(QStringLiteral("HistoryDays"), "7");
}
SettingKey zoneDays()
{
    return option(QStringLiteral("ZoneDays"), "3");
}
SettingKey watchHours()
{
    return option(QStringLiteral("WatchHours"), "24");
}
SettingKey lastWatch()
{
    return option(QStringLiteral("LastWatch"), "");
}
SettingKey lastSearchType()
{
    return option(QStringLiteral("LastSearchType"), "");
}
SettingKey lastListFile()
{
    return option(QStringLiteral("LastListFile"), "");
}
SettingKey defaultExtension()
{
    return option(QStringLiteral("DefaultExt"), ".com", SettingsScope::User);
}
SettingKey ignorePermissionDenied()
{
    return option(QStringLiteral("IgnorePermissionDeniedError"), "0", SettingsScope::User);
}
SettingKey generatorExtension(int index)
{
    // .com alone at first: every box ticked would start hundreds of lookups at once, on
    // extensions few people want.
    return option(QStringLiteral("chkExt%1").arg(index), index == 0 ? "1" : "0");
}
SettingKey generatorForm(int index)
{
    return option(QStringLiteral("chkAdd%1").arg(index), "1");
}
SettingKey generatorBaseWord()
{
    return option(QStringLiteral("txtMake"), "");
}
SettingKey generatorCustomExtension()
{
    return option(QStringLiteral("txtCustom"), ".co.uk");
}
SettingKey purchaseAddress()
{
    return option(QStringLiteral("PurchaseAddress"),
                  "https://www.namecheap.com/domains/registration/results/?domain=");
}
SettingKey purchaseOnDoubleClick()
{
    return option(QStringLiteral("PurchaseOnDoubleClick"), "1");
}
SettingKey webSiteAddress()
{
    return option(QStringLiteral("WebSiteAddress"), "https://brisquel.app/");
}
SettingKey browseStartAddress()
{
    return option(QStringLiteral("BrowseStartAddress"), "https://www.expireddomains.net/");
}
SettingKey siteAddress(int index)
{
    // Yahoo, Google, DMOZ, AfterNIC, Just Dropped, Deleted Domains, Expired Traffic.
    static const char* const defaults[] = {
        "https://www.yahoo.com/",         "https://www.google.com/",      "https://dmoz-odp.org/",
        "https://www.afternic.com/",      "https://www.justdropped.com/", "https://www.deleteddomains.com/",
        "https://www.expiredtraffic.com/"};
    const bool known = index >= 0 && index < int(std::size(defaults));
    return option(QStringLiteral("SiteAddress%1").arg(index), known ? defaults[index] : "");
}

SettingKey yahooSearchAddress()
{
    return option(QStringLiteral("YahooSearchAddress"), "https://search.yahoo.com");
}
SettingKey googleSearchAddress()
{
    return option(QStringLiteral("GoogleSearchAddress"), "https://www.google.com");
}

} // namespace brisquel::SettingKeys
