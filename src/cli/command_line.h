#pragma once

#include "cli/exit_code.h"

#include <QString>

namespace brisquel {

// A command that ends after reading its arguments: its help on standard output (Success, or how
// writing it failed), or what was wrong with them on standard error (BadArguments).
ExitCode endWithoutRunning(const QString& help, const QString& error);

} // namespace brisquel
