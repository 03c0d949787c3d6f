#include "main_window.h"

#include "about_window.h"
#include "browser_window.h"
#include "button_strip.h"
#include "elided_label.h"
#include "engine/list_files.h"
#include "engine/result_lists.h"
#include "engine/resume_point.h"
#include "engine/search_driver.h"
#include "engine/verdict_filer.h"
#include "engine/watch_run.h"
#include "engine/whois_query.h"
#include "file_dialog.h"
#include "generator_window.h"
#include "harvester_window.h"
#include "history/history_store.h"
#include "history_window.h"
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
#include "watch_schedule.h"
#include "website_window.h"
#include "whois_config/extension_settings.h"
#include "whois_window.h"
#include "widget_helpers.h"
#include "window_placement.h"
#include "wrapping_label.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QItemSelectionModel>
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

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// Which controls a search type shows. The list controls and the search controls share a place.
struct SourceControls
{
    bool listControls = false;   // start number, entry count and Start
    bool searchControls = false; // search string, count to get and Search
    bool listFileName = false;
    bool reopenButton = false; // in Start's place
};

SourceControls sourceControls(SearchType type)
{
    switch (type) {
    case SearchType::FullWordList:
    case SearchType::AllTwoLetter:
    case SearchType::AllThreeLetter:
    case SearchType::AllFourLetter:
        return {.listControls = true};
    case SearchType::CustomList:
        return {.listControls = true, .listFileName = true};
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
        return {.searchControls = true};
    case SearchType::BrowseForNames:
    case SearchType::GenerateNames:
        return {.reopenButton = true};
    }
    return {};
}

// Which controls may be used while no search runs, and while one does.
struct PhaseControls
{
    bool chooseSource; // the search-type box and the Tools menu
    bool start;        // Start and the start number
    bool stop;
    bool searchControls; // where the search type shows them; Search wants a search string too
};

constexpr PhaseControls Idle{.chooseSource = true, .start = true, .stop = false, .searchControls = true};
constexpr PhaseControls Searching{
    .chooseSource = false, .start = false, .stop = true, .searchControls = false};

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
    layout->addWidget(m_searchFrame);
    layout->addWidget(m_listFrame, 1);
    buildStatusBar();
    buildMenus();
    setMinimumSize(433, 433);
    resize(900, 620);

    bindCore();
    applyStartup();
    restoreSearchType();
    // After the first choice of source, which clears the status bar as any choice does.
    reportStartupProblems();
    openHistory();
}

MainWindow::~MainWindow()
{
    // A driver that is still running reports its stop; this window is past listening.
    searchDriver()->disconnect(this);
    // Its round records into the history and reads the session's settings: it goes first.
    m_watchSchedule.reset();
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
    m_searchFrame = named(new QGroupBox(this), "Frame1");
    const QString typeTip = QStringLiteral("Select the type of search you would like to run");
    m_searchTypeLabel = namedLabel(QStringLiteral("Search Type:"), "Label6", m_searchFrame);
    m_searchTypeLabel->setToolTip(typeTip);
    m_searchTypeBox = named(new QComboBox(m_searchFrame), "Combo1");
    m_searchTypeBox->setToolTip(typeTip);
    for (SearchType type : allSearchTypes())
        m_searchTypeBox->addItem(searchTypeCaption(type));
    m_listFileLabel = named(new ElidedLabel(QString(), m_searchFrame), "lblListFile");
    // One width whatever the name, so that the buttons beside never move with its length; a narrow
    // window still shrinks it.
    m_listFileLabel->setHintWidth(m_listFileLabel->fontMetrics().averageCharWidth() * 20);
    m_listFileLabel->setMaximumWidth(m_listFileLabel->sizeHint().width());

    m_startNumberLabel = namedLabel(QStringLiteral("Start Number:"), "wLabel1", m_searchFrame);
    m_entryCountLabel = namedLabel(QStringLiteral("Of "), "wLabel2", m_searchFrame);
    m_startNumberEdit = named(new QLineEdit(QStringLiteral("1"), m_searchFrame), "txtWordNum");
    m_entryCountEdit = named(new QLineEdit(QStringLiteral("1"), m_searchFrame), "txtWordMax");
    m_entryCountEdit->setToolTip(QStringLiteral("The number of entries on your list."));
    m_entryCountEdit->setReadOnly(true);
    QPalette grey = m_entryCountEdit->palette();
    grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    m_entryCountEdit->setPalette(grey);

    m_searchStringLabel = namedLabel(QStringLiteral("Search String:"), "sLabel1", m_searchFrame);
    m_searchStringLabel->setToolTip(QStringLiteral("Enter a search string"));
    m_targetCountLabel = namedLabel(QStringLiteral("Get"), "SLabel2", m_searchFrame);
    m_searchStringEdit = named(new QLineEdit(m_searchFrame), "txtSearch");
    m_searchStringEdit->setToolTip(QStringLiteral("Enter a search string"));
    m_targetCountBox = named(new QComboBox(m_searchFrame), "Combo2");
    m_targetCountBox->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    m_targetCountBox->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                                QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});

    m_harvestButton = namedButton(QStringLiteral("Search"), "cmdCreate",
                                  "Click here to start your internet search!", m_searchFrame);
    m_startButton = namedButton(QStringLiteral("Start"), "cmdDoSearch",
                                "Click here to start searching your list.", m_searchFrame);
    m_reopenButton = namedButton(QStringLiteral("Open"), "cmdReopen", nullptr, m_searchFrame);
    m_stopButton =
        namedButton(QStringLiteral("Stop"), "Command3", "Click here to stop searching names", m_searchFrame);
    m_setupButton = namedButton(QStringLiteral("Setup"), "cmdSetup", nullptr, m_searchFrame);
    m_websiteButton = named(new QPushButton(QStringLiteral("Visit ") + AppInfo::webSiteName(), m_searchFrame),
                            QStringLiteral("cmdWebsite"));
    arrangeSearchFrame();
}

