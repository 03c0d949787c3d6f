#pragma once

#include <QStringList>
#include <QTextStream>

namespace brisquel {

// "brisquel-cli extract [--browser] FILE...": prints the candidate domain names that the page
// rules find in saved HTML pages, one a line, in the order found, each name once over all
// files. By default the harvester's rules are used; --browser uses the domain browser's
// (frames are not followed). Returns 0, 1 on a usage error, 2 when a file could not be read
// (the other files are still read), 3 when `out` could not be written (nothing more is read).
int runExtractCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                      const QStringList& enabledExtensions);

} // namespace brisquel
