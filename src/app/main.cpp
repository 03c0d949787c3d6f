#include "support/app_info.h"
#include "support/data_folder.h"
#include "ui/main_window/main_window.h"
#include "ui/message_log.h"
#include "ui/program_picture.h"
#include "ui/splash_window.h"
#include "ui/website_window.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

QtMessageHandler defaultHandler = nullptr;

void withoutSandboxNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The engine's word for the sandbox the program turned off as root; the message log says it.
    if (type == QtInfoMsg && message == QLatin1String("Sandboxing disabled by user."))
        return;
    defaultHandler(type, context, message);
}

// The web engine writes its own log to the terminal: its GL set-up, and errors of Chromium's GPU
// process that are harmless under a virtual or software display but read like a crash. They are
// written only when asked for with --verbose; flags and rules the user set still win.
void quietWebEngine()
{
    // Chromium's ERROR lines go only with --log-level=3 (fatal only); --disable-logging keeps them.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level") && !flags.contains("--enable-logging"))
        flags += " --log-level=3";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    // Qt's report of the engine's GL set-up, and the pages' console messages.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webengine*=false\njs=false"));
    defaultHandler = qInstallMessageHandler(withoutSandboxNotice);
}

} // namespace

int main(int argc, char* argv[])
{
    // Before any window: a mistyped --home is said where it was typed.
    QStringList given;
    for (int i = 0; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    if (const QString problem = brisquel::DataFolder::homeArgumentProblem(given); !problem.isEmpty()) {
        std::fprintf(stderr, "brisquel: %s\n", qPrintable(problem));
        return 2;
    }
    // The web engine's sandbox refuses to run as root (containers, fresh machines) and takes the
    // program down with it; without the sandbox the web windows work. It is read at engine start-up.
    if (!given.contains(QStringLiteral("--verbose")))
        quietWebEngine();
    const bool runsAsRoot = geteuid() == 0;
    if (runsAsRoot)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine shares its GL context with the widgets; it must be said before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(brisquel::AppInfo::companyName());
    QApplication::setApplicationName(brisquel::AppInfo::productTitle());
    QApplication::setApplicationVersion(brisquel::AppInfo::version());
    QApplication::setWindowIcon(brisquel::programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("brisquel"));

    const QStringList arguments = QApplication::arguments();
    auto* splash = new brisquel::SplashWindow([&arguments, runsAsRoot] {
        auto* window = new brisquel::MainWindow(brisquel::MainWindowEnvironment::fromArguments(arguments));
        // Its children (the WHOIS window, the about box, …) go with it; the website window, which has
        // no parent, stays.
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (runsAsRoot)
            window->messageLog()->append(
                QStringLiteral("Running as root: the web windows run without the web engine's sandbox."));
        window->showOnStart();
        // For smoke tests: leave through the windows' own close paths after a while.
        const qsizetype quitAt = arguments.indexOf(QStringLiteral("--quit-after"));
        if (quitAt >= 0 && quitAt + 1 < arguments.size())
            QTimer::singleShot(arguments.at(quitAt + 1).toInt(), window, [window] {
                if (window->close() && brisquel::WebsiteWindow::instance())
                    brisquel::WebsiteWindow::instance()->close();
            });
    });
    splash->show();
    splash->start();
    const int status = app.exec();
    // The browser's page must go before the web engine shuts down with the application.
    delete brisquel::WebsiteWindow::instance();
    return status;
}
