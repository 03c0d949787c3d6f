#include "cli_output.h"

#include <QCommandLineParser>
#include <cstdio>

namespace brisquel {

void printError(const QString& message)
{
    std::fprintf(stderr, "brisquel-cli: %s\n", qPrintable(message));
}

void printCommandHelp(const QCommandLineParser& parser, const QString& usage)
{
    QString help = parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: ") + usage);
    std::fputs(qPrintable(help), stdout);
}

} // namespace brisquel
