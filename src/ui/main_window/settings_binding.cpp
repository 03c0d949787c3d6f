// Setup's changes: each reaches the driver for the next lookup, and the window where it shows.
#include "engine/search/search_driver.h"
#include "list_frame.h"
#include "main_window.h"
#include "status_bar.h"
#include "ui/result_list_actions.h"
#include "whois_config/extension_settings.h"

namespace brisquel {

void MainWindow::bindSettings()
{
    SearchDriver* driver = searchDriver();
    connect(m_extensionSettings, &ExtensionSettings::useProxyChanged, this, &MainWindow::setUseProxy);
    connect(m_extensionSettings, &ExtensionSettings::networkProxiesChanged, this, [this] {
        // A running search keeps its proxies; the next one reads the settings again.
        if (!m_searching)
            loadNetworkProxies();
    });
    connect(m_extensionSettings, &ExtensionSettings::preferRdapChanged, driver,
            [driver](bool prefer) { driver->changeSetting(&SearchSettings::preferRdap, prefer); });
    connect(m_extensionSettings, &ExtensionSettings::confirmFreeChanged, driver,
            [driver](bool confirm) { driver->changeSetting(&SearchSettings::confirmFree, confirm); });
    connect(m_extensionSettings, &ExtensionSettings::historyDaysChanged, driver,
            [driver](int days) { driver->changeSetting(&SearchSettings::historyDays, days); });
    connect(m_extensionSettings, &ExtensionSettings::dnsChanged, this,
            [driver](bool checkFirst, const QString& server) {
                SearchSettings settings = driver->settings();
                settings.dnsPrecheck = checkFirst;
                settings.dnsServer = server;
                driver->setSettings(std::move(settings));
            });
    connect(m_extensionSettings, &ExtensionSettings::defaultExtensionChanged, driver,
            [driver](const QString& extension) {
                driver->changeSetting(&SearchSettings::defaultExtension, extension);
            });
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, this, &MainWindow::showProxyUse);
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, driver, &SearchDriver::reloadServers);
    connect(m_extensionSettings, &ExtensionSettings::serverLimitsChanged, driver,
            [driver](const ServerLimitsTable& limits) {
                driver->changeSetting(&SearchSettings::serverLimits, limits);
            });
    connect(m_extensionSettings, &ExtensionSettings::problemsFound, this,
            &MainWindow::showRegistrarsProblems);
    // Setup's choice holds from the next double-click on.
    connect(m_extensionSettings, &ExtensionSettings::purchaseOnDoubleClickChanged, this,
            [this](bool purchase) {
                m_listActions->setPurchaseOnDoubleClick(purchase);
                m_listFrame->showDoubleClickChoice(purchase);
            });
}

void MainWindow::setUseProxy(bool useProxy)
{
    searchDriver()->changeSetting(&SearchSettings::useProxy, useProxy);
    showProxyUse();
}

void MainWindow::showProxyUse()
{
    const ExtensionTable& table = extensionTable();
    const int row = table.findExtensionIndex(QStringLiteral("x"), true);
    const bool proxied =
        useProxy() && row != ExtensionTable::NoRow && table.row(row).extension == QLatin1String("proxy");
    if (!proxied) {
        m_statusBar->showProxyTarget(QString());
        return;
    }
    const ExtensionRow& proxy = table.row(row);
    m_statusBar->showProxyTarget(QStringLiteral("%1:%2").arg(proxy.server).arg(proxy.port));
}

void MainWindow::loadNetworkProxies()
{
    QStringList problems;
    m_session->reloadProxies(&problems);
    if (problems == m_proxyProblems)
        return;
    m_proxyProblems = problems;
    for (const QString& problem : std::as_const(problems))
        showNotice(problem);
}

} // namespace brisquel
