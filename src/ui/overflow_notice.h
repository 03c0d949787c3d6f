#pragma once

#include <QWidget>

namespace brisquel {

// "File backup": tells the user that the lists were moved to the overflow folder. Modeless, so
// that the search goes on while it is shown; Ok closes and deletes it.
class OverflowNotice : public QWidget
{
    Q_OBJECT
public:
    explicit OverflowNotice(QWidget* parent = nullptr);

    static QString noticeText();
};

} // namespace brisquel
