#pragma once

#include "engine/lookup/lookup_request.h"
#include "engine/lookup/proxy_list.h"

#include <QString>
#include <memory>
#include <optional>

namespace brisquel {

class ExtensionTable;
class RdapBootstrap;

// Where every lookup goes when set: a one-off proxy that overrides the extension table.
struct ServerOverride
{
    QString host;
    quint16 port = 43;
};

// The one place that turns a name into its server: the extension's row (or the proxy row, or a
// one-off override), a row that names an RDAP base URL, and the registry's RDAP service from the
// bootstrap when RDAP is preferred or WHOIS gave no answer. Shared by every checker, so that a
// change in the settings reaches all of them.
class LookupRouter
{
public:
    enum class Purpose
    {
        // A verdict: an extension without a row of its own goes to the "com" row, and RDAP is
        // asked instead of WHOIS where preferred.
        Check,
        // The full record of one name: only its extension's own row, whose server another
        // extension's would mislead about, over the protocol the row names.
        Record,
    };

    explicit LookupRouter(const ExtensionTable* table = nullptr)
        : m_table(table)
    {}

    void setTable(const ExtensionTable* table) { m_table = table; }
    void setUseProxy(bool useProxy) { m_useProxy = useProxy; }
    bool useProxy() const { return m_useProxy; }
    void setServerOverride(std::optional<ServerOverride> server) { m_override = std::move(server); }
    bool hasServerOverride() const { return m_override.has_value(); }
    void setPreferRdap(bool prefer) { m_preferRdap = prefer; }
    bool preferRdap() const { return m_preferRdap; }
    // Whether a name WHOIS calls free is asked again of its registry's RDAP service.
    void setConfirmFree(bool confirm) { m_confirmFree = confirm; }
    bool confirmFree() const { return m_confirmFree; }
    void setRdapBootstrap(std::shared_ptr<const RdapBootstrap> bootstrap)
    {
        m_bootstrap = std::move(bootstrap);
    }
    // The network proxies every lookup goes through, for the checkers that route through here.
    void setProxies(const QList<ProxyEntry>& proxies) { m_proxies = proxies; }
    const QList<ProxyEntry>& proxies() const { return m_proxies; }
    // Whether any server can be asked at all.
    bool hasServers() const;

    // Sets the request's server; false with the reason when there is none.
    bool route(LookupRequest* request, QString* reason, Purpose purpose = Purpose::Check) const;
    // The registry's RDAP service for a name its WHOIS server left without an answer; false when
    // the bootstrap knows none, or when the user chose one server for everything.
    bool rdapFallback(LookupRequest* request) const;
    // The registry's RDAP service, to confirm a free verdict of WHOIS; false when confirming is
    // off or there is none to ask (as for rdapFallback).
    bool confirmation(LookupRequest* request) const { return m_confirmFree && rdapFallback(request); }

private:
    bool toRdap(LookupRequest* request) const;

    const ExtensionTable* m_table;
    std::optional<ServerOverride> m_override;
    std::shared_ptr<const RdapBootstrap> m_bootstrap;
    QList<ProxyEntry> m_proxies;
    bool m_useProxy = false;
    bool m_preferRdap = false;
    bool m_confirmFree = true;
};

} // namespace brisquel
