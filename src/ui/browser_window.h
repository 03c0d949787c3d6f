#pragma once

#include "engine/search/browse_checker.h"
#include "sources/browse_scan.h"

#include <QMainWindow>
#include <QStringList>
#include <QUrl>
#include <array>
#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QListView;
class QPushButton;
class QVBoxLayout;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace brisquel {

class ElidedLabel;
class ResultListActions;
class SearchSession;

// The domain browser ("Browse for Domains"): a web browser whose every loaded page (and every
// frame of it, in a second, hidden view) is scanned for domain names by BrowseScan; BrowseChecker
// looks the names up one by one into the two lists here and the session's result lists.
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
    void navigate(const QUrl& address);

protected:
    // With names not yet checked it asks: keep checking, put them into Unanswered.txt, or drop them.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildAddressRow();
    QWidget* buildSiteButtons();
    void arrangeSiteButtons();
    QWidget* buildLists(QWidget* parent);
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
    // The entries' menu of a list, shared with the main window's lists: the selected name.
    void showEntryMenu(int number, const QPoint& pos);
    static BrowseChecker::Column column(int number);
    // The list and its caption by list number, 1 (unregistered) or 2 (registered).
    QListView* list(int number) const { return m_lists[std::size_t(number - 1)]; }
    QLabel* caption(int number) const { return m_captions[std::size_t(number - 1)]; }

    SearchSession* m_session;
    ResultListActions* m_listActions;
    NoticeSink m_showNotice;
    BrowseScan m_scan;
    BrowseChecker* m_checker = nullptr;
    QComboBox* m_address = nullptr;
    std::array<QPushButton*, SiteCount> m_siteButtons{};
    QWebEngineView* m_page = nullptr;
    // Reads the frames of the page; never shown.
    QWebEngineView* m_frameReader = nullptr;
    std::array<QListView*, 2> m_lists{};
    std::array<QLabel*, 2> m_captions{};
    std::array<ElidedLabel*, 3> m_panels{};
    // Frames found in pages, loaded one after another into the frame reader; each once per page.
    QStringList m_frameQueue;
    QStringList m_framesFollowed;
    bool m_frameLoading = false;
    QGridLayout* m_siteGrid = nullptr;
    int m_siteColumns = 0;
};

} // namespace brisquel
