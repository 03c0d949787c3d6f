#include "main_window.h"

#include "about_window.h"
#include "browser_window.h"
#include "button_strip.h"
#include "elided_label.h"
#include "engine/list_files.h"
#include "engine/result_lists.h"
#include "engine/resume_point.h"
#include "engine/search_driver.h"
#include "file_dialog.h"
#include "generator_window.h"
#include "harvester_window.h"
#include "message_box.h"
#include "message_log.h"
#include "message_log_window.h"
#include "overflow_notice.h"
#include "permission_dialog.h"
#include "result_list_actions.h"
#include "result_list_view.h"
#include "search_status.h"
#include "search_summary.h"
#include "settings_window.h"
#include "sources/list_file.h"
#include "support/app_info.h"
#include "support/settings_store.h"
#include "website_window.h"
#include "whois_config/extension_settings.h"
#include "whois_window.h"
#include "wrapping_label.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace brisquel {

namespace {

const char* const IdlePanelTexts[] = {"Entry Status", "Open Connections", "Connection Status"};

struct ListColumn
{
    ResultList list;
    const char* listTip;
    const char* labelTip;
};

// Left to right: the three lists of available names close together, then Registered and Saved.
const ListColumn ListColumns[] = {
    {ResultList::High, "These domains have less than 5 letters.", "These domains have less than 5 letters."},
    {ResultList::Mid, "These domains have 5 to 7 characters", nullptr},
    {ResultList::Low, "These domains have 8 or more characters.", "These domains have 8+ characters."},
    {ResultList::Registered,
     "These domain names are already registered. Only the latest are listed: the list starts afresh after "
     "101 names, while its caption counts every one of this search.",
     "These domain names are already registered."},
    {ResultList::Saved, "Drag a domain name here to save it.", "Drag a domain name here to save it."},
};

ResultListView* MainWindow::*const ListMembers[] = {
    &MainWindow::List1, &MainWindow::List2, &MainWindow::List3, &MainWindow::List4, &MainWindow::List5};
QLabel* MainWindow::*const LabelMembers[] = {&MainWindow::Label1, &MainWindow::Label2, &MainWindow::Label3,
                                             &MainWindow::Label4, &MainWindow::Label5};

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

template <typename Widget>
Widget* named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* label(const char* caption, const char* name, QWidget* parent)
{
    return named(new QLabel(text(caption), parent), text(name));
}

QPushButton* button(const char* caption, const char* name, const char* tip, QWidget* parent)
{
    auto* result = named(new QPushButton(text(caption), parent), text(name));
    if (tip)
        result->setToolTip(text(tip));
    return result;
}

// Keeps a control's place when its group is hidden, so that the other group takes the same place.
void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// Long texts must not widen the window: the widget shares what room there is.
void shareWidth(QWidget* widget)
{
    widget->setSizePolicy(QSizePolicy::Ignored, widget->sizePolicy().verticalPolicy());
}

// A window that is one of its kind: shown, or brought to the front when it is open already.
void showInFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// How a line left out of a file the program reads at start-up is reported.
QString skippedLine(const QString& file, qint64 lineNumber, const QString& problem)
{
    return QStringLiteral("%1: line %2 skipped: %3").arg(file).arg(lineNumber).arg(problem);
}

} // namespace

MainWindowEnvironment MainWindowEnvironment::fromArguments(const QStringList& arguments)
{
    return {DataFolder::resolveRoot(arguments), DataFolder::defaultUserSettingsPath(), [](const QUrl& url) {
                WebsiteWindow::open(url);
                return true;
            }};
}

MainWindow::MainWindow(MainWindowEnvironment environment, QWidget* parent)
    : QMainWindow(parent)
    , m_openUrl(std::move(environment.openUrl))
    , m_session(new SearchSession(DataFolder(environment.dataRoot), environment.userSettingsPath, this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(AppInfo::productTitle() + QStringLiteral(" by ") + AppInfo::companyName());
    m_log = new MessageLog(this);
    settings()->setPermissionHandler(
        [this](const QString& message) { return askPermissionDenied(this, message); });

    // The settings window's model, on the session's table and settings.
    m_extensionSettings = new ExtensionSettings(dataFolder().path(QStringLiteral("registrars.txt")),
                                                dataFolder().path(QStringLiteral("backups")),
                                                m_session->table(), settings(), this);
    m_listActions =
        new ResultListActions(resultLists(), dataFolder().path(QStringLiteral("Remembered.txt")), this);
    m_listActions->setUrlOpener(m_openUrl);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 2);
    setCentralWidget(central);
    buildSearchFrame();
    buildListFrame();
    layout->addWidget(Frame1);
    layout->addWidget(Frame2, 1);
    buildStatusBar();
    buildMenus();
    setMinimumSize(433, 433);
    resize(900, 620);

    bindCore();
    applyStartup();
    chooseSearchType(int(allSearchTypes().indexOf(SearchType::FullWordList)));
    // After the first choice of source, which clears the status bar as any choice does.
    reportStartupProblems();
}

MainWindow::~MainWindow()
{
    // A driver that is still running reports its stop; this window is past listening.
    searchDriver()->disconnect(this);
    // The browser's checker gives its claim on the data folder back to the session's filer.
    delete m_browserWindow;
    delete m_session;
    m_session = nullptr;
}

void MainWindow::showOnStart()
{
    if (startupResult().helpOpened && WebsiteWindow::instance())
        placeManualBeside();
    else
        showMaximized();
}

