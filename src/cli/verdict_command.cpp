#include "verdict_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "engine/startup.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"

namespace brisquel {

namespace {
// Twice what a lookup keeps of an answer: room for one saved with headers around it.
constexpr qint64 MaxAnswerFileBytes = 2 * 1024 * 1024;
} // namespace

ExitCode runVerdictCommand(const QStringList& arguments)
{
    const ParsedOptions<VerdictOptions> parsed = parseVerdictOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);

    // The rules a search of this data folder judges by; loading them reads no settings.
    QList<AnswerRules::Problem> problems;
    QStringList errors;
    const std::shared_ptr<const AnswerRules> rules =
        Startup(DataFolder(DataFolder::resolveRoot(arguments)), nullptr).loadAnswerRules(&problems, &errors);
    for (const QString& error : std::as_const(errors))
        printError(error);
    printSkippedLines(problems);

    StandardOutput output;
    ExitCode status = ExitCode::Success;
    for (const QString& path : parsed.options->files) {
        QString error;
        const std::optional<QByteArray> answer = readWhole(path, MaxAnswerFileBytes, &error);
        if (!answer) {
            printError(error);
            status = ExitCode::Failure;
            continue;
        }
        const AnswerRules::Judgement judgement = rules->judge(*answer, parsed.options->server, parsed.options->name);
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
