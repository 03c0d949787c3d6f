#include "button_strip.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QResizeEvent>

namespace brisquel {

ButtonStrip::ButtonStrip(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QBoxLayout(QBoxLayout::LeftToRight, this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ButtonStrip::addButton(QPushButton* button)
{
    button->setMinimumWidth(16);
    m_buttons.append(button);
    m_layout->addWidget(button);
}

bool ButtonStrip::isStacked() const
{
    return m_layout->direction() == QBoxLayout::TopToBottom;
}

int ButtonStrip::rowWidth() const
{
    int width = m_layout->spacing() * int(qMax(qsizetype(0), m_buttons.size() - 1));
    // The caption and some padding; a style's size hint may insist on a wider minimum than that.
    for (const QPushButton* button : m_buttons)
        width += button->fontMetrics().horizontalAdvance(button->text()) +
                 2 * button->fontMetrics().averageCharWidth();
    return width;
}

void ButtonStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const auto direction =
        event->size().width() < rowWidth() ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (direction != m_layout->direction())
        m_layout->setDirection(direction);
}

} // namespace brisquel