void MainWindow::buildSearchFrame()
{
    Frame1 = named(new QGroupBox(this), QStringLiteral("Frame1"));
    const QString typeTip = QStringLiteral("Select the type of search you would like to run");
    Label6 = label("Search Type:", "Label6", Frame1);
    Label6->setToolTip(typeTip);
    Combo1 = named(new QComboBox(Frame1), QStringLiteral("Combo1"));
    Combo1->setToolTip(typeTip);
    for (SearchType type : allSearchTypes())
        Combo1->addItem(searchTypeCaption(type));
    lblListFile = named(new ElidedLabel(QString(), Frame1), QStringLiteral("lblListFile"));
    // One width whatever the name, so that the buttons beside never move with its length; a narrow
    // window still shrinks it.
    lblListFile->setHintWidth(lblListFile->fontMetrics().averageCharWidth() * 20);
    lblListFile->setMaximumWidth(lblListFile->sizeHint().width());
    lblListFile->hide();

    wLabel1 = label("Start Number:", "wLabel1", Frame1);
    wLabel2 = label("Of ", "wLabel2", Frame1);
    txtWordNum = named(new QLineEdit(QStringLiteral("1"), Frame1), QStringLiteral("txtWordNum"));
    txtWordMax = named(new QLineEdit(QStringLiteral("1"), Frame1), QStringLiteral("txtWordMax"));
    txtWordMax->setToolTip(QStringLiteral("The number of entries on your list."));
    txtWordMax->setReadOnly(true);
    QPalette grey = txtWordMax->palette();
    grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    txtWordMax->setPalette(grey);

    sLabel1 = label("Search String:", "sLabel1", Frame1);
    sLabel1->setToolTip(QStringLiteral("Enter a search string"));
    SLabel2 = label("Get", "SLabel2", Frame1);
    txtSearch = named(new QLineEdit(Frame1), QStringLiteral("txtSearch"));
    txtSearch->setToolTip(QStringLiteral("Enter a search string"));
    Combo2 = named(new QComboBox(Frame1), QStringLiteral("Combo2"));
    Combo2->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    Combo2->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                      QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});

    cmdCreate = button("Search", "cmdCreate", "Click here to start your internet search!", Frame1);
    cmdDoSearch = button("Start", "cmdDoSearch", "Click here to start searching your list.", Frame1);
    cmdReopen = button("Open", "cmdReopen", nullptr, Frame1);
    cmdReopen->hide();
    Command3 = button("Stop", "Command3", "Click here to stop searching names", Frame1);
    Command3->setEnabled(false);
    cmdSetup = button("Setup", "cmdSetup", nullptr, Frame1);
    cmdWebsite = named(new QPushButton(QStringLiteral("Visit ") + AppInfo::webSiteName(), Frame1),
                       QStringLiteral("cmdWebsite"));
    arrangeSearchFrame();
}

void MainWindow::arrangeSearchFrame()
{
    for (QWidget* field : QList<QWidget*>{Combo1, txtWordNum, txtWordMax, txtSearch, Combo2}) {
        field->setMinimumWidth(80);
        field->setMaximumWidth(160);
    }
    // A choice is never cut short, however small the window.
    for (QComboBox* combo : {Combo1, Combo2}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumWidth(std::max(combo->minimumWidth(), combo->sizeHint().width()));
    }

    auto* fields = new QGridLayout;
    m_searchFields = fields;
    fields->setVerticalSpacing(3);
    fields->addWidget(Label6, 0, 0);
    fields->addWidget(Combo1, 0, 1);
    fields->addWidget(lblListFile, 0, 2);
    fields->addWidget(wLabel1, 1, 0);
    fields->addWidget(sLabel1, 1, 0);
    fields->addWidget(txtWordNum, 1, 1);
    fields->addWidget(txtSearch, 1, 1);
    fields->addWidget(wLabel2, 2, 0, Qt::AlignRight);
    fields->addWidget(SLabel2, 2, 0, Qt::AlignRight);
    fields->addWidget(txtWordMax, 2, 1);
    fields->addWidget(Combo2, 2, 1);

    // Search and Start belong to groups that are never shown together, so they share a place.
    auto* buttons = new QGridLayout;
    m_searchButtons = buttons;
    buttons->setSpacing(3);
    const QList<QList<QPushButton*>> squares = {{cmdCreate, cmdDoSearch, cmdReopen}, {Command3}, {cmdSetup}};
    for (int column = 0; column < int(squares.size()); ++column) {
        for (QPushButton* square : squares.at(column)) {
            square->setMinimumSize(40, 48);
            square->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            buttons->addWidget(square, 0, column, Qt::AlignTop);
        }
    }
    for (QWidget* widget : QList<QWidget*>{lblListFile, wLabel1, wLabel2, txtWordNum, txtWordMax, cmdDoSearch,
                                           sLabel1, SLabel2, txtSearch, Combo2, cmdCreate})
        keepPlaceWhenHidden(widget);
    cmdWebsite->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_websiteBeside = false;
    placeWebsiteButton();

    auto* frameLayout = new QHBoxLayout(Frame1);
    frameLayout->setContentsMargins(6, 4, 6, 4);
    frameLayout->addLayout(fields);
    frameLayout->addSpacing(4);
    frameLayout->addLayout(buttons, 1);
    Frame1->installEventFilter(this);
}

