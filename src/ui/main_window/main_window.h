#pragma once

#include "engine/filing/result_list_id.h"
#include "engine/search/search_session.h"
#include "engine/search/startup.h"
#include "sources/search_type.h"
#include "support/data_folder.h"
#include "whois_config/extension_table.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

class QMenu;

namespace brisquel {

class AboutWindow;
class BrowserWindow;
class DesktopNotifier;
class FailureQueue;
class LiveListFiles;
class ListFrame;
class VerdictFiler;
class MessageLog;
class MessageLogWindow;
class ExtensionSettings;
class OverflowNotice;
class GeneratorWindow;
class HistoryStore;
class HistoryWindow;
class HarvesterWindow;
class SettingsWindow;
class ResultListActions;
class ResultLists;
class SearchDriver;
class SearchFrame;
class SearchStatusBar;
class SettingsStore;
class WatchSchedule;
struct WatchChange;
class WhoisWindow;

// Where the main window finds its files and settings, and how it opens outside addresses.
struct MainWindowEnvironment
{
    QString dataRoot;
    QString userSettingsPath;
    UrlOpener openUrl;

    // The program's own: --home DIR or BRISQUEL_HOME, the user's settings area, the website window.
    static MainWindowEnvironment fromArguments(const QStringList& arguments);
};

// The main window: chooses the source of names, drives the search and shows the five result lists.
// Its controls carry, as object names, the names the rest of the program knows them by; the work is
// done by the core objects they are bound to. Its parts live beside this file: the search frame,
// the list frame and the status bar as widgets of their own, and the window's other jobs (menus,
// settings, start-up and the watch list, companion windows) each in a file of its own.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(MainWindowEnvironment environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Maximized; beside the manual when that opened on the first start.
    void showOnStart();

    const DataFolder& dataFolder() const { return m_session->dataFolder(); }
    SettingsStore* settings() const { return m_session->settings(); }
    const ExtensionTable& extensionTable() const { return *m_session->table(); }
    ResultLists* resultLists() const { return m_session->lists(); }
    LiveListFiles* listFiles() const { return m_session->listFiles(); }
    VerdictFiler* verdictFiler() const { return m_session->filer(); }
    SearchDriver* searchDriver() const { return m_session->driver(); }
    ResultListActions* listActions() const { return m_listActions; }
    const StartupResult& startupResult() const { return m_session->startupResult(); }
    // Null when no history can be kept (the message log says why).
    HistoryStore* history() const { return m_history.get(); }
    // The watch list's rounds; null without a history.
    WatchSchedule* watchSchedule() const { return m_watchSchedule.get(); }

    QString currentListFile() const { return m_currentListFile; }
    std::optional<SearchType> currentSearchType() const;
    bool isSearching() const { return m_searching; }
    ExtensionSettings* extensionSettings() const { return m_extensionSettings; }
    // The latest notice in the status bar, until the user does something else.
    QString noticeText() const;
    // Every notice, warning and skipped entry of this run.
    MessageLog* messageLog() const { return m_log; }
    // Whether lookups go to the proxy row, as the search has it now.
    bool useProxy() const;

public Q_SLOTS:
    // The search-type box and the Tools menu: applies the search type with this index in the box.
    void chooseSearchType(int index);
    void startSearch();
    void stopSearch();
    // "Check saved names now" (File menu and Setup): a round of the watch list at once.
    void checkSavedNamesNow();
    // Into the log, and into the status bar until the user acts.
    void showNotice(const QString& text);
    // A short line for the status bar, the whole text in its tooltip and the log.
    void showNotice(const QString& line, const QString& whole);
    // The Setup button and Options > Setup.
    void openSettings();
    void openGenerator();
    // The Search button: harvest names from the chosen search engine for the search string.
    void openHarvester();
    // "Browse for names": the domain browser, beside this window.
    void openBrowser();
    void searchHarvestedNames(qint64 entries);
    // The generator wrote `count` names to CreatedDomains.txt: search them as Start would.
    void searchCreatedNames(qint64 count);
    // A failure the user has to act on: a message box besides the notice.
    void showFailure(const QString& text);
    void showMessageLog();
    // File > History: every check recorded in the data folder's history.
    void showHistory();
    // A fresh WHOIS window for the name, in place of the one open.
    void openWhois(const QString& domain);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // menus.cpp
    void buildMenus();
    // settings_binding.cpp: Setup's changes reach the driver and the window.
    void bindSettings();
    void setUseProxy(bool useProxy);
    void showProxyUse();
    // Hands the network proxies of the settings to the driver; a problem of the file is told once
    // until it changes.
    void loadNetworkProxies();
    // start_up.cpp
    void applyStartup();
    void reportStartupProblems();
    void showRegistrarsProblems(const QList<RegistrarsProblem>& problems);
    // saved_names.cpp: the history and the watch list of the saved names.
    void openHistory();
    void showWatchNews(const QList<WatchChange>& changes, const QString& summary);
    // companions.cpp
    void showOverflowNotice();
    void openHelp();
    void placeManualBeside();
    void showAbout();

    void bindCore();
    void bindSearchFrame();
    void applySearchType(SearchType type);
    // Shows and enables the search controls as the search type and whether a search runs want them.
    void applyControlStates(std::optional<SearchType> type);
    void chooseCustomList();
    void showCustomListFile(const QString& file);
    // The search type of the last run, without opening what choosing it opens.
    void restoreSearchType();
    // The entry count of the current list file, and where a search of it goes on.
    void resumeCurrentList(SearchType type);
    void setStartNumber(const QString& number);
    void setSearching(bool searching);
    void onSearchFinished(bool stopped);
    // The status bar's notice without a line in the log.
    void showNoticeLine(const QString& line, const QString& whole);
    void clearNotice();

    UrlOpener m_openUrl;
    SearchSession* m_session = nullptr;
    // Outlives the session: its filer records into it until the end.
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<WatchSchedule> m_watchSchedule;
    DesktopNotifier* m_notifier = nullptr;
    ResultListActions* m_listActions = nullptr;
    ExtensionSettings* m_extensionSettings = nullptr;

    SearchFrame* m_searchFrame = nullptr;
    ListFrame* m_listFrame = nullptr;
    SearchStatusBar* m_statusBar = nullptr;
    QMenu* m_toolsMenu = nullptr;
    MessageLog* m_log = nullptr;
    FailureQueue* m_failures = nullptr;
    QStringList m_proxyProblems;

    // The companion windows while they are open.
    QPointer<MessageLogWindow> m_messageLogWindow;
    QPointer<HistoryWindow> m_historyWindow;
    QPointer<OverflowNotice> m_overflowNotice;
    QPointer<SettingsWindow> m_settingsWindow;
    QPointer<GeneratorWindow> m_generatorWindow;
    QPointer<HarvesterWindow> m_harvesterWindow;
    QPointer<BrowserWindow> m_browserWindow;
    QPointer<WhoisWindow> m_whoisWindow;
    QPointer<AboutWindow> m_aboutWindow;

    QString m_currentListFile;
    // What the custom-list dialog returned last; a cancelled dialog keeps it.
    QString m_customListFile;
    bool m_searching = false;
};

} // namespace brisquel
