#pragma once

#include "cli/exit_code.h"

#include <QStringList>
#include <QTextStream>

namespace brisquel {

// "brisquel-cli extract [--browser] FILE...": prints the candidate domain names that the page
// rules find in saved HTML pages, one a line, in the order found, each name once over all
// files. By default the harvester's rules are used; --browser uses the domain browser's
// (frames are not followed). ExtractBadArguments on a usage error, ExtractUnreadablePage when a
// file could not be read (the other files are still read), NotWritten when `out` could not be
// written (nothing more is read).
ExitCode runExtractCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                           const QStringList& enabledExtensions);

} // namespace brisquel
