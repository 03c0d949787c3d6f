#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// brisquel-cli search: runs a search headless with the engine, files and settings of the GUI
// program.
ExitCode runSearchCommand(const QStringList& arguments);

} // namespace brisquel
