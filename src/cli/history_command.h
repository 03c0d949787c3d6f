#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// "brisquel-cli history [--name PATTERN] [--verdict V] [--since DATE] [--format F] [--home DIR]":
// the checks the data folder's history recorded, oldest first. It only reads the history (beside a
// running search, which goes on writing) and writes no file.
ExitCode runHistoryCommand(const QStringList& arguments);

} // namespace brisquel
