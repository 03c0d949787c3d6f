#pragma once

#include "engine/filing/result_list.h"
#include "engine/search/search_session.h"
#include "engine/search/startup.h"
#include "sources/search_type.h"
#include "support/data_folder.h"
#include "whois_config/extension_table.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace brisquel {

class AboutWindow;
class BrowserWindow;
class ElidedLabel;
class ListFiles;
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
// done by the core objects they are bound to.
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
    ListFiles* listFiles() const { return m_session->listFiles(); }
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
    // The settings window while it is open.
    SettingsWindow* settingsWindow() const;
    // The generator window while it is open.
    GeneratorWindow* generatorWindow() const;
    // The harvester window while a harvest runs.
    HarvesterWindow* harvesterWindow() const;
    // The domain browser while it is open.
    BrowserWindow* browserWindow() const;
    // The overflow notice while it is open.
    OverflowNotice* overflowNotice() const;
    // The latest notice in the status bar, until the user does something else.
    QString noticeText() const;
    // Every notice, warning and skipped entry of this run.
    MessageLog* messageLog() const { return m_log; }
    // The message log window once View > Messages opened it.
    MessageLogWindow* messageLogWindow() const;
    // The history window while it is open.
    HistoryWindow* historyWindow() const;
    // The WHOIS and about windows while they are open.
    WhoisWindow* whoisWindow() const;
    AboutWindow* aboutWindow() const;
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSearchFrame();
    void arrangeSearchFrame();
    void placeWebsiteButton();
    void buildListFrame();
    void addListColumn(QGridLayout* grid, int gridColumn, ResultList list, const QString& listTip,
                       const QString& labelTip);
    void buildStatusBar();
    void buildMenus();
    void bindCore();
    void applyStartup();
    void openHistory();
    void reportStartupProblems();
    void clearNotice();
    void showPendingFailures();

    void applySearchType(SearchType type);
    // Shows and enables the search controls as the search type and whether a search runs want them.
    void applyControlStates(std::optional<SearchType> type);
    void showReopenCaption(SearchType type);
    void chooseCustomList();
    void showCustomListFile(const QString& file);
    // The search type of the last run, without opening what choosing it opens.
    void restoreSearchType();
    // The entry count of the current list file, and where a search of it goes on.
    void resumeCurrentList(SearchType type);
    // Start numbers the program sets: one past the end of the list is a finished list and starts over.
    void setStartNumber(const QString& number);
    void checkStartNumber();
    bool startNumberPastEnd(qlonglong* count) const;
    // Puts the last valid start number back when the typed one lies past the end; true then.
    bool refuseStartNumberPastEnd();
    void setSearching(bool searching);
    void onSearchFinished(bool stopped);
    void showOverflowNotice();
    void showDoubleClickChoice(bool purchase);
    // The status bar's notice without a line in the log.
    void showNoticeLine(const QString& line, const QString& whole);
    void showWatchNews(const QList<WatchChange>& changes, const QString& summary);
    void fitStatusPanels(bool searching);
    void setStatusText(int panel, const QString& text);
    void showProgress();
    void refreshStatus();
    void showUnanswered(qint64 count);
    void setUseProxy(bool useProxy);
    void showProxyUse();
    // Hands the network proxies of the settings to the driver; a problem of the file is told once
    // until it changes.
    void loadNetworkProxies();
    void openHelp();
    void placeManualBeside();
    void showAbout();
    QLabel* statusPanel(int panel) const; // 1 to 3

    UrlOpener m_openUrl;
    SearchSession* m_session = nullptr;
    // Outlives the session: its filer records into it until the end.
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<WatchSchedule> m_watchSchedule;
    ResultListActions* m_listActions = nullptr;

    // Where the names come from and how the search is driven.
    QGroupBox* m_searchFrame = nullptr;
    QLabel* m_searchTypeLabel = nullptr;
    QComboBox* m_searchTypeBox = nullptr;
    // The chosen custom list file's name, beside the search type while "Custom List" is chosen.
    ElidedLabel* m_listFileLabel = nullptr;
    QLabel* m_startNumberLabel = nullptr;
    QLabel* m_entryCountLabel = nullptr;
    QLineEdit* m_startNumberEdit = nullptr;
    QLineEdit* m_entryCountEdit = nullptr;
    QPushButton* m_startButton = nullptr;
    // In Start's place for "Generate names" and "Browse for names": opens their window again.
    QPushButton* m_reopenButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLabel* m_searchStringLabel = nullptr;
    QLabel* m_targetCountLabel = nullptr;
    QLineEdit* m_searchStringEdit = nullptr;
    QComboBox* m_targetCountBox = nullptr;
    QPushButton* m_harvestButton = nullptr;
    QPushButton* m_setupButton = nullptr;
    QPushButton* m_websiteButton = nullptr;
    QMenu* m_toolsMenu = nullptr;

    // The result lists' captions, in list-number order; the lists themselves are the actions' views.
    QGroupBox* m_listFrame = nullptr;
    std::array<QLabel*, 5> m_listCaptions{};

    QProgressBar* m_progressBar = nullptr;
    QLabel* m_unansweredLabel = nullptr;
    // "All lookups go to HOST:PORT" while every lookup goes to the proxy row.
    ElidedLabel* m_proxyLabel = nullptr;

    QGridLayout* m_searchFields = nullptr;
    QGridLayout* m_searchButtons = nullptr;
    bool m_websiteBeside = false;
    std::array<ElidedLabel*, 3> m_statusPanels{};
    // DNS, history, dropping and proxies, in StatusFact order.
    std::array<QLabel*, 4> m_factPanels{};
    // A search reports thousands of times a second; the bar is redrawn at most 20 times.
    QTimer* m_statusRefresh = nullptr;
    std::array<QString, 3> m_pendingStatus;
    bool m_progressDue = false;
    ElidedLabel* m_noticeLabel = nullptr;
    MessageLog* m_log = nullptr;
    QPointer<MessageLogWindow> m_messageLogWindow;
    QPointer<HistoryWindow> m_historyWindow;
    // Failures wait for the box of the one before; they can come in the middle of a filing.
    QStringList m_pendingFailures;
    QStringList m_proxyProblems;
    bool m_showingFailure = false;
    QPointer<OverflowNotice> m_overflowNotice;
    ExtensionSettings* m_extensionSettings = nullptr;
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
    // The start number the user typed last that lies within the list, kept when a later one does not.
    QString m_validStartNumber = QStringLiteral("1");
    bool m_settingStartNumber = false;
};

} // namespace brisquel
