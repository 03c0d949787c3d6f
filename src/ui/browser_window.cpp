#include "browser_window.h"

#include "elided_label.h"
#include "engine/result_lists.h"
#include "engine/search_driver.h"
#include "engine/search_session.h"
#include "message_box.h"
#include "program_picture.h"
#include "result_list_actions.h"
#include "support/app_info.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"
#include "whois_config/extension_settings.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace brisquel {

namespace {

QPushButton* listButton(const QString& caption, const QString& name, const char* tip, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(QString::fromLatin1(tip));
    return button;
}

} // namespace

const std::array<const char*, BrowserWindow::SiteCount> BrowserWindow::SiteCaptions = {
    "Yahoo", "Google", "DMOZ", "AfterNIC", "Just Dropped", "Deleted Domains", "Expired Traffic"};

BrowserWindow::BrowserWindow(SearchSession* session, ResultListActions* listActions,
                             NoticeSink showNotice, QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_session(session)
    , m_listActions(listActions)
    , m_showNotice(std::move(showNotice))
    , m_scan(session->dataFolder().path(QStringLiteral("BrowserSearch.txt")),
             session->table()->enabledExtensions())
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Browse for Domains"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    // The search's router: the proxy setting and the extension table reach both checkers at once.
    m_checker = new BrowseChecker(m_scan.listPath(), &session->driver()->router(), session->filer(), this);
    m_checker->setAnswerRules(session->answerRules());

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    buildAddressRow();
    buildSiteButtons();
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    WebBrowser1 = new QWebEngineView(splitter);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setToolTip(QStringLiteral("Searching for unique domain names."));
    WebBrowser1->setMinimumWidth(160);
    splitter->addWidget(WebBrowser1);
    splitter->addWidget(buildLists());
    splitter->setStretchFactor(0, 1);
    layout->addWidget(splitter, 1);
    // Frame pages are only read, never looked at.
    WebBrowser2 = new QWebEngineView(central);
    WebBrowser2->setObjectName(QStringLiteral("WebBrowser2"));
    WebBrowser2->hide();
    setCentralWidget(central);
    buildStatusBar();
    arrangeSiteButtons();
    setMinimumSize(440, 440);
    resize(1000, 720);

    bindBrowsers();
    bindChecker();
    // A list left over from an earlier window would be checked again.
    QString error;
    if (!m_scan.removeList(&error))
        m_showNotice(error);
    m_checker->start();
    navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::BrowseStartAddress())));
}

BrowserWindow::~BrowserWindow()
{
    m_scan.removeList();
}

QLabel* BrowserWindow::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_panels[std::size_t(panel - 1)] : nullptr;
}

void BrowserWindow::navigate(const QUrl& address)
{
    WebBrowser1->load(address);
}

void BrowserWindow::buildAddressRow()
{
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label3 = new QLabel(QStringLiteral("URL:"), Frame1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Text1 = new QComboBox(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setEditable(true);
    // The history is kept by hand: every go adds the typed address, repeats included.
    Text1->setInsertPolicy(QComboBox::NoInsert);
    Text1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Text1->setMinimumContentsLength(10);
    Label3->setBuddy(Text1);
    Command1 = pictureButton(QStyle::SP_CommandLink, "Command1", "Navigate to the current url!", Frame1);
    cmdBack = pictureButton(QStyle::SP_ArrowBack, "cmdBack", "Go Back", Frame1);
    cmdFwd = pictureButton(QStyle::SP_ArrowForward, "cmdFwd", "Go Forward", Frame1);
    cmdHome = pictureButton(QStyle::SP_DirHomeIcon, "cmdHome", "Home", Frame1);
    cmdRefresh = pictureButton(QStyle::SP_BrowserReload, "cmdRefresh", "Refresh", Frame1);
    cmdStop = pictureButton(QStyle::SP_BrowserStop, "cmdStop", "Stop", Frame1);

    auto* row = new QHBoxLayout(Frame1);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{cmdBack, cmdFwd, cmdHome, cmdRefresh, cmdStop, Label3})
        row->addWidget(widget);
    row->addWidget(Text1, 1);
    row->addWidget(Command1);
}

void BrowserWindow::buildSiteButtons()
{
    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    m_siteGrid = new QGridLayout(Frame2);
    m_siteGrid->setContentsMargins(0, 0, 0, 0);
    m_siteGrid->setSpacing(2);
    for (int i = 0; i < SiteCount; ++i) {
        Command2[std::size_t(i)] = new QPushButton(QString::fromLatin1(SiteCaptions[std::size_t(i)]), Frame2);
        QPushButton* button = Command2[std::size_t(i)];
        button->setObjectName(QStringLiteral("Command2_%1").arg(i));
        button->setFont(QFont(QStringLiteral("Verdana"), font().pointSize()));
        // The captions shrink with a narrow window rather than widen it.
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        button->setMinimumWidth(20);
        connect(button, &QPushButton::clicked, this, [this, i] {
            navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::SiteAddress(i))));
        });
    }
}

