#include "main_window.h"

#include "control_states.h"
#include "engine/filing/live_list_files.h"
#include "engine/search/resume_point.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_status.h"
#include "engine/search/search_summary.h"
#include "engine/search/watch_schedule.h"
#include "failure_queue.h"
#include "history/history_store.h"
#include "list_frame.h"
#include "search_frame.h"
#include "sources/list_file_reader.h"
#include "start_number.h"
#include "status_bar.h"
#include "support/app_info.h"
#include "support/settings_store.h"
#include "ui/about_window.h"
#include "ui/browser_window.h"
#include "ui/file_dialog.h"
#include "ui/generator_window.h"
#include "ui/harvester_window.h"
#include "ui/history_window.h"
#include "ui/message_box.h"
#include "ui/message_log.h"
#include "ui/message_log_window.h"
#include "ui/overflow_notice.h"
#include "ui/permission_dialog.h"
#include "ui/result_list_actions.h"
#include "ui/website_window.h"
#include "ui/whois_window.h"
#include "whois_config/extension_settings.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QVBoxLayout>

namespace brisquel {

MainWindowEnvironment MainWindowEnvironment::fromArguments(const QStringList& arguments)
{
    return {DataFolder::resolveRoot(arguments), DataFolder::defaultUserSettingsPath(), [](const QUrl& url) {
                WebsiteWindow::open(url);
                return true;
            }};
}

MainWindow::MainWindow(MainWindowEnvironment environment, QWidget* parent)
    : QMainWindow(parent)
    , m_openUrl(std::move(environment.openUrl))
    , m_session(new SearchSession(DataFolder(environment.dataRoot), environment.userSettingsPath, this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(AppInfo::productTitle() + QStringLiteral(" by ") + AppInfo::companyName());
    m_log = new MessageLog(this);
    m_failures = new FailureQueue(this);
    settings()->setPermissionHandler(
        [this](const QString& message) { return askPermissionDenied(this, message); });

    // The settings window's model, on the session's table and settings.
    m_extensionSettings = new ExtensionSettings(dataFolder().path(QStringLiteral("registrars.txt")),
                                                dataFolder().path(QStringLiteral("backups")),
                                                m_session->table(), settings(), this);
    m_listActions =
        new ResultListActions(resultLists(), dataFolder().path(QStringLiteral("Remembered.txt")), this);
    m_listActions->setUrlOpener(m_openUrl);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 2);
    setCentralWidget(central);
    m_searchFrame = new SearchFrame(this);
    m_listFrame = new ListFrame(resultLists(), m_listActions, this);
    layout->addWidget(m_searchFrame);
    layout->addWidget(m_listFrame, 1);
    m_statusBar = new SearchStatusBar(searchDriver(), this);
    setStatusBar(m_statusBar);
    buildMenus();
    setMinimumSize(433, 433);
    resize(900, 620);

    bindCore();
    bindSettings();
    bindSearchFrame();
    applyStartup();
    restoreSearchType();
    // After the first choice of source, which clears the status bar as any choice does.
    reportStartupProblems();
    openHistory();
}

MainWindow::~MainWindow()
{
    // A driver that is still running reports its stop; this window is past listening.
    searchDriver()->disconnect(this);
    // Its round records into the history and reads the session's settings: it goes first.
    m_watchSchedule.reset();
    // The browser's checker gives its claim on the data folder back to the session's filer.
    delete m_browserWindow;
    delete m_session;
    m_session = nullptr;
}

void MainWindow::showOnStart()
{
    if (startupResult().helpOpened && WebsiteWindow::instance())
        placeManualBeside();
    else
        showMaximized();
}

void MainWindow::bindCore()
{
    SearchDriver* driver = searchDriver();
    connect(listFiles(), &LiveListFiles::overflowed, this, &MainWindow::showOverflowNotice);
    connect(listFiles(), &LiveListFiles::writeFailed, this, &MainWindow::showFailure);
    connect(m_listActions, &ResultListActions::notice, this,
            qOverload<const QString&>(&MainWindow::showNotice));
    connect(m_listActions, &ResultListActions::failed, this, &MainWindow::showFailure);
    connect(m_listActions, &ResultListActions::whoisRequested, this, &MainWindow::openWhois);

    connect(driver, &SearchDriver::statusText, m_statusBar, &SearchStatusBar::setStatusText);
    connect(driver, &SearchDriver::progressChanged, m_statusBar, &SearchStatusBar::showProgress);
    connect(driver, &SearchDriver::unansweredCountChanged, m_statusBar, &SearchStatusBar::showUnanswered);
    connect(driver, &SearchDriver::problem, this, qOverload<const QString&>(&MainWindow::showNotice));
    connect(driver, &SearchDriver::searchStopped, this, &MainWindow::showFailure);
    connect(driver, &SearchDriver::finished, this, &MainWindow::onSearchFinished);
}

void MainWindow::bindSearchFrame()
{
    connect(m_searchFrame, &SearchFrame::searchTypeChosen, this, &MainWindow::chooseSearchType);
    connect(m_searchFrame->startNumberGuard(), &StartNumberGuard::refused, this,
            qOverload<const QString&>(&MainWindow::showNotice));
    // Search wants a search string.
    connect(m_searchFrame, &SearchFrame::searchStringChanged, this,
            [this] { applyControlStates(currentSearchType()); });
    connect(m_searchFrame, &SearchFrame::startRequested, this, &MainWindow::startSearch);
    connect(m_searchFrame, &SearchFrame::reopenRequested, this, [this] {
        if (currentSearchType() == SearchType::BrowseForNames)
            openBrowser();
        else
            openGenerator();
    });
    connect(m_searchFrame, &SearchFrame::stopRequested, this, &MainWindow::stopSearch);
    connect(m_searchFrame, &SearchFrame::harvestRequested, this, &MainWindow::openHarvester);
    connect(m_searchFrame, &SearchFrame::setupRequested, this, &MainWindow::openSettings);
    connect(m_searchFrame, &SearchFrame::websiteRequested, this, [this] {
        const QUrl site(settings()->value(SettingKeys::webSiteAddress()));
        if (!m_openUrl || !m_openUrl(site))
            showFailure(QStringLiteral("Could not open %1").arg(site.toString()));
    });
}

std::optional<SearchType> MainWindow::currentSearchType() const
{
    return m_searchFrame->searchType();
}

QString MainWindow::noticeText() const
{
    return m_statusBar->noticeText();
}

bool MainWindow::useProxy() const
{
    return searchDriver()->settings().useProxy;
}

void MainWindow::chooseSearchType(int index)
{
    if (index < 0 || index >= allSearchTypes().size())
        return;
    clearNotice();
    m_searchFrame->setSearchTypeIndex(index);
    settings()->setValue(SettingKeys::lastSearchType(), searchTypeCaption(allSearchTypes().at(index)));
    applySearchType(allSearchTypes().at(index));
    // The list file's name takes room beside the search-type box.
    m_searchFrame->placeWebsiteButton();
}

void MainWindow::restoreSearchType()
{
    const SearchType last = searchTypeFromCaption(settings()->value(SettingKeys::lastSearchType()))
                                .value_or(SearchType::FullWordList);
    const QString listFile = settings()->value(SettingKeys::lastListFile());
    // Nothing opens by itself at start: no file dialog, no browser, no generator.
    switch (last) {
    case SearchType::CustomList:
        if (!listFile.isEmpty() && QFileInfo::exists(listFile)) {
            m_searchFrame->setSearchTypeIndex(int(allSearchTypes().indexOf(SearchType::CustomList)));
            applyControlStates(SearchType::CustomList);
            showCustomListFile(listFile);
            resumeCurrentList(SearchType::CustomList);
            m_searchFrame->placeWebsiteButton();
            return;
        }
        break;
    case SearchType::BrowseForNames:
    case SearchType::GenerateNames:
        m_searchFrame->setSearchTypeIndex(int(allSearchTypes().indexOf(last)));
        applyControlStates(last);
        m_searchFrame->showReopenCaption(last);
        m_currentListFile =
            last == SearchType::GenerateNames ? dataFolder().path(searchTypeListFile(last)) : QString();
        setStartNumber(QStringLiteral("1"));
        return;
    default:
        chooseSearchType(int(allSearchTypes().indexOf(last)));
        return;
    }
    chooseSearchType(int(allSearchTypes().indexOf(SearchType::FullWordList)));
}

void MainWindow::applySearchType(SearchType type)
{
    applyControlStates(type);
    m_searchFrame->showReopenCaption(type);
    switch (type) {
    case SearchType::BrowseForNames:
        openBrowser();
        return;
    case SearchType::CustomList:
        chooseCustomList();
        resumeCurrentList(type);
        return;
    case SearchType::FullWordList:
    case SearchType::AllTwoLetter:
    case SearchType::AllThreeLetter:
    case SearchType::AllFourLetter:
        m_currentListFile = dataFolder().path(searchTypeListFile(type));
        resumeCurrentList(type);
        return;
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
    case SearchType::GenerateNames:
        // Each harvest or generation writes its list anew, so it starts at the first entry.
        m_currentListFile = dataFolder().path(searchTypeListFile(type));
        setStartNumber(QStringLiteral("1"));
        if (type == SearchType::GenerateNames)
            openGenerator();
        return;
    }
}

void MainWindow::applyControlStates(std::optional<SearchType> type)
{
    m_searchFrame->applyControlStates(type, m_searching);
    // Choosing another source mid-search would pull the list from under the driver.
    m_toolsMenu->setEnabled(phaseControls(m_searching).chooseSource);
}

void MainWindow::chooseCustomList()
{
    const QString picked =
        FileDialog::getOpenFileName(this, QStringLiteral("Open a list file"),
                                    dataFolder().path(QStringLiteral("wordlists")), QStringLiteral("*.txt"));
    // A cancelled dialog gives back the file it returned last time.
    showCustomListFile(picked.isEmpty() ? m_customListFile : picked);
    if (!picked.isEmpty())
        settings()->setValue(SettingKeys::lastListFile(), picked);
}

void MainWindow::showCustomListFile(const QString& file)
{
    m_customListFile = file;
    m_currentListFile = m_customListFile;
    m_searchFrame->showListFileName(m_customListFile);
}

void MainWindow::resumeCurrentList(SearchType type)
{
    // The count comes first, so that the start-number check compares against the new count.
    m_searchFrame->setEntryCount(countListEntries(m_currentListFile));
    // The same file, unchanged, goes on where its last search stopped; any other starts at 1.
    const ResumePoint point = m_currentListFile.isEmpty()
                                  ? ResumePoint{}
                                  : savedResumePoint(*settings(), type, m_currentListFile,
                                                     m_searchFrame->entryCount().toLongLong());
    setStartNumber(QString::number(point.start));
    if (!point.note.isEmpty())
        showNotice(point.note);
}

void MainWindow::setStartNumber(const QString& number)
{
    m_searchFrame->startNumberGuard()->set(number);
}

void MainWindow::searchHarvestedNames(qint64 entries)
{
    if (m_searching)
        return;
    m_currentListFile = dataFolder().path(QStringLiteral("BrowserSearch.txt"));
    m_searchFrame->setEntryCount(entries);
    setStartNumber(QStringLiteral("1"));
    startSearch();
}

void MainWindow::searchCreatedNames(qint64 count)
{
    if (m_searching) {
        showNotice(QStringLiteral("A search is running; the created names wait in CreatedDomains.txt."));
        return;
    }
    chooseSearchType(int(allSearchTypes().indexOf(SearchType::GenerateNames)));
    m_searchFrame->setEntryCount(count);
    setStartNumber(QStringLiteral("1"));
    startSearch();
}

void MainWindow::startSearch()
{
    const std::optional<SearchType> type = currentSearchType();
    if (!type || m_searching)
        return;
    clearNotice();
    // Search-engine lists always start from their first entry.
    if (isSearchEngine(*type))
        setStartNumber(QStringLiteral("1"));
    else if (m_searchFrame->startNumberGuard()->refusePastEnd())
        return;
    SearchRequest request;
    request.listFile = m_currentListFile;
    request.type = *type;
    request.startNumber = m_searchFrame->startNumber();
    request.entryTotal = m_searchFrame->entryCount();
    // The proxies file may have been edited since.
    loadNetworkProxies();
    // Busy until the driver reports the first entry, which it may do inside start().
    m_statusBar->startProgress();
    QString error;
    if (!searchDriver()->start(request, &error)) {
        MessageBox::information(this, AppInfo::productTitle(), error);
        return;
    }
    showNotice(dnsOffNotice(searchDriver()->progress()));
    // Lets a later run of the command-line program resume this custom list, and no other.
    if (*type == SearchType::CustomList)
        settings()->setValue(SettingKeys::customPositionListFile(), m_currentListFile);
    setSearching(true);
    // A list without entries is done before start() returns.
    if (!searchDriver()->isRunning())
        onSearchFinished(false);
}

void MainWindow::stopSearch()
{
    clearNotice();
    searchDriver()->stop();
    onSearchFinished(true);
}

void MainWindow::setSearching(bool searching)
{
    m_searching = searching;
    applyControlStates(currentSearchType());
    m_statusBar->showSearching(searching);
}

void MainWindow::onSearchFinished(bool stopped)
{
    if (!m_searching || searchDriver()->isRunning())
        return;
    setSearching(false);
    const std::optional<SearchType> type = currentSearchType();
    // The custom list's counter, as the search left it; the other types choose their list again.
    if (type == SearchType::CustomList || type == SearchType::GenerateNames ||
        type == SearchType::BrowseForNames)
        setStartNumber(settings()->value(SettingKeys::customListPosition()));
    else if (type)
        applySearchType(*type);
    // The panels go back to their captions; the notice has the counts.
    m_statusBar->showIdleCaptions();
    const SearchProgress progress = searchDriver()->progress();
    const qint64 dnsSettled = searchDriver()->settings().dnsPrecheck ? searchDriver()->dnsSettledCount() : 0;
    const SearchEndNotice notice = searchEndNotice(progress, stopped, dnsSettled);
    showNotice(notice.line, notice.whole);
    if (m_generatorWindow && type == SearchType::GenerateNames)
        m_generatorWindow->showSearchEnded(searchEndText(progress, stopped));
}

void MainWindow::showNotice(const QString& notice)
{
    showNotice(notice, notice);
}

void MainWindow::showNotice(const QString& line, const QString& whole)
{
    if (whole.isEmpty())
        return;
    m_log->append(whole);
    showNoticeLine(line, whole);
}

void MainWindow::showNoticeLine(const QString& line, const QString& whole)
{
    m_statusBar->showNotice(line, whole);
}

void MainWindow::clearNotice()
{
    m_statusBar->clearNotice();
}

void MainWindow::showFailure(const QString& failure)
{
    showNotice(failure);
    m_failures->add(failure);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The domain browser may hold names not yet checked; it asks what becomes of them first.
    if (m_browserWindow && !m_browserWindow->close()) {
        event->ignore();
        return;
    }
    // Nothing to save here: settings and Saved Domains are written as they change.
    if (searchDriver()->isRunning())
        searchDriver()->stop();
    m_searching = false;
    if (m_overflowNotice)
        m_overflowNotice->close();
    if (m_messageLogWindow)
        m_messageLogWindow->close();
    if (m_historyWindow)
        m_historyWindow->close();
    // The website window has no parent and stays; the program ends when it closes too.
    for (QWidget* window : {static_cast<QWidget*>(m_whoisWindow), static_cast<QWidget*>(m_aboutWindow)}) {
        if (window)
            window->close();
    }
    event->accept();
}

} // namespace brisquel
