#include "app_info.h"

namespace brisquel::AppInfo {

QString productTitle()
{
    return QStringLiteral("Brisquel");
}

QString companyName()
{
    return QStringLiteral("Velmorra");
}

QString version()
{
    return QStringLiteral(BRISQUEL_VERSION);
}

QString webSiteName()
{
    return QStringLiteral("Brisquel.app");
}

} // namespace brisquel::AppInfo
