#pragma once

#include <QString>

namespace brisquel::AppInfo {

// The product title doubles as the settings application name of the user's options.
QString productTitle();
QString companyName();
// "0.1.0": the project's version (CMakeLists.txt), shown whole wherever a program names its version.
QString version();
QString webSiteName();

} // namespace brisquel::AppInfo
