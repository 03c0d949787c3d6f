#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// "brisquel-cli verdict [--server HOST] [--home DIR] FILE...": judges saved WHOIS answers or RDAP
// replies (one a file; a JSON object is an RDAP reply) and prints, per file, the verdict, the file,
// the rule that decided it, and of a taken name the deletion state and the expiry date read from it,
// separated by tabs. A tool for users who write answer rules and life-cycle lines.
ExitCode runVerdictCommand(const QStringList& arguments);

} // namespace brisquel
