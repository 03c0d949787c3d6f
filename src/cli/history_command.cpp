#include "history_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "support/data_folder.h"

#include <QFileInfo>

namespace brisquel {

namespace {

HistoryFilter filterOf(const HistoryOptions& options)
{
    HistoryFilter filter;
    filter.namePattern = options.namePattern;
    filter.verdict = options.verdict;
    filter.since = options.since;
    return filter;
}

// The rows as the format has them, each line ended.
QByteArray outputOf(const QList<HistoryRow>& rows, OutputFormat format)
{
    QByteArray bytes;
    switch (format) {
    case OutputFormat::Text:
        // A title line alone would only say that nothing matched.
        if (!rows.isEmpty())
            bytes = historyTextLines(rows).join(QLatin1Char('\n')).toUtf8() + '\n';
        break;
    case OutputFormat::Csv:
        bytes = historyCsvHeader().toUtf8() + '\n';
        for (const HistoryRow& row : rows)
            bytes += historyCsvLine(row.record).toUtf8() + '\n';
        break;
    case OutputFormat::Json:
        for (const HistoryRow& row : rows)
            bytes += historyJsonObject(row.record) + '\n';
        break;
    }
    return bytes;
}

} // namespace

ExitCode runHistoryCommand(const QStringList& arguments)
{
    const ParsedOptions<HistoryOptions> parsed = parseHistoryOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);

    const DataFolder folder(DataFolder::resolveRoot(arguments));
    const QString path = folder.path(QString::fromLatin1(HistoryStore::FileName));
    if (!QFileInfo(path).isFile()) {
        printError(QStringLiteral("No history yet: %1 does not exist; searches record their checks there.")
                       .arg(path));
        return ExitCode::Failure;
    }
    HistoryReader reader(path);
    QString error;
    if (!reader.open(&error)) {
        printError(error);
        return ExitCode::Failure;
    }
    const QList<HistoryRow> rows = reader.rows(filterOf(*parsed.options), &error);
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1 could not be read: %2").arg(path, error));
        return ExitCode::Failure;
    }
    StandardOutput output;
    return output.print(outputOf(rows, parsed.options->format)) ? ExitCode::Success : output.reportFailure();
}

} // namespace brisquel
