#include "program_picture.h"

namespace brisquel {

namespace {

// Rendered from data/icons/brisquel.svg; a PNG needs no image plugin at run time.
QString picturePath()
{
    return QStringLiteral(":/icons/brisquel.png");
}

} // namespace

QIcon programIcon()
{
    return QIcon(picturePath());
}

QPixmap programPicture(int size)
{
    return QPixmap(picturePath()).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace brisquel
