#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;

namespace brisquel {

// Shows a notification where the desktop has a place for one: a tray icon's message, or the
// freedesktop notification service; nothing happens on a desktop with neither.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    void notify(const QString& title, const QString& text);

private:
    QPointer<QSystemTrayIcon> m_tray;
};

} // namespace brisquel