void MainWindow::placeWebsiteButton()
{
    // Beside the other buttons and as wide as the frame allows when its caption fits there;
    // otherwise under them, so that it never disappears.
    const QMargins margins = Frame1->layout() ? Frame1->layout()->contentsMargins() : QMargins();
    const QFontMetrics metrics = cmdWebsite->fontMetrics();
    const int needed = margins.left() + margins.right() + m_searchFields->sizeHint().width() + 4 +
                       std::max({cmdCreate->sizeHint().width(), cmdDoSearch->sizeHint().width(),
                                 cmdReopen->sizeHint().width()}) +
                       Command3->sizeHint().width() + cmdSetup->sizeHint().width() +
                       3 * m_searchButtons->spacing() + metrics.horizontalAdvance(cmdWebsite->text()) +
                       2 * metrics.averageCharWidth();
    const bool beside = Frame1->contentsRect().width() >= needed;
    if (beside == m_websiteBeside && m_searchButtons->indexOf(cmdWebsite) >= 0)
        return;
    m_websiteBeside = beside;
    m_searchButtons->removeWidget(cmdWebsite);
    if (beside) {
        cmdWebsite->setMinimumHeight(48);
        m_searchButtons->addWidget(cmdWebsite, 0, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 1);
    } else {
        cmdWebsite->setMinimumHeight(0);
        m_searchButtons->addWidget(cmdWebsite, 1, 0, 1, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 0);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Frame1 && event->type() == QEvent::Resize)
        placeWebsiteButton();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::buildListFrame()
{
    Frame2 = named(new QGroupBox(QStringLiteral("Domain Name Manager"), this), QStringLiteral("Frame2"));
    // One grid for all five lists, so that their tops line up when a caption wraps.
    auto* grid = new QGridLayout(Frame2);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(3);
    int gridColumn = 0;
    for (const ListColumn& column : ListColumns) {
        if (gridColumn > 0) {
            const bool wide = column.list == ResultList::Registered || column.list == ResultList::Saved;
            grid->setColumnMinimumWidth(gridColumn++, wide ? 20 : 5);
        }
        addListColumn(grid, gridColumn, column.list, text(column.listTip),
                      column.labelTip ? text(column.labelTip) : QString());
        grid->setColumnStretch(gridColumn++, 1);
    }
    grid->setRowStretch(2, 1);
}

void MainWindow::addListColumn(QGridLayout* grid, int gridColumn, ResultList list, const QString& listTip,
                               const QString& labelTip)
{
    const int number = static_cast<int>(list);
    const QString suffix = QString::number(number);
    auto* caption =
        named(new WrappingLabel(resultLists()->caption(list), Frame2), QStringLiteral("Label") + suffix);
    caption->setToolTip(labelTip);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* view = named(new ResultListView(list, Frame2), QStringLiteral("List") + suffix);
    view->setToolTip(listTip);
    view->setMinimumWidth(40);
    m_listActions->setView(view);
    this->*ListMembers[number - 1] = view;
    this->*LabelMembers[number - 1] = caption;

    cmdCopy[number] = named(button("Copy", "", "Copy List", Frame2), QStringLiteral("cmdCopy") + suffix);
    cmdClear[number] =
        named(button("Del", "", "Delete Selected Item", Frame2), QStringLiteral("cmdClear") + suffix);
    cmdClear2[number] = named(button("Clear", "", nullptr, Frame2), QStringLiteral("cmdClear2_") + suffix);
    connect(cmdCopy[number], &QPushButton::clicked, m_listActions,
            [this, list] { m_listActions->copyList(list); });
    connect(cmdClear[number], &QPushButton::clicked, m_listActions,
            [this, list] { m_listActions->deleteSelectedEntry(list); });
    connect(cmdClear2[number], &QPushButton::clicked, m_listActions,
            [this, list] { m_listActions->clearList(list); });
    auto* buttons = new ButtonStrip(Frame2);
    for (QPushButton* listButton : {cmdCopy[number], cmdClear[number], cmdClear2[number]})
        buttons->addButton(listButton);

    grid->addWidget(caption, 0, gridColumn);
    grid->addWidget(buttons, 1, gridColumn);
    grid->addWidget(view, 2, gridColumn);
}

void MainWindow::buildStatusBar()
{
    StatusBar1 = named(new QStatusBar(this), QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    // Panels 1 and 2 take a quarter of the width each, panel 3 the half.
    const int stretch[] = {1, 1, 2};
    for (int i = 0; i < 3; ++i) {
        auto* panel =
            named(new ElidedLabel(text(IdlePanelTexts[i]), StatusBar1), QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        shareWidth(panel);
        StatusBar1->addWidget(panel, stretch[i]);
        m_statusPanels[i] = panel;
    }
    fitStatusPanels(false);
    // The whole notice is in its tooltip and in the message log.
    m_noticeLabel = named(new ElidedLabel(QString(), StatusBar1), QStringLiteral("noticeLabel"));
    shareWidth(m_noticeLabel);
    m_noticeLabel->setMinimumWidth(m_noticeLabel->widthFor(QStringLiteral("Could…")));
    m_noticeLabel->hide();
    StatusBar1->addPermanentWidget(m_noticeLabel, 2);
    // Verdicts of one server for every name look odd unless the user knows why.
    proxyLabel = named(new ElidedLabel(QString(), StatusBar1), QStringLiteral("proxyLabel"));
    proxyLabel->setMinimumWidth(proxyLabel->widthFor(QStringLiteral("All…")));
    proxyLabel->hide();
    StatusBar1->addPermanentWidget(proxyLabel, 1);
    unansweredLabel = named(new QLabel(StatusBar1), QStringLiteral("unansweredLabel"));
    unansweredLabel->hide();
    StatusBar1->addPermanentWidget(unansweredLabel);
    searchProgress = named(new QProgressBar(StatusBar1), QStringLiteral("searchProgress"));
    searchProgress->setFormat(QStringLiteral("%v of %m"));
    // Room for the longest count on one line.
    const QFontMetrics metrics = searchProgress->fontMetrics();
    searchProgress->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("999999 of 999999")) +
                                    4 * metrics.averageCharWidth());
    searchProgress->setMaximumWidth(searchProgress->minimumWidth() * 3 / 2);
    searchProgress->hide();
    StatusBar1->addPermanentWidget(searchProgress);
    m_statusRefresh = new QTimer(this);
    m_statusRefresh->setSingleShot(true);
    m_statusRefresh->setInterval(50);
    connect(m_statusRefresh, &QTimer::timeout, this, &MainWindow::refreshStatus);
}

void MainWindow::fitStatusPanels(bool searching)
{
    // Idle, every panel shows its whole caption. A search adds the progress bar, which shows the
    // count of panel 1 too, and the unanswered count: then panel 2 keeps room for its count and
    // panels 1 and 3 (connection chatter) give way first, so that a narrow window still shows
    // the bar whole.
    for (int i = 0; i < int(m_statusPanels.size()); ++i) {
        ElidedLabel* panel = m_statusPanels[i];
        QString room = text(IdlePanelTexts[i]);
        if (searching)
            room = i == 1 ? QStringLiteral("Open: 25") : QStringLiteral("9…");
        panel->setMinimumWidth(panel->widthFor(room));
    }
}

void MainWindow::buildMenus()
{
    auto addMenu = [this](const char* title, const char* name) {
        return named(menuBar()->addMenu(text(title)), text(name));
    };
    auto addItem = [](QMenu* menu, const QString& caption, const char* arrayName, int index) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QStringLiteral("%1_%2").arg(text(arrayName)).arg(index));
        return action;
    };

    menuFile = addMenu("&File", "menuFile");
    mnuFileItem[0] = addItem(menuFile, QStringLiteral("E&xit"), "mnuFileItem", 0);
    connect(mnuFileItem[0], &QAction::triggered, this, &QWidget::close);

    mnuEdit = addMenu("&Edit", "mnuEdit");
    const auto& editItems = ResultListActions::editMenuItems();
    for (int i = 0; i < int(editItems.size()); ++i) {
        // Groups: clearing several lists, clearing one, copying one.
        const ResultListActions::EditMenuItem& item = editItems.at(i);
        if (i > 0 && (item.operation != editItems.at(i - 1).operation ||
                      item.lists.size() != editItems.at(i - 1).lists.size()))
            mnuEdit->addSeparator();
        mnuEditItem[i] = addItem(mnuEdit, item.caption, "mnuEditItem", i);
        connect(mnuEditItem[i], &QAction::triggered, m_listActions,
                [this, i] { m_listActions->editMenuItem(i); });
    }

    menuView = addMenu("&View", "menuView");
    mnuViewMessages = menuView->addAction(QStringLiteral("&Messages"));
    mnuViewMessages->setObjectName(QStringLiteral("mnuViewMessages"));
    connect(mnuViewMessages, &QAction::triggered, this, &MainWindow::showMessageLog);

    mnuTools = addMenu("&Tools", "mnuTools");
    for (int i = 0; i < int(allSearchTypes().size()); ++i) {
        mnuToolsItem[i] = addItem(mnuTools, searchTypeCaption(allSearchTypes().at(i)), "mnuToolsItem", i);
        connect(mnuToolsItem[i], &QAction::triggered, this, [this, i] { chooseSearchType(i); });
    }

    mnuOptions = addMenu("&Options", "mnuOptions");
    mnuOptionsItem[0] = addItem(mnuOptions, QStringLiteral("&Setup"), "mnuOptionsItem", 0);
    connect(mnuOptionsItem[0], &QAction::triggered, this, &MainWindow::openSettings);
    connect(cmdSetup, &QPushButton::clicked, this, &MainWindow::openSettings);

    mnuHelp = addMenu("&Help", "mnuHelp");
    mnuHelpItem[0] = addItem(mnuHelp, QStringLiteral("&View Help"), "mnuHelpItem", 0);
    connect(mnuHelpItem[0], &QAction::triggered, this, &MainWindow::openHelp);

    mnuAbout = addMenu("&About", "mnuAbout");
    mnuAboutItem[0] = addItem(mnuAbout, QStringLiteral("&About this software"), "mnuAboutItem", 0);
    connect(mnuAboutItem[0], &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::bindCore()
{
    SearchDriver* driver = searchDriver();
    connect(resultLists(), &ResultLists::captionChanged, this,
            [this](ResultList list, const QString& caption) { listLabel(list)->setText(caption); });
    connect(listFiles(), &ListFiles::overflowed, this, &MainWindow::showOverflowNotice);
    connect(listFiles(), &ListFiles::writeFailed, this, &MainWindow::showFailure);
    connect(m_listActions, &ResultListActions::notice, this, &MainWindow::showNotice);
    connect(m_listActions, &ResultListActions::failed, this, &MainWindow::showFailure);

    connect(m_extensionSettings, &ExtensionSettings::useProxyChanged, this, &MainWindow::setUseProxy);
    connect(m_extensionSettings, &ExtensionSettings::preferRdapChanged, driver, &SearchDriver::setPreferRdap);
    connect(m_extensionSettings, &ExtensionSettings::confirmFreeChanged, driver,
            &SearchDriver::setConfirmFree);
    connect(m_extensionSettings, &ExtensionSettings::dnsChanged, this,
            [driver](bool checkFirst, const QString& server) { driver->setDnsPrecheck(checkFirst, server); });
    connect(m_extensionSettings, &ExtensionSettings::defaultExtensionChanged, driver,
            &SearchDriver::setDefaultExtension);
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, this, &MainWindow::showProxyUse);
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, driver, &SearchDriver::reloadServers);
    connect(m_extensionSettings, &ExtensionSettings::serverLimitsChanged, driver,
            &SearchDriver::setServerLimits);
    connect(m_extensionSettings, &ExtensionSettings::problemsFound, this,
            [this](const QList<RegistrarsProblem>& problems) {
                for (const RegistrarsProblem& problem : problems)
                    showNotice(
                        skippedLine(QStringLiteral("registrars.txt"), problem.lineNumber, problem.message));
            });
    connect(driver, &SearchDriver::statusText, this, &MainWindow::setStatusText);
    connect(driver, &SearchDriver::progressChanged, this, &MainWindow::showProgress);
    connect(driver, &SearchDriver::unansweredCountChanged, this, &MainWindow::showUnanswered);
    connect(driver, &SearchDriver::problem, this, &MainWindow::showNotice);
    connect(driver, &SearchDriver::searchStopped, this, &MainWindow::showFailure);
    connect(driver, &SearchDriver::finished, this, &MainWindow::onSearchFinished);

    connect(Combo1, &QComboBox::activated, this, &MainWindow::chooseSearchType);
    connect(txtWordNum, &QLineEdit::textChanged, this, &MainWindow::checkStartNumber);
    connect(txtSearch, &QLineEdit::textChanged, this,
            [this](const QString& search) { cmdCreate->setEnabled(!search.isEmpty()); });
    connect(cmdDoSearch, &QPushButton::clicked, this, &MainWindow::startSearch);
    connect(cmdReopen, &QPushButton::clicked, this, [this] {
        if (currentSearchType() == SearchType::BrowseForNames)
            openBrowser();
        else
            openGenerator();
    });
    connect(Command3, &QPushButton::clicked, this, &MainWindow::stopSearch);
    connect(cmdCreate, &QPushButton::clicked, this, &MainWindow::openHarvester);
    connect(m_listActions, &ResultListActions::whoisRequested, this, &MainWindow::openWhois);
    connect(cmdWebsite, &QPushButton::clicked, this, [this] {
        const QUrl site(settings()->value(SettingKeys::WebSiteAddress()));
        if (!m_openUrl || !m_openUrl(site))
            showFailure(QStringLiteral("Could not open %1").arg(site.toString()));
    });
}

