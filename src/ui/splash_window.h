#pragma once

#include <QWidget>
#include <functional>

class QTimer;

namespace brisquel {

// The splash window: the first window. After 75 ticks of its 2 ms timer it opens the main window, once,
// and goes away.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    // Builds and shows the main window; called exactly once.
    using OpenMainWindow = std::function<void()>;

    static constexpr int TickMs = 2;
    static constexpr int LastCount = 150;

    explicit SplashWindow(OpenMainWindow openMainWindow, QWidget* parent = nullptr);

    // Starts the ticks (the timer is off until the window has loaded).
    void start();
    int count() const { return m_count; }

private:
    void tick();

    OpenMainWindow m_openMainWindow;
    QTimer* m_tickTimer = nullptr;
    qint16 m_count = 0;
};

} // namespace brisquel
