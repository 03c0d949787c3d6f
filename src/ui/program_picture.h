#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStyle>

class QToolButton;
class QWidget;

namespace brisquel {

// The program's own picture (a magnifier over a globe): window icon, splash and about box.
QIcon programIcon();
QPixmap programPicture(int size);
// A flat button that shows one of the style's standard pictures (back, forward, stop...).
QToolButton* pictureButton(QStyle::StandardPixmap picture, const char* name, const char* tip,
                           QWidget* parent);

} // namespace brisquel
