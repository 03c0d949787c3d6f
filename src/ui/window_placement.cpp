#include "window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace brisquel {

namespace {

// How long a window manager may take to frame a new window.
constexpr int FramingWaitMs = 3000;

// A title bar and thin borders, as most window managers draw them.
QMargins usualFrame(const QWidget* window)
{
    const int border = 4;
    const int title = std::max(24, window->fontMetrics().height() + 12);
    return {border, title, border, border};
}

void place(QWidget* window, const QRect& frame, const QMargins& decoration)
{
    // move() places the frame's corner; resize() sizes what is inside it.
    window->move(frame.topLeft());
    window->resize(std::max(window->minimumWidth(), frame.width() - decoration.left() - decoration.right()),
                   std::max(window->minimumHeight(), frame.height() - decoration.top() - decoration.bottom()));
}

// Places the window again once the window manager has framed it, then goes.
class FramingWatch : public QObject
{
public:
    FramingWatch(QWidget* window, const QRect& frame)
        : QObject(window)
        , m_window(window)
        , m_frame(frame)
    {
        window->installEventFilter(this);
        QTimer::singleShot(FramingWaitMs, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                    event->type() == QEvent::Show))
            QTimer::singleShot(0, this, [this] { check(); });
        return false;
    }

private:
    void check()
    {
        if (!m_window)
            return;
        const QMargins decoration = frameMargins(m_window);
        if (decoration.isNull())
            return;
        place(m_window, m_frame, decoration);
        m_window->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_window;
    QRect m_frame;
};

} // namespace

QMargins frameMargins(const QWidget* window)
{
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void showFramedIn(QWidget* window, const QRect& frame)
{
    window->setWindowState(window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    const bool framed = window->isVisible() && !frameMargins(window).isNull();
    place(window, frame, framed ? frameMargins(window) : usualFrame(window));
    window->show();
    if (!framed)
        new FramingWatch(window, frame);
}

} // namespace brisquel
