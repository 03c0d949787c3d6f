#pragma once

#include <QStatusBar>
#include <array>

class QLabel;
class QProgressBar;
class QTimer;

namespace brisquel {

class ElidedLabel;
class SearchDriver;

// The main window's status bar: three panels for where a search stands (their captions while
// none runs), a short panel per fact (DNS, history, dropping, proxies), the latest notice, where
// every lookup goes while the proxy row takes them, the unanswered count and the progress bar.
// A search reports thousands of times a second; the bar is redrawn at most 20 times.
class SearchStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit SearchStatusBar(SearchDriver* driver, QWidget* parent = nullptr);

    // The panels make room for a search's counts, or give it back to the notice.
    void showSearching(bool searching);
    // Busy until the driver reports the first entry.
    void startProgress();
    // The text of a panel (1 to 3) as the driver has it.
    void setStatusText(int panel, const QString& text);
    void showIdleCaptions();
    void showProgress();
    void showUnanswered(qint64 count);
    // "All lookups go to HOST:PORT" while every lookup goes to the proxy row; hidden for none.
    void showProxyTarget(const QString& hostAndPort);

    // A short line, the whole text in its tooltip.
    void showNotice(const QString& line, const QString& whole);
    void clearNotice();
    QString noticeText() const;

private:
    void fitPanels(bool searching);
    void refresh();
    QLabel* panel(int panel) const; // 1 to 3

    SearchDriver* m_driver;
    bool m_searching = false;
    std::array<ElidedLabel*, 3> m_panels{};
    // DNS, history, dropping and proxies, in StatusFact order.
    std::array<QLabel*, 4> m_factPanels{};
    ElidedLabel* m_noticeLabel = nullptr;
    ElidedLabel* m_proxyLabel = nullptr;
    QLabel* m_unansweredLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QTimer* m_refresh = nullptr;
    std::array<QString, 3> m_pendingStatus;
    bool m_progressDue = false;
};

} // namespace brisquel
