#include "support/app_info.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(brisquel::AppInfo::companyName());
    QCoreApplication::setApplicationName(brisquel::AppInfo::productTitle());
    QCoreApplication::setApplicationVersion(brisquel::AppInfo::version());
    QTextStream(stdout) << brisquel::AppInfo::productTitle() << ' ' << brisquel::AppInfo::version() << '\n';
    return 0;
}
