#pragma once

#include <QStringList>

namespace brisquel {

// brisquel-cli search: runs a search headless with the engine, files and settings of the GUI
// program. Returns the process exit code.
int runSearchCommand(const QStringList& arguments);

} // namespace brisquel