void MainWindow::applyStartup()
{
    QString dnsError;
    const StartupResult& startup = m_session->start(m_openUrl, &dnsError);
    m_listActions->loadSavedDomains(startup.savedDomains, startup.savedDomainsReadable);
    if (!dnsError.isEmpty())
        showNotice(dnsError + QStringLiteral(" The DNS pre-check is off; set a server in Setup."));
    m_extensionSettings->setServerLimitsPath(dataFolder().path(QStringLiteral("server-limits.txt")));
    showProxyUse();

    const bool purchase = settings()->value(SettingKeys::PurchaseOnDoubleClick()) == QLatin1String("1");
    m_listActions->setPurchase(purchase, settings()->value(SettingKeys::PurchaseAddress()));
    if (purchase)
        Frame2->setTitle(QStringLiteral("Domain Name Manager - Double Click any domain to purchase"));
}

void MainWindow::reportStartupProblems()
{
    // Start-up carries on whatever failed. The log names every line skipped; the status bar sums
    // them up.
    const StartupResult& startup = startupResult();
    for (const QString& problem : std::as_const(startup.problems))
        showNotice(problem);
    for (const RegistrarsProblem& problem : std::as_const(startup.registrarProblems))
        m_log->append(skippedLine(QStringLiteral("registrars.txt"), problem.lineNumber, problem.message));
    for (const ServerLimitsTable::Problem& problem : std::as_const(startup.serverLimitProblems))
        showNotice(skippedLine(problem.origin, problem.lineNumber, problem.message));
    for (const AnswerRules::Problem& problem : std::as_const(startup.answerRuleProblems))
        showNotice(skippedLine(problem.origin, problem.lineNumber, problem.message));
    if (!startup.registrarProblems.isEmpty()) {
        const RegistrarsProblem& first = startup.registrarProblems.first();
        showNotice(QStringLiteral("registrars.txt: %1 line(s) skipped, the first is line %2: %3")
                       .arg(startup.registrarProblems.size())
                       .arg(first.lineNumber)
                       .arg(first.message));
    }
}

