#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

namespace brisquel {

// Failures the user has to act on, each in a message box over the window. A failure can be
// reported in the middle of filing a name; a modal box there would run the search's events inside
// that filing, so the box waits for the event loop. Failures that come while a box is open are
// shown together in the next one.
class FailureQueue : public QObject
{
    Q_OBJECT
public:
    explicit FailureQueue(QWidget* window);

    void add(const QString& failure);

private:
    void showPending();

    QWidget* m_window;
    QStringList m_pending;
    bool m_showing = false;
};

} // namespace brisquel
