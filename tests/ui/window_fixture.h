#pragma once

#include "ui/main_window/main_window.h"
#include "ui/message_box.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace brisquel::test {

// A window's control by its object name, as a user's tools see it; fails the test when missing.
template <typename Widget>
Widget* child(const QObject* window, const char* name)
{
    Widget* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no %s named %s", Widget::staticMetaObject.className(), name);
    return widget;
}

// The newest window of a kind the main window opened beside itself, found by type as a user's
// tools would; null once it is gone.
template <typename Window>
Window* companion(const QObject* mainWindow)
{
    const QList<Window*> windows = mainWindow->findChildren<Window*>();
    return windows.isEmpty() ? nullptr : windows.last();
}

// A main window on a data folder of its own (passed with --home, as a user would), with its
// per-user settings beside it and a recorder in place of the desktop browser.
struct WindowFixture
{
    explicit WindowFixture(const QString& subfolder = QStringLiteral("home"))
        : home(dir.path() + QLatin1Char('/') + subfolder)
    {}

    MainWindow* open()
    {
        // No registry's real RDAP server may be asked when a test's WHOIS server gives no answer.
        QDir().mkpath(home);
        if (!QFile::exists(path(QStringLiteral("rdap-dns.json"))))
            write(QStringLiteral("rdap-dns.json"), "{\"services\": []}");
        // Nor the system's DNS resolver: tests that want the pre-check point it at a fake one.
        if (!QFileInfo(path(QStringLiteral("settings.ini"))).isDir()) {
            QSettings settings(path(QStringLiteral("settings.ini")), QSettings::IniFormat);
            if (!settings.contains(QStringLiteral("Brisquel/Settings/chkDns")))
                settings.setValue(QStringLiteral("Brisquel/Settings/chkDns"), QStringLiteral("0"));
        }
        MainWindowEnvironment environment = MainWindowEnvironment::fromArguments(
            {QStringLiteral("brisquel"), QStringLiteral("--home"), home});
        environment.userSettingsPath = dir.path() + QStringLiteral("/user/Brisquel.ini");
        environment.openUrl = [this](const QUrl& url) {
            opened.append(url);
            return openWith ? openWith(url) : openSucceeds;
        };
        window = std::make_unique<MainWindow>(environment);
        return window.get();
    }

    QString path(const QString& relative) const { return home + QLatin1Char('/') + relative; }

    bool write(const QString& relative, const QByteArray& bytes) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString home;
    QList<QUrl> opened;
    // False stands for a desktop with nothing to open a page with.
    bool openSucceeds = true;
    // Opens the page for real (the program's own browser window) when set.
    UrlOpener openWith;
    std::unique_ptr<MainWindow> window;
};

} // namespace brisquel::test
