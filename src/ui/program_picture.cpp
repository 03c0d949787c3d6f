#include "program_picture.h"

#include <QToolButton>

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

QToolButton* pictureButton(QStyle::StandardPixmap picture, const char* name, const char* tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(tip));
    button->setIcon(parent->style()->standardIcon(picture, nullptr, button));
    button->setAutoRaise(true);
    return button;
}

} // namespace brisquel
