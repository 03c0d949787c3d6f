#include "command_line.h"

#include "cli/cli_output.h"
#include "history/history_store.h"

#include <cstring>

namespace brisquel {

namespace {

// The characters between "USER:" and the "@" before the host turn to '*', in place: the memory
// keeps its length.
void hidePassword(char* url)
{
    char* authority = std::strstr(url, "://");
    if (!authority)
        return;
    authority += 3;
    const char* end = authority + std::strcspn(authority, "/?#");
    char* at = nullptr;
    for (char* c = authority; c < end; ++c) {
        if (*c == '@')
            at = c;
    }
    char* colon = at ? static_cast<char*>(std::memchr(authority, ':', size_t(at - authority))) : nullptr;
    if (colon)
        std::memset(colon + 1, '*', size_t(at - colon - 1));
}

} // namespace

void hideProxyPasswords(int argc, char** argv)
{
    constexpr char Option[] = "--socks";
    constexpr size_t OptionLength = sizeof(Option) - 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], Option) == 0 && i + 1 < argc)
            hidePassword(argv[++i]);
        else if (std::strncmp(argv[i], Option, OptionLength) == 0 && argv[i][OptionLength] == '=')
            hidePassword(argv[i] + OptionLength + 1);
    }
}

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
