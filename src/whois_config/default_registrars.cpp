#include "registrars_file.h"

#include <iterator>

namespace brisquel {

namespace {
constexpr int WhoisPort = 43;
// Regional registries answer for several country codes, so their rows share one host.
constexpr const char* AsiaPacific = "whois.apnic.net";
constexpr const char* Europe = "whois.ripe.net";

struct DefaultRow
{
    const char* extension;
    const char* server;
    bool enabled;
};

// Order matters: cn, no and us appear twice and the first row of each serves lookups.
constexpr DefaultRow DefaultRows[] = {
    {"proxy", "127.0.0.1", true},
    {"com", "whois.verisign-grs.com", true},
    {"net", "whois.verisign-grs.com", true},
    // The .edu registry's own server, the one IANA lists for it. The table this one follows
    // named the com/net registry's server here; that registry does not run .edu, so its
    // answer is not the word of the registry that knows whether a name is free.
    {"edu", "whois.educause.edu", false},
    {"org", "whois.publicinterestregistry.org", false},
    {"info", "whois.nic.info", true},
    {"biz", "whois.nic.biz", true},
    {"aero", "whois.aero", false},
    {"name", "whois.nic.name", true},
    {"coop", "whois.nic.coop", false},
    {"tc", "whois.nic.tc", false},
    {"cn", AsiaPacific, false},
    {"hk", AsiaPacific, false},
    {"tw", AsiaPacific, false},
    {"au", "whois.auda.org.au", false},
    {"ca", "whois.cira.ca", false},
    {"ck", "whois.nic.ck", false},
    {"cn", "whois.cnnic.cn", false},
    {"kz", "whois.nic.kz", false},
    {"za", "whois.nic.za", false},
    {"id", "whois.id", false},
    {"us", "whois.nic.us", false},
    {"kr", "whois.kr", false},
    {"se", "whois.iis.se", false},
    {"ac", "whois.nic.ac", false},
    {"jp", "whois.jprs.jp", false},
    {"as", "whois.nic.as", false},
    {"br", "whois.registro.br", false},
    {"cc", "ccwhois.verisign-grs.com", false},
    {"ch", "whois.nic.ch", false},
    {"fr", "whois.nic.fr", false},
    {"gov", "whois.nic.gov", false},
    {"hm", "whois.registry.hm", false},
    {"li", "whois.nic.li", false},
    {"lk", "whois.nic.lk", false},
    {"mil", "whois.nic.mil", false},
    {"mm", "whois.registry.gov.mm", false},
    {"mx", "whois.mx", false},
    {"sg", "whois.sgnic.sg", false},
    {"nu", "whois.iis.nu", false},
    {"sh", "whois.nic.sh", false},
    {"tj", "whois.nic.tj", false},
    {"tm", "whois.nic.tm", false},
    {"uk", "whois.nic.uk", false},
    {"no", "whois.norid.no", false},
    {"nz", "whois.irs.net.nz", false},
    {"pk", "whois.pknic.net.pk", false},
    {"al", Europe, false},
    {"at", Europe, false},
    {"az", Europe, false},
    {"be", Europe, false},
    {"bg", Europe, false},
    {"by", Europe, false},
    {"cy", Europe, false},
    {"cz", Europe, false},
    {"de", Europe, false},
    {"dk", Europe, false},
    {"dz", Europe, false},
    {"ee", Europe, false},
    {"eg", Europe, false},
    {"es", Europe, false},
    {"ga", Europe, false},
    {"ge", Europe, false},
    {"gl", Europe, false},
    {"gr", Europe, false},
    {"hu", Europe, false},
    {"ie", Europe, false},
    {"il", Europe, false},
    {"is", Europe, false},
    {"it", Europe, false},
    {"lt", Europe, false},
    {"lv", Europe, false},
    {"ma", Europe, false},
    {"md", Europe, false},
    {"mk", Europe, false},
    {"mt", Europe, false},
    {"nl", Europe, false},
    {"no", Europe, false},
    {"pl", Europe, false},
    {"pt", Europe, false},
    {"ro", Europe, false},
    {"si", Europe, false},
    {"sk", Europe, false},
    {"sm", Europe, false},
    {"su", Europe, false},
    {"tn", Europe, false},
    {"tr", Europe, false},
    {"us", Europe, false},
    {"va", Europe, false},
    {"yu", Europe, false},
    {"ru", "whois.tcinet.ru", false},
    {"to", "whois.tonicregistry.to", false},
};
} // namespace

QList<ExtensionRow> defaultExtensionRows()
{
    QList<ExtensionRow> result;
    result.reserve(std::size(DefaultRows));
    for (const DefaultRow& row : DefaultRows)
        result.append({QLatin1String(row.extension), QLatin1String(row.server), WhoisPort, row.enabled});
    return result;
}

} // namespace brisquel
