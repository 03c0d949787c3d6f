#pragma once

#include <QCommandLineOption>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace brisquel {

// --home DIR, which every command takes (DataFolder::resolveRoot reads it from the arguments).
QCommandLineOption homeOption();
// Parses a command's arguments. The exit status when the command ends here: 2 after printing the
// parser's error, 0 after printing the help (its usage line `usage`; 3 or 141 when standard output
// could not take it); nullopt to carry on.
std::optional<int> parseCommand(QCommandLineParser& parser, const QStringList& arguments,
                                const QString& usage);
// False, after saying which, when a word was given that no option takes.
bool noStrayArguments(const QCommandLineParser& parser);

} // namespace brisquel
