#pragma once

#include <QStyle>
#include <QWebEnginePage>
#include <functional>

class QToolButton;
class QWebEngineView;

namespace brisquel {

// A button of a browser's address row: its picture, object name, tool tip and what it does.
struct PageButton
{
    QStyle::StandardPixmap picture;
    const char* name;
    const char* tip;
    QWebEnginePage::WebAction action;
};

// The button, acting on the page of the view `view` gives at the click, so that the view may be
// built after it. With nothing to go back or forward to, Back and Forward do nothing.
QToolButton* pageButton(const PageButton& button, QWidget* parent, std::function<QWebEngineView*()> view);

} // namespace brisquel
