#include "website_window.h"

#include "page_button.h"
#include "program_picture.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>

namespace brisquel {

namespace {

QPointer<WebsiteWindow>& openWindow()
{
    static QPointer<WebsiteWindow> window;
    return window;
}

// A page is read beside the program, not instead of it: a window of its usual size over the one
// it was opened from, inside the screen.
void placeOverOpener(QWidget* window, const QWidget* opener)
{
    const QScreen* screen = opener ? opener->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->resize(window->size().boundedTo(area.size() * 9 / 10));
    QRect frame(QPoint(), window->size());
    frame.moveCenter(opener ? opener->frameGeometry().center() : area.center());
    const QPoint last = area.topLeft() + QPoint(area.width() - frame.width(), area.height() - frame.height());
    frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), last.x())));
    frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), last.y())));
    window->move(frame.topLeft());
}

// What the status bar says of a page that did not load, rather than "Completed".
QString loadFailure(const QString& address, const QWebEngineLoadingInfo& info)
{
    QString why = info.errorString();
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        why = QStringLiteral("the server answered HTTP %1").arg(info.errorCode());
    return why.isEmpty() ? QStringLiteral("Could not load %1").arg(address)
                         : QStringLiteral("Could not load %1: %2").arg(address, why);
}

} // namespace

WebsiteWindow::WebsiteWindow(const QUrl& startAddress, QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmWebsite"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(programIcon());
    setWindowTitle(startAddress.toString());
    buildControls();
    bindBrowser();
    setMinimumSize(320, 240);
    resize(1000, 720);
    navigate(startAddress);
}

WebsiteWindow::~WebsiteWindow() = default;

WebsiteWindow* WebsiteWindow::open(const QUrl& address)
{
    QPointer<WebsiteWindow>& window = openWindow();
    if (window && !window->isVisible())
        window->deleteLater();
    if (!window || !window->isVisible()) {
        QWidget* opener = QApplication::activeWindow();
        window = new WebsiteWindow(address);
        placeOverOpener(window, opener);
        window->show();
    } else {
        window->navigate(address);
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
    }
    // Once the opener's own window has come up (the help on the first start opens before it).
    QTimer::singleShot(0, window, [target = window.data()] {
        target->raise();
        target->activateWindow();
    });
    return window;
}

WebsiteWindow* WebsiteWindow::instance()
{
    return openWindow();
}

void WebsiteWindow::buildControls()
{
    auto* frame = named(new QWidget(this), "frmBrowser");
    auto* addressLabel = namedLabel(QStringLiteral("URL:"), "Label5", frame);
    m_address = named(new QLineEdit(frame), "Text1");
    addressLabel->setBuddy(m_address);
    auto* goButton = pictureButton(QStyle::SP_CommandLink, "Command3", "browse the entered url", frame);
    auto* bar = new QHBoxLayout;
    for (const PageButton& button :
         {PageButton{QStyle::SP_ArrowBack, "Command4", "back", QWebEnginePage::Back},
          PageButton{QStyle::SP_ArrowForward, "Command5", "forward", QWebEnginePage::Forward},
          PageButton{QStyle::SP_BrowserStop, "Command6", "stop", QWebEnginePage::Stop},
          PageButton{QStyle::SP_BrowserReload, "Command7", "refresh", QWebEnginePage::Reload}})
        bar->addWidget(pageButton(button, frame, [this] { return m_page; }));
    m_page = named(new QWebEngineView(frame), "WebBrowser1");

    bar->addWidget(addressLabel);
    bar->addWidget(m_address, 1);
    bar->addWidget(goButton);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_page, 1);
    setCentralWidget(frame);

    auto* statusBar = named(new QStatusBar(this), "StatusBar1");
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = named(new QLabel(statusBar), QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        // Long addresses must not widen the window; each panel takes half of it.
        m_panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        statusBar->addWidget(m_panels[i], 1);
    }
    setStatusBar(statusBar);
    connect(goButton, &QToolButton::clicked, this, &WebsiteWindow::browseEnteredAddress);
}

void WebsiteWindow::bindBrowser()
{
    connect(m_address, &QLineEdit::returnPressed, this, &WebsiteWindow::browseEnteredAddress);
    connect(m_page->page(), &QWebEnginePage::linkHovered, m_panels[0], &QLabel::setText);
    connect(m_page, &QWebEngineView::loadStarted, this,
            [this] { m_panels[1]->setText(QStringLiteral("Opening ") + currentUrl().toString()); });
    connect(m_page->page(), &QWebEnginePage::loadingChanged, this, &WebsiteWindow::showLoadEnd);
}

void WebsiteWindow::showLoadEnd(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    const QString address = currentUrl().toString();
    m_address->setText(address);
    setWindowTitle(m_page->title().isEmpty() ? address : m_page->title());
    QString outcome;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
        outcome = QStringLiteral("Completed ") + address;
    else if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
        outcome = QStringLiteral("Stopped ") + address;
    else
        outcome = loadFailure(address, info);
    m_panels[1]->setText(outcome);
    // Whole where the panel is too narrow for a long address and its reason.
    m_panels[1]->setToolTip(outcome);
}

void WebsiteWindow::navigate(const QUrl& address)
{
    m_address->setText(address.toString());
    m_page->setUrl(address.isEmpty() ? QUrl(QStringLiteral("about:blank")) : address);
}

void WebsiteWindow::browseEnteredAddress()
{
    navigate(QUrl::fromUserInput(m_address->text().trimmed()));
}

QUrl WebsiteWindow::currentUrl() const
{
    const QUrl shown = m_page->url();
    return shown.isEmpty() ? m_page->page()->requestedUrl() : shown;
}

} // namespace brisquel
