// The main window's menu bar.
#include "main_window.h"
#include "search_frame.h"
#include "ui/result_list_actions.h"
#include "ui/widget_helpers.h"

#include <QMenuBar>

namespace brisquel {

void MainWindow::buildMenus()
{
    const auto text = [](const char* latin1) {
        return QString::fromLatin1(latin1);
    };
    auto addMenu = [this, text](const char* title, const char* name) {
        return named(menuBar()->addMenu(text(title)), name);
    };
    auto addItem = [text](QMenu* menu, const QString& caption, const char* arrayName, int index) {
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

    QMenu* helpMenu = addMenu("&Help", "mnuHelp");
    QAction* help = addItem(helpMenu, QStringLiteral("&View Help"), "mnuHelpItem", 0);
    help->setShortcut(QKeySequence::HelpContents);
    connect(help, &QAction::triggered, this, &MainWindow::openHelp);

    QMenu* aboutMenu = addMenu("&About", "mnuAbout");
    connect(addItem(aboutMenu, QStringLiteral("&About this software"), "mnuAboutItem", 0),
            &QAction::triggered, this, &MainWindow::showAbout);
}

} // namespace brisquel
