#include "history_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "cli/result_writer.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "support/data_folder.h"

#include <QFileInfo>
#include <utility>

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

// Standard output in pieces of a useful size: a line at a time would be a write per check.
class ChunkedOutput
{
public:
    bool add(const QByteArray& bytes)
    {
        m_pending += bytes;
        return m_pending.size() < ChunkBytes || flush();
    }
    bool flush() { return m_output.print(std::exchange(m_pending, {})); }
    ExitCode reportFailure() const { return m_output.reportFailure(); }

private:
    static constexpr qsizetype ChunkBytes = 64 * 1024;
    StandardOutput m_output;
    QByteArray m_pending;
};

// The matching checks as the format has them, read as they are printed; text reads them once more
// before, to measure its columns. False when the history could not be read; a failed write only
// stops the reading (the output reports it).
bool printRows(const HistoryReader& reader, const HistoryOptions& options, ChunkedOutput* output,
               QString* error)
{
    const HistoryFilter filter = filterOf(options);
    HistoryTextLayout layout;
    RecordFrame frame(options.format);
    if (options.format == OutputFormat::Text) {
        qint64 count = 0;
        const bool read = reader.forEachRow(
            filter,
            [&](const HistoryRow& row) {
                layout.measure(row.record);
                ++count;
                return true;
            },
            error);
        // A title line alone would only say that nothing matched.
        if (!read || count == 0)
            return read;
        output->add(layout.titleLine().toUtf8() + '\n');
    } else if (options.format == OutputFormat::Csv) {
        output->add(historyCsvHeader().toUtf8() + '\n');
    } else {
        output->add(frame.opening());
    }
    const auto lineOf = [&](const CheckRecord& record) {
        switch (options.format) {
        case OutputFormat::Text:
            return layout.line(record).toUtf8() + '\n';
        case OutputFormat::Csv:
            return historyCsvLine(record).toUtf8() + '\n';
        case OutputFormat::JsonLines:
        case OutputFormat::JsonArray:
            return frame.next(historyJsonObject(record));
        }
        return QByteArray();
    };
    const bool read = reader.forEachRow(
        filter, [&](const HistoryRow& row) { return output->add(lineOf(row.record)); }, error);
    if (read)
        output->add(frame.closing());
    return read;
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
    ChunkedOutput output;
    if (!printRows(reader, *parsed.options, &output, &error)) {
        printError(QStringLiteral("%1 could not be read: %2").arg(path, error));
        return ExitCode::Failure;
    }
    return output.flush() ? ExitCode::Success : output.reportFailure();
}

} // namespace brisquel
