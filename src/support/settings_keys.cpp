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

SettingKey FullWordNum()
{
    return position("FullWordNum", "1");
}
SettingKey TwoWordNum()
{
    return position("TwoWordNum", "1");
}
SettingKey ThreeWordNum()
{
    return position("ThreeWordNum", "1");
}
SettingKey FourWordNum()
{
    return position("FourWordNum", "1");
}
SettingKey CustWordNum()
{
    return position("CustWordNum", "1");
}
SettingKey YahooWordNum()
{
    return position("YahooWordNum", "1");
}
SettingKey GoogleWordNum()
{
    return position("GoogleWordNum", "1");
}
SettingKey CustListFile()
{
    return position("CustListFile", "");
}
SettingKey positionList(const SettingKey& counter)
{
    return {counter.application, counter.key + QStringLiteral("List"), counter.scope, QString()};
}
SettingKey showHelp()
{
    return option(QStringLiteral("showHelp"), "1");
}
SettingKey chkProxy()
{
    return option(QStringLiteral("chkProxy"), "0");
}
SettingKey chkRdap()
{
    return option(QStringLiteral("chkRdap"), "0");
}
SettingKey chkDns()
{
    return option(QStringLiteral("chkDns"), "1");
}
SettingKey chkConfirm()
{
    return option(QStringLiteral("chkConfirm"), "1");
}
SettingKey DnsServer()
{
    return option(QStringLiteral("DnsServer"), "");
}
SettingKey chkNetProxies()
{
    return option(QStringLiteral("chkNetProxies"), "0");
}
SettingKey NetProxyFile()
{
    return option(QStringLiteral("NetProxyFile"), "");
}
SettingKey DeadServerMinutes()
{
    return option(QStringLiteral("DeadServerMinutes"), "2");
}
SettingKey HistoryDays()
{
    return option(QStringLiteral("HistoryDays"), "7");
}
SettingKey ZoneDays()
{
    return option(QStringLiteral("ZoneDays"), "3");
}
SettingKey WatchHours()
{
    return option(QStringLiteral("WatchHours"), "24");
}
SettingKey LastWatch()
{
    return option(QStringLiteral("LastWatch"), "");
}
SettingKey LastSearchType()
{
    return option(QStringLiteral("LastSearchType"), "");
}
SettingKey LastListFile()
{
    return option(QStringLiteral("LastListFile"), "");
}
SettingKey DefaultExt()
{
    return option(QStringLiteral("DefaultExt"), ".com", SettingsScope::User);
}
SettingKey IgnorePermissionDeniedError()
{
    return option(QStringLiteral("IgnorePermissionDeniedError"), "0", SettingsScope::User);
}
SettingKey chkExt(int index)
{
    // .com alone at first: every box ticked would start hundreds of lookups at once, on
    // extensions few people want.
    return option(QStringLiteral("chkExt%1").arg(index), index == 0 ? "1" : "0");
}
SettingKey chkAdd(int index)
{
    return option(QStringLiteral("chkAdd%1").arg(index), "1");
}
SettingKey txtMake()
{
    return option(QStringLiteral("txtMake"), "");
}
SettingKey txtCustom()
{
    return option(QStringLiteral("txtCustom"), ".co.uk");
}
SettingKey PurchaseAddress()
{
    return option(QStringLiteral("PurchaseAddress"),
                  "https://www.namecheap.com/domains/registration/results/?domain=");
}
SettingKey PurchaseOnDoubleClick()
{
    return option(QStringLiteral("PurchaseOnDoubleClick"), "1");
}
SettingKey WebSiteAddress()
{
    return option(QStringLiteral("WebSiteAddress"), "https://brisquel.app/");
}
SettingKey BrowseStartAddress()
{
    return option(QStringLiteral("BrowseStartAddress"), "https://www.expireddomains.net/");
}
SettingKey SiteAddress(int index)
{
    // Yahoo, Google, DMOZ, AfterNIC, Just Dropped, Deleted Domains, Expired Traffic.
    static const char* const defaults[] = {
        "https://www.yahoo.com/",         "https://www.google.com/",      "https://dmoz-odp.org/",
        "https://www.afternic.com/",      "https://www.justdropped.com/", "https://www.deleteddomains.com/",
        "https://www.expiredtraffic.com/"};
    const bool known = index >= 0 && index < int(std::size(defaults));
    return option(QStringLiteral("SiteAddress%1").arg(index), known ? defaults[index] : "");
}

SettingKey YahooSearchAddress()
{
    return option(QStringLiteral("YahooSearchAddress"), "https://search.yahoo.com");
}
SettingKey GoogleSearchAddress()
{
    return option(QStringLiteral("GoogleSearchAddress"), "https://www.google.com");
}

} // namespace brisquel::SettingKeys
