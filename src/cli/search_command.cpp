#include "search_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "cli/result_writer.h"
#include "engine/dns/dns_precheck.h"
#include "engine/filing/live_list_files.h"
#include "engine/search/resume_point.h"
#include "engine/search/search_driver.h"
#include "engine/search/search_session.h"
#include "engine/search/search_summary.h"
#include "engine/search/startup.h"
#include "engine/filing/verdict_filer.h"
#include "history/history_store.h"
#include "interrupt_watcher.h"
#include "progress_printer.h"
#include "sources/list_file_reader.h"
#include "support/data_folder.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "whois_config/extension_table.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <cstdio>
#include <memory>
#include <utility>

namespace brisquel {

namespace {

// A password file holds one line; anything near this is not one.
constexpr qint64 MaxPasswordFileBytes = 64 * 1024;

// Why a search that sent names to servers got not one answer back; empty when a server answered
// or nothing was sent (the list was all skipped, or DNS settled every name).
QString noServerAnswered(const QList<SearchDriver::ServerStats>& servers, const QString& firstFailure)
{
    QStringList asked;
    for (const SearchDriver::ServerStats& server : servers) {
        if (server.answers > 0)
            return {};
        if (server.queries == 0)
            continue;
        QString counts = QStringLiteral("%1 lookups").arg(server.queries);
        if (server.refusals > 0)
            counts += QStringLiteral(", %1 refused").arg(server.refusals);
        asked << QStringLiteral("%1 (%2)").arg(server.name, counts);
    }
    if (asked.isEmpty())
        return {};
    QString reason = QStringLiteral("No server answered: ") + asked.join(QStringLiteral(", "));
    if (!firstFailure.isEmpty())
        reason += QStringLiteral("; ") + firstFailure;
    return reason;
}

// One search of brisquel-cli: the same start-up, engine, files and settings as the window's, its
// verdicts on standard output and its progress and summary on standard error.
class SearchRun
{
public:
    SearchRun(SearchOptions options, const QStringList& arguments)
        : m_options(std::move(options))
        , m_folder(DataFolder::resolveRoot(arguments))
        , m_writer(m_options.format, m_folder.root())
    {}

    ExitCode run();

private:
    std::optional<ExitCode> readProxies();
    bool startSession();
    std::optional<ExitCode> chooseList();
    std::optional<ExitCode> applyOptions();
    void applyProxies(SearchSettings* settings);
    void sayWhereLookupsGo() const;
    void connectSignals();
    // A message on standard error, below the progress bar's place.
    void say(const QString& message);
    void takeVerdict(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);
    void writeResults();
    void printSummary(double seconds) const;
    ExitCode exitCode() const;

