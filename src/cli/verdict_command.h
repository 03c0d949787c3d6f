#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// "brisquel-cli verdict [--server HOST] [--home DIR] FILE...": judges saved WHOIS answers (one
// answer a file) by the answer rules and prints, per file, the verdict, the file and the rule that
// decided it, separated by tabs. A tool for users who write rules.
ExitCode runVerdictCommand(const QStringList& arguments);

} // namespace brisquel
