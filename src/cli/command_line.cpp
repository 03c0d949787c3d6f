#include "command_line.h"

#include "cli/cli_output.h"
#include "history/history_store.h"

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

std::unique_ptr<HistoryStore> openHistoryPrintingProblems(const QString& root)
{
    QStringList messages;
    std::unique_ptr<HistoryStore> history = openFolderHistory(root, &messages);
    for (const QString& message : std::as_const(messages))
        printError(message);
    if (history)
        QObject::connect(history.get(), &HistoryStore::problem,
                         [](const QString& text) { printError(text); });
    return history;
}

} // namespace brisquel
