#include "search_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "engine/list_files.h"
#include "engine/lookup_name.h"
#include "engine/resume_point.h"
#include "engine/search_driver.h"
#include "engine/search_session.h"
#include "engine/startup.h"
#include "engine/verdict_filer.h"
#include "interrupt_watcher.h"
#include "progress_printer.h"
#include "sources/list_file.h"
#include "sources/search_type.h"
#include "support/data_folder.h"
#include "support/settings_store.h"
#include "whois_config/extension_table.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTimer>
#include <cstdio>

namespace brisquel {

namespace {

enum ExitCode
{
    Success = 0,
    Failure = 1,
    BadArguments = 2,
    NotSaved = 3,
    NoServerAnswered = 4,
    Interrupted = 130
};

const char ExitCodesHelp[] = "Exit status:\n"
                             "  0    the search ran; every find and the position were saved\n"
                             "  1    the search could not start (data folder, list file)\n"
                             "  2    bad arguments\n"
                             "  3    a find or the search position could not be saved, or a result could\n"
                             "       not be written to standard output; the search stopped (see the\n"
                             "       message)\n"
                             "  4    names were sent to servers but not one answered (see the message)\n"
                             "  130  interrupted (Ctrl-C); the position was saved\n"
                             "  141  standard output was closed (the reader of a pipe ended); the\n"
                             "       position was saved\n";

enum class Format
{
    Text,
    Csv,
    Json
};

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

const char CsvHeader[] = "domain,verdict,detail,ace,state,expires,confirmed\n";

// The name as the list wrote it, and beside it in csv and json the ASCII form the registry was
// asked in, a taken name's life cycle and who confirmed a free one (empty or null where it does
// not apply).
QByteArray verdictLine(Format format, const QString& domain, Verdict verdict, const QString& detail,
                       const NameFacts& facts)
{
    const QString name = QString::fromLatin1(verdictName(verdict));
    const QString ace = queryDomain(domain);
    const QString state = facts.lifeCycle.state;
    const QString expires = facts.lifeCycle.expires.toString(Qt::ISODate);
    const QString confirmed =
        verdict == Verdict::Available ? QString::fromLatin1(confirmationName(facts.confirmed)) : QString();
    switch (format) {
    case Format::Text:
        return (name + QLatin1Char(' ') + domain + QLatin1Char('\n')).toUtf8();
    case Format::Csv:
        return (QStringList{csvField(domain), name, csvField(detail), ace, state, expires, confirmed}.join(
                    QLatin1Char(',')) +
                QLatin1Char('\n'))
            .toUtf8();
    case Format::Json: {
        const auto orNull = [](const QString& text) {
            return text.isEmpty() ? QJsonValue() : QJsonValue(text);
        };
        const QJsonObject object{{QStringLiteral("domain"), domain},
                                 {QStringLiteral("verdict"), name},
                                 {QStringLiteral("detail"), detail},
                                 {QStringLiteral("ace"), ace},
                                 {QStringLiteral("state"), orNull(state)},
                                 {QStringLiteral("expires"), orNull(expires)},
                                 {QStringLiteral("confirmed"), orNull(confirmed)}};
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    }
    return {};
}

bool parseServer(const QString& text, ServerOverride* server)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    server->host = colon >= 0 ? text.left(colon) : text;
    server->port = 43;
    if (colon >= 0) {
        bool ok = false;
        const int port = text.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return false;
        server->port = quint16(port);
    }
    return !server->host.isEmpty();
}

struct SearchSetup
{
    SearchType type = SearchType::CustomList;
    QString listFile;
    QString start;
    Format format = Format::Text;
    std::optional<ServerOverride> proxy;
};

// The start number when none is given: where the last search of this very list stopped, or 1.
QString resumeStart(const SettingsStore& settings, const SearchSetup& setup, qint64 total)
{
    const ResumePoint point = savedResumePoint(settings, setup.type, setup.listFile, total);
    if (!point.note.isEmpty())
        printError(point.note);
    return QString::number(point.start);
}

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
        asked << QStringLiteral("%1 (%2)").arg(server.host, counts);
    }
    if (asked.isEmpty())
        return {};
    QString reason = QStringLiteral("No server answered: ") + asked.join(QStringLiteral(", "));
    if (!firstFailure.isEmpty())
        reason += QStringLiteral("; ") + firstFailure;
    return reason;
}

} // namespace

int runSearchCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks a list of domain names against their WHOIS servers.\n\n") +
        QString::fromLatin1(ExitCodesHelp));
    parser.addHelpOption();
    const QCommandLineOption listOption(QStringLiteral("list"),
                                        QStringLiteral("List file to search (a custom list)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption typeOption(
        QStringLiteral("type"), QStringLiteral("Search type, e.g. \"Full Word List\" or \"All Two Letter\"."),
        QStringLiteral("TYPE"));
    const QCommandLineOption startOption(
        QStringLiteral("start"), QStringLiteral("Entry number to start at (default: resume position)."),
        QStringLiteral("N"));
    const QCommandLineOption proxyOption(
        QStringLiteral("proxy"), QStringLiteral("Send every lookup to this WHOIS server for this run."),
        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption noDnsOption(
        QStringLiteral("no-dns"), QStringLiteral("Ask every name's registry, without the DNS pre-check."));
    const QCommandLineOption dnsOption(
        QStringLiteral("dns"),
        QStringLiteral(
            "DNS server for the pre-check (default: the system's resolver; turns the pre-check on)."),
        QStringLiteral("SERVER[:PORT]"));
    const QCommandLineOption rdapOption(
        QStringLiteral("rdap"),
        QStringLiteral("Ask over RDAP every extension that rdap-dns.json lists, for this run."));
    const QCommandLineOption noConfirmOption(
        QStringLiteral("no-confirm"),
        QStringLiteral("File a name WHOIS calls free without asking its registry's RDAP service again."));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("Output: text, csv or json."),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    parser.addOptions({listOption, typeOption, startOption, proxyOption, homeOption(), formatOption,
                       rdapOption, noConfirmOption, noDnsOption, dnsOption});
    if (const std::optional<int> status =
            parseCommand(parser, arguments, QStringLiteral("brisquel-cli search [options]")))
        return *status;

    SearchSetup setup;
    const QString format = parser.value(formatOption);
    if (format == QLatin1String("csv"))
        setup.format = Format::Csv;
    else if (format == QLatin1String("json"))
        setup.format = Format::Json;
    else if (format != QLatin1String("text")) {
        printError(QStringLiteral("unknown format \"%1\" (use text, csv or json)").arg(format));
        return BadArguments;
    }
    if (parser.isSet(proxyOption)) {
        ServerOverride server;
        if (!parseServer(parser.value(proxyOption), &server)) {
            printError(QStringLiteral("--proxy needs HOST or HOST:PORT with a port from 1 to 65535"));
            return BadArguments;
        }
        setup.proxy = server;
    }
    if (parser.isSet(noDnsOption) && parser.isSet(dnsOption)) {
        printError(QStringLiteral("give either --dns SERVER or --no-dns"));
        return BadArguments;
    }
    if (parser.isSet(dnsOption) && parser.value(dnsOption).trimmed().isEmpty()) {
        printError(QStringLiteral("--dns needs a server address"));
        return BadArguments;
    }
    if (parser.isSet(listOption) == parser.isSet(typeOption)) {
        printError(QStringLiteral("give either --list FILE or --type TYPE"));
        return BadArguments;
    }
    if (!noStrayArguments(parser))
        return BadArguments;

    DataFolder folder(DataFolder::resolveRoot(arguments));
    QString error;
    if (!folder.ensureRoot(&error)) {
        printError(error);
        return Failure;
    }
    // The same start-up as the GUI program: files, folders, settings and the extension table.
    SearchSession session(folder, DataFolder::defaultUserSettingsPath());
    QString settingsDnsError;
    const StartupResult& startup = session.start(UrlOpener(), &settingsDnsError);
    SettingsStore& settings = *session.settings();
    const ExtensionTable& table = *session.table();
    SearchDriver& driver = *session.driver();
    for (const QString& problem : startup.problems)
        printError(problem);
    printSkippedLines(startup.answerRuleProblems);
    for (const RegistrarsProblem& problem : startup.registrarProblems)
        printError(QStringLiteral("registrars.txt line %1 skipped: %2")
                       .arg(problem.lineNumber)
                       .arg(problem.message));

    if (parser.isSet(typeOption)) {
        const std::optional<SearchType> type = searchTypeFromCaption(parser.value(typeOption));
        if (!type || searchTypeListFile(*type).isEmpty()) {
            printError(
                QStringLiteral("\"%1\" is not a search type with a list file").arg(parser.value(typeOption)));
            return BadArguments;
        }
        setup.type = *type;
        setup.listFile = folder.path(searchTypeListFile(*type));
    } else {
        setup.listFile = QFileInfo(parser.value(listOption)).absoluteFilePath();
    }
    if (!QFileInfo(setup.listFile).isFile()) {
        printError(QStringLiteral("the list file %1 does not exist").arg(setup.listFile));
        return Failure;
    }

    const qint64 total = countListEntries(setup.listFile);
    setup.start = parser.isSet(startOption) ? parser.value(startOption) : resumeStart(settings, setup, total);
    if (setup.type == SearchType::CustomList)
        settings.setValue(SettingKeys::CustListFile(), setup.listFile);

    // The options of this run over what start-up took from the settings.
    driver.setServerOverride(setup.proxy);
    if (parser.isSet(rdapOption))
        driver.setPreferRdap(true);
    if (parser.isSet(noConfirmOption))
        driver.setConfirmFree(false);
    if (parser.isSet(dnsOption) || parser.isSet(noDnsOption)) {
        const QString dnsServer = parser.isSet(dnsOption) ? parser.value(dnsOption) : startup.dnsServer;
        if (!driver.setDnsPrecheck(parser.isSet(dnsOption), dnsServer, &error)) {
            printError(error);
            if (parser.isSet(dnsOption))
                return BadArguments;
            // A bad address in the settings costs the pre-check, not the search.
            driver.setDnsPrecheck(false);
        }
    } else if (!settingsDnsError.isEmpty()) {
        printError(settingsDnsError);
    }
    printSkippedLines(startup.serverLimitProblems);
    if (setup.proxy) {
        printError(QStringLiteral("All lookups go to %1:%2").arg(setup.proxy->host).arg(setup.proxy->port));
    } else if (startup.useProxy) {
        const int row = table.findExtensionIndex(QStringLiteral("x"), true);
        if (row != ExtensionTable::NoRow && table.row(row).extension == QLatin1String("proxy"))
            printError(QStringLiteral("All lookups go to %1:%2 (the \"proxy\" row of registrars.txt)")
                           .arg(table.row(row).server)
                           .arg(table.row(row).port));
    }

    ProgressPrinter progress(stderr);
    qint64 checked = 0;
    qint64 counts[VerdictCount] = {};
    qint64 unconfirmed = 0;
    int exitCode = Success;
    bool interrupted = false;
    // Registered names are written nowhere else: each line goes out at once, and a line that
    // cannot be written stops the search as Ctrl-C does, so that nothing after it goes unrecorded.
    StandardOutput output;
    std::optional<int> outputStatus;
    QString firstFailure;

    QObject::connect(
        &driver, &SearchDriver::verdict,
        [&](const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts) {
            ++checked;
            ++counts[int(verdict)];
            if (verdict == Verdict::Available && facts.confirmed == Confirmation::None)
                ++unconfirmed;
            if (verdict == Verdict::Unanswered && firstFailure.isEmpty())
                firstFailure = detail;
            const QByteArray line = verdictLine(setup.format, domain, verdict, detail, facts);
            if (!outputStatus && !output.print(line)) {
                progress.finish();
                outputStatus = output.reportFailure();
                if (*outputStatus == OutputNotWritten)
                    printError(QStringLiteral("not written: %1").arg(QString::fromUtf8(line.trimmed())));
                driver.stop();
                return;
            }
            if (progress.isDue())
                progress.update(driver.progress(), driver.unansweredCount());
        });
    QObject::connect(&driver, &SearchDriver::problem, [](const QString& message) { printError(message); });
    QObject::connect(&driver, &SearchDriver::serverWaiting, [&](const QString& text) {
        progress.finish();
        printError(text);
    });
    QObject::connect(&driver, &SearchDriver::searchStopped,
                     [](const QString& message) { printError(message); });
    QObject::connect(session.listFiles(), &ListFiles::writeFailed,
                     [](const QString& message) { printError(message); });
    QObject::connect(session.listFiles(), &ListFiles::overflowed, [] {
        printError(
            QStringLiteral("One of your lists has reached 20000 entries.  They have been saved and cleared.  "
                           "You may find your backed up lists in the brisquel /overflow/ directory."));
    });
    QObject::connect(&driver, &SearchDriver::finished, [&](bool) { QCoreApplication::exit(0); });

    InterruptWatcher watcher;
    QObject::connect(&watcher, &InterruptWatcher::interrupted, [&] {
        interrupted = true;
        driver.stop();
    });

    // Refused here rather than by the driver, so that it exits as a search that could not start.
    VerdictFiler& filer = *session.filer();
    if (!filer.claim(&error)) {
        printError(error);
        return Failure;
    }
    const auto releaseFolder = qScopeGuard([&filer] { filer.release(); });
    if (setup.format == Format::Csv && !output.print(QByteArray(CsvHeader)))
        return output.reportFailure();
    SearchRequest request{setup.listFile, setup.type, setup.start, QString::number(total)};
    if (!driver.start(request, &error)) {
        printError(error);
        return BadArguments;
    }
    if (driver.isRunning())
        QCoreApplication::exec();
    progress.finish();
    std::fprintf(stderr,
                 "Checked %lld names in %.1f s: %lld available, %lld registered, %lld not registrable, %lld "
                 "unanswered. "
                 "Resume position: %lld.\n",
                 checked, progress.elapsedSeconds(), counts[int(Verdict::Available)],
                 counts[int(Verdict::Registered)], counts[int(Verdict::NotRegistrable)],
                 counts[int(Verdict::Unanswered)], driver.resumePosition());
    if (driver.dnsPrecheck())
        std::fprintf(stderr, "DNS settled %lld of the registered names without a registry query.\n",
                     driver.dnsSettledCount());
    if (driver.confirmFree() && unconfirmed > 0)
        std::fprintf(stderr, "%lld of the available names are unconfirmed: only WHOIS said they are free.\n",
                     unconfirmed);
    if (driver.droppingCount() > 0)
        std::fprintf(stderr, "%lld taken names are about to drop; they are listed in %s.\n",
                     driver.droppingCount(), qPrintable(session.filer()->droppingFilePath()));
    // Per server: how it answered, and how often it had to be given a rest.
    const QList<SearchDriver::ServerStats> servers = driver.serverStats();
    for (const SearchDriver::ServerStats& server : servers) {
        if (servers.size() > 1 || server.refusals > 0)
            std::fprintf(stderr, "  %s: %lld queries, %lld answers, %lld refusals, %lld pauses\n",
                         qPrintable(server.host), server.queries, server.answers, server.refusals,
                         server.pauses);
    }
    if (counts[int(Verdict::Unanswered)] > 0) {
        // The driver stops at the first name it cannot add, so a failure naming the file is the only
        // case in which they were not all kept.
        if (driver.saveFailure().contains(QFileInfo(driver.unansweredFilePath()).fileName()))
            std::fprintf(stderr, "Unanswered names could not all be kept: %s\n",
                         qPrintable(driver.saveFailure()));
        else
            std::fprintf(stderr, "Unanswered names were added to %s.\n",
                         qPrintable(driver.unansweredFilePath()));
    }
    const QString noAnswer = noServerAnswered(servers, firstFailure);
    if (!driver.saveFailure().isEmpty()) {
        exitCode = NotSaved;
    } else if (!driver.listFailure().isEmpty()) {
        exitCode = Failure;
    } else if (outputStatus) {
        exitCode = *outputStatus;
    } else if (interrupted) {
        exitCode = Interrupted;
    } else if (!noAnswer.isEmpty()) {
        printError(noAnswer);
        exitCode = NoServerAnswered;
    }
    return exitCode;
}

} // namespace brisquel
