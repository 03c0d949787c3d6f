#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace brisquel {

// The widget, given its object name: the name tests, accessibility tools and the data files know
// it by, whatever the member that holds it is called.
template <typename Widget>
Widget* named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    return named(widget, QString::fromLatin1(name));
}

inline QLabel* namedLabel(const QString& text, const char* name, QWidget* parent)
{
    return named(new QLabel(text, parent), name);
}

// A push button with its object name and, when given, a tool tip.
inline QPushButton* namedButton(const QString& caption, const char* name, const char* tip, QWidget* parent)
{
    auto* button = named(new QPushButton(caption, parent), name);
    if (tip)
        button->setToolTip(QString::fromLatin1(tip));
    return button;
}

// A window that is one of its kind: shown, or brought to the front when it is open already.
inline void showInFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace brisquel
