#include "wrapping_label.h"

#include <QResizeEvent>

namespace brisquel {

WrappingLabel::WrappingLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
}

QSize WrappingLabel::sizeHint() const
{
    return {QLabel::sizeHint().width(), heightForWidth(width())};
}

QSize WrappingLabel::minimumSizeHint() const
{
    return {0, heightForWidth(width())};
}

void WrappingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    // Another width may take another number of lines.
    if (event->oldSize().width() != event->size().width())
        updateGeometry();
}

} // namespace brisquel
