#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "cli/drops_command.h"
#include "cli/extract_command.h"
#include "cli/generate_command.h"
#include "cli/history_command.h"
#include "cli/rank_command.h"
#include "cli/search_command.h"
#include "cli/verdict_command.h"
#include "cli/watch_command.h"
#include "cli/zones_command.h"
#include "support/app_info.h"
#include "support/data_folder.h"
#include "whois_config/extension_table.h"
#include "whois_config/registrars_file.h"

#include <QCoreApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>

namespace {

// The extensions the page rules recognise come from the user's registrars.txt when there is one.
QStringList enabledExtensions(const QStringList& arguments)
{
    brisquel::DataFolder folder(brisquel::DataFolder::resolveRoot(arguments));
    brisquel::RegistrarsFile file(folder.path(QStringLiteral("registrars.txt")));
    brisquel::ExtensionTable table(brisquel::defaultExtensionRows());
    file.loadExtensionTable(&table);
    return table.enabledExtensions();
}

brisquel::ExitCode runExtract(QStringList arguments)
{
    QStringList files;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--home")) {
            ++i;
            continue;
        }
        if (!arguments.at(i).startsWith(QLatin1String("--home=")))
            files << arguments.at(i);
    }
    brisquel::StandardOutput output;
    QTextStream out(&output);
    QTextStream err(stderr);
    const brisquel::ExitCode status =
        brisquel::runExtractCommand(files, out, err, enabledExtensions(arguments));
    return output.failed() ? output.reportFailure() : status;
}

brisquel::ExitCode runCommand(const QString& command, const QStringList& arguments)
{
    using brisquel::ExitCode;
    if (command == QLatin1String("search"))
        return brisquel::runSearchCommand(arguments.mid(1));
    if (command == QLatin1String("generate"))
        return brisquel::runGenerateCommand(arguments.mid(1));
    if (command == QLatin1String("verdict"))
        return brisquel::runVerdictCommand(arguments.mid(1));
    if (command == QLatin1String("watch"))
        return brisquel::runWatchCommand(arguments.mid(1));
    if (command == QLatin1String("history"))
        return brisquel::runHistoryCommand(arguments.mid(1));
    if (command == QLatin1String("zones"))
        return brisquel::runZonesCommand(arguments.mid(1));
    if (command == QLatin1String("drops"))
        return brisquel::runDropsCommand(arguments.mid(1));
    if (command == QLatin1String("rank"))
        return brisquel::runRankCommand(arguments.mid(1));
    if (command == QLatin1String("extract"))
        return runExtract(arguments.mid(2));
    brisquel::StandardOutput output;
    if (command == QLatin1String("--version")) {
        const QString version = brisquel::AppInfo::productTitle() + QLatin1Char(' ') +
                                brisquel::AppInfo::version() + QLatin1Char('\n');
        return output.print(version) ? ExitCode::Success : output.reportFailure();
    }
    // "help" alone is --help; "help search" is "search --help".
    const QString topic = command == QLatin1String("help") && !arguments.value(2).startsWith(QLatin1Char('-'))
                              ? arguments.value(2)
                              : QString();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        (command == QLatin1String("help") && topic.isEmpty()))
        return output.print(brisquel::topLevelUsage()) ? ExitCode::Success : output.reportFailure();
    if (brisquel::commandNames().contains(topic))
        return runCommand(topic, {arguments.at(0), topic, QStringLiteral("--help")});
    if (!command.isEmpty())
        brisquel::printError(brisquel::unknownCommandMessage(topic.isEmpty() ? command : topic));
    std::fputs(qPrintable(brisquel::topLevelUsage()), stderr);
    return ExitCode::BadArguments;
}

} // namespace

int main(int argc, char* argv[])
{
    // A reader that goes away must show up as a failed write, which saves the search position,
    // not as a signal that ends the program before it can.
    std::signal(SIGPIPE, SIG_IGN);
    // Qt's own event dispatcher rather than GLib's: GLib wakes its loop with a write to an eventfd
    // whenever a socket starts or stops being watched, five system calls per name looked up.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(brisquel::AppInfo::companyName());
    QCoreApplication::setApplicationName(brisquel::AppInfo::productTitle());
    QCoreApplication::setApplicationVersion(brisquel::AppInfo::version());

    const QStringList arguments = QCoreApplication::arguments();
    brisquel::hideProxyPasswords(argc, argv);
    if (const QString problem = brisquel::DataFolder::homeArgumentProblem(arguments); !problem.isEmpty()) {
        brisquel::printError(problem);
        return brisquel::exitStatus(brisquel::ExitCode::BadArguments);
    }
    return brisquel::exitStatus(runCommand(arguments.value(1), arguments));
}
