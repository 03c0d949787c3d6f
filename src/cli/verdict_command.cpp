#include "verdict_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "engine/startup.h"
#include "support/data_folder.h"

#include <QCommandLineParser>
#include <QFile>

namespace brisquel {

int runVerdictCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Judges saved WHOIS answers by the answer rules and prints, per file:\n"
        "verdict, file, and the rule that decided it (tab-separated).\n"
        "The rules are the delivered ones with the data folder's answer-rules.txt over them."));
    parser.addHelpOption();
    const QCommandLineOption serverOption(
        QStringLiteral("server"), QStringLiteral("WHOIS server whose rules apply (default: generic)."),
        QStringLiteral("HOST"));
    parser.addOptions({serverOption, homeOption()});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A saved answer."),
                                 QStringLiteral("FILE..."));
    if (const std::optional<int> status =
            parseCommand(parser, arguments, QStringLiteral("brisquel-cli verdict [options] FILE...")))
        return *status;
    if (parser.positionalArguments().isEmpty()) {
        printError(QStringLiteral("give one or more files with saved answers"));
        return 2;
    }

    // The rules a search of this data folder judges by; loading them reads no settings.
    QList<AnswerRules::Problem> problems;
    QStringList errors;
    const std::shared_ptr<const AnswerRules> rules =
        Startup(DataFolder(DataFolder::resolveRoot(arguments)), nullptr).loadAnswerRules(&problems, &errors);
    for (const QString& error : std::as_const(errors))
        printError(error);
    printSkippedLines(problems);

    const QString server = parser.value(serverOption);
    StandardOutput output;
    int status = 0;
    for (const QString& path : parser.positionalArguments()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
            status = 1;
            continue;
        }
        const AnswerRules::Judgement judgement = rules->judge(file.read(2 * 1024 * 1024), server);
        QStringList why;
        if (!judgement.detail.isEmpty())
            why << judgement.detail;
        if (!judgement.rule.isEmpty())
            why << judgement.rule;
        const QString line = QStringLiteral("%1\t%2\t%3\n")
                                 .arg(QString::fromLatin1(verdictName(judgement.verdict)), path,
                                      why.join(QStringLiteral("; ")));
        if (!output.print(line))
            return output.reportFailure();
    }
    return status;
}

} // namespace brisquel
