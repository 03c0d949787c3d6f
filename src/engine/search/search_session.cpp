#include "search_session.h"

#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_settings.h"
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
    , m_listFiles(std::make_unique<LiveListFiles>(m_folder, m_lists.get()))
    , m_filer(std::make_unique<VerdictFiler>(m_folder, m_lists.get(), m_listFiles.get()))
    , m_driver(std::make_unique<SearchDriver>(m_settings.get(), m_table.get(), m_filer.get()))
{}

SearchSession::~SearchSession() = default;

const StartupResult& SearchSession::start(const UrlOpener& openUrl, QString* dnsError)
{
    m_startup = Startup(m_folder, m_settings.get()).run(m_table.get(), openUrl);
    QString error;
    // A bad address in the settings costs the pre-check, not the search.
    if (!m_driver->setSettings(searchSettingsFrom(m_startup, m_driver->settings()), &error) && dnsError)
        *dnsError = error;
    return m_startup;
}

int SearchSession::reloadProxies(QStringList* problems)
{
    QStringList found;
    const QList<ProxyEntry> proxies = Startup(m_folder, m_settings.get()).loadProxies(&found);
    m_driver->changeSetting(&SearchSettings::proxies, proxies);
    if (problems)
        *problems += found;
    return int(proxies.size());
}

} // namespace brisquel
