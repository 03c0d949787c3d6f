#include "support/app_info.h"
#include "support/data_folder.h"
#include "ui/main_window.h"
#include "ui/message_log.h"
#include "ui/program_picture.h"
#include "ui/splash_window.h"
#include "ui/website_window.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

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
        // For smoke tests: leave through the window's own close path after a while.
        const qsizetype quitAt = arguments.indexOf(QStringLiteral("--quit-after"));
        if (quitAt >= 0 && quitAt + 1 < arguments.size())
            QTimer::singleShot(arguments.at(quitAt + 1).toInt(), window, &QWidget::close);
    });
    splash->show();
    splash->start();
    const int status = app.exec();
    // The browser's page must go before the web engine shuts down with the application.
    delete brisquel::WebsiteWindow::instance();
    return status;
}