std::optional<SearchType> MainWindow::currentSearchType() const
{
    return searchTypeFromCaption(Combo1->currentText());
}

OverflowNotice* MainWindow::overflowNotice() const
{
    return m_overflowNotice;
}

QString MainWindow::noticeText() const
{
    return m_noticeLabel->text();
}

MessageLogWindow* MainWindow::messageLogWindow() const
{
    return m_messageLogWindow;
}

ResultListView* MainWindow::listView(ResultList list) const
{
    return this->*ListMembers[int(list) - 1];
}

QLabel* MainWindow::listLabel(ResultList list) const
{
    return this->*LabelMembers[int(list) - 1];
}

QLabel* MainWindow::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_statusPanels[panel - 1] : nullptr;
}

void MainWindow::chooseSearchType(int index)
{
    if (index < 0 || index >= allSearchTypes().size())
        return;
    clearNotice();
    Combo1->setCurrentIndex(index);
    applySearchType(allSearchTypes().at(index));
    // The list file's name takes room beside Combo1.
    placeWebsiteButton();
}

void MainWindow::applySearchType(SearchType type)
{
    lblListFile->setVisible(type == SearchType::CustomList);
    // Their windows can be closed; this keeps a way back to them, and so to a search.
    const bool browse = type == SearchType::BrowseForNames;
    cmdReopen->setVisible(browse || type == SearchType::GenerateNames);
    cmdReopen->setText(browse ? QStringLiteral("Browse") : QStringLiteral("Generate"));
    // The square's minimum fits "Start"; this caption must show whole too.
    cmdReopen->setMinimumWidth(cmdReopen->fontMetrics().horizontalAdvance(cmdReopen->text()) +
                               2 * cmdReopen->fontMetrics().averageCharWidth());
    cmdReopen->setToolTip(browse
                              ? QStringLiteral("Open Browse for Domains again")
                              : QStringLiteral("Open the name generator again to create and search names"));
    switch (type) {
    case SearchType::FullWordList:
    case SearchType::AllTwoLetter:
    case SearchType::AllThreeLetter:
    case SearchType::AllFourLetter:
        chooseWordList(type);
        break;
    case SearchType::CustomList:
        chooseCustomList();
        break;
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
        chooseSearchEngine();
        break;
    case SearchType::BrowseForNames:
        setWordListControlsVisible(false);
        setSearchControlsVisible(false);
        openBrowser();
        break;
    case SearchType::GenerateNames:
        chooseGenerateNames();
        break;
    }
}

void MainWindow::chooseWordList(SearchType type)
{
    setSearchControlsVisible(false);
    setWordListControlsVisible(true);
    m_currentListFile = dataFolder().path(searchTypeListFile(type));
    // The count comes first, so that the start-number check compares against the new count.
    txtWordMax->setText(QString::number(countListEntries(m_currentListFile)));
    cmdDoSearch->setEnabled(true);
    Command3->setEnabled(false);
    setSearchControlsEnabled(false);
    txtWordNum->setEnabled(true);
    // The saved position only holds for the list it was saved with.
    const ResumePoint point =
        savedResumePoint(*settings(), type, m_currentListFile, txtWordMax->text().toLongLong());
    setStartNumber(QString::number(point.start));
    if (!point.note.isEmpty())
        showNotice(point.note);
}

