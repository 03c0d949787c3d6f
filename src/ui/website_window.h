#pragma once

#include <QMainWindow>
#include <QUrl>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolButton;
class QWebEngineView;

namespace brisquel {

// frmWebsite: a plain browser for the product's web site, the help file and registrars' purchase
// pages. It is a window of its own, without a parent: closing the main window leaves it open,
// and the program ends when the last window closes.
class WebsiteWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit WebsiteWindow(const QUrl& startAddress, QWidget* parent = nullptr);
    ~WebsiteWindow() override;

    // The one open browser window, shown at the address; opened maximized when there is none.
    static WebsiteWindow* open(const QUrl& address);
    static WebsiteWindow* instance();

    void navigate(const QUrl& address);
    QLabel* statusPanel(int panel) const; // 1 or 2

    QGroupBox* frmBrowser = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Text1 = nullptr;
    QToolButton* Command3 = nullptr;
    QToolButton* Command4 = nullptr;
    QToolButton* Command5 = nullptr;
    QToolButton* Command6 = nullptr;
    QToolButton* Command7 = nullptr;
    QWebEngineView* WebBrowser1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

private:
    void buildControls();
    void bindBrowser();
    void browseEnteredAddress();
    QUrl currentUrl() const;

    std::array<QLabel*, 2> m_panels{};
};

} // namespace brisquel
