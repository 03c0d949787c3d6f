#include "search_session.h"

#include "engine/filing/list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/filing/verdict_filer.h"
#include "support/settings_store.h"
#include "whois_config/extension_table.h"

namespace brisquel {

SearchSession::SearchSession(const DataFolder& folder, const QString& userSettingsPath, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(std::make_unique<SettingsStore>(m_folder.settingsPath(), userSettingsPath))
    , m_table(std::make_unique<ExtensionTable>())
    , m_lists(std::make_unique<ResultLists>())
    , m_listFiles(std::make_unique<ListFiles>(m_folder, m_lists.get()))
    , m_filer(std::make_unique<VerdictFiler>(m_folder, m_lists.get(), m_listFiles.get()))
    , m_driver(std::make_unique<SearchDriver>(m_settings.get(), m_table.get(), m_filer.get()))
{}

SearchSession::~SearchSession() = default;

const StartupResult& SearchSession::start(const UrlOpener& openUrl, QString* dnsError)
{
    m_startup = Startup(m_folder, m_settings.get()).run(m_table.get(), openUrl);
    m_driver->setUseProxy(m_startup.useProxy);
    m_driver->setDefaultExtension(m_startup.defaultExtension);
    m_driver->setAnswerRules(m_startup.answerRules);
    m_driver->setServerLimits(m_startup.serverLimits);
    m_driver->setRdapBootstrap(m_startup.rdapBootstrap);
    m_driver->setPreferRdap(m_startup.preferRdap);
    m_driver->setConfirmFree(m_startup.confirmFree);
    m_driver->setDeadServerMs(m_startup.deadServerMs);
    m_driver->setHistoryDays(m_startup.historyDays);
    m_driver->setZones(m_folder.path(QStringLiteral("zones")), m_startup.zoneDays);
    m_driver->setProxies(m_startup.proxies);
    QString error;
    if (!m_driver->setDnsPrecheck(m_startup.checkDnsFirst, m_startup.dnsServer, &error)) {
        // A bad address in the settings costs the pre-check, not the search.
        m_driver->setDnsPrecheck(false);
        if (dnsError)
            *dnsError = error;
    }
    return m_startup;
}

int SearchSession::reloadProxies(QStringList* problems)
{
    QStringList found;
    const QList<ProxyEntry> proxies = Startup(m_folder, m_settings.get()).loadProxies(&found);
    m_driver->setProxies(proxies);
    if (problems)
        *problems += found;
    return int(proxies.size());
}

} // namespace brisquel
