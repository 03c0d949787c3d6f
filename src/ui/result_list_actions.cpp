#include "result_list_actions.h"

#include "drag_payload.h"
#include "engine/filing/remembered_list.h"
#include "engine/filing/result_lists.h"
#include "message_box.h"
#include "result_list_view.h"
#include "support/clock.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStringListModel>

namespace brisquel {

const QList<ResultListActions::EditMenuItem>& ResultListActions::editMenuItems()
{
    using L = ResultList;
    static const QList<EditMenuItem> items = {
        {QStringLiteral("Clear High/Mid/Low"), EditOperation::Clear, {L::Low, L::High, L::Mid}},
        {QStringLiteral("Clear High"), EditOperation::Clear, {L::High}},
        {QStringLiteral("Clear Mid"), EditOperation::Clear, {L::Mid}},
        {QStringLiteral("Clear Low"), EditOperation::Clear, {L::Low}},
        {QStringLiteral("Clear Registered"), EditOperation::Clear, {L::Registered}},
        {QStringLiteral("Clear Saved"), EditOperation::Clear, {L::Saved}},
        {QStringLiteral("Copy High"), EditOperation::Copy, {L::High}},
        {QStringLiteral("Copy Mid"), EditOperation::Copy, {L::Mid}},
        {QStringLiteral("Copy Low"), EditOperation::Copy, {L::Low}},
        {QStringLiteral("Copy Saved"), EditOperation::Copy, {L::Saved}},
    };
    return items;
}

ResultListActions::ResultListActions(ResultLists* lists, QString rememberedPath, QObject* parent)
    : QObject(parent)
    , m_lists(lists)
    , m_rememberedPath(std::move(rememberedPath))
{
    connect(m_lists, &ResultLists::listEdited, this, &ResultListActions::onListEdited);
}

void ResultListActions::setView(ResultListView* view)
{
    const ResultList list = view->list();
    m_views[static_cast<int>(list) - 1] = view;
    view->setModel(m_lists->model(list));
    connect(view, &ResultListView::deleteRequested, this, [this, list] { deleteSelectedEntry(list); });
    connect(view, &ResultListView::clearRequested, this, [this, list] { clearList(list); });
    connect(view, &ResultListView::entryDoubleClicked, this, [this, list] { openSelectedEntry(list); });
    connect(view, &ResultListView::entryMenuRequested, this,
            [this, list](const QPoint& globalPos) { showEntryMenu(list, globalPos); });
    if (list == ResultList::Saved) {
        view->setAcceptsNameDrops(true);
        connect(view, &ResultListView::namesDropped, this, &ResultListActions::dropOnSavedDomains);
        connect(view, &ResultListView::draggedNamesDropped, this,
                &ResultListActions::dropNamesOnSavedDomains);
    } else {
        connect(view, &ResultListView::listClicked, this, [this, list] { m_lastClickedList = int(list); });
    }
}

void ResultListActions::setPurchase(bool purchaseOnDoubleClick, const QString& purchaseAddress)
{
    m_purchaseOnDoubleClick = purchaseOnDoubleClick;
    m_purchaseAddress = purchaseAddress;
}

void ResultListActions::loadSavedDomains(const QStringList& names, bool fileReadable)
{
    m_fileWritable = fileReadable;
    m_holdSaving = true;
    m_lists->setSaved(names);
    m_holdSaving = false;
}

QString ResultListActions::clipboardText(const QStringList& names)
{
    QString text;
    for (const QString& name : names)
        text += name + QLatin1Char('\n');
    return text;
}

void ResultListActions::copyList(ResultList list)
{
    copyNames(m_lists->entries(list));
}

void ResultListActions::copyNames(const QStringList& names)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(clipboardText(names));
}

QMenu* ResultListActions::entryMenu(const EntryMenu& entries, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuEntries"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto addItem = [menu](const QString& caption, const char* name, bool enabled, auto act) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, menu, act);
    };
    const QString clicked = entries.clicked;
    const QStringList names = entries.names;
    addItem(QStringLiteral("WHOIS record"), "mnuWhois", !clicked.isEmpty(),
            [this, clicked] { openWhoisRecord(clicked); });
    addItem(QStringLiteral("Buy at registrar"), "mnuBuy", !clicked.isEmpty(),
            [this, clicked] { openPurchasePage(clicked); });
    menu->addSeparator();
    addItem(QStringLiteral("Copy"), "mnuCopy", !names.isEmpty(), [this, names] { copyNames(names); });
    if (entries.offerSave)
        addItem(QStringLiteral("Save"), "mnuSave", !names.isEmpty(),
                [this, names] { dropNamesOnSavedDomains(names); });
    addItem(QStringLiteral("Delete"), "mnuDelete", !names.isEmpty() && entries.deleteNames,
            [remove = entries.deleteNames] { remove(); });
    return menu;
}

