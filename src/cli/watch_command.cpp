#include "watch_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "cli/result_writer.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_session.h"
#include "engine/search/search_summary.h"
#include "engine/search/watch_run.h"
#include "history/history_store.h"
#include "interrupt_watcher.h"
#include "support/csv_text.h"
#include "support/data_folder.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <memory>

namespace brisquel {

namespace {

QByteArray changeLine(const WatchChange& change, OutputFormat format, RecordFrame* frame)
{
    switch (format) {
    case OutputFormat::Text:
        break;
    case OutputFormat::Csv:
        return (QStringList{change.kind, csvField(change.name), csvField(change.before),
                            csvField(change.after)}
                    .join(QLatin1Char(',')) +
                QLatin1Char('\n'))
            .toUtf8();
    case OutputFormat::JsonLines:
    case OutputFormat::JsonArray: {
        const QJsonObject object{{QStringLiteral("kind"), change.kind},
                                 {QStringLiteral("name"), change.name},
                                 {QStringLiteral("before"), change.before},
                                 {QStringLiteral("after"), change.after}};
        return frame->next(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    }
    return (watchChangeText(change) + QLatin1Char('\n')).toUtf8();
}

// One round of the watch list from the command line: the search's start-up and settings, the
// changes on standard output, the summary on standard error.
class WatchCommand
{
public:
    WatchCommand(WatchOptions options, const QStringList& arguments)
        : m_options(std::move(options))
        , m_folder(DataFolder::resolveRoot(arguments))
        , m_frame(m_options.format)
    {}

    ExitCode run();

private:
    bool startSession();
    std::optional<ExitCode> applyOptions();
    void printChange(const WatchChange& change);

    WatchOptions m_options;
    DataFolder m_folder;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<SearchSession> m_session;
    std::unique_ptr<WatchRun> m_watch;
    StandardOutput m_output;
    RecordFrame m_frame;
    std::optional<ExitCode> m_outputStatus;
    bool m_interrupted = false;
};

ExitCode WatchCommand::run()
{
    if (!startSession())
        return ExitCode::Failure;
    const QStringList names = m_session->startupResult().savedDomains;
    if (!m_session->startupResult().savedDomainsReadable)
        return ExitCode::Failure; // start-up said why
    if (names.isEmpty()) {
        printError(QStringLiteral("There are no saved names to watch (Saved Domains is empty)."));
        return ExitCode::Success;
    }
    if (!m_history)
        return ExitCode::Failure;
    m_watch =
        std::make_unique<WatchRun>(m_folder, m_session->settings(), m_session->table(), m_history.get());
    m_watch->applyStartup(m_session->startupResult());
    if (const std::optional<ExitCode> status = applyOptions())
        return *status;
    QObject::connect(m_watch.get(), &WatchRun::changed,
                     [this](const WatchChange& change) { printChange(change); });
    QObject::connect(m_watch.get(), &WatchRun::problem, [](const QString& message) { printError(message); });
    QObject::connect(m_watch.get(), &WatchRun::finished, [] { QCoreApplication::exit(0); });
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [this] {
        m_interrupted = true;
        m_watch->stop();
    });
    const QByteArray opening =
        m_options.format == OutputFormat::Csv ? QByteArray("kind,name,before,after\n") : m_frame.opening();
    if (!opening.isEmpty() && !m_output.print(opening))
        return m_output.reportFailure();
    QString error;
    if (!m_watch->start(names, &error)) {
        printError(error);
        return ExitCode::Failure;
    }
    if (m_watch->isRunning())
        QCoreApplication::exec();
    if (const QByteArray closing = m_frame.closing();
        !m_outputStatus && !closing.isEmpty() && !m_output.print(closing))
        m_outputStatus = m_output.reportFailure();
    const WatchCounts& counts = m_watch->counts();
    std::fprintf(stderr, "%s\n", qPrintable(watchReportLine(counts)));
    if (m_outputStatus)
        return *m_outputStatus;
    if (m_interrupted)
        return ExitCode::Interrupted;
    if (counts.watched > 0 && counts.unanswered == counts.watched) {
        printError(QStringLiteral("No server answered."));
        return ExitCode::NoServerAnswered;
    }
    return ExitCode::Success;
}

bool WatchCommand::startSession()
{
    QString error;
    if (!m_folder.ensureRoot(&error)) {
        printError(error);
        return false;
    }
    m_session = std::make_unique<SearchSession>(m_folder, DataFolder::defaultUserSettingsPath());
    const StartupResult& startup = m_session->start(UrlOpener());
    for (const QString& problem : startup.problems)
        printError(problem);
    if (startup.savedDomains.isEmpty())
        return true;
    m_history = openHistoryPrintingProblems(m_folder.root());
    return true;
}

std::optional<ExitCode> WatchCommand::applyOptions()
{
    SearchSettings settings = m_watch->driver()->settings();
    settings.serverOverride = m_options.proxy;
    if (m_options.dns != SearchOptions::Dns::AsSet) {
        settings.dnsPrecheck = m_options.dns == SearchOptions::Dns::Server;
        settings.dnsServer = m_options.dnsServer;
    }
    QString error;
    if (!m_watch->applySettings(std::move(settings), &error)) {
        printError(error);
        return ExitCode::BadArguments;
    }
    return std::nullopt;
}

void WatchCommand::printChange(const WatchChange& change)
{
    if (m_outputStatus)
        return;
    if (!m_output.print(changeLine(change, m_options.format, &m_frame))) {
        // The changes are in the history all the same; the round goes on to record the rest.
        m_outputStatus = m_output.reportFailure();
    }
}

} // namespace

ExitCode runWatchCommand(const QStringList& arguments)
{
    const ParsedOptions<WatchOptions> parsed = parseWatchOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    WatchCommand command(*parsed.options, arguments);
    return command.run();
}

} // namespace brisquel
