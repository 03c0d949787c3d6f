#include "website_window.h"

#include "program_picture.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace brisquel {

namespace {

QPointer<WebsiteWindow>& openWindow()
{
    static QPointer<WebsiteWindow> window;
    return window;
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
        window = new WebsiteWindow(address);
        window->showMaximized();
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
    frmBrowser = new QGroupBox(QStringLiteral("Browser"), this);
    frmBrowser->setObjectName(QStringLiteral("frmBrowser"));
    Label5 = new QLabel(QStringLiteral("URL:"), frmBrowser);
    Label5->setObjectName(QStringLiteral("Label5"));
    Text1 = new QLineEdit(frmBrowser);
    Text1->setObjectName(QStringLiteral("Text1"));
    Label5->setBuddy(Text1);
    Command3 = pictureButton(QStyle::SP_CommandLink, "Command3", "browse the entered url", frmBrowser);
    Command4 = pictureButton(QStyle::SP_ArrowBack, "Command4", "back", frmBrowser);
    Command5 = pictureButton(QStyle::SP_ArrowForward, "Command5", "forward", frmBrowser);
    Command6 = pictureButton(QStyle::SP_BrowserStop, "Command6", "stop", frmBrowser);
    Command7 = pictureButton(QStyle::SP_BrowserReload, "Command7", "refresh", frmBrowser);
    WebBrowser1 = new QWebEngineView(frmBrowser);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));

    auto* bar = new QHBoxLayout;
    for (QWidget* widget :
         {static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command5), static_cast<QWidget*>(Command6),
          static_cast<QWidget*>(Command7), static_cast<QWidget*>(Label5)})
        bar->addWidget(widget);
    bar->addWidget(Text1, 1);
    bar->addWidget(Command3);
    auto* layout = new QVBoxLayout(frmBrowser);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(WebBrowser1, 1);
    setCentralWidget(frmBrowser);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(StatusBar1);
        m_panels[i]->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        // Long addresses must not widen the window; each panel takes half of it.
        m_panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        StatusBar1->addWidget(m_panels[i], 1);
    }
    setStatusBar(StatusBar1);
}

void WebsiteWindow::bindBrowser()
{
    connect(Command3, &QToolButton::clicked, this, &WebsiteWindow::browseEnteredAddress);
    connect(Text1, &QLineEdit::returnPressed, this, &WebsiteWindow::browseEnteredAddress);
    // With nothing to go back or forward to, these do nothing.
    connect(Command4, &QToolButton::clicked, WebBrowser1, &QWebEngineView::back);
    connect(Command5, &QToolButton::clicked, WebBrowser1, &QWebEngineView::forward);
    connect(Command6, &QToolButton::clicked, WebBrowser1, &QWebEngineView::stop);
    connect(Command7, &QToolButton::clicked, WebBrowser1, &QWebEngineView::reload);

    connect(WebBrowser1->page(), &QWebEnginePage::linkHovered, m_panels[0], &QLabel::setText);
    connect(WebBrowser1, &QWebEngineView::loadStarted, this,
            [this] { m_panels[1]->setText(QStringLiteral("Opening ") + currentUrl().toString()); });
    connect(WebBrowser1, &QWebEngineView::loadFinished, this, [this] {
        const QString address = currentUrl().toString();
        m_panels[1]->setText(QStringLiteral("Completed ") + address);
        Text1->setText(address);
        setWindowTitle(WebBrowser1->title().isEmpty() ? address : WebBrowser1->title());
    });
}

void WebsiteWindow::navigate(const QUrl& address)
{
    Text1->setText(address.toString());
    WebBrowser1->setUrl(address.isEmpty() ? QUrl(QStringLiteral("about:blank")) : address);
}

QLabel* WebsiteWindow::statusPanel(int panel) const
{
    return m_panels.at(panel - 1);
}

void WebsiteWindow::browseEnteredAddress()
{
    navigate(QUrl::fromUserInput(Text1->text().trimmed()));
}

QUrl WebsiteWindow::currentUrl() const
{
    const QUrl shown = WebBrowser1->url();
    return shown.isEmpty() ? WebBrowser1->page()->requestedUrl() : shown;
}

} // namespace brisquel
