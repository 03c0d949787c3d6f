#pragma once

#include <QString>

namespace brisquel::AppInfo {

// The product title doubles as the settings application name of the user's options.
QString productTitle();
QString companyName();
QString version();
QString webSiteName();

} // namespace brisquel::AppInfo