void BrowserWindow::arrangeSiteButtons()
{
    int wanted = 0;
    for (const QPushButton* button : Command2)
        wanted += button->sizeHint().width() + m_siteGrid->spacing();
    // Two rows when one row would cut the captions.
    // The window's width, not the frame's: the frame is laid out only after this resize.
    const int margins = centralWidget() ? centralWidget()->layout()->contentsMargins().left() * 2 : 0;
    const int columns = width() - margins >= wanted ? SiteCount : (SiteCount + 1) / 2;
    if (columns == m_siteColumns)
        return;
    m_siteColumns = columns;
    for (int i = 0; i < SiteCount; ++i)
        m_siteGrid->addWidget(Command2[std::size_t(i)], i / columns, i % columns);
    for (int c = 0; c < SiteCount; ++c)
        m_siteGrid->setColumnStretch(c, c < columns ? 1 : 0);
}

void BrowserWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    arrangeSiteButtons();
}

QWidget* BrowserWindow::buildLists()
{
    auto* panel = new QWidget(splitter);
    panel->setObjectName(QStringLiteral("listPanel"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    addListColumn(panel, layout, 1);
    addListColumn(panel, layout, 2);
    Label1->setToolTip(QStringLiteral("These domain names have not been registered."));
    List1->setToolTip(Label1->toolTip());
    return panel;
}

void BrowserWindow::addListColumn(QWidget* parent, QVBoxLayout* layout, int number)
{
    auto* label = new QLabel(m_checker->caption(column(number)), parent);
    label->setObjectName(QStringLiteral("Label%1").arg(number));
    auto* view = new QListView(parent);
    view->setObjectName(QStringLiteral("List%1").arg(number));
    view->setModel(m_checker->model(column(number)));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setMinimumSize(120, 60);
    view->installEventFilter(this);
    (number == 1 ? Label1 : Label2) = label;
    (number == 1 ? List1 : List2) = view;

    const auto i = std::size_t(number);
    cmdCopy[i] =
        listButton(QStringLiteral("Copy"), QStringLiteral("cmdCopy_%1").arg(number), "Copy List", parent);
    cmdClear[i] =
        listButton(QStringLiteral("Clear"), QStringLiteral("cmdClear_%1").arg(number), "Clear List", parent);
    cmdClear2[i] = listButton(QStringLiteral("Del"), QStringLiteral("cmdClear2_%1").arg(number),
                              "Delete Selected Item", parent);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdCopy[i], cmdClear[i], cmdClear2[i]})
        buttons->addWidget(button);
    layout->addWidget(label);
    layout->addWidget(view, 1);
    layout->addLayout(buttons);

    connect(cmdCopy[i], &QPushButton::clicked, this, [this, number] { copyList(number); });
    connect(cmdClear[i], &QPushButton::clicked, this, [this, number] { clearList(number); });
    connect(cmdClear2[i], &QPushButton::clicked, this, [this, number] { deleteSelected(number); });
    connect(view, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { m_listActions->openDomain(index.data().toString()); });
}

void BrowserWindow::buildStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new ElidedLabel(QString(), StatusBar1);
        m_panels[i]->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        StatusBar1->addWidget(m_panels[i], 1);
    }
    setStatusBar(StatusBar1);
}

void BrowserWindow::bindBrowsers()
{
    connect(Command1, &QToolButton::clicked, this, &BrowserWindow::browseTypedAddress);
    connect(Text1->lineEdit(), &QLineEdit::returnPressed, this, &BrowserWindow::browseTypedAddress);
    connect(Text1, &QComboBox::activated, this,
            [this](int index) { navigate(QUrl::fromUserInput(Text1->itemText(index))); });
    // With nothing to go back or forward to, these do nothing.
    connect(cmdBack, &QToolButton::clicked, WebBrowser1, &QWebEngineView::back);
    connect(cmdFwd, &QToolButton::clicked, WebBrowser1, &QWebEngineView::forward);
    connect(cmdRefresh, &QToolButton::clicked, WebBrowser1, &QWebEngineView::reload);
    connect(cmdStop, &QToolButton::clicked, WebBrowser1, &QWebEngineView::stop);
    connect(cmdHome, &QToolButton::clicked, this, [this] {
        navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::BrowseStartAddress())));
    });

    connect(WebBrowser1, &QWebEngineView::loadStarted, this, [this] {
        m_panels[1]->setText(QStringLiteral("Waiting for page to load"));
        m_scan.pageStarted();
        m_framesFollowed.clear();
    });
    connect(WebBrowser1->page(), &QWebEnginePage::linkHovered, m_panels[2], &QLabel::setText);
    connect(WebBrowser1, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        Text1->setEditText(WebBrowser1->url().toString());
        setWindowTitle(title + QStringLiteral(" - ") + AppInfo::productTitle());
    });
    for (QWebEngineView* view : {WebBrowser1, WebBrowser2}) {
        connect(view->page(), &QWebEnginePage::loadingChanged, this,
                [this, view](const QWebEngineLoadingInfo& info) { onLoadingChanged(view, info); });
    }
}