void MainWindow::arrangeSearchFrame()
{
    for (QWidget* field : QList<QWidget*>{m_searchTypeBox, m_startNumberEdit, m_entryCountEdit,
                                          m_searchStringEdit, m_targetCountBox}) {
        field->setMinimumWidth(80);
        field->setMaximumWidth(160);
    }
    // A choice is never cut short, however small the window.
    for (QComboBox* combo : {m_searchTypeBox, m_targetCountBox}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumWidth(std::max(combo->minimumWidth(), combo->sizeHint().width()));
    }

    auto* fields = new QGridLayout;
    m_searchFields = fields;
    fields->setVerticalSpacing(3);
    fields->addWidget(m_searchTypeLabel, 0, 0);
    fields->addWidget(m_searchTypeBox, 0, 1);
    fields->addWidget(m_listFileLabel, 0, 2);
    fields->addWidget(m_startNumberLabel, 1, 0);
    fields->addWidget(m_searchStringLabel, 1, 0);
    fields->addWidget(m_startNumberEdit, 1, 1);
    fields->addWidget(m_searchStringEdit, 1, 1);
    fields->addWidget(m_entryCountLabel, 2, 0, Qt::AlignRight);
    fields->addWidget(m_targetCountLabel, 2, 0, Qt::AlignRight);
    fields->addWidget(m_entryCountEdit, 2, 1);
    fields->addWidget(m_targetCountBox, 2, 1);

    // Search and Start belong to groups that are never shown together, so they share a place.
    auto* buttons = new QGridLayout;
    m_searchButtons = buttons;
    buttons->setSpacing(3);
    const QList<QList<QPushButton*>> squares = {
        {m_harvestButton, m_startButton, m_reopenButton}, {m_stopButton}, {m_setupButton}};
    for (int column = 0; column < int(squares.size()); ++column) {
        for (QPushButton* square : squares.at(column)) {
            square->setMinimumSize(40, 48);
            square->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            buttons->addWidget(square, 0, column, Qt::AlignTop);
        }
    }
    for (QWidget* widget :
         QList<QWidget*>{m_listFileLabel, m_startNumberLabel, m_entryCountLabel, m_startNumberEdit,
                         m_entryCountEdit, m_startButton, m_searchStringLabel, m_targetCountLabel,
                         m_searchStringEdit, m_targetCountBox, m_harvestButton})
        keepPlaceWhenHidden(widget);
    m_websiteButton->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_websiteBeside = false;
    placeWebsiteButton();

    auto* frameLayout = new QHBoxLayout(m_searchFrame);
    frameLayout->setContentsMargins(6, 4, 6, 4);
    frameLayout->addLayout(fields);
    frameLayout->addSpacing(4);
    frameLayout->addLayout(buttons, 1);
    m_searchFrame->installEventFilter(this);
}

void MainWindow::placeWebsiteButton()
{
    // Beside the other buttons and as wide as the frame allows when its caption fits there;
    // otherwise under them, so that it never disappears.
    const QMargins margins =
        m_searchFrame->layout() ? m_searchFrame->layout()->contentsMargins() : QMargins();
    const QFontMetrics metrics = m_websiteButton->fontMetrics();
    const int needed = margins.left() + margins.right() + m_searchFields->sizeHint().width() + 4 +
                       std::max({m_harvestButton->sizeHint().width(), m_startButton->sizeHint().width(),
                                 m_reopenButton->sizeHint().width()}) +
                       m_stopButton->sizeHint().width() + m_setupButton->sizeHint().width() +
                       3 * m_searchButtons->spacing() + metrics.horizontalAdvance(m_websiteButton->text()) +
                       2 * metrics.averageCharWidth();
    const bool beside = m_searchFrame->contentsRect().width() >= needed;
    if (beside == m_websiteBeside && m_searchButtons->indexOf(m_websiteButton) >= 0)
        return;
    m_websiteBeside = beside;
    m_searchButtons->removeWidget(m_websiteButton);
    if (beside) {
        m_websiteButton->setMinimumHeight(48);
        m_searchButtons->addWidget(m_websiteButton, 0, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 1);
    } else {
        m_websiteButton->setMinimumHeight(0);
        m_searchButtons->addWidget(m_websiteButton, 1, 0, 1, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 0);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchFrame && event->type() == QEvent::Resize)
        placeWebsiteButton();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::buildListFrame()
{
    m_listFrame = named(new QGroupBox(QStringLiteral("Domain Name Manager"), this), "Frame2");
    // One grid for all five lists, so that their tops line up when a caption wraps.
    auto* grid = new QGridLayout(m_listFrame);
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
        named(new WrappingLabel(resultLists()->caption(list), m_listFrame), QStringLiteral("Label") + suffix);
    caption->setToolTip(labelTip);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* view = named(new ResultListView(list, m_listFrame), QStringLiteral("List") + suffix);
    view->setToolTip(listTip);
    view->setMinimumWidth(40);
    m_listActions->setView(view);
    m_listCaptions[number - 1] = caption;
    // A saved name's news is seen once the user goes to it.
    if (list == ResultList::Saved && view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) {
                    if (current.isValid())
                        resultLists()->markSeen(current.data().toString());
                });

    auto* buttons = new ButtonStrip(m_listFrame);
    const auto addButton = [&](const char* label, const QString& name, const char* tip, auto action) {
        auto* listButton = named(new QPushButton(text(label), m_listFrame), name + suffix);
        if (tip)
            listButton->setToolTip(text(tip));
        connect(listButton, &QPushButton::clicked, m_listActions,
                [this, list, action] { (m_listActions->*action)(list); });
        buttons->addButton(listButton);
    };
    addButton("Copy", QStringLiteral("cmdCopy"), "Copy List", &ResultListActions::copyList);
    addButton("Del", QStringLiteral("cmdClear"), "Delete Selected Item",
              &ResultListActions::deleteSelectedEntry);
    addButton("Clear", QStringLiteral("cmdClear2_"), nullptr, &ResultListActions::clearList);

    grid->addWidget(caption, 0, gridColumn);
    grid->addWidget(buttons, 1, gridColumn);
    grid->addWidget(view, 2, gridColumn);
}