void MainWindow::chooseCustomList()
{
    setSearchControlsVisible(false);
    setWordListControlsVisible(true);
    const QString picked =
        FileDialog::getOpenFileName(this, QStringLiteral("Open a list file"),
                                    dataFolder().path(QStringLiteral("wordlists")), QStringLiteral("*.txt"));
    // A cancelled dialog gives back the file it returned last time.
    if (!picked.isEmpty())
        m_customListFile = picked;
    m_currentListFile = m_customListFile;
    lblListFile->setText(m_customListFile.isEmpty() ? QString() : QFileInfo(m_customListFile).fileName());
    lblListFile->setToolTip(QDir::toNativeSeparators(m_customListFile));
    txtWordMax->setText(QString::number(countListEntries(m_currentListFile)));
    cmdDoSearch->setEnabled(true);
    Command3->setEnabled(false);
    setSearchControlsEnabled(false);
    txtWordNum->setEnabled(true);
    // The same file, unchanged, goes on where its last search stopped; any other starts at 1.
    const ResumePoint point = m_customListFile.isEmpty()
                                  ? ResumePoint{}
                                  : savedResumePoint(*settings(), SearchType::CustomList, m_customListFile,
                                                     txtWordMax->text().toLongLong());
    setStartNumber(QString::number(point.start));
    if (!point.note.isEmpty())
        showNotice(point.note);
}

void MainWindow::chooseSearchEngine()
{
    setWordListControlsVisible(false);
    setSearchControlsVisible(true);
    m_currentListFile = dataFolder().path(QStringLiteral("BrowserSearch.txt"));
    cmdDoSearch->setEnabled(true);
    Command3->setEnabled(false);
    txtSearch->setEnabled(true);
    Combo2->setEnabled(true);
    cmdCreate->setEnabled(!txtSearch->text().isEmpty());
    txtWordNum->setEnabled(true);
    setStartNumber(QStringLiteral("1"));
}

void MainWindow::chooseGenerateNames()
{
    setWordListControlsVisible(false);
    setSearchControlsVisible(false);
    m_currentListFile = dataFolder().path(QStringLiteral("CreatedDomains.txt"));
    cmdDoSearch->setEnabled(true);
    Command3->setEnabled(false);
    txtWordNum->setEnabled(true);
    setStartNumber(QStringLiteral("1"));
    openGenerator();
}

void MainWindow::openGenerator()
{
    if (!m_generatorWindow) {
        m_generatorWindow = new GeneratorWindow(dataFolder(), settings(), this);
        connect(m_generatorWindow, &GeneratorWindow::namesCreated, this, &MainWindow::searchCreatedNames);
    }
    showInFront(m_generatorWindow);
}

GeneratorWindow* MainWindow::generatorWindow() const
{
    return m_generatorWindow;
}

void MainWindow::openHarvester()
{
    const std::optional<SearchType> type = currentSearchType();
    const std::optional<SearchEngine> engine = type ? HarvestRun::engineFor(*type) : std::nullopt;
    if (!engine || txtSearch->text().isEmpty() || m_searching)
        return;
    // Each opening is a fresh run; one at a time.
    if (m_harvesterWindow)
        m_harvesterWindow->close();
    const SettingKey address = *engine == SearchEngine::Yahoo ? SettingKeys::YahooSearchAddress()
                                                              : SettingKeys::GoogleSearchAddress();
    auto run = std::make_unique<HarvestRun>(*engine, txtSearch->text(),
                                            HarvestRun::targetCountFor(Combo2->currentIndex()),
                                            settings()->value(address), extensionTable().enabledExtensions());
    m_harvesterWindow = new HarvesterWindow(std::move(run), dataFolder().root(), this);
    connect(m_harvesterWindow, &HarvesterWindow::listCreated, this, &MainWindow::searchHarvestedNames);
    m_harvesterWindow->show();
    m_harvesterWindow->start();
}

void MainWindow::openBrowser()
{
    if (!m_browserWindow) {
        m_browserWindow = new BrowserWindow(
            m_session, m_listActions, [this](const QString& text) { showNotice(text); }, this);
        m_browserWindow->showMaximized();
    }
    m_browserWindow->raise();
    m_browserWindow->activateWindow();
}

BrowserWindow* MainWindow::browserWindow() const
{
    return m_browserWindow;
}

HarvesterWindow* MainWindow::harvesterWindow() const
{
    return m_harvesterWindow;
}

void MainWindow::searchHarvestedNames(qint64 entries)
{
    if (m_searching)
        return;
    m_currentListFile = dataFolder().path(QStringLiteral("BrowserSearch.txt"));
    txtWordMax->setText(QString::number(entries));
    setStartNumber(QStringLiteral("1"));
    startSearch();
}

void MainWindow::searchCreatedNames(qint64 count)
{
    if (m_searching) {
        showNotice(QStringLiteral("A search is running; the created names wait in CreatedDomains.txt."));
        return;
    }
    chooseSearchType(int(allSearchTypes().indexOf(SearchType::GenerateNames)));
    txtWordMax->setText(QString::number(count));
    setStartNumber(QStringLiteral("1"));
    startSearch();
}

void MainWindow::setWordListControlsVisible(bool visible)
{
    for (QWidget* widget : QList<QWidget*>{txtWordNum, txtWordMax, wLabel1, wLabel2, cmdDoSearch})
        widget->setVisible(visible);
}

void MainWindow::setSearchControlsVisible(bool visible)
{
    for (QWidget* widget : QList<QWidget*>{sLabel1, SLabel2, txtSearch, Combo2, cmdCreate})
        widget->setVisible(visible);
}

void MainWindow::setSearchControlsEnabled(bool enabled)
{
    txtSearch->setEnabled(enabled);
    Combo2->setEnabled(enabled);
    cmdCreate->setEnabled(enabled);
}

void MainWindow::setStartNumber(const QString& number)
{
    // One past the end is where a finished list was saved: it starts over.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const qlonglong start = number.trimmed().toLongLong(&startIsNumber);
    const qlonglong count = txtWordMax->text().trimmed().toLongLong(&countIsNumber);
    m_validStartNumber = startIsNumber && countIsNumber && start > count ? QStringLiteral("1") : number;
    m_settingStartNumber = true;
    txtWordNum->setText(m_validStartNumber);
    m_settingStartNumber = false;
}

