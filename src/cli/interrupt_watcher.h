#pragma once

#include <QObject>

class QSocketNotifier;

namespace brisquel {

// Turns SIGINT and SIGTERM into a Qt signal delivered by the event loop, so that Ctrl-C takes
// the same stop path as the Stop button.
class InterruptWatcher : public QObject
{
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

Q_SIGNALS:
    void interrupted();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace brisquel
