#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QTimer;

namespace brisquel {

// frmSplash: the first window. After 75 ticks of its 2 ms timer it opens the main window, once,
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
    int count() const { return intTemp; }

    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QTimer* Timer2 = nullptr;

private:
    void tick();

    OpenMainWindow m_openMainWindow;
    qint16 intTemp = 0;
};

} // namespace brisquel
