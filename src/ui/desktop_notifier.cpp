#include "desktop_notifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSystemTrayIcon>
#include <QTimer>

namespace brisquel {

namespace {

// How long the tray icon stays after its notification.
constexpr int TrayShownMs = 30000;

// The freedesktop notification service, where the session has one; nothing happens without.
void notifyDesktop(const QString& title, const QString& text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QCoreApplication::applicationName() << uint(0) << QString() << title << text << QStringList()
         << QVariantMap() << int(-1);
    // Not waited for: a desktop without the service must not hold the window up.
    bus.asyncCall(call);
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent)
{}

void DesktopNotifier::notify(const QString& title, const QString& text)
{
    // A desktop without a tray mostly has a notification service: it is asked instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        notifyDesktop(title, text);
        return;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        connect(m_tray, &QSystemTrayIcon::messageClicked, m_tray, &QSystemTrayIcon::hide);
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information);
    QTimer::singleShot(TrayShownMs, m_tray, &QSystemTrayIcon::hide);
}

} // namespace brisquel
