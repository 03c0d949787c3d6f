#include "page_button.h"

#include "program_picture.h"

#include <QToolButton>
#include <QWebEngineView>

namespace brisquel {

QToolButton* pageButton(const PageButton& button, QWidget* parent, std::function<QWebEngineView*()> view)
{
    QToolButton* made = pictureButton(button.picture, button.name, button.tip, parent);
    QObject::connect(made, &QToolButton::clicked, made,
                     [view = std::move(view), action = button.action] { view()->triggerPageAction(action); });
    return made;
}

} // namespace brisquel
