#include "lookup_router.h"

#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"

namespace brisquel {

namespace {
const QLatin1StringView ProxyExtension("proxy");
} // namespace

bool LookupRouter::hasServers() const
{
    return m_override || (m_table && !m_table->isEmpty());
}

bool LookupRouter::route(LookupRequest* request, QString* reason, Purpose purpose) const
{
    if (m_override) {
        request->setWhoisServer(m_override->host, m_override->port);
        return true;
    }
    const int index =
        m_table ? m_table->findExtensionIndex(request->domain, m_useProxy) : ExtensionTable::NoRow;
    const QString extension =
        request->domain.mid(request->domain.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    const QString wanted = m_useProxy ? QString(ProxyExtension) : extension;
    if (index == ExtensionTable::NoRow ||
        (purpose == Purpose::Record && m_table->row(index).extension != wanted)) {
        if (purpose == Purpose::Check)
            *reason = QStringLiteral("no WHOIS server for its extension");
        else if (m_useProxy)
            *reason = QStringLiteral("No proxy row is set up in the extension table.");
        else
            *reason = QStringLiteral("No WHOIS server is set up for .%1.").arg(extension);
        return false;
    }
    const ExtensionRow& row = m_table->row(index);
    if (isRdapServer(row.server)) {
        const QUrl base = rdapBaseUrl(row.server, reason);
        if (!base.isValid())
            return false;
        request->setRdapBase(base);
        return true;
    }
    request->setWhoisServer(row.server, quint16(row.port));
    // The proxy row stands for every name; the registry's RDAP server would go around it.
    if (purpose == Purpose::Check && m_preferRdap && !m_useProxy)
        toRdap(request);
    return true;
}

bool LookupRouter::rdapFallback(LookupRequest* request) const
{
    if (request->isRdap() || m_override || m_useProxy)
        return false;
    return toRdap(request);
}

bool LookupRouter::toRdap(LookupRequest* request) const
{
    if (!m_bootstrap)
        return false;
    const QUrl base = m_bootstrap->baseFor(request->queryName());
    if (!base.isValid())
        return false;
    request->setRdapBase(base);
    return true;
}

} // namespace brisquel
