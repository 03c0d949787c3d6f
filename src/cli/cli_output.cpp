#include "cli_output.h"

#include <cstdio>

namespace brisquel {

void printError(const QString& message)
{
    std::fprintf(stderr, "brisquel-cli: %s\n", qPrintable(message));
}

} // namespace brisquel
