#pragma once

#include <QMainWindow>
#include <QUrl>
#include <array>

class QLabel;
class QLineEdit;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace brisquel {

// The website window: a plain browser for the product's web site, the help file and registrars' purchase
// pages. It is a window of its own, without a parent: closing the main window leaves it open,
// and the program ends when the last window closes.
class WebsiteWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit WebsiteWindow(const QUrl& startAddress, QWidget* parent = nullptr);
    ~WebsiteWindow() override;

    // The one open browser window, shown at the address; when there is none, a new one opens over
    // the active window at its usual size.
    static WebsiteWindow* open(const QUrl& address);
    static WebsiteWindow* instance();

    void navigate(const QUrl& address);

private:
    void buildControls();
    void bindBrowser();
    void browseEnteredAddress();
    void showLoadEnd(const QWebEngineLoadingInfo& info);
    QUrl currentUrl() const;

    QLineEdit* m_address = nullptr;
    QWebEngineView* m_page = nullptr;
    std::array<QLabel*, 2> m_panels{};
};

} // namespace brisquel
