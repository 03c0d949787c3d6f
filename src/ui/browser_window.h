#pragma once

#include "engine/browse_checker.h"
#include "sources/browse_scan.h"

#include <QMainWindow>
#include <QStringList>
#include <QUrl>
#include <array>
#include <functional>

class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QListView;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolButton;
class QVBoxLayout;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace brisquel {

class ElidedLabel;
class ResultListActions;
class SearchSession;

// Form5 "Browse for Domains": a web browser whose every loaded page (and every frame of it, in
// the second view) is scanned for domain names by BrowseScan; BrowseChecker looks the names up
// one by one into the two lists here and the session's result lists.
class BrowserWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int SiteCount = 7;
    // Captions of the site buttons, by index.
    static const std::array<const char*, SiteCount> SiteCaptions;

    using NoticeSink = std::function<void(const QString& text)>;

    // listActions opens a double-clicked name; showNotice takes what the user should read, also
    // during construction. Names are checked where the session's search sends them.
    BrowserWindow(SearchSession* session, ResultListActions* listActions, NoticeSink showNotice,
                  QWidget* parent);
    ~BrowserWindow() override;

    BrowseChecker* checker() const { return m_checker; }
    QLabel* statusPanel(int panel) const; // 1 to 3
    void navigate(const QUrl& address);

    QFrame* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Text1 = nullptr;
    QToolButton* Command1 = nullptr;
    QToolButton* cmdBack = nullptr;
    QToolButton* cmdFwd = nullptr;
    QToolButton* cmdHome = nullptr;
    QToolButton* cmdRefresh = nullptr;
    QToolButton* cmdStop = nullptr;
    QFrame* Frame2 = nullptr;
    std::array<QPushButton*, SiteCount> Command2{};
    QSplitter* splitter = nullptr;
    QWebEngineView* WebBrowser1 = nullptr;
    QWebEngineView* WebBrowser2 = nullptr;
    QLabel* Label1 = nullptr;
    QListView* List1 = nullptr;
    QLabel* Label2 = nullptr;
    QListView* List2 = nullptr;
    // Indexed by list number, 1 and 2.
    std::array<QPushButton*, 3> cmdCopy{};
    std::array<QPushButton*, 3> cmdClear{};
    std::array<QPushButton*, 3> cmdClear2{};
    QStatusBar* StatusBar1 = nullptr;

protected:
    // With names not yet checked it asks: keep checking, put them into Unanswered.txt, or drop them.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildAddressRow();
    void buildSiteButtons();
    void arrangeSiteButtons();
    QWidget* buildLists();
    void addListColumn(QWidget* parent, QVBoxLayout* layout, int number);
    void buildStatusBar();
    void bindBrowsers();
    void bindChecker();

    void browseTypedAddress();
    void onLoadingChanged(QWebEngineView* view, const QWebEngineLoadingInfo& info);
    void readPage(QWebEngineView* view, const QVariant& body);
    void followNextFrame();
    void onCheckerIdle();
    void clearList(int number);
    void deleteSelected(int number);
    void copyList(int number);
    static BrowseChecker::Column column(int number);
    QListView* list(int number) const { return number == 1 ? List1 : List2; }

    SearchSession* m_session;
    ResultListActions* m_listActions;
    NoticeSink m_showNotice;
    BrowseScan m_scan;
    BrowseChecker* m_checker = nullptr;
    std::array<ElidedLabel*, 3> m_panels{};
    // Frames found in pages, loaded one after another into WebBrowser2; each once per page.
    QStringList m_frameQueue;
    QStringList m_framesFollowed;
    bool m_frameLoading = false;
    QGridLayout* m_siteGrid = nullptr;
    int m_siteColumns = 0;
};

} // namespace brisquel
