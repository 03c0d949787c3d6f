#pragma once

#include "engine/filing/result_list_id.h"

#include <QListView>

class QMimeData;

namespace brisquel {

// A list box of the main window. It turns keys, clicks, drags and drops into requests; what they
// do to the list is up to the window.
class ResultListView : public QListView
{
    Q_OBJECT
public:
    explicit ResultListView(ResultList list, QWidget* parent = nullptr);

    ResultList list() const { return m_list; }

    // Rows of the selected entries in ascending order.
    QList<int> selectedRows() const;
    // What a drag from this list carries; nullptr when nothing is selected.
    QMimeData* createDragMimeData() const;

    // Saved Domains takes plain-text drops; the other lists start drags instead.
    void setAcceptsNameDrops(bool accept);

Q_SIGNALS:
    void deleteRequested();
    void clearRequested();
    // The user pressed an entry or moved the focus to one.
    void listClicked();
    void entryDoubleClicked();
    // A right-click or the menu key: the entries' menu belongs at this point of the screen.
    void entryMenuRequested(const QPoint& globalPos);
    // Text from elsewhere: the payload's rows point into the list clicked last.
    void namesDropped(const QString& payload);
    // A drag from a result list, with the names it took when it started.
    void draggedNamesDropped(const QStringList& names);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ResultList m_list;
    bool m_acceptsNameDrops = false;
};

} // namespace brisquel
