#pragma once

#include <QIcon>
#include <QPixmap>

namespace brisquel {

// The program's own picture (a magnifier over a globe): window icon, splash and about box.
QIcon programIcon();
QPixmap programPicture(int size);

} // namespace brisquel
