#include "command_line.h"

#include "cli/cli_output.h"

namespace brisquel {

ExitCode endWithoutRunning(const QString& help, const QString& error)
{
    if (help.isEmpty()) {
        printError(error);
        return ExitCode::BadArguments;
    }
    StandardOutput output;
    return output.print(help) ? ExitCode::Success : output.reportFailure();
}

} // namespace brisquel
