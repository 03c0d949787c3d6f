#include "elided_label.h"

#include <QPainter>
#include <QStyle>

namespace brisquel {

namespace {

QString oneLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
}

bool ElidedLabel::isElided() const
{
    return shownText() != oneLine(text());
}

int ElidedLabel::widthFor(const QString& text) const
{
    const QMargins margins = contentsMargins();
    // One pixel more: an advance measured in fractions can round up when drawn.
    return fontMetrics().horizontalAdvance(oneLine(text)) + 2 * (padding() + margin()) + margins.left() +
           margins.right() + 1;
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {widthFor(QStringLiteral("…")), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::setHintWidth(int width)
{
    m_hintWidth = width;
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const
{
    const QSize whole = QLabel::sizeHint();
    return m_hintWidth > 0 ? QSize(m_hintWidth, whole.height()) : whole;
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, textArea(), int(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), shownText(), foregroundRole());
}

QRect ElidedLabel::textArea() const
{
    const int side = padding() + margin();
    return contentsRect().adjusted(side, margin(), -side, -margin());
}

int ElidedLabel::padding() const
{
    // As QLabel does: a framed label keeps half an "x" between its frame and its text.
    if (indent() >= 0)
        return indent();
    return frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(oneLine(text()), Qt::ElideRight, textArea().width());
}

} // namespace brisquel
