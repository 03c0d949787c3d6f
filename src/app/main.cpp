#include "support/app_info.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(brisquel::AppInfo::companyName());
    QApplication::setApplicationName(brisquel::AppInfo::productTitle());
    QApplication::setApplicationVersion(brisquel::AppInfo::version());

    brisquel::MainWindow window(brisquel::MainWindowEnvironment::fromArguments(QApplication::arguments()));
    window.showMaximized();
    return app.exec();
}
