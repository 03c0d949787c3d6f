#pragma once

#include <QString>

class QCommandLineParser;

namespace brisquel {

// "brisquel-cli: MESSAGE" on standard error.
void printError(const QString& message);
// The parser's help on standard output, its usage line naming the command as the user types it
// (the parser would name the program by its path).
void printCommandHelp(const QCommandLineParser& parser, const QString& usage);

} // namespace brisquel