void MainWindow::buildStatusBar()
{
    auto* bar = named(new QStatusBar(this), "StatusBar1");
    setStatusBar(bar);
    // Panels 1 and 2 take a quarter of the width each, panel 3 the half.
    const int stretch[] = {1, 1, 2};
    for (int i = 0; i < 3; ++i) {
        auto* panel =
            named(new ElidedLabel(text(IdlePanelTexts[i]), bar), QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        shareWidth(panel);
        bar->addWidget(panel, stretch[i]);
        m_statusPanels[i] = panel;
    }
    // One short panel per fact, shown while it has something to say, so that none is cut off.
    const char* const factNames[] = {"dnsPanel", "historyPanel", "droppingPanel", "proxiesPanel"};
    for (int i = 0; i < int(m_factPanels.size()); ++i) {
        auto* fact = named(new QLabel(bar), factNames[i]);
        fact->setFrameShape(QFrame::StyledPanel);
        fact->setFrameShadow(QFrame::Sunken);
        fact->setToolTip(factTip(StatusFact(i)));
        fact->hide();
        bar->addWidget(fact);
        m_factPanels[std::size_t(i)] = fact;
    }
    fitStatusPanels(false);
    // The whole notice is in its tooltip and in the message log.
    m_noticeLabel = named(new ElidedLabel(QString(), bar), "noticeLabel");
    shareWidth(m_noticeLabel);
    m_noticeLabel->setMinimumWidth(m_noticeLabel->widthFor(QStringLiteral("Could…")));
    m_noticeLabel->hide();
    bar->addPermanentWidget(m_noticeLabel, 2);
    // Verdicts of one server for every name look odd unless the user knows why.
    m_proxyLabel = named(new ElidedLabel(QString(), bar), "proxyLabel");
    m_proxyLabel->setMinimumWidth(m_proxyLabel->widthFor(QStringLiteral("All…")));
    m_proxyLabel->hide();
    bar->addPermanentWidget(m_proxyLabel, 1);
    m_unansweredLabel = named(new QLabel(bar), "unansweredLabel");
    m_unansweredLabel->hide();
    bar->addPermanentWidget(m_unansweredLabel);
    m_progressBar = named(new QProgressBar(bar), "searchProgress");
    m_progressBar->setFormat(QStringLiteral("%v of %m"));
    // Room for the longest count on one line.
    const QFontMetrics metrics = m_progressBar->fontMetrics();
    m_progressBar->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("999999 of 999999")) +
                                   4 * metrics.averageCharWidth());
    m_progressBar->setMaximumWidth(m_progressBar->minimumWidth() * 3 / 2);
    m_progressBar->hide();
    bar->addPermanentWidget(m_progressBar);
    m_statusRefresh = new QTimer(this);
    m_statusRefresh->setSingleShot(true);
    m_statusRefresh->setInterval(50);
    connect(m_statusRefresh, &QTimer::timeout, this, &MainWindow::refreshStatus);
}

void MainWindow::fitStatusPanels(bool searching)
{
    // Idle, every panel shows its caption, greyed like a field's hint, and takes no more room
    // than that: the rest is the notice's, so that the end of a search reads whole. A search adds
    // the progress bar, which shows the count of panel 1 too, and the unanswered count: then
    // panel 2 keeps room for its count and panels 1 and 3 (connection chatter) give way first,
    // so that a narrow window still shows the bar whole.
    for (int i = 0; i < int(m_statusPanels.size()); ++i) {
        ElidedLabel* panel = m_statusPanels[i];
        const QString caption = text(IdlePanelTexts[i]);
        QString room = caption;
        if (searching)
            room = i == 1 ? QStringLiteral("Open: 25") : QStringLiteral("9…");
        panel->setMinimumWidth(panel->widthFor(room));
        panel->setMaximumWidth(searching ? QWIDGETSIZE_MAX : panel->widthFor(caption));
        panel->setForegroundRole(searching ? QPalette::WindowText : QPalette::PlaceholderText);
    }
    if (!searching) {
        for (QLabel* fact : m_factPanels)
            fact->hide();
    }
}

