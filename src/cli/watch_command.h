#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// "brisquel-cli watch": every saved name checked once, and what changed since its last check.
// arguments: those after "watch".
ExitCode runWatchCommand(const QStringList& arguments);

} // namespace brisquel
