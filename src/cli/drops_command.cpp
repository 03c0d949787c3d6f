#include "drops_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/result_writer.h"
#include "support/clock.h"
#include "support/csv_text.h"
#include "support/data_folder.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace brisquel {

namespace {

const char DropsDescription[] =
    "List the names about to drop that searches put in Dropping.txt, soonest release first.\n"
    "The release is estimated from each name's state, dates and its registry's rule in "
    "drop-rules.txt: a day, or a window start/end when the registrar may choose.\n"
    "Exit status: 0 listed, 1 Dropping.txt could not be read, 2 bad arguments.";

// A larger file than any search writes: it is not read.
constexpr qint64 MaxDroppingBytes = 256 * 1024 * 1024;

std::optional<OutputFormat> formatOf(const QString& text)
{
    if (text == QLatin1String("text"))
        return OutputFormat::Text;
    if (text == QLatin1String("csv"))
        return OutputFormat::Csv;
    if (text == QLatin1String("json") || text == QLatin1String("jsonl"))
        return OutputFormat::JsonLines;
    if (text == QLatin1String("json-array"))
        return OutputFormat::JsonArray;
    return std::nullopt;
}

QJsonObject jsonOf(const DropCalendarEntry& entry)
{
    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? QJsonValue() : QJsonValue(text);
    };
    const DropEstimate& estimate = entry.estimate;
    return {{QStringLiteral("name"), entry.domain},
            {QStringLiteral("state"), orNull(entry.cycle.state)},
            {QStringLiteral("expires"), orNull(entry.cycle.expires.toString(Qt::ISODate))},
            {QStringLiteral("drops"), orNull(estimate.text())},
            {QStringLiteral("start"), orNull(estimate.start.toString(Qt::ISODate))},
            {QStringLiteral("end"), orNull(estimate.end.toString(Qt::ISODate))},
            {QStringLiteral("sureness"), surenessName(estimate.sureness)}};
}

} // namespace

QList<QCommandLineOption> dropsCommandOptions()
{
    return {{QStringLiteral("format"),
             QStringLiteral("Output as text (default), csv, json (a line each) or json-array."),
             QStringLiteral("FORMAT")},
            {QStringLiteral("within"), QStringLiteral("Only names whose release may come within DAYS days."),
             QStringLiteral("DAYS")},
            {QStringLiteral("home"), QStringLiteral("Use DIR as the data folder."), QStringLiteral("DIR")}};
}

ParsedOptions<DropsOptions> parseDropsOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(DropsDescription));
    parser.addOptions(dropsCommandOptions());
    const QCommandLineOption help = parser.addHelpOption();
    ParsedOptions<DropsOptions> parsed;
    // `arguments` start with the command's name, as the parser takes a program's.
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(help)) {
        parsed.help = parser.helpText();
        parsed.help.replace(0, parsed.help.indexOf(QLatin1Char('\n')),
                            QStringLiteral("Usage: brisquel-cli drops [options]"));
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        parsed.error =
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return parsed;
    }
    DropsOptions options;
    if (parser.isSet(QStringLiteral("format"))) {
        const std::optional<OutputFormat> format = formatOf(parser.value(QStringLiteral("format")));
        if (!format) {
            parsed.error = QStringLiteral("unknown format \"%1\" (use text, csv, json or json-array)")
                               .arg(parser.value(QStringLiteral("format")));
            return parsed;
        }
        options.format = *format;
    }
    if (parser.isSet(QStringLiteral("within"))) {
        bool ok = false;
        const int days = parser.value(QStringLiteral("within")).toInt(&ok);
        if (!ok || days < 0 || days > 3650) {
            parsed.error = QStringLiteral("--within needs a number of days from 0 to 3650, not \"%1\"")
                               .arg(parser.value(QStringLiteral("within")));
            return parsed;
        }
        options.withinDays = days;
    }
    parsed.options = options;
    return parsed;
}

QByteArray formatDropCalendar(const DropCalendar& calendar, OutputFormat format)
{
    QByteArray out;
    RecordFrame frame(format);
    if (format == OutputFormat::Csv)
        out += "name,state,expires,drops,sureness\n";
    else if (format != OutputFormat::Text)
        out += frame.opening();
    for (const DropCalendarEntry& entry : calendar.entries()) {
        const QString expires = entry.cycle.expires.toString(Qt::ISODate);
        const QString drops = entry.estimate.text();
        if (format == OutputFormat::Text) {
            out += (QStringList{drops.isEmpty() ? QStringLiteral("unknown") : drops, entry.domain,
                                entry.cycle.state, expires}
                        .join(QLatin1Char('\t')) +
                    QLatin1Char('\n'))
                       .toUtf8();
        } else if (format == OutputFormat::Csv) {
            out += (QStringList{csvField(entry.domain), entry.cycle.state, expires, drops,
                                surenessName(entry.estimate.sureness)}
                        .join(QLatin1Char(',')) +
                    QLatin1Char('\n'))
                       .toUtf8();
        } else {
            out += frame.next(QJsonDocument(jsonOf(entry)).toJson(QJsonDocument::Compact));
        }
    }
    if (format != OutputFormat::Text && format != OutputFormat::Csv)
        out += frame.closing();
    return out;
}

ExitCode runDropsCommand(const QStringList& arguments)
{
    const ParsedOptions<DropsOptions> parsed = parseDropsOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    const DataFolder folder(DataFolder::resolveRoot(arguments));
    QStringList problems;
    const auto rules = DropRules::inFolderFile(folder.path(QStringLiteral("drop-rules.txt")), &problems);
    for (const QString& problem : std::as_const(problems))
        printError(problem);
    QByteArray text;
    QFile file(folder.path(QStringLiteral("Dropping.txt")));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxDroppingBytes) {
            printError(QStringLiteral("%1 could not be read: %2").arg(file.fileName(), file.errorString()));
            return ExitCode::Failure;
        }
        text = file.readAll();
    }
    const QDate today = Clock::currentDateTimeUtc().date();
    DropCalendar calendar = DropCalendar::read(text, *rules, today);
    calendar.sort();
    if (parsed.options->withinDays)
        calendar = calendar.within(today, *parsed.options->withinDays);
    StandardOutput output;
    return output.print(formatDropCalendar(calendar, parsed.options->format)) ? ExitCode::Success
                                                                              : output.reportFailure();
}

} // namespace brisquel