void ResultListActions::showEntryMenu(ResultList list, const QPoint& globalPos)
{
    ResultListView* listView = view(list);
    if (!listView)
        return;
    EntryMenu entries;
    const QModelIndex current = listView->currentIndex();
    if (current.isValid() && listView->selectionModel()->isSelected(current))
        entries.clicked = current.data().toString();
    for (int row : listView->selectedRows())
        entries.names << m_lists->model(list)->index(row, 0).data().toString();
    entries.offerSave = list != ResultList::Saved;
    entries.deleteNames = [this, list] {
        deleteSelectedEntry(list);
    };
    entryMenu(entries, listView)->popup(globalPos);
}

void ResultListActions::deleteSelectedEntry(ResultList list)
{
    ResultListView* listView = view(list);
    if (!listView)
        return;
    // From the bottom up, so that each removal leaves the rows still to go where they were.
    const QList<int> rows = listView->selectedRows();
    for (auto row = rows.crbegin(); row != rows.crend(); ++row)
        m_lists->deleteEntry(list, *row);
}

void ResultListActions::clearList(ResultList list)
{
    if (list == ResultList::Saved && !confirmClearSaved())
        return;
    m_lists->clear(list);
}

bool ResultListActions::confirmClearSaved()
{
    // Saved Domains is the one list kept by hand: it is cleared only when asked, and never lost.
    const int count = m_lists->entryCount(ResultList::Saved);
    if (count == 0)
        return true;
    QWidget* parent = view(ResultList::Saved) ? view(ResultList::Saved)->window() : nullptr;
    const QString question =
        QStringLiteral("Clear the %1 names of Saved Domains? Remembered.txt is kept in the backups folder.")
            .arg(count);
    if (MessageBox::show(parent, QMessageBox::Question, QStringLiteral("Saved Domains"), question,
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    if (!m_fileWritable)
        return true; // not read at start-up: the file is left alone, and the clear says so
    QString error;
    const QString backups = QFileInfo(m_rememberedPath).absolutePath() + QStringLiteral("/backups");
    const QString kept =
        RememberedList::moveToBackups(m_rememberedPath, backups, Clock::currentDateTime(), &error);
    if (!error.isEmpty()) {
        Q_EMIT failed(QStringLiteral("Saved Domains not cleared: %1.").arg(error));
        return false;
    }
    if (!kept.isEmpty())
        Q_EMIT notice(QStringLiteral("Saved Domains cleared; the earlier list is in %1").arg(kept));
    return true;
}

void ResultListActions::editMenuItem(int index)
{
    if (index < 0 || index >= editMenuItems().size())
        return;
    const EditMenuItem& item = editMenuItems().at(index);
    for (ResultList list : item.lists) {
        if (item.operation == EditOperation::Clear)
            clearList(list);
        else
            copyList(list);
    }
}

void ResultListActions::dropOnSavedDomains(const QString& payload)
{
    QStringList names;
    if (m_lastClickedList >= 1 && m_lastClickedList <= 4)
        names = entriesFromPayload(payload, m_lists->entries(static_cast<ResultList>(m_lastClickedList)));
    dropNamesOnSavedDomains(names);
}

void ResultListActions::dropNamesOnSavedDomains(const QStringList& names)
{
    m_holdSaving = true;
    if (!names.isEmpty())
        m_lists->appendSaved(names);
    m_holdSaving = false;
    // Written even when nothing was added, so the file always matches the list after a drop.
    saveSavedDomains();
}

void ResultListActions::openSelectedEntry(ResultList list)
{
    ResultListView* listView = view(list);
    if (!listView || !listView->selectionModel())
        return;
    const QModelIndex current = listView->currentIndex();
    if (!current.isValid() || !listView->selectionModel()->isSelected(current))
        return;
    openDomain(current.data().toString());
}

void ResultListActions::openDomain(const QString& domain)
{
    if (m_purchaseOnDoubleClick)
        openPurchasePage(domain);
    else
        openWhoisRecord(domain);
}

void ResultListActions::openWhoisRecord(const QString& domain)
{
    m_selectedDomain = domain;
    Q_EMIT whoisRequested(domain);
}

void ResultListActions::openPurchasePage(const QString& domain)
{
    m_selectedDomain = domain;
    const QUrl address(m_purchaseAddress + domain);
    if (!m_openUrl || !m_openUrl(address))
        Q_EMIT failed(QStringLiteral("Could not open %1").arg(address.toString()));
}

bool ResultListActions::saveSavedDomains()
{
    if (!m_fileWritable) {
        Q_EMIT failed(QStringLiteral("Saved Domains not written: %1 could not be read at start-up.")
                          .arg(m_rememberedPath));
        return false;
    }
    QString error;
    if (RememberedList::save(m_rememberedPath, m_lists->entries(ResultList::Saved), &error))
        return true;
    Q_EMIT failed(QStringLiteral("Saved Domains not written: %1").arg(error));
    return false;
}

void ResultListActions::onListEdited(ResultList list)
{
    if (list == ResultList::Saved && !m_holdSaving)
        saveSavedDomains();
}

} // namespace brisquel
