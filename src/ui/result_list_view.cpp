#include "result_list_view.h"

#include "drag_payload.h"
#include "engine/filing/result_lists.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <algorithm>

namespace brisquel {

namespace {

// A free name that only WHOIS vouches for is shown in italics with a question mark after it, a
// saved name with news from the watch list in bold with the news after it. The marks are drawn,
// not part of the entry, so Copy and drags leave them out.
class EntryMarker : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (const QString news = index.data(ResultLists::NewsRole).toString(); !news.isEmpty()) {
            option->text += QStringLiteral("  ← ") + news;
            option->font.setBold(true);
        }
        if (!index.data(ResultLists::UnconfirmedRole).toBool())
            return;
        option->text += QStringLiteral("  ?");
        option->font.setItalic(true);
    }
};

} // namespace

ResultListView::ResultListView(ResultList list, QWidget* parent)
    : QListView(parent)
    , m_list(list)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    const bool available = list != ResultList::Saved;
    setSelectionMode(available ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    setDragEnabled(available);
    setDragDropMode(available ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
    setDefaultDropAction(Qt::CopyAction);
    if (list != ResultList::Registered)
        setItemDelegate(new EntryMarker(this));
}

QList<int> ResultListView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    const QModelIndexList indexes = selectionModel()->selectedRows();
    for (const QModelIndex& index : indexes)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QMimeData* ResultListView::createDragMimeData() const
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return nullptr;
    QStringList names;
    for (int row : rows)
        names.append(model()->index(row, 0).data().toString());
    return dragMimeData(rows, names);
}

void ResultListView::setAcceptsNameDrops(bool accept)
{
    m_acceptsNameDrops = accept;
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
    setDropIndicatorShown(false);
}

void ResultListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Delete) {
        QListView::keyPressEvent(event);
        return;
    }
    // Exactly Shift empties the list; any other combination removes one entry.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ShiftModifier)
        Q_EMIT clearRequested();
    else
        Q_EMIT deleteRequested();
    event->accept();
}

void ResultListView::mousePressEvent(QMouseEvent* event)
{
    QListView::mousePressEvent(event);
    Q_EMIT listClicked();
}

void ResultListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    Q_EMIT entryDoubleClicked();
}

void ResultListView::contextMenuEvent(QContextMenuEvent* event)
{
    // From the keyboard, the menu opens at the current entry rather than in the middle of the list.
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard && currentIndex().isValid())
        at = viewport()->mapToGlobal(visualRect(currentIndex()).center());
    event->accept();
    Q_EMIT entryMenuRequested(at);
}

void ResultListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (current.isValid() && hasFocus())
        Q_EMIT listClicked();
}

void ResultListView::startDrag(Qt::DropActions supportedActions)
{
    QMimeData* data = createDragMimeData();
    if (!data)
        return;
    // The source keeps its entries whatever the target does with them.
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(supportedActions | Qt::CopyAction, Qt::CopyAction);
}

void ResultListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_acceptsNameDrops && event->mimeData()->hasText()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

void ResultListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_acceptsNameDrops && event->mimeData()->hasText()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

void ResultListView::dropEvent(QDropEvent* event)
{
    if (!m_acceptsNameDrops || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (const std::optional<QStringList> names = draggedNames(event->mimeData()))
        Q_EMIT draggedNamesDropped(*names);
    else
        Q_EMIT namesDropped(event->mimeData()->text());
}

} // namespace brisquel