void MainWindow::checkStartNumber()
{
    if (m_settingStartNumber)
        return;
    // The last entry is a start like any other: it is looked up even without a line end after it.
    // Text that is not a number is left for Start to report.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const QString typed = txtWordNum->text();
    const qlonglong start = typed.trimmed().toLongLong(&startIsNumber);
    const qlonglong count = txtWordMax->text().trimmed().toLongLong(&countIsNumber);
    if (!startIsNumber || !countIsNumber || start <= count) {
        m_validStartNumber = typed;
        return;
    }
    // A typo must not lose the place: the number is refused and the last good one stays.
    const QSignalBlocker quiet(txtWordNum);
    txtWordNum->setText(m_validStartNumber);
    showNotice(QStringLiteral("Start Number %1 is past the end of the list (%2 entries); it stays at %3.")
                   .arg(typed.trimmed())
                   .arg(count)
                   .arg(m_validStartNumber));
}

void MainWindow::startSearch()
{
    const std::optional<SearchType> type = currentSearchType();
    if (!type || m_searching)
        return;
    clearNotice();
    // Search-engine lists always start from their first entry.
    if (isSearchEngine(*type))
        setStartNumber(QStringLiteral("1"));
    SearchRequest request;
    request.listFile = m_currentListFile;
    request.type = *type;
    request.startNumber = txtWordNum->text();
    request.entryTotal = txtWordMax->text();
    // Busy until the driver reports the first entry, which it may do inside start().
    searchProgress->setRange(0, 0);
    QString error;
    if (!searchDriver()->start(request, &error)) {
        MessageBox::information(this, AppInfo::productTitle(), error);
        return;
    }
    // Lets a later run of the command-line program resume this custom list, and no other.
    if (*type == SearchType::CustomList)
        settings()->setValue(SettingKeys::CustListFile(), m_currentListFile);
    setSearching(true);
    // A list without entries is done before start() returns.
    if (!searchDriver()->isRunning())
        onSearchFinished(false);
}

void MainWindow::stopSearch()
{
    clearNotice();
    searchDriver()->stop();
    onSearchFinished(true);
}

void MainWindow::setSearching(bool searching)
{
    m_searching = searching;
    for (QWidget* widget : QList<QWidget*>{cmdDoSearch, Combo1, txtWordNum, Combo2, cmdCreate, txtSearch})
        widget->setEnabled(!searching);
    Command3->setEnabled(searching);
    // Choosing another source mid-search would pull the list from under the driver.
    mnuTools->setEnabled(!searching);
    fitStatusPanels(searching);
    if (searching) {
        searchProgress->show();
    } else {
        searchProgress->hide();
    }
}

void MainWindow::onSearchFinished(bool stopped)
{
    if (!m_searching || searchDriver()->isRunning())
        return;
    setSearching(false);
    Combo1->setEnabled(true);
    const std::optional<SearchType> type = currentSearchType();
    if (type == SearchType::CustomList || type == SearchType::GenerateNames ||
        type == SearchType::BrowseForNames) {
        cmdDoSearch->setEnabled(true);
        Command3->setEnabled(false);
        setSearchControlsEnabled(false);
        txtWordNum->setEnabled(true);
        setStartNumber(settings()->value(SettingKeys::CustWordNum()));
    } else if (type) {
        applySearchType(*type);
    }
    for (int panel = 1; panel <= 3; ++panel)
        setStatusText(panel, text(IdlePanelTexts[panel - 1]));
    // The panels go back to their captions; the count of what DNS spared the registries stays readable.
    if (searchDriver()->dnsPrecheck() && searchDriver()->dnsSettledCount() > 0)
        showNotice(QStringLiteral("DNS settled %1 taken names without a registry query.")
                       .arg(searchDriver()->dnsSettledCount()));
    // Last, so that the status bar keeps it: the panels are back to their captions by now.
    QString summary = searchEndText(searchDriver()->progress(), stopped);
    if (const QString dropping = droppingNotice(searchDriver()->progress()); !dropping.isEmpty())
        summary += QStringLiteral(". ") + dropping;
    showNotice(summary);
    if (m_generatorWindow && type == SearchType::GenerateNames)
        m_generatorWindow->showSearchEnded(summary);
}

void MainWindow::showOverflowNotice()
{
    // One window, shown again on every overflow while it is open.
    if (!m_overflowNotice)
        m_overflowNotice = new OverflowNotice(this);
    m_overflowNotice->show();
    m_overflowNotice->raise();
}

void MainWindow::showNotice(const QString& notice)
{
    if (notice.isEmpty())
        return;
    m_log->append(notice);
    m_noticeLabel->setText(notice);
    m_noticeLabel->setToolTip(notice);
    m_noticeLabel->show();
}

void MainWindow::clearNotice()
{
    m_noticeLabel->clear();
    m_noticeLabel->setToolTip(QString());
    m_noticeLabel->hide();
}

void MainWindow::showFailure(const QString& failure)
{
    showNotice(failure);
    m_pendingFailures.append(failure);
    // A failure can be reported in the middle of filing a name; a modal box there would run the
    // search's events inside that filing. The box waits for the event loop instead.
    if (m_pendingFailures.size() == 1 && !m_showingFailure)
        QMetaObject::invokeMethod(this, &MainWindow::showPendingFailures, Qt::QueuedConnection);
}

void MainWindow::showPendingFailures()
{
    if (m_showingFailure)
        return;
    m_showingFailure = true;
    // Failures that come while a box is open are shown together in the next one.
    while (!m_pendingFailures.isEmpty()) {
        const QStringList failures = std::exchange(m_pendingFailures, {});
        MessageBox::warning(this, AppInfo::productTitle(), failures.join(QStringLiteral("\n\n")));
    }
    m_showingFailure = false;
}

void MainWindow::showMessageLog()
{
    if (!m_messageLogWindow)
        m_messageLogWindow = new MessageLogWindow(m_log, this);
    showInFront(m_messageLogWindow);
}

