#include "verdict_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "engine/judging/life_cycle.h"
#include "engine/lookup/rdap_lookup.h"
#include "engine/search/startup.h"
#include "support/clock.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace brisquel {

namespace {
// Twice what a lookup keeps of an answer: room for one saved with headers around it.
constexpr qint64 MaxAnswerFileBytes = 2 * 1024 * 1024;

struct Reading
{
    AnswerRules::Judgement judgement;
    LifeCycle lifeCycle;
};

// A saved RDAP reply: a JSON object, a domain object as a 200 brings it or an error object with the
// status it came with ({"errorCode": 404, ...}).
std::optional<Reading> readRdapReply(const QByteArray& body, const QString& path)
{
    if (!body.trimmed().startsWith('{'))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const int status = document.object().value(QLatin1String("errorCode")).toInt(200);
    Reading reading;
    reading.judgement = judgeRdapReply(status, body, "application/rdap+json", QUrl::fromLocalFile(path));
    if (isTaken(reading.judgement.verdict))
        reading.lifeCycle = readRdapLifeCycle(body, Clock::currentDate());
    return reading;
}
} // namespace

ExitCode runVerdictCommand(const QStringList& arguments)
{
    const ParsedOptions<VerdictOptions> parsed = parseVerdictOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);

    // The rules a search of this data folder judges by; loading them reads no settings.
    QList<AnswerRules::Problem> problems;
    QStringList errors;
    const Startup startup(DataFolder(DataFolder::resolveRoot(arguments)), nullptr);
    const std::shared_ptr<const AnswerRules> rules = startup.loadAnswerRules(&problems, &errors);
    QList<LifeCycleRules::Problem> lifeCycleProblems;
    const std::shared_ptr<const LifeCycleRules> lifeCycleRules =
        startup.loadLifeCycleRules(&lifeCycleProblems, &errors);
    for (const QString& error : std::as_const(errors))
        printError(error);
    printSkippedLines(problems);
    printSkippedLines(lifeCycleProblems);

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
        const QString& server = parsed.options->server;
        Reading reading;
        if (const std::optional<Reading> rdap = readRdapReply(*answer, path)) {
            reading = *rdap;
        } else {
            reading.judgement = rules->judge(*answer, server, parsed.options->name);
            if (isTaken(reading.judgement.verdict) && !reading.judgement.refused)
                reading.lifeCycle =
                    readWhoisLifeCycle(*answer, Clock::currentDate(), server, lifeCycleRules.get());
        }
        const AnswerRules::Judgement& judgement = reading.judgement;
        QStringList why;
        if (!judgement.detail.isEmpty())
            why << judgement.detail;
        if (!judgement.rule.isEmpty())
            why << judgement.rule;
        const QString line =
            QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                .arg(verdictToken(judgement.verdict), path, why.join(QStringLiteral("; ")),
                     reading.lifeCycle.state, reading.lifeCycle.expires.toString(Qt::ISODate));
        if (!output.print(line))
            return output.reportFailure();
    }
    return status;
}

} // namespace brisquel
