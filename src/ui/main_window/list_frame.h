#pragma once

#include "engine/filing/result_list_id.h"

#include <QGroupBox>
#include <array>

class QGridLayout;
class QLabel;

namespace brisquel {

class ResultListActions;
class ResultLists;

// "Domain Name Manager": the five result lists side by side, each under its caption and its
// Copy, Del and Clear buttons. The lists are the actions' views; the captions follow the lists.
class ListFrame : public QGroupBox
{
    Q_OBJECT
public:
    ListFrame(ResultLists* lists, ResultListActions* actions, QWidget* parent = nullptr);

    // The title says when a double-click opens a name's purchase page.
    void showDoubleClickChoice(bool purchase);

private:
    void addListColumn(QGridLayout* grid, int gridColumn, ResultList list, const QString& listTip,
                       const QString& labelTip);

    ResultLists* m_lists;
    ResultListActions* m_actions;
    // In list-number order.
    std::array<QLabel*, 5> m_captions{};
};

} // namespace brisquel
