#include "command_line.h"

#include "cli/cli_output.h"

#include <QCommandLineParser>

namespace brisquel {

namespace {

// The parser's help on standard output, its usage line naming the command as the user types it
// (the parser would name the program by its path). The exit status.
int printCommandHelp(const QCommandLineParser& parser, const QString& usage)
{
    QString help = parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: ") + usage);
    StandardOutput output;
    return output.print(help) ? 0 : output.reportFailure();
}

} // namespace

QCommandLineOption homeOption()
{
    return QCommandLineOption(QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR"));
}

std::optional<int> parseCommand(QCommandLineParser& parser, const QStringList& arguments,
                                const QString& usage)
{
    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        return printCommandHelp(parser, usage);
    return std::nullopt;
}

bool noStrayArguments(const QCommandLineParser& parser)
{
    if (parser.positionalArguments().isEmpty())
        return true;
    printError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    return false;
}

} // namespace brisquel
