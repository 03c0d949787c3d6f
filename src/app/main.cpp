#include "support/app_info.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(brisquel::AppInfo::companyName());
    QApplication::setApplicationName(brisquel::AppInfo::productTitle());
    QApplication::setApplicationVersion(brisquel::AppInfo::version());

    brisquel::MainWindow window(brisquel::MainWindowEnvironment::fromArguments(QApplication::arguments()));
    window.showMaximized();

    // For smoke tests: leave through the window's own close path after a while.
    const QStringList arguments = QApplication::arguments();
    const qsizetype quitAt = arguments.indexOf(QStringLiteral("--quit-after"));
    if (quitAt >= 0 && quitAt + 1 < arguments.size())
        QTimer::singleShot(arguments.at(quitAt + 1).toInt(), &window, &QWidget::close);
    return app.exec();
}