void MainWindow::setStatusText(int panel, const QString& status)
{
    if (panel < 1 || panel > int(m_pendingStatus.size()))
        return;
    m_pendingStatus[panel - 1] = status;
    if (!m_searching) {
        refreshStatus();
        return;
    }
    if (!m_statusRefresh->isActive())
        m_statusRefresh->start();
}

void MainWindow::showProgress()
{
    m_progressDue = true;
    if (!m_statusRefresh->isActive())
        m_statusRefresh->start();
}

void MainWindow::refreshStatus()
{
    m_statusRefresh->stop();
    for (int panel = 1; panel <= int(m_pendingStatus.size()); ++panel) {
        QString& text = m_pendingStatus[panel - 1];
        if (QLabel* label = statusPanel(panel); label && !text.isNull())
            label->setText(text);
        text = QString();
    }
    // Once a search has ended, the panels keep their captions.
    if (!std::exchange(m_progressDue, false) || !m_searching)
        return;
    const SearchProgress progress = searchDriver()->progress();
    statusPanel(1)->setText(entryPanelText(progress));
    statusPanel(2)->setText(openPanelText(progress));
    const qint64 total = progress.total;
    if (total <= 0 || total > std::numeric_limits<int>::max()) {
        searchProgress->setRange(0, 0);
        return;
    }
    searchProgress->setRange(0, int(total));
    searchProgress->setValue(int(std::clamp<qint64>(progress.settled, 0, total)));
}

void MainWindow::showUnanswered(qint64 count)
{
    unansweredLabel->setText(QStringLiteral("Unanswered: %1").arg(count));
    unansweredLabel->setToolTip(QStringLiteral("Names whose WHOIS server gave no answer, kept in %1")
                                    .arg(searchDriver()->unansweredFilePath()));
    unansweredLabel->setVisible(count > 0);
}

void MainWindow::openHelp()
{
    const QString help = Startup(dataFolder(), settings()).helpFilePath();
    if (!QFileInfo::exists(help)) {
        showNotice(QStringLiteral("The help file %1 is missing.").arg(help));
        return;
    }
    if (!m_openUrl || !m_openUrl(QUrl::fromLocalFile(help)))
        showFailure(QStringLiteral("Could not open %1").arg(help));
    else if (WebsiteWindow::instance())
        placeManualBeside();
}

void MainWindow::placeManualBeside()
{
    // The manual is read while the program is used: side by side, the main window the wider.
    QWidget* manual = WebsiteWindow::instance();
    const QRect area = screen()->availableGeometry();
    const int ownWidth = std::max(minimumWidth(), area.width() * 3 / 5);
    const auto place = [](QWidget* window, const QRect& frame) {
        window->setWindowState(window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        window->show();
        // The frame's title bar and borders are the window manager's; the rest is the window's.
        const QMargins decoration(window->geometry().left() - window->frameGeometry().left(),
                                  window->geometry().top() - window->frameGeometry().top(),
                                  window->frameGeometry().right() - window->geometry().right(),
                                  window->frameGeometry().bottom() - window->geometry().bottom());
        window->setGeometry(frame - decoration);
    };
    place(this, QRect(area.left(), area.top(), ownWidth, area.height()));
    place(manual, QRect(area.left() + ownWidth, area.top(), area.width() - ownWidth, area.height()));
    manual->raise();
}

void MainWindow::showAbout()
{
    if (!m_aboutWindow) {
        m_aboutWindow =
            new AboutWindow(QUrl(settings()->value(SettingKeys::WebSiteAddress())), m_openUrl, this);
        connect(m_aboutWindow, &AboutWindow::failed, this, &MainWindow::showFailure);
    }
    showInFront(m_aboutWindow);
}

void MainWindow::openWhois(const QString& domain)
{
    if (m_whoisWindow)
        m_whoisWindow->close();
    m_whoisWindow = new WhoisWindow(domain, this);
    m_whoisWindow->show();
    m_whoisWindow->ask(searchDriver()->router());
}

WhoisWindow* MainWindow::whoisWindow() const
{
    return m_whoisWindow;
}

AboutWindow* MainWindow::aboutWindow() const
{
    return m_aboutWindow;
}

bool MainWindow::useProxy() const
{
    return searchDriver()->useProxy();
}

void MainWindow::openSettings()
{
    if (!m_settingsWindow)
        m_settingsWindow = new SettingsWindow(m_extensionSettings, this);
    showInFront(m_settingsWindow);
}

SettingsWindow* MainWindow::settingsWindow() const
{
    return m_settingsWindow;
}

void MainWindow::setUseProxy(bool useProxy)
{
    searchDriver()->setUseProxy(useProxy);
    showProxyUse();
}

void MainWindow::showProxyUse()
{
    const ExtensionTable& table = extensionTable();
    const int row = table.findExtensionIndex(QStringLiteral("x"), true);
    const bool proxied =
        useProxy() && row != ExtensionTable::NoRow && table.row(row).extension == QLatin1String("proxy");
    if (!proxied) {
        proxyLabel->hide();
        return;
    }
    const ExtensionRow& proxy = table.row(row);
    const QString text = QStringLiteral("All lookups go to %1:%2").arg(proxy.server).arg(proxy.port);
    proxyLabel->setText(text);
    proxyLabel->setToolTip(text + QStringLiteral(" (the \"proxy\" row; Options > Setup turns this off)"));
    proxyLabel->show();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The domain browser may hold names not yet checked; it asks what becomes of them first.
    if (m_browserWindow && !m_browserWindow->close()) {
        event->ignore();
        return;
    }
    // Nothing to save here: settings and Saved Domains are written as they change.
    if (searchDriver()->isRunning())
        searchDriver()->stop();
    m_searching = false;
    if (m_overflowNotice)
        m_overflowNotice->close();
    if (m_messageLogWindow)
        m_messageLogWindow->close();
    // frmWebsite has no parent and stays; the program ends when it closes too.
    for (QWidget* window : {static_cast<QWidget*>(m_whoisWindow), static_cast<QWidget*>(m_aboutWindow)}) {
        if (window)
            window->close();
    }
    event->accept();
}

} // namespace brisquel