void BrowserWindow::bindChecker()
{
    connect(m_checker, &BrowseChecker::statusText, m_panels[0], &QLabel::setText);
    connect(m_checker, &BrowseChecker::idle, this, &BrowserWindow::onCheckerIdle);
    connect(m_checker, &BrowseChecker::problem, this, [this](const QString& text) { m_showNotice(text); });
    connect(m_checker, &BrowseChecker::captionChanged, this,
            [this](BrowseChecker::Column which, const QString& caption) {
                (which == BrowseChecker::Column::Unregistered ? Label1 : Label2)->setText(caption);
            });
}

void BrowserWindow::browseTypedAddress()
{
    const QString typed = Text1->currentText().trimmed();
    if (typed.isEmpty())
        return;
    Text1->addItem(typed);
    navigate(QUrl::fromUserInput(typed));
}

void BrowserWindow::onLoadingChanged(QWebEngineView* view, const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus) {
        // A frame that cannot be loaded gives no names; the next one may.
        if (view == WebBrowser2 && info.status() != QWebEngineLoadingInfo::LoadStoppedStatus) {
            m_frameLoading = false;
            followNextFrame();
        }
        return;
    }
    QPointer<BrowserWindow> self(this);
    view->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerHTML : null"),
                                [self, view](const QVariant& body) {
                                    if (self)
                                        self->readPage(view, body);
                                });
}

void BrowserWindow::readPage(QWebEngineView* view, const QVariant& body)
{
    if (view == WebBrowser2)
        m_frameLoading = false;
    // A document without a body simply gives no names.
    if (body.isValid() && !body.isNull()) {
        QString error;
        const PageScan scan = m_scan.scanPage(body.toString(), &error);
        if (!error.isEmpty())
            m_showNotice(error);
        m_panels[1]->setText(m_scan.pageStatus());
        for (const QString& address : scan.frameAddresses) {
            const QString trimmed = address.trimmed();
            if (!trimmed.isEmpty() && !m_framesFollowed.contains(trimmed)) {
                m_framesFollowed.append(trimmed);
                m_frameQueue.append(trimmed);
            }
        }
        if (!scan.names.isEmpty())
            m_checker->checkNext();
    }
    followNextFrame();
}

void BrowserWindow::followNextFrame()
{
    if (m_frameLoading || m_frameQueue.isEmpty())
        return;
    const QString address = m_frameQueue.takeFirst();
    m_frameLoading = true;
    m_panels[1]->setText(QStringLiteral("Following Frame: ") + address);
    WebBrowser2->load(QUrl::fromUserInput(address));
}

void BrowserWindow::onCheckerIdle()
{
    if (m_scan.pageNewCount() > 0)
        m_panels[1]->setText(QStringLiteral("Finished domains on current page"));
}

BrowseChecker::Column BrowserWindow::column(int number)
{
    return number == 1 ? BrowseChecker::Column::Unregistered : BrowseChecker::Column::Registered;
}

void BrowserWindow::clearList(int number)
{
    m_checker->clear(column(number));
    // Names found before may be found, appended and looked up again.
    if (number == 1)
        m_scan.forgetSeenNames();
}

void BrowserWindow::deleteSelected(int number)
{
    const QModelIndex current = list(number)->currentIndex();
    if (current.isValid() && list(number)->selectionModel()->isSelected(current))
        m_checker->deleteEntry(column(number), current.row());
}

void BrowserWindow::copyList(int number)
{
    QGuiApplication::clipboard()->setText(m_checker->copyText(column(number)));
}

void BrowserWindow::closeEvent(QCloseEvent* event)
{
    const QStringList unchecked = m_checker->uncheckedNames();
    if (unchecked.isEmpty()) {
        m_checker->stop();
        event->accept();
        return;
    }
    const QString question =
        QStringLiteral("%1 of the names found are not checked yet. Keep checking them, add them to "
                       "Unanswered.txt for a later search, or discard them?")
            .arg(unchecked.size());
    const MessageBox::Button answer =
        MessageBox::show(this, QMessageBox::Question, windowTitle(), question,
                         QMessageBox::Cancel | QMessageBox::Save | QMessageBox::Discard, QMessageBox::Cancel,
                         {{QMessageBox::Cancel, QStringLiteral("Keep checking")},
                          {QMessageBox::Save, QStringLiteral("Add to Unanswered.txt")}});
    if (answer == QMessageBox::Save) {
        QString error;
        if (!m_checker->fileUncheckedAsUnanswered(&error)) {
            m_showNotice(error);
            event->ignore();
            return;
        }
        m_showNotice(
            QStringLiteral("%1 names not checked in Browse for Domains were added to Unanswered.txt.")
                .arg(unchecked.size()));
    } else if (answer == QMessageBox::Discard) {
        m_checker->stop();
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == List1 || watched == List2) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            const int number = watched == List1 ? 1 : 2;
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier)
                clearList(number);
            else
                deleteSelected(number);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace brisquel