    SearchOptions m_options;
    DataFolder m_folder;
    ResultWriter m_writer;
    // The command line's proxies (--socks or --proxy-list); none: the settings' ones.
    std::optional<QList<ProxyEntry>> m_proxies;
    // Before the session: the filer records into it until the end.
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<SearchSession> m_session;
    const StartupResult* m_startup = nullptr;
    QString m_settingsDnsError;
    qint64 m_total = 0;
    std::optional<ProgressPrinter> m_progress;
    // Results and the progress bar share a terminal: each result takes the bar's line.
    bool m_resultsOnTerminal = false;
    std::unique_ptr<InterruptWatcher> m_watcher;
    qint64 m_checked = 0;
    qint64 m_counts[VerdictCount] = {};
    qint64 m_unconfirmed = 0;
    bool m_interrupted = false;
    // Registered names are written nowhere else: the lines of a batch go out together before the
    // resume position passes them, and lines that cannot be written stop the search as Ctrl-C
    // does, so that nothing after them goes unrecorded.
    StandardOutput m_output;
    QByteArray m_results; // the lines of the batch being filed
    std::optional<ExitCode> m_outputStatus;
    QString m_firstFailure;
};

ExitCode SearchRun::run()
{
    // Bad options are refused before anything is written.
    if (const std::optional<ExitCode> status = readProxies())
        return *status;
    if (!startSession())
        return ExitCode::Failure;
    if (const std::optional<ExitCode> status = chooseList())
        return *status;
    if (const std::optional<ExitCode> status = applyOptions())
        return *status;
    m_progress.emplace(stderr, ProgressPrinter::isTerminal(stderr));
    m_resultsOnTerminal = m_progress->isTerminal() && ProgressPrinter::isTerminal(stdout);
    connectSignals();
    SearchDriver& driver = *m_session->driver();
    // Refused here rather than by the driver, so that it exits as a search that could not start.
    VerdictFiler& filer = *m_session->filer();
    QString error;
    if (!filer.claim(&error)) {
        printError(error);
        return ExitCode::Failure;
    }
    const auto releaseFolder = qScopeGuard([&filer] { filer.release(); });
    if (const QByteArray header = m_writer.header(); !header.isEmpty() && !m_output.print(header))
        return m_output.reportFailure();
    const QString listFile =
        m_options.type ? m_folder.path(searchTypeListFile(*m_options.type)) : m_options.listFile;
    const SearchRequest request{listFile, m_options.type.value_or(SearchType::CustomList), m_options.start,
                                QString::number(m_total)};
    if (!driver.start(request, &error)) {
        printError(error);
        return ExitCode::BadArguments;
    }
    if (!m_options.type)
        m_session->settings()->setValue(SettingKeys::customPositionListFile(), listFile);
    if (driver.isRunning())
        QCoreApplication::exec();
    if (const QByteArray footer = m_writer.footer();
        !m_outputStatus && !footer.isEmpty() && !m_output.print(footer))
        m_outputStatus = m_output.reportFailure();
    m_progress->finish(driver.progress(), driver.unansweredCount());
    // The search's own time, not the history's wait for another writer.
    const double seconds = m_progress->elapsedSeconds();
    // The last verdicts reach the history (or are counted lost) before the summary tells of them.
    if (m_history)
        m_history->close();
    printSummary(seconds);
    return exitCode();
}

bool SearchRun::startSession()
{
    QString error;
    if (!m_folder.ensureRoot(&error)) {
        printError(error);
        return false;
    }
    m_session = std::make_unique<SearchSession>(m_folder, DataFolder::defaultUserSettingsPath());
    m_startup = &m_session->start(UrlOpener(), &m_settingsDnsError);
    for (const QString& problem : m_startup->problems)
        printError(problem);
    if (m_options.history)
        m_history = openHistoryPrintingProblems(m_folder.root());
    m_session->filer()->setHistory(m_history.get());
    printSkippedLines(m_startup->answerRuleProblems);
    printSkippedLines(m_startup->lifeCycleProblems);
    for (const RegistrarsProblem& problem : m_startup->registrarProblems)
        printError(QStringLiteral("registrars.txt line %1 skipped: %2")
                       .arg(problem.lineNumber)
                       .arg(problem.message));
    return true;
}

// The list file, its length and the start number: where the last search of this very list
// stopped, unless --start says otherwise.
std::optional<ExitCode> SearchRun::chooseList()
{
    const SearchType type = m_options.type.value_or(SearchType::CustomList);
    const QString listFile = m_options.type ? m_folder.path(searchTypeListFile(type)) : m_options.listFile;
    if (!QFileInfo(listFile).isFile()) {
        printError((QFileInfo::exists(listFile) ? QStringLiteral("the list file %1 is not a regular file")
                                                : QStringLiteral("the list file %1 does not exist"))
                       .arg(listFile));
        return ExitCode::Failure;
    }
    if (const QString tooLarge = oversizeProblem(listFile, ListFileReader::MaxFileBytes);
        !tooLarge.isEmpty()) {
        printError(tooLarge);
        return ExitCode::Failure;
    }
    SettingsStore& settings = *m_session->settings();
    m_total = countListEntries(listFile);
    // The last entry is the last start there is; an empty list may still be "searched" from 1.
    if (const qint64 start = m_options.start.trimmed().toLongLong(); start > std::max<qint64>(1, m_total)) {
        printError(QStringLiteral("--start %1 is past the end of the list: %2 has %3 %4")
                       .arg(start)
                       .arg(listFile)
                       .arg(m_total)
                       .arg(m_total == 1 ? QStringLiteral("entry") : QStringLiteral("entries")));
        return ExitCode::BadArguments;
    }
    if (m_options.start.isEmpty()) {
        const ResumePoint point = savedResumePoint(settings, type, listFile, m_total);
        if (!point.note.isEmpty())
            printError(point.note);
        m_options.start = QString::number(point.start);
    }
    return std::nullopt;
}

// The options of this run over what start-up took from the settings.
std::optional<ExitCode> SearchRun::applyOptions()
{
    SearchDriver& driver = *m_session->driver();
    SearchSettings settings = driver.settings();
    settings.serverOverride = m_options.proxy;
    if (m_options.preferRdap)
        settings.preferRdap = true;
    if (!m_options.confirmFree)
        settings.confirmFree = false;
    if (m_options.recheck)
        settings.historyDays = 0;
    if (!m_options.zones)
        settings.zoneDays = 0;
    if (m_options.dns != SearchOptions::Dns::AsSet) {
        settings.dnsPrecheck = m_options.dns == SearchOptions::Dns::Server;
        settings.dnsServer = settings.dnsPrecheck ? m_options.dnsServer : m_startup->dnsServer;
        QString error;
        if (!DnsPrecheck::isResolverAddress(settings.dnsServer, &error)) {
            printError(error);
            if (settings.dnsPrecheck)
                return ExitCode::BadArguments;
            // A bad address in the settings costs the pre-check, not the search.
            settings.dnsServer.clear();
        }
    } else if (!m_settingsDnsError.isEmpty()) {
        printError(m_settingsDnsError);
    }
    printSkippedLines(m_startup->serverLimitProblems);
    applyProxies(&settings);
    driver.setSettings(std::move(settings));
    sayWhereLookupsGo();
    return std::nullopt;
}

// --socks (its password from the file or the environment when the URL has none) or --proxy-list.
std::optional<ExitCode> SearchRun::readProxies()
{
    if (m_options.socks) {
        ProxyEntry socks = *m_options.socks;
        QString error;
        if (!m_options.socksPasswordFile.isEmpty()) {
            const std::optional<QByteArray> bytes =
                readWhole(m_options.socksPasswordFile, MaxPasswordFileBytes, &error);
            if (!bytes) {
                printError(error);
                return ExitCode::BadArguments;
            }
            // The first line, whatever ends it.
            QByteArray line = *bytes;
            for (const char end : {'\n', '\r'}) {
                if (const qsizetype at = line.indexOf(end); at >= 0)
                    line.truncate(at);
            }
            socks.password = QString::fromUtf8(line);
            if (socks.password.isEmpty()) {
                printError(QStringLiteral("%1 holds no password on its first line")
                               .arg(m_options.socksPasswordFile));
                return ExitCode::BadArguments;
            }
        } else if (socks.password.isEmpty() && !socks.user.isEmpty()) {
            socks.password = qEnvironmentVariable("BRISQUEL_PROXY_PASSWORD");
        }
        m_proxies = QList<ProxyEntry>{socks};
    } else if (!m_options.proxyListFile.isEmpty()) {
        QString error;
        const ProxyList list = ProxyList::load(m_options.proxyListFile, &error);
        if (!error.isEmpty()) {
            printError(error);
            return ExitCode::BadArguments;
        }
        for (const QString& problem : list.problems)
            printError(problem);
        if (list.isEmpty()) {
            printError(QStringLiteral("no proxy in %1").arg(m_options.proxyListFile));
            return ExitCode::BadArguments;
        }
        m_proxies = list.proxies;
    }
    return std::nullopt;
}

// The network proxies the lookups go through. DNS does not go through them, so the pre-check
// stays off unless a DNS server is named.
void SearchRun::applyProxies(SearchSettings* settings)
{
    // The settings' proxies unless the command line names others.
    const QList<ProxyEntry> proxies = m_proxies.value_or(m_startup->proxies);
    if (proxies.isEmpty())
        return;
    settings->proxies = proxies;
    QStringList names;
    for (const ProxyEntry& proxy : proxies)
        names.append(proxy.displayName());
    printError(QStringLiteral("Lookups go through %1").arg(names.join(QStringLiteral(", "))));
    const QString dnsServer =
        m_options.dns == SearchOptions::Dns::Server ? m_options.dnsServer : m_startup->dnsServer;
    if (settings->dnsPrecheck && dnsServer.trimmed().isEmpty())
        printError(QStringLiteral("DNS pre-check off: it would not go through the proxies (name a server "
                                  "with --dns to keep it)"));
}

void SearchRun::sayWhereLookupsGo() const
{
    if (m_options.proxy) {
        printError(
            QStringLiteral("All lookups go to %1:%2").arg(m_options.proxy->host).arg(m_options.proxy->port));
        return;
    }
    if (!m_startup->useProxy)
        return;
    const ExtensionTable& table = *m_session->table();
    const int row = table.findExtensionIndex(QStringLiteral("x"), true);
    if (row != ExtensionTable::NoRow && table.row(row).extension == QLatin1String("proxy"))
        printError(QStringLiteral("All lookups go to %1:%2 (the \"proxy\" row of registrars.txt)")
                       .arg(table.row(row).server)
                       .arg(table.row(row).port));
}

void SearchRun::connectSignals()
{
    SearchDriver& driver = *m_session->driver();
    QObject::connect(&driver, &SearchDriver::verdict,
                     [this](const QString& domain, Verdict verdict, const QString& detail,
                            const NameFacts& facts) { takeVerdict(domain, verdict, detail, facts); });
    QObject::connect(&driver, &SearchDriver::verdictsFiled, [this] { writeResults(); });
    const auto tell = [this](const QString& message) {
        say(message);
    };
    QObject::connect(&driver, &SearchDriver::problem, tell);
    QObject::connect(&driver, &SearchDriver::serverWaiting, tell);
    QObject::connect(&driver, &SearchDriver::searchStopped, tell);
    QObject::connect(m_session->listFiles(), &LiveListFiles::writeFailed, tell);
    QObject::connect(m_session->listFiles(), &LiveListFiles::overflowed, [this] {
        say(QStringLiteral("One of your lists has reached 20000 entries.  They have been saved and cleared.  "
                           "You may find your backed up lists in the brisquel /overflow/ directory."));
    });
    QObject::connect(&driver, &SearchDriver::finished, [](bool) { QCoreApplication::exit(0); });
    m_watcher = std::make_unique<InterruptWatcher>();
    QObject::connect(m_watcher.get(), &InterruptWatcher::interrupted, [this, &driver] {
        m_interrupted = true;
        driver.stop();
    });
}

void SearchRun::say(const QString& message)
{
    m_progress->clear();
    printError(message);
    m_progress->restore();
}

void SearchRun::takeVerdict(const QString& domain, Verdict verdict, const QString& detail,
                            const NameFacts& facts)
{
    ++m_checked;
    ++m_counts[int(verdict)];
    if (verdict == Verdict::Available && facts.confirmed == Confirmation::None)
        ++m_unconfirmed;
    if (verdict == Verdict::Unanswered && m_firstFailure.isEmpty())
        m_firstFailure = detail;
    m_results += m_writer.line(domain, verdict, detail, facts);
}

// One write for the result lines of a batch, once the batch is on disk.
void SearchRun::writeResults()
{
    SearchDriver& driver = *m_session->driver();
    const QByteArray lines = std::exchange(m_results, QByteArray());
    if (m_resultsOnTerminal)
        m_progress->clear();
    if (!m_outputStatus && !m_output.print(lines)) {
        m_progress->clear();
        m_outputStatus = m_output.reportFailure();
        if (*m_outputStatus == ExitCode::NotWritten) {
            for (const QByteArray& line : lines.trimmed().split('\n')) {
                // The record alone, without the comma of a JSON array.
                const QByteArray record = line.startsWith(',') ? line.mid(1) : line;
                printError(QStringLiteral("not written: %1").arg(QString::fromUtf8(record.trimmed())));
            }
        }
        driver.stop();
        return;
    }
    if (m_progress->isDue())
        m_progress->update(driver.progress(), driver.unansweredCount());
    else
        m_progress->restore();
}

void SearchRun::printSummary(double seconds) const
{
    const SearchDriver& driver = *m_session->driver();
    SearchReport report;
    report.seconds = seconds;
    report.checked = m_checked;
    report.available = m_counts[int(Verdict::Available)];
    report.registered = m_counts[int(Verdict::Registered)];
    report.notRegistrable = m_counts[int(Verdict::NotRegistrable)];
    report.unanswered = m_counts[int(Verdict::Unanswered)];
    report.resumePosition = driver.resumePosition();
    report.dnsInEffect = driver.dnsPrecheckInEffect();
    report.dnsSettled = driver.dnsSettledCount();
    report.historySettled = driver.historySettledCount();
    report.zoneSettled = driver.zoneSettledCount();
    report.historyDays = driver.settings().historyDays;
    report.historyLost = driver.progress().historyLost;
    report.unconfirmed = driver.settings().confirmFree ? m_unconfirmed : 0;
    report.dropping = driver.droppingCount();
    report.droppingFile = m_session->filer()->droppingFilePath();
    report.servers = driver.serverStats();
    report.proxies = driver.proxyStats();
    report.unansweredFile = driver.unansweredFilePath();
    report.saveFailure = driver.saveFailure();
    for (const QString& line : searchReportLines(report))
        std::fprintf(stderr, "%s\n", qPrintable(line));
}

ExitCode SearchRun::exitCode() const
{
    const SearchDriver& driver = *m_session->driver();
    if (!driver.saveFailure().isEmpty())
        return ExitCode::NotWritten;
    if (!driver.listFailure().isEmpty())
        return ExitCode::Failure;
    if (m_outputStatus)
        return *m_outputStatus;
    if (m_interrupted)
        return ExitCode::Interrupted;
    const QString noAnswer = noServerAnswered(driver.serverStats(), m_firstFailure);
    if (noAnswer.isEmpty())
        return ExitCode::Success;
    printError(noAnswer);
    return ExitCode::NoServerAnswered;
}

} // namespace

ExitCode runSearchCommand(const QStringList& arguments)
{
    const ParsedOptions<SearchOptions> parsed = parseSearchOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    SearchRun run(*parsed.options, arguments);
    return run.run();
}

} // namespace brisquel
