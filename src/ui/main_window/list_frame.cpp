#include "list_frame.h"

#include "engine/filing/result_lists.h"
#include "ui/button_strip.h"
#include "ui/result_list_actions.h"
#include "ui/result_list_view.h"
#include "ui/widget_helpers.h"
#include "ui/wrapping_label.h"

#include <QGridLayout>
#include <QItemSelectionModel>
#include <QPushButton>

namespace brisquel {

namespace {

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

} // namespace

ListFrame::ListFrame(ResultLists* lists, ResultListActions* actions, QWidget* parent)
    : QGroupBox(QStringLiteral("Domain Name Manager"), parent)
    , m_lists(lists)
    , m_actions(actions)
{
    setObjectName(QStringLiteral("Frame2"));
    // One grid for all five lists, so that their tops line up when a caption wraps.
    auto* grid = new QGridLayout(this);
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
    connect(m_lists, &ResultLists::captionChanged, this,
            [this](ResultList list, const QString& caption) { m_captions[int(list) - 1]->setText(caption); });
}

void ListFrame::addListColumn(QGridLayout* grid, int gridColumn, ResultList list, const QString& listTip,
                              const QString& labelTip)
{
    const int number = static_cast<int>(list);
    const QString suffix = QString::number(number);
    auto* caption = named(new WrappingLabel(m_lists->caption(list), this), QStringLiteral("Label") + suffix);
    caption->setToolTip(labelTip);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* view = named(new ResultListView(list, this), QStringLiteral("List") + suffix);
    view->setToolTip(listTip);
    view->setMinimumWidth(40);
    m_actions->setView(view);
    m_captions[number - 1] = caption;
    // A saved name's news is seen once the user goes to it.
    if (list == ResultList::Saved && view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) {
                    if (current.isValid())
                        m_lists->markSeen(current.data().toString());
                });

    auto* buttons = new ButtonStrip(this);
    const auto addButton = [&](const char* label, const QString& name, const char* tip, auto action) {
        auto* listButton = named(new QPushButton(text(label), this), name + suffix);
        if (tip)
            listButton->setToolTip(text(tip));
        connect(listButton, &QPushButton::clicked, m_actions,
                [this, list, action] { (m_actions->*action)(list); });
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

void ListFrame::showDoubleClickChoice(bool purchase)
{
    setTitle(purchase ? QStringLiteral("Domain Name Manager - Double Click any domain to purchase")
                      : QStringLiteral("Domain Name Manager"));
}

} // namespace brisquel
