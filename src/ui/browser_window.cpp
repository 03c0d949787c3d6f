#include "browser_window.h"

#include "elided_label.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_session.h"
#include "message_box.h"
#include "page_button.h"
#include "program_picture.h"
#include "result_list_actions.h"
#include "support/app_info.h"
#include "support/settings_keys.h"
#include "support/settings_store.h"
#include "whois_config/extension_settings.h"
#include "widget_helpers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
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

const std::array<const char*, BrowserWindow::SiteCount> BrowserWindow::SiteCaptions = {
    "Yahoo", "Google", "DMOZ", "AfterNIC", "Just Dropped", "Deleted Domains", "Expired Traffic"};

BrowserWindow::BrowserWindow(SearchSession* session, ResultListActions* listActions, NoticeSink showNotice,
                             QWidget* parent)
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
    layout->addWidget(buildAddressRow());
    layout->addWidget(buildSiteButtons());
    auto* splitter = named(new QSplitter(Qt::Horizontal, central), "splitter");
    splitter->setChildrenCollapsible(false);
    m_page = named(new QWebEngineView(splitter), "WebBrowser1");
    m_page->setToolTip(QStringLiteral("Searching for unique domain names."));
    m_page->setMinimumWidth(160);
    splitter->addWidget(m_page);
    splitter->addWidget(buildLists(splitter));
    splitter->setStretchFactor(0, 1);
    layout->addWidget(splitter, 1);
    // Frame pages are only read, never looked at.
    m_frameReader = named(new QWebEngineView(central), "WebBrowser2");
    m_frameReader->hide();
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
    navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::browseStartAddress())));
}

BrowserWindow::~BrowserWindow()
{
    m_scan.removeList();
}

void BrowserWindow::navigate(const QUrl& address)
{
    m_page->load(address);
}

QWidget* BrowserWindow::buildAddressRow()
{
    auto* frame = named(new QFrame(this), "Frame1");
    auto* addressLabel = namedLabel(QStringLiteral("URL:"), "Label3", frame);
    m_address = named(new QComboBox(frame), "Text1");
    m_address->setEditable(true);
    // The history is kept by hand: every go adds the typed address, repeats included.
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_address->setMinimumContentsLength(10);
    addressLabel->setBuddy(m_address);
    auto* goButton = pictureButton(QStyle::SP_CommandLink, "Command1", "Navigate to the current url!", frame);
    connect(goButton, &QToolButton::clicked, this, &BrowserWindow::browseTypedAddress);

    const auto page = [this] {
        return m_page;
    };
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(
        pageButton({QStyle::SP_ArrowBack, "cmdBack", "Go Back", QWebEnginePage::Back}, frame, page));
    row->addWidget(
        pageButton({QStyle::SP_ArrowForward, "cmdFwd", "Go Forward", QWebEnginePage::Forward}, frame, page));
    auto* homeButton = pictureButton(QStyle::SP_DirHomeIcon, "cmdHome", "Home", frame);
    connect(homeButton, &QToolButton::clicked, this, [this] {
        navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::browseStartAddress())));
    });
    row->addWidget(homeButton);
    row->addWidget(
        pageButton({QStyle::SP_BrowserReload, "cmdRefresh", "Refresh", QWebEnginePage::Reload}, frame, page));
    row->addWidget(
        pageButton({QStyle::SP_BrowserStop, "cmdStop", "Stop", QWebEnginePage::Stop}, frame, page));
    row->addWidget(addressLabel);
    row->addWidget(m_address, 1);
    row->addWidget(goButton);
    return frame;
}

QWidget* BrowserWindow::buildSiteButtons()
{
    auto* frame = named(new QFrame(this), "Frame2");
    m_siteGrid = new QGridLayout(frame);
    m_siteGrid->setContentsMargins(0, 0, 0, 0);
    m_siteGrid->setSpacing(2);
    for (int i = 0; i < SiteCount; ++i) {
        QPushButton* button = named(new QPushButton(QString::fromLatin1(SiteCaptions[std::size_t(i)]), frame),
                                    QStringLiteral("Command2_%1").arg(i));
        m_siteButtons[std::size_t(i)] = button;
        button->setFont(QFont(QStringLiteral("Verdana"), font().pointSize()));
        // The captions shrink with a narrow window rather than widen it.
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        button->setMinimumWidth(20);
        connect(button, &QPushButton::clicked, this, [this, i] {
            navigate(QUrl::fromUserInput(m_session->settings()->value(SettingKeys::siteAddress(i))));
        });
    }
    return frame;
}

void BrowserWindow::arrangeSiteButtons()
{
    int wanted = 0;
    for (const QPushButton* button : m_siteButtons)
        wanted += button->sizeHint().width() + m_siteGrid->spacing();
    // Two rows when one row would cut the captions.
    // The window's width, not the frame's: the frame is laid out only after this resize.
    const int margins = centralWidget() ? centralWidget()->layout()->contentsMargins().left() * 2 : 0;
    const int columns = width() - margins >= wanted ? SiteCount : (SiteCount + 1) / 2;
    if (columns == m_siteColumns)
        return;
    m_siteColumns = columns;
    for (int i = 0; i < SiteCount; ++i)
        m_siteGrid->addWidget(m_siteButtons[std::size_t(i)], i / columns, i % columns);
    for (int c = 0; c < SiteCount; ++c)
        m_siteGrid->setColumnStretch(c, c < columns ? 1 : 0);
}

void BrowserWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    arrangeSiteButtons();
}

QWidget* BrowserWindow::buildLists(QWidget* parent)
{
    auto* panel = named(new QWidget(parent), "listPanel");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    addListColumn(panel, layout, 1);
    addListColumn(panel, layout, 2);
    caption(1)->setToolTip(QStringLiteral("These domain names have not been registered."));
    list(1)->setToolTip(caption(1)->toolTip());
    return panel;
}

void BrowserWindow::addListColumn(QWidget* parent, QVBoxLayout* layout, int number)
{
    auto* label =
        named(new QLabel(m_checker->caption(column(number)), parent), QStringLiteral("Label%1").arg(number));
    auto* view = named(new QListView(parent), QStringLiteral("List%1").arg(number));
    view->setModel(m_checker->model(column(number)));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setMinimumSize(120, 60);
    view->installEventFilter(this);
    m_captions[std::size_t(number - 1)] = label;
    m_lists[std::size_t(number - 1)] = view;

    struct ListButton
    {
        const char* caption;
        const char* name;
        const char* tip;
        void (BrowserWindow::*act)(int number);
    };
    const ListButton buttons[] = {
        {"Copy", "cmdCopy", "Copy List", &BrowserWindow::copyList},
        {"Del", "cmdClear2", "Delete Selected Item", &BrowserWindow::deleteSelected},
        {"Clear", "cmdClear", "Clear List", &BrowserWindow::clearList}};
    auto* row = new QHBoxLayout;
    for (const ListButton& button : buttons) {
        auto* made = named(new QPushButton(QString::fromLatin1(button.caption), parent),
                           QStringLiteral("%1_%2").arg(QLatin1String(button.name)).arg(number));
        made->setToolTip(QString::fromLatin1(button.tip));
        connect(made, &QPushButton::clicked, this,
                [this, act = button.act, number] { (this->*act)(number); });
        row->addWidget(made);
    }
    layout->addWidget(label);
    layout->addWidget(view, 1);
    layout->addLayout(row);
    connect(view, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { m_listActions->openDomain(index.data().toString()); });
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QListView::customContextMenuRequested, this,
            [this, number](const QPoint& pos) { showEntryMenu(number, pos); });
}

void BrowserWindow::showEntryMenu(int number, const QPoint& pos)
{
    QListView* view = list(number);
    ResultListActions::EntryMenu entries;
    const QModelIndex current = view->currentIndex();
    if (current.isValid() && view->selectionModel()->isSelected(current)) {
        entries.clicked = current.data().toString();
        entries.names = QStringList{entries.clicked};
    }
    entries.deleteNames = [this, number] {
        deleteSelected(number);
    };
    m_listActions->entryMenu(entries, view)->popup(view->viewport()->mapToGlobal(pos));
}

void BrowserWindow::buildStatusBar()
{
    auto* statusBar = named(new QStatusBar(this), "StatusBar1");
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] =
            named(new ElidedLabel(QString(), statusBar), QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        statusBar->addWidget(m_panels[i], 1);
    }
    setStatusBar(statusBar);
}

void BrowserWindow::bindBrowsers()
{
    connect(m_address->lineEdit(), &QLineEdit::returnPressed, this, &BrowserWindow::browseTypedAddress);
    connect(m_address, &QComboBox::activated, this,
            [this](int index) { navigate(QUrl::fromUserInput(m_address->itemText(index))); });
    connect(m_page, &QWebEngineView::loadStarted, this, [this] {
        m_panels[1]->setText(QStringLiteral("Waiting for page to load"));
        m_scan.pageStarted();
        m_framesFollowed.clear();
    });
    connect(m_page->page(), &QWebEnginePage::linkHovered, m_panels[2], &QLabel::setText);
    connect(m_page, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        m_address->setEditText(m_page->url().toString());
        setWindowTitle(title + QStringLiteral(" - ") + AppInfo::productTitle());
    });
    for (QWebEngineView* view : {m_page, m_frameReader}) {
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
                this->caption(which == BrowseChecker::Column::Unregistered ? 1 : 2)->setText(caption);
            });
}

void BrowserWindow::browseTypedAddress()
{
    const QString typed = m_address->currentText().trimmed();
    if (typed.isEmpty())
        return;
    m_address->addItem(typed);
    navigate(QUrl::fromUserInput(typed));
}

void BrowserWindow::onLoadingChanged(QWebEngineView* view, const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus) {
        // A frame that cannot be loaded gives no names; the next one may.
        if (view == m_frameReader && info.status() != QWebEngineLoadingInfo::LoadStoppedStatus) {
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
    if (view == m_frameReader)
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
    m_frameReader->load(QUrl::fromUserInput(address));
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
    m_listActions->copyNames(m_checker->entries(column(number)));
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
    if ((watched == list(1) || watched == list(2)) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            const int number = watched == list(1) ? 1 : 2;
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
