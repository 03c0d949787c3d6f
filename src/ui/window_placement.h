#pragma once

#include <QRect>

class QWidget;

namespace brisquel {

// Shows a top-level window so that its frame, title bar and borders included, lies in `frame`.
// The window manager adds the frame after show(), and only then is its size known: until then a
// usual one is assumed, and the window is placed again once the real one is known.
void showFramedIn(QWidget* window, const QRect& frame);

// The decoration the window manager added around the window; none before it is framed.
QMargins frameMargins(const QWidget* window);

} // namespace brisquel