void MainWindow::buildMenus()
{
    auto addMenu = [this](const char* title, const char* name) {
        return named(menuBar()->addMenu(text(title)), name);
    };
    auto addItem = [](QMenu* menu, const QString& caption, const char* arrayName, int index) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QStringLiteral("%1_%2").arg(text(arrayName)).arg(index));
        return action;
    };

    QMenu* fileMenu = addMenu("&File", "menuFile");
    QAction* history = fileMenu->addAction(QStringLiteral("&History…"));
    history->setObjectName(QStringLiteral("mnuHistory"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(history, &QAction::triggered, this, &MainWindow::showHistory);
    QAction* checkSaved = fileMenu->addAction(QStringLiteral("&Check Saved Names Now"));
    checkSaved->setObjectName(QStringLiteral("mnuCheckSaved"));
    checkSaved->setToolTip(QStringLiteral("Ask the registries about every name in Saved Domains now"));
    connect(checkSaved, &QAction::triggered, this, &MainWindow::checkSavedNamesNow);
    fileMenu->addSeparator();
    QAction* exit = addItem(fileMenu, QStringLiteral("E&xit"), "mnuFileItem", 0);
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* editMenu = addMenu("&Edit", "mnuEdit");
    const auto& editItems = ResultListActions::editMenuItems();
    for (int i = 0; i < int(editItems.size()); ++i) {
        // Groups: clearing several lists, clearing one, copying one.
        const ResultListActions::EditMenuItem& item = editItems.at(i);
        if (i > 0 && (item.operation != editItems.at(i - 1).operation ||
                      item.lists.size() != editItems.at(i - 1).lists.size()))
            editMenu->addSeparator();
        connect(addItem(editMenu, item.caption, "mnuEditItem", i), &QAction::triggered, m_listActions,
                [this, i] { m_listActions->editMenuItem(i); });
    }

    QMenu* viewMenu = addMenu("&View", "menuView");
    QAction* messages = viewMenu->addAction(QStringLiteral("&Messages"));
    messages->setObjectName(QStringLiteral("mnuViewMessages"));
    messages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(messages, &QAction::triggered, this, &MainWindow::showMessageLog);

    m_toolsMenu = addMenu("&Tools", "mnuTools");
    for (int i = 0; i < int(allSearchTypes().size()); ++i) {
        connect(addItem(m_toolsMenu, searchTypeCaption(allSearchTypes().at(i)), "mnuToolsItem", i),
                &QAction::triggered, this, [this, i] { chooseSearchType(i); });
    }

    QMenu* optionsMenu = addMenu("&Options", "mnuOptions");
    QAction* setup = addItem(optionsMenu, QStringLiteral("&Setup"), "mnuOptionsItem", 0);
    setup->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(setup, &QAction::triggered, this, &MainWindow::openSettings);
    connect(m_setupButton, &QPushButton::clicked, this, &MainWindow::openSettings);

    QMenu* helpMenu = addMenu("&Help", "mnuHelp");
    QAction* help = addItem(helpMenu, QStringLiteral("&View Help"), "mnuHelpItem", 0);
    help->setShortcut(QKeySequence::HelpContents);
    connect(help, &QAction::triggered, this, &MainWindow::openHelp);

    QMenu* aboutMenu = addMenu("&About", "mnuAbout");
    connect(addItem(aboutMenu, QStringLiteral("&About this software"), "mnuAboutItem", 0),
            &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::bindCore()
{
    SearchDriver* driver = searchDriver();
    connect(
        resultLists(), &ResultLists::captionChanged, this,
        [this](ResultList list, const QString& caption) { m_listCaptions[int(list) - 1]->setText(caption); });
    connect(listFiles(), &ListFiles::overflowed, this, &MainWindow::showOverflowNotice);
    connect(listFiles(), &ListFiles::writeFailed, this, &MainWindow::showFailure);
    connect(m_listActions, &ResultListActions::notice, this, qOverload<const QString&>(&MainWindow::showNotice));
    connect(m_listActions, &ResultListActions::failed, this, &MainWindow::showFailure);

    connect(m_extensionSettings, &ExtensionSettings::useProxyChanged, this, &MainWindow::setUseProxy);
    connect(m_extensionSettings, &ExtensionSettings::networkProxiesChanged, this, [this] {
        // A running search keeps its proxies; the next one reads the settings again.
        if (!m_searching)
            loadNetworkProxies();
    });
    connect(m_extensionSettings, &ExtensionSettings::preferRdapChanged, driver,
            [driver](bool prefer) { driver->changeSetting(&SearchSettings::preferRdap, prefer); });
    connect(m_extensionSettings, &ExtensionSettings::confirmFreeChanged, driver,
            [driver](bool confirm) { driver->changeSetting(&SearchSettings::confirmFree, confirm); });
    connect(m_extensionSettings, &ExtensionSettings::historyDaysChanged, driver,
            [driver](int days) { driver->changeSetting(&SearchSettings::historyDays, days); });
    connect(m_extensionSettings, &ExtensionSettings::dnsChanged, this,
            [driver](bool checkFirst, const QString& server) {
                SearchSettings settings = driver->settings();
                settings.dnsPrecheck = checkFirst;
                settings.dnsServer = server;
                driver->setSettings(std::move(settings));
            });
    connect(m_extensionSettings, &ExtensionSettings::defaultExtensionChanged, driver,
            [driver](const QString& extension) {
                driver->changeSetting(&SearchSettings::defaultExtension, extension);
            });
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, this, &MainWindow::showProxyUse);
    connect(m_extensionSettings, &ExtensionSettings::tableReloaded, driver, &SearchDriver::reloadServers);
    connect(m_extensionSettings, &ExtensionSettings::serverLimitsChanged, driver,
            [driver](const ServerLimitsTable& limits) {
                driver->changeSetting(&SearchSettings::serverLimits, limits);
            });
    connect(m_extensionSettings, &ExtensionSettings::problemsFound, this,
            [this](const QList<RegistrarsProblem>& problems) {
                for (const RegistrarsProblem& problem : problems)
                    showNotice(
                        skippedLine(QStringLiteral("registrars.txt"), problem.lineNumber, problem.message));
            });
    connect(driver, &SearchDriver::statusText, this, &MainWindow::setStatusText);
    connect(driver, &SearchDriver::progressChanged, this, &MainWindow::showProgress);
    connect(driver, &SearchDriver::unansweredCountChanged, this, &MainWindow::showUnanswered);
    connect(driver, &SearchDriver::problem, this, qOverload<const QString&>(&MainWindow::showNotice));
    connect(driver, &SearchDriver::searchStopped, this, &MainWindow::showFailure);
    connect(driver, &SearchDriver::finished, this, &MainWindow::onSearchFinished);

    connect(m_searchTypeBox, &QComboBox::activated, this, &MainWindow::chooseSearchType);
    connect(m_startNumberEdit, &QLineEdit::textChanged, this, &MainWindow::checkStartNumber);
    connect(m_startNumberEdit, &QLineEdit::editingFinished, this, &MainWindow::refuseStartNumberPastEnd);
    // Search wants a search string.
    connect(m_searchStringEdit, &QLineEdit::textChanged, this,
            [this] { applyControlStates(currentSearchType()); });
    connect(m_startButton, &QPushButton::clicked, this, &MainWindow::startSearch);
    connect(m_reopenButton, &QPushButton::clicked, this, [this] {
        if (currentSearchType() == SearchType::BrowseForNames)
            openBrowser();
        else
            openGenerator();
    });
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopSearch);
    connect(m_harvestButton, &QPushButton::clicked, this, &MainWindow::openHarvester);
    connect(m_listActions, &ResultListActions::whoisRequested, this, &MainWindow::openWhois);
    connect(m_websiteButton, &QPushButton::clicked, this, [this] {
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
    // Start-up has told the proxies file's problems already; later loads tell only new ones.
    m_session->reloadProxies(&m_proxyProblems);

    const bool purchase = settings()->value(SettingKeys::PurchaseOnDoubleClick()) == QLatin1String("1");
    m_listActions->setPurchase(purchase, settings()->value(SettingKeys::PurchaseAddress()));
    showDoubleClickChoice(purchase);
    // Setup's choice holds from the next double-click on.
    connect(m_extensionSettings, &ExtensionSettings::purchaseOnDoubleClickChanged, this, [this](bool purchase) {
        m_listActions->setPurchaseOnDoubleClick(purchase);
        showDoubleClickChoice(purchase);
    });
}

void MainWindow::showDoubleClickChoice(bool purchase)
{
    m_listFrame->setTitle(purchase ? QStringLiteral("Domain Name Manager - Double Click any domain to purchase")
                                   : QStringLiteral("Domain Name Manager"));
}

void MainWindow::openHistory()
{
    QStringList messages;
    m_history = openFolderHistory(dataFolder().root(), &messages);
    for (const QString& message : std::as_const(messages))
        showNotice(message);
    if (!m_history)
        return;
    connect(m_history.get(), &HistoryStore::problem, this, qOverload<const QString&>(&MainWindow::showNotice));
    verdictFiler()->setHistory(m_history.get());
    m_watchSchedule = std::make_unique<WatchSchedule>(m_session, m_history.get());
    connect(m_watchSchedule.get(), &WatchSchedule::message, m_log, &MessageLog::append);
    connect(m_watchSchedule.get(), &WatchSchedule::news, this, &MainWindow::showWatchNews);
    m_watchSchedule->setBusyCheck([this] { return isSearching(); });
    m_watchSchedule->start(startupResult().watchHours);
    connect(m_extensionSettings, &ExtensionSettings::watchHoursChanged, m_watchSchedule.get(),
            &WatchSchedule::start);
}

void MainWindow::checkSavedNamesNow()
{
    if (!m_watchSchedule) {
        showNotice(QStringLiteral("The saved names cannot be checked without a history (see View > Messages)."));
        return;
    }
    showNoticeLine(QStringLiteral("Checking the saved names…"), QString());
    m_watchSchedule->checkNow();
}

void MainWindow::showWatchNews(const QList<WatchChange>& changes, const QString& summary)
{
    // The most telling change of a name is its mark: came free over started dropping over a date.
    const auto rank = [](const QString& kind) {
        return kind == QLatin1String("came-free") ? 3 : kind == QLatin1String("started-dropping") ? 2 : 1;
    };
    QHash<QString, std::pair<int, QString>> marks;
    QHash<QString, QStringList> wholes;
    for (const WatchChange& change : changes) {
        const QString name = resultLists()->contains(ResultList::Saved, change.name) ? change.name : change.ascii;
        wholes[name] << watchChangeText(change);
        if (rank(change.kind) > marks.value(name).first)
            marks.insert(name, {rank(change.kind), change.kind == QLatin1String("came-free")          ? QStringLiteral("came free")
                                                   : change.kind == QLatin1String("started-dropping") ? QStringLiteral("dropping")
                                                                                                     : QStringLiteral("expiry moved")});
    }
    for (auto mark = marks.cbegin(); mark != marks.cend(); ++mark)
        resultLists()->markNews(mark.key(), mark->second, wholes.value(mark.key()).join(QLatin1Char('\n')));
    // The log has each change already.
    QStringList whole{summary};
    for (const QStringList& lines : std::as_const(wholes))
        whole << lines;
    showNoticeLine(summary, whole.join(QLatin1Char('\n')));
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
    for (const LifeCycleRules::Problem& problem : std::as_const(startup.lifeCycleProblems))
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
    return searchTypeFromCaption(m_searchTypeBox->currentText());
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

QLabel* MainWindow::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_statusPanels[panel - 1] : nullptr;
}

void MainWindow::chooseSearchType(int index)
{
    if (index < 0 || index >= allSearchTypes().size())
        return;
    clearNotice();
    m_searchTypeBox->setCurrentIndex(index);
    settings()->setValue(SettingKeys::LastSearchType(), searchTypeCaption(allSearchTypes().at(index)));
    applySearchType(allSearchTypes().at(index));
    // The list file's name takes room beside the search-type box.
    placeWebsiteButton();
}

void MainWindow::restoreSearchType()
{
    const SearchType last = searchTypeFromCaption(settings()->value(SettingKeys::LastSearchType()))
                                .value_or(SearchType::FullWordList);
    const QString listFile = settings()->value(SettingKeys::LastListFile());
    // Nothing opens by itself at start: no file dialog, no browser, no generator.
    switch (last) {
    case SearchType::CustomList:
        if (!listFile.isEmpty() && QFileInfo::exists(listFile)) {
            m_searchTypeBox->setCurrentIndex(int(allSearchTypes().indexOf(SearchType::CustomList)));
            applyControlStates(SearchType::CustomList);
            showCustomListFile(listFile);
            resumeCurrentList(SearchType::CustomList);
            placeWebsiteButton();
            return;
        }
        break;
    case SearchType::BrowseForNames:
    case SearchType::GenerateNames:
        m_searchTypeBox->setCurrentIndex(int(allSearchTypes().indexOf(last)));
        applyControlStates(last);
        showReopenCaption(last);
        m_currentListFile = last == SearchType::GenerateNames
                                ? dataFolder().path(searchTypeListFile(last))
                                : QString();
        setStartNumber(QStringLiteral("1"));
        return;
    default:
        chooseSearchType(int(allSearchTypes().indexOf(last)));
        return;
    }
    chooseSearchType(int(allSearchTypes().indexOf(SearchType::FullWordList)));
}

void MainWindow::applySearchType(SearchType type)
{
    applyControlStates(type);
    showReopenCaption(type);
    switch (type) {
    case SearchType::BrowseForNames:
        openBrowser();
        return;
    case SearchType::CustomList:
        chooseCustomList();
        resumeCurrentList(type);
        return;
    case SearchType::FullWordList:
    case SearchType::AllTwoLetter:
    case SearchType::AllThreeLetter:
    case SearchType::AllFourLetter:
        m_currentListFile = dataFolder().path(searchTypeListFile(type));
        resumeCurrentList(type);
        return;
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
    case SearchType::GenerateNames:
        // Each harvest or generation writes its list anew, so it starts at the first entry.
        m_currentListFile = dataFolder().path(searchTypeListFile(type));
        setStartNumber(QStringLiteral("1"));
        if (type == SearchType::GenerateNames)
            openGenerator();
        return;
    }
}

void MainWindow::applyControlStates(std::optional<SearchType> type)
{
    const SourceControls shown = type ? sourceControls(*type) : SourceControls{};
    const PhaseControls& usable = m_searching ? Searching : Idle;
    for (QWidget* widget : QList<QWidget*>{m_startNumberLabel, m_entryCountLabel, m_startNumberEdit,
                                           m_entryCountEdit, m_startButton})
        widget->setVisible(shown.listControls);
    for (QWidget* widget : QList<QWidget*>{m_searchStringLabel, m_targetCountLabel, m_searchStringEdit,
                                           m_targetCountBox, m_harvestButton})
        widget->setVisible(shown.searchControls);
    m_listFileLabel->setVisible(shown.listFileName);
    m_reopenButton->setVisible(shown.reopenButton);

    m_searchTypeBox->setEnabled(usable.chooseSource);
    // Choosing another source mid-search would pull the list from under the driver.
    m_toolsMenu->setEnabled(usable.chooseSource);
    m_startButton->setEnabled(usable.start);
    m_startNumberEdit->setEnabled(usable.start);
    m_stopButton->setEnabled(usable.stop);
    const bool searchControls = usable.searchControls && shown.searchControls;
    m_searchStringEdit->setEnabled(searchControls);
    m_targetCountBox->setEnabled(searchControls);
    m_harvestButton->setEnabled(searchControls && !m_searchStringEdit->text().isEmpty());
}

void MainWindow::showReopenCaption(SearchType type)
{
    // Their windows can be closed; this button keeps a way back to them, and so to a search.
    const bool browse = type == SearchType::BrowseForNames;
    m_reopenButton->setText(browse ? QStringLiteral("Browse") : QStringLiteral("Generate"));
    // The square's minimum fits "Start"; this caption must show whole too.
    const QFontMetrics metrics = m_reopenButton->fontMetrics();
    m_reopenButton->setMinimumWidth(metrics.horizontalAdvance(m_reopenButton->text()) +
                                    2 * metrics.averageCharWidth());
    m_reopenButton->setToolTip(
        browse ? QStringLiteral("Open Browse for Domains again")
               : QStringLiteral("Open the name generator again to create and search names"));
}

void MainWindow::chooseCustomList()
{
    const QString picked =
        FileDialog::getOpenFileName(this, QStringLiteral("Open a list file"),
                                    dataFolder().path(QStringLiteral("wordlists")), QStringLiteral("*.txt"));
    // A cancelled dialog gives back the file it returned last time.
    showCustomListFile(picked.isEmpty() ? m_customListFile : picked);
    if (!picked.isEmpty())
        settings()->setValue(SettingKeys::LastListFile(), picked);
}

void MainWindow::showCustomListFile(const QString& file)
{
    m_customListFile = file;
    m_currentListFile = m_customListFile;
    m_listFileLabel->setText(m_customListFile.isEmpty() ? QString() : QFileInfo(m_customListFile).fileName());
    m_listFileLabel->setToolTip(QDir::toNativeSeparators(m_customListFile));
}

void MainWindow::resumeCurrentList(SearchType type)
{
    // The count comes first, so that the start-number check compares against the new count.
    m_entryCountEdit->setText(QString::number(countListEntries(m_currentListFile)));
    // The same file, unchanged, goes on where its last search stopped; any other starts at 1.
    const ResumePoint point =
        m_currentListFile.isEmpty()
            ? ResumePoint{}
            : savedResumePoint(*settings(), type, m_currentListFile, m_entryCountEdit->text().toLongLong());
    setStartNumber(QString::number(point.start));
    if (!point.note.isEmpty())
        showNotice(point.note);
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
    if (!engine || m_searchStringEdit->text().isEmpty() || m_searching)
        return;
    // Each opening is a fresh run; one at a time.
    if (m_harvesterWindow)
        m_harvesterWindow->close();
    const SettingKey address = *engine == SearchEngine::Yahoo ? SettingKeys::YahooSearchAddress()
                                                              : SettingKeys::GoogleSearchAddress();
    auto run = std::make_unique<HarvestRun>(*engine, m_searchStringEdit->text(),
                                            HarvestRun::targetCountFor(m_targetCountBox->currentIndex()),
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
    m_entryCountEdit->setText(QString::number(entries));
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
    m_entryCountEdit->setText(QString::number(count));
    setStartNumber(QStringLiteral("1"));
    startSearch();
}

void MainWindow::setStartNumber(const QString& number)
{
    // One past the end is where a finished list was saved: it starts over.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const qlonglong start = number.trimmed().toLongLong(&startIsNumber);
    const qlonglong count = m_entryCountEdit->text().trimmed().toLongLong(&countIsNumber);
    m_validStartNumber = startIsNumber && countIsNumber && start > count ? QStringLiteral("1") : number;
    m_settingStartNumber = true;
    m_startNumberEdit->setText(m_validStartNumber);
    m_settingStartNumber = false;
}

bool MainWindow::startNumberPastEnd(qlonglong* count) const
{
    // The last entry is a start like any other: it is looked up even without a line end after it.
    // Text that is not a number is left for Start to report.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const qlonglong start = m_startNumberEdit->text().trimmed().toLongLong(&startIsNumber);
    *count = m_entryCountEdit->text().trimmed().toLongLong(&countIsNumber);
    return startIsNumber && countIsNumber && start > *count;
}

void MainWindow::checkStartNumber()
{
    if (m_settingStartNumber)
        return;
    // While typing, "50" passes through "5": nothing is taken or refused before the number is whole.
    qlonglong count = 0;
    const bool pastEnd = startNumberPastEnd(&count);
    m_startNumberEdit->setToolTip(
        pastEnd ? QStringLiteral("Past the end of the list (%1 entries)").arg(count) : QString());
}

bool MainWindow::refuseStartNumberPastEnd()
{
    qlonglong count = 0;
    if (!startNumberPastEnd(&count)) {
        m_validStartNumber = m_startNumberEdit->text();
        return false;
    }
    // A typo must not lose the place: the number is refused and the last good one stays.
    const QString typed = m_startNumberEdit->text().trimmed();
    const QSignalBlocker quiet(m_startNumberEdit);
    m_startNumberEdit->setText(m_validStartNumber);
    m_startNumberEdit->setToolTip(QString());
    showNotice(QStringLiteral("Start Number %1 is past the end of the list (%2 entries); it stays at %3.")
                   .arg(typed)
                   .arg(count)
                   .arg(m_validStartNumber));
    return true;
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
    else if (refuseStartNumberPastEnd())
        return;
    SearchRequest request;
    request.listFile = m_currentListFile;
    request.type = *type;
    request.startNumber = m_startNumberEdit->text();
    request.entryTotal = m_entryCountEdit->text();
    // The proxies file may have been edited since.
    loadNetworkProxies();
    // Busy until the driver reports the first entry, which it may do inside start().
    m_progressBar->setRange(0, 0);
    QString error;
    if (!searchDriver()->start(request, &error)) {
        MessageBox::information(this, AppInfo::productTitle(), error);
        return;
    }
    showNotice(dnsOffNotice(searchDriver()->progress()));
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
    applyControlStates(currentSearchType());
    fitStatusPanels(searching);
    m_progressBar->setVisible(searching);
}

void MainWindow::onSearchFinished(bool stopped)
{
    if (!m_searching || searchDriver()->isRunning())
        return;
    setSearching(false);
    const std::optional<SearchType> type = currentSearchType();
    // The custom list's counter, as the search left it; the other types choose their list again.
    if (type == SearchType::CustomList || type == SearchType::GenerateNames ||
        type == SearchType::BrowseForNames)
        setStartNumber(settings()->value(SettingKeys::CustWordNum()));
    else if (type)
        applySearchType(*type);
    for (int panel = 1; panel <= 3; ++panel)
        setStatusText(panel, text(IdlePanelTexts[panel - 1]));
    // The panels go back to their captions. The status bar keeps the counts in one line it shows
    // whole; the log has them in sentences, with what DNS and the history spared the registries.
    const SearchProgress progress = searchDriver()->progress();
    const QString summary = searchEndText(progress, stopped);
    QString line = summary;
    if (progress.dropping > 0)
        line += QStringLiteral(" · %1 dropping").arg(progress.dropping);
    QStringList sentences{summary + QLatin1Char('.')};
    if (searchDriver()->settings().dnsPrecheck && searchDriver()->dnsSettledCount() > 0)
        sentences << QStringLiteral("DNS settled %1 without a registry query.")
                         .arg(countOf(searchDriver()->dnsSettledCount(), "taken name", "taken names"));
    for (const QString& more : {historyNotice(progress), droppingNotice(progress)}) {
        if (!more.isEmpty())
            sentences << more;
    }
    showNotice(line, sentences.join(QLatin1Char(' ')));
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
    showNotice(notice, notice);
}

void MainWindow::showNotice(const QString& line, const QString& whole)
{
    if (whole.isEmpty())
        return;
    m_log->append(whole);
    showNoticeLine(line, whole);
}

void MainWindow::showNoticeLine(const QString& line, const QString& whole)
{
    m_noticeLabel->setText(line);
    m_noticeLabel->setToolTip(whole);
    m_noticeLabel->show();
}

void MainWindow::loadNetworkProxies()
{
    QStringList problems;
    m_session->reloadProxies(&problems);
    if (problems == m_proxyProblems)
        return;
    m_proxyProblems = problems;
    for (const QString& problem : std::as_const(problems))
        showNotice(problem);
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

void MainWindow::showHistory()
{
    if (!m_historyWindow)
        m_historyWindow =
            new HistoryWindow(dataFolder().path(QString::fromLatin1(HistoryStore::FileName)), this);
    showInFront(m_historyWindow);
}

HistoryWindow* MainWindow::historyWindow() const
{
    return m_historyWindow;
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
        if (QLabel* label = statusPanel(panel); label && !text.isNull()) {
            label->setText(text);
            if (panel != 2)
                label->setToolTip(m_searching ? text : QString());
        }
        text = QString();
    }
    // Once a search has ended, the panels keep their captions.
    if (!std::exchange(m_progressDue, false) || !m_searching)
        return;
    const SearchProgress progress = searchDriver()->progress();
    statusPanel(1)->setText(entryPanelText(progress));
    statusPanel(2)->setText(openPanelText(progress));
    statusPanel(2)->setToolTip(openPanelTip(progress));
    for (int i = 0; i < int(m_factPanels.size()); ++i) {
        const QString fact = factText(StatusFact(i), progress);
        m_factPanels[std::size_t(i)]->setText(fact);
        m_factPanels[std::size_t(i)]->setVisible(!fact.isEmpty());
    }
    const qint64 total = progress.total;
    if (total <= 0 || total > std::numeric_limits<int>::max()) {
        m_progressBar->setRange(0, 0);
        return;
    }
    m_progressBar->setRange(0, int(total));
    m_progressBar->setValue(int(std::clamp<qint64>(progress.settled, 0, total)));
}

void MainWindow::showUnanswered(qint64 count)
{
    m_unansweredLabel->setText(QStringLiteral("Unanswered: %1").arg(count));
    m_unansweredLabel->setToolTip(QStringLiteral("Names whose WHOIS server gave no answer, kept in %1")
                                      .arg(searchDriver()->unansweredFilePath()));
    m_unansweredLabel->setVisible(count > 0);
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
    showFramedIn(this, QRect(area.left(), area.top(), ownWidth, area.height()));
    showFramedIn(manual, QRect(area.left() + ownWidth, area.top(), area.width() - ownWidth, area.height()));
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
    m_whoisWindow->query()->setAnswerRules(m_session->answerRules());
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
    return searchDriver()->settings().useProxy;
}

void MainWindow::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = new SettingsWindow(m_extensionSettings, this);
        connect(m_settingsWindow, &SettingsWindow::checkSavedNamesNowRequested, this,
                &MainWindow::checkSavedNamesNow);
    }
    showInFront(m_settingsWindow);
}

SettingsWindow* MainWindow::settingsWindow() const
{
    return m_settingsWindow;
}

void MainWindow::setUseProxy(bool useProxy)
{
    searchDriver()->changeSetting(&SearchSettings::useProxy, useProxy);
    showProxyUse();
}

void MainWindow::showProxyUse()
{
    const ExtensionTable& table = extensionTable();
    const int row = table.findExtensionIndex(QStringLiteral("x"), true);
    const bool proxied =
        useProxy() && row != ExtensionTable::NoRow && table.row(row).extension == QLatin1String("proxy");
    if (!proxied) {
        m_proxyLabel->hide();
        return;
    }
    const ExtensionRow& proxy = table.row(row);
    const QString text = QStringLiteral("All lookups go to %1:%2").arg(proxy.server).arg(proxy.port);
    m_proxyLabel->setText(text);
    m_proxyLabel->setToolTip(text + QStringLiteral(" (the \"proxy\" row; Options > Setup turns this off)"));
    m_proxyLabel->show();
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
    if (m_historyWindow)
        m_historyWindow->close();
    // The website window has no parent and stays; the program ends when it closes too.
    for (QWidget* window : {static_cast<QWidget*>(m_whoisWindow), static_cast<QWidget*>(m_aboutWindow)}) {
        if (window)
            window->close();
    }
    event->accept();
}

} // namespace brisquel
