#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// brisquel-cli zones import|list|remove: the zone files a search settles names from.
// arguments: "zones" first, then the action and its options.
ExitCode runZonesCommand(const QStringList& arguments);

} // namespace brisquel
