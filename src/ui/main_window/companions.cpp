// The windows the main window opens beside itself, one of each kind at a time.
#include "engine/search/search_driver.h"
#include "engine/search/whois_query.h"
#include "history/history_store.h"
#include "main_window.h"
#include "search_frame.h"
#include "support/settings_store.h"
#include "ui/about_window.h"
#include "ui/browser_window.h"
#include "ui/generator_window.h"
#include "ui/harvester_window.h"
#include "ui/history_window.h"
#include "ui/message_log_window.h"
#include "ui/overflow_notice.h"
#include "ui/settings_window/settings_window.h"
#include "ui/website_window.h"
#include "ui/whois_window.h"
#include "ui/widget_helpers.h"
#include "ui/window_placement.h"

#include <QFileInfo>
#include <QScreen>

namespace brisquel {

void MainWindow::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = new SettingsWindow(m_extensionSettings, this);
        connect(m_settingsWindow, &SettingsWindow::checkSavedNamesNowRequested, this,
                &MainWindow::checkSavedNamesNow);
    }
    showInFront(m_settingsWindow);
}

void MainWindow::openGenerator()
{
    if (!m_generatorWindow) {
        m_generatorWindow = new GeneratorWindow(dataFolder(), settings(), this);
        connect(m_generatorWindow, &GeneratorWindow::namesCreated, this, &MainWindow::searchCreatedNames);
    }
    showInFront(m_generatorWindow);
}

void MainWindow::openHarvester()
{
    const std::optional<SearchType> type = currentSearchType();
    const std::optional<SearchEngine> engine = type ? HarvestRun::engineFor(*type) : std::nullopt;
    const QString searchString = m_searchFrame->searchString();
    if (!engine || searchString.isEmpty() || m_searching)
        return;
    // Each opening is a fresh run; one at a time.
    if (m_harvesterWindow)
        m_harvesterWindow->close();
    const SettingKey address = *engine == SearchEngine::Yahoo ? SettingKeys::yahooSearchAddress()
                                                              : SettingKeys::googleSearchAddress();
    auto run = std::make_unique<HarvestRun>(*engine, searchString,
                                            HarvestRun::targetCountFor(m_searchFrame->targetCountIndex()),
                                            settings()->value(address), extensionTable().enabledExtensions());
    m_harvesterWindow = new HarvesterWindow(std::move(run), dataFolder().root(), this);
    connect(m_harvesterWindow, &HarvesterWindow::listCreated, this, &MainWindow::searchHarvestedNames);
    m_harvesterWindow->show();
    m_harvesterWindow->start();
}

void MainWindow::openBrowser()
{
    if (!m_browserWindow) {
        m_browserWindow = new BrowserWindow(
            m_session, m_listActions, [this](const QString& text) { showNotice(text); }, this);
        m_browserWindow->showMaximized();
    }
    m_browserWindow->raise();
    m_browserWindow->activateWindow();
}

void MainWindow::showOverflowNotice()
{
    // One window, shown again on every overflow while it is open.
    if (!m_overflowNotice)
        m_overflowNotice = new OverflowNotice(this);
    m_overflowNotice->show();
    m_overflowNotice->raise();
}

void MainWindow::showMessageLog()
{
    if (!m_messageLogWindow)
        m_messageLogWindow = new MessageLogWindow(m_log, this);
    showInFront(m_messageLogWindow);
}

void MainWindow::showHistory()
{
    if (!m_historyWindow)
        m_historyWindow =
            new HistoryWindow(dataFolder().path(QString::fromLatin1(HistoryStore::FileName)), this);
    showInFront(m_historyWindow);
}

void MainWindow::openWhois(const QString& domain)
{
    if (m_whoisWindow)
        m_whoisWindow->close();
    m_whoisWindow = new WhoisWindow(domain, this);
    m_whoisWindow->query()->setAnswerRules(m_session->answerRules());
    m_whoisWindow->show();
    m_whoisWindow->ask(searchDriver()->router());
}

void MainWindow::showAbout()
{
    if (!m_aboutWindow) {
        m_aboutWindow =
            new AboutWindow(QUrl(settings()->value(SettingKeys::webSiteAddress())), m_openUrl, this);
        connect(m_aboutWindow, &AboutWindow::failed, this, &MainWindow::showFailure);
    }
    showInFront(m_aboutWindow);
}

void MainWindow::openHelp()
{
    const QString help = Startup(dataFolder(), settings()).helpFilePath();
    if (!QFileInfo::exists(help)) {
        showNotice(QStringLiteral("The help file %1 is missing.").arg(help));
        return;
    }
    if (!m_openUrl || !m_openUrl(QUrl::fromLocalFile(help)))
        showFailure(QStringLiteral("Could not open %1").arg(help));
    else if (WebsiteWindow::instance())
        placeManualBeside();
}

void MainWindow::placeManualBeside()
{
    // The manual is read while the program is used: side by side, the main window the wider.
    QWidget* manual = WebsiteWindow::instance();
    const QRect area = screen()->availableGeometry();
    const int ownWidth = std::max(minimumWidth(), area.width() * 3 / 5);
    showFramedIn(this, QRect(area.left(), area.top(), ownWidth, area.height()));
    showFramedIn(manual, QRect(area.left() + ownWidth, area.top(), area.width() - ownWidth, area.height()));
    manual->raise();
}

} // namespace brisquel
