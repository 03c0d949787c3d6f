// Measures the DNS pre-check against the fake DNS server on 127.0.0.1 (nothing else is contacted).
//
//   dns_precheck_bench [--names N] [--search-names M] [--max-in-flight N] [--in-process]
//                      [--mode all|precheck|search|conditions]
//
// precheck: N names (default 20,000, every 10th one not delegated) through DnsPrecheck alone, the
// server answering at once; prints names per second and checks every verdict. The server runs as a
// process of its own (fake-dns-server), so that the two share the machine's cores the way a
// program and a real resolver do; --in-process runs it on this thread instead.
// search: brisquel-cli over M names (default 10,000, 90% delegated) against fake-whois-server
// answering in 20 ms, with 25 lookups in flight: once with --no-dns, once with the pre-check asking
// the fake DNS server; the time and the registry queries of each, and that the verdicts agree.
// conditions: brisquel-cli over M names (default 3,000, 90% delegated), WHOIS as in search: once
// with --no-dns, then with --dns against a fake DNS server that is healthy, drops every 2nd or every
// 10th query, answers at most 100 a second, answers in 400 ms, or never answers; the time of each
// and its ratio to the --no-dns time, and that the verdicts agree.
// all (default): precheck and search.

#include "engine/dns/dns_precheck.h"
#include "tools/fake_dns_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <memory>

using namespace brisquel;
using brisquel::test::FakeDnsServer;

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

struct Setup
{
    QStringList names;
    QList<bool> delegated; // what the server says of each name
    QString resolver;      // "127.0.0.1:PORT"
    int maxInFlight = DnsPrecheck::DefaultMaxInFlight;
};

// Every 10th name is one the zone does not hold, as in the WHOIS benchmarks.
void makeNames(int count, Setup* setup)
{
    for (int i = 0; i < count; ++i) {
        const bool free = i % 10 == 0;
        setup->names.append(QStringLiteral("%1%2.com")
                                .arg(free ? QLatin1String("free") : QLatin1String("name"))
                                .arg(i, 7, 10, QLatin1Char('0')));
        setup->delegated.append(!free);
    }
}

// Starts fake-dns-server with the delegated names and returns its address, or an empty string.
QString startServer(QProcess* server, const Setup& setup, const QString& folder,
                    const QStringList& arguments = {})
{
    QFile list(folder + QStringLiteral("/delegated.txt"));
    if (!list.open(QIODevice::WriteOnly))
        return {};
    for (qsizetype i = 0; i < setup.names.size(); ++i) {
        if (setup.delegated[i])
            list.write(setup.names[i].toLatin1() + '\n');
    }
    list.close();
    server->start(QStringLiteral(FAKE_DNS_SERVER),
                  QStringList{QStringLiteral("--delegated-file"), list.fileName()} + arguments);
    if (!server->waitForStarted(5000) || !server->waitForReadyRead(30000))
        return {};
    const QRegularExpressionMatch port = QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"))
                                             .match(QString::fromLatin1(server->readLine()));
    return port.hasMatch() ? QStringLiteral("127.0.0.1:") + port.captured(1) : QString();
}

// (a) The pre-check on its own: as many names in flight as it takes, each answer making room for
// the next name, as the search will feed it.
int runPrecheckAlone(const Setup& setup)
{
    DnsPrecheck precheck;
    QString error;
    if (!precheck.setResolver(setup.resolver, &error)) {
        err << error << '\n';
        return 2;
    }
    precheck.setMaxInFlight(setup.maxInFlight);
    const int total = int(setup.names.size());
    QList<int> answers(total, 0);
    QList<qint64> sentAt(total, 0);
    qint64 slowestNs = 0;
    int answered = 0;
    int wrong = 0;
    int next = 0;
    QEventLoop loop;
    QElapsedTimer clock;
    const auto feed = [&] {
        while (next < total && precheck.hasRoom()) {
            sentAt[next] = clock.nsecsElapsed();
            precheck.check(quint64(next), setup.names[next]);
            ++next;
        }
    };
    QObject::connect(&precheck, &DnsPrecheck::checked, [&](quint64 id, bool delegated) {
        if (id >= quint64(total) || ++answers[qsizetype(id)] != 1 ||
            delegated != setup.delegated[qsizetype(id)])
            ++wrong;
        else
            slowestNs = std::max(slowestNs, clock.nsecsElapsed() - sentAt[qsizetype(id)]);
        if (++answered == total)
            loop.quit();
        else
            feed();
    });
    QObject::connect(&precheck, &DnsPrecheck::switchedOff, [&](const QString& message) {
        err << message << '\n';
        ++wrong;
    });
    clock.start();
    feed();
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    out << "(a) pre-check alone: " << total << " names in " << QString::number(seconds, 'f', 2) << " s, "
        << QString::number(total / seconds, 'f', 0) << " names/s, " << precheck.queriesSent()
        << " DNS queries, at most " << setup.maxInFlight << " in flight; slowest name "
        << QString::number(slowestNs / 1e6, 'f', 1) << " ms\n";
    if (wrong > 0) {
        err << "(a) " << wrong << " names answered wrongly, twice, or after a switch-off\n";
        return 1;
    }
    return 0;
}

struct SearchRun
{
    double seconds = 0;
    qint64 registryQueries = 0;
    QMap<QString, int> verdicts; // "available" -> count, ...
    bool ok = false;
    bool dnsSwitchedOff = false; // the pre-check gave up on the resolver
    qint64 dnsSettled = 0;
};

qint64 countLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().count('\n');
}

// One brisquel-cli search over the list against a fresh fake-whois-server, whose query log counts
// the registry queries.
SearchRun runCliSearch(const QString& folder, const QString& tag, const QString& list, const QStringList& dns)
{
    SearchRun run;
    const QString portFile = folder + QStringLiteral("/port-") + tag;
    const QString queryLog = folder + QStringLiteral("/queries-") + tag;
    QProcess whois;
    whois.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    whois.start(QStringLiteral(FAKE_WHOIS_SERVER),
                {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--delay"),
                 QStringLiteral("20"), QStringLiteral("--port-file"), portFile, QStringLiteral("--query-log"),
                 queryLog, QStringLiteral("--quiet")});
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(portFile) && wait.elapsed() < 10000 && whois.state() != QProcess::NotRunning)
        whois.waitForFinished(50);
    QFile portText(portFile);
    if (!portText.open(QIODevice::ReadOnly)) {
        err << "fake-whois-server did not start\n";
        return run;
    }
    const QString port = QString::fromLatin1(portText.readAll()).trimmed();
    QProcess cli;
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(BRISQUEL_CLI),
              QStringList{QStringLiteral("search"), QStringLiteral("--list"), list, QStringLiteral("--start"),
                          QStringLiteral("1"), QStringLiteral("--proxy"), QStringLiteral("127.0.0.1:") + port,
                          QStringLiteral("--home"), folder + QStringLiteral("/home-") + tag,
                          QStringLiteral("--format"), QStringLiteral("text")} +
                  dns);
    QByteArray output;
    QByteArray messages;
    while (cli.state() != QProcess::NotRunning || cli.bytesAvailable() > 0) {
        cli.waitForReadyRead(1000);
        output += cli.readAllStandardOutput();
        messages += cli.readAllStandardError();
    }
    messages += cli.readAllStandardError();
    run.seconds = clock.nsecsElapsed() / 1e9;
    whois.terminate();
    whois.waitForFinished(5000);
    run.registryQueries = countLines(queryLog);
    for (const QByteArray& line : output.split('\n')) {
        if (!line.isEmpty())
            ++run.verdicts[QString::fromLatin1(line.left(line.indexOf(' ')))];
    }
    run.ok = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    run.dnsSwitchedOff = messages.contains("checking every name with its registry");
    const QRegularExpressionMatch settled =
        QRegularExpression(QStringLiteral("DNS settled (\\d+) ")).match(QString::fromLatin1(messages));
    run.dnsSettled = settled.hasMatch() ? settled.captured(1).toLongLong() : 0;
    return run;
}

// The first count names as a list file for brisquel-cli; empty when it cannot be written.
QString writeList(const Setup& setup, int count, const QTemporaryDir& folder)
{
    const QString list = folder.filePath(QStringLiteral("names.txt"));
    QFile file(list);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (int i = 0; i < count; ++i)
        file.write(setup.names[i].toLatin1() + "\r\n");
    return list;
}

// (b) A search with and without the pre-check: what the registry is spared, and the time.
int runSearchComparison(const Setup& setup, int count)
{
    QTemporaryDir folder;
    const QString list = writeList(setup, count, folder);
    if (list.isEmpty())
        return 1;
    out << "(b) brisquel-cli over " << count << " names (" << setup.delegated.mid(0, count).count(true)
        << " delegated), WHOIS answering in 20 ms, 25 lookups in flight\n";
    out.flush();
    const SearchRun without =
        runCliSearch(folder.path(), QStringLiteral("without"), list, {QStringLiteral("--no-dns")});
    const SearchRun with =
        runCliSearch(folder.path(), QStringLiteral("with"), list, {QStringLiteral("--dns"), setup.resolver});
    for (const auto& [name, run] :
         {std::pair{"without the pre-check", &without}, std::pair{"with the pre-check", &with}})
        out << "    " << QString::fromLatin1(name).leftJustified(24) << QString::number(run->seconds, 'f', 2)
            << " s, " << run->registryQueries << " registry queries, "
            << QString::number(count / std::max(run->seconds, 1e-9), 'f', 0) << " names/s\n";
    const double faster = without.seconds / std::max(with.seconds, 1e-9);
    const double fewer =
        without.registryQueries > 0
            ? 100.0 * double(without.registryQueries - with.registryQueries) / double(without.registryQueries)
            : 0;
    out << "    " << QString::number(faster, 'f', 1) << "x faster, " << QString::number(fewer, 'f', 1)
        << "% fewer registry queries\n";
    // The pre-check settles names; it must not change one verdict.
    const bool agree = without.verdicts == with.verdicts &&
                       without.verdicts.value(QStringLiteral("available")) == count / 10;
    if (!without.ok || !with.ok || !agree) {
        err << "(b) the runs failed or disagree: without "
            << without.verdicts.value(QStringLiteral("available")) << " available, "
            << without.verdicts.value(QStringLiteral("registered")) << " registered; with "
            << with.verdicts.value(QStringLiteral("available")) << " available, "
            << with.verdicts.value(QStringLiteral("registered")) << " registered\n";
        return 1;
    }
    out << "    verdicts agree: " << without.verdicts.value(QStringLiteral("available")) << " available, "
        << without.verdicts.value(QStringLiteral("registered")) << " registered\n";
    return 0;
}

struct Condition
{
    const char* label;
    QStringList serverArguments;
};

void printConditionRun(const char* label, const SearchRun& run, double baseSeconds)
{
    out << "    " << QString::fromLatin1(label).leftJustified(22) << QString::number(run.seconds, 'f', 2)
        << " s  " << QString::number(run.seconds / std::max(baseSeconds, 1e-9), 'f', 2) << "x  "
        << run.registryQueries << " registry queries, DNS settled " << run.dnsSettled
        << (run.dnsSwitchedOff ? ", pre-check switched off" : "") << '\n';
    out.flush();
}

// (c) The search against resolvers that lose, ration or delay their answers, or never answer.
int runConditions(const Setup& setup, int count)
{
    QTemporaryDir folder;
    const QString list = writeList(setup, count, folder);
    if (list.isEmpty())
        return 1;
    out << "(c) brisquel-cli over " << count << " names (" << setup.delegated.mid(0, count).count(true)
        << " delegated), WHOIS answering in 20 ms; time, and its ratio to the time without DNS\n";
    out.flush();
    const SearchRun without =
        runCliSearch(folder.path(), QStringLiteral("without"), list, {QStringLiteral("--no-dns")});
    printConditionRun("--no-dns", without, without.seconds);
    const QList<Condition> conditions = {
        {"healthy", {}},
        {"every 2nd dropped", {QStringLiteral("--drop-every"), QStringLiteral("2")}},
        {"every 10th dropped", {QStringLiteral("--drop-every"), QStringLiteral("10")}},
        {"100 answers a second", {QStringLiteral("--max-rate"), QStringLiteral("100")}},
        {"answers in 400 ms", {QStringLiteral("--delay"), QStringLiteral("400")}},
        {"silent", {QStringLiteral("--silent")}},
    };
    bool agree = without.ok;
    double healthySeconds = 0;
    for (qsizetype i = 0; i < conditions.size(); ++i) {
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString resolver = startServer(&server, setup, folder.path(), conditions[i].serverArguments);
        if (resolver.isEmpty()) {
            err << "the fake DNS server did not start\n";
            return 1;
        }
        const SearchRun run =
            runCliSearch(folder.path(), QString::number(i), list, {QStringLiteral("--dns"), resolver});
        server.terminate();
        server.waitForFinished(5000);
        printConditionRun(conditions[i].label, run, without.seconds);
        if (i == 0)
            healthySeconds = run.seconds;
        agree = agree && run.ok && run.verdicts == without.verdicts;
    }
    out << "    healthy resolver: "
        << QString::number(without.seconds / std::max(healthySeconds, 1e-9), 'f', 1)
        << "x faster than without DNS\n";
    if (!agree || without.verdicts.value(QStringLiteral("available")) != count / 10) {
        err << "(c) a run failed or its verdicts differ from the run without DNS\n";
        return 1;
    }
    out << "    verdicts agree in every run\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("DNS pre-check benchmark against fake-dns-server on 127.0.0.1."));
    parser.addHelpOption();
    const QString namesOption = QStringLiteral("names");
    const QString inFlightOption = QStringLiteral("max-in-flight");
    const QString inProcessOption = QStringLiteral("in-process");
    const QString modeOption = QStringLiteral("mode");
    const QString searchNamesOption = QStringLiteral("search-names");
    parser.addOptions({
        {searchNamesOption, QStringLiteral("Names of the search runs (default 10000)."), QStringLiteral("M"),
         QStringLiteral("10000")},
        {namesOption, QStringLiteral("Names to check (default 20000)."), QStringLiteral("N"),
         QStringLiteral("20000")},
        {inFlightOption, QStringLiteral("Most names in flight (default 300)."), QStringLiteral("N"),
         QString::number(DnsPrecheck::DefaultMaxInFlight)},
        {inProcessOption, QStringLiteral("Run the DNS server on this thread, not as a process.")},
        {modeOption, QStringLiteral("all (default), precheck, search or conditions."), QStringLiteral("MODE"),
         QStringLiteral("all")},
    });
    parser.process(app);
    bool namesOk = false;
    bool inFlightOk = false;
    const int count = parser.value(namesOption).toInt(&namesOk);
    Setup setup;
    setup.maxInFlight = parser.value(inFlightOption).toInt(&inFlightOk);
    const QString mode = parser.value(modeOption);
    const bool conditions = mode == QLatin1String("conditions");
    // The conditions run seven searches: fewer names unless told otherwise.
    const QString searchText = conditions && !parser.isSet(searchNamesOption)
                                   ? QStringLiteral("3000")
                                   : parser.value(searchNamesOption);
    bool searchOk = false;
    const int searchCount = searchText.toInt(&searchOk);
    if (!namesOk || count < 1 || !inFlightOk || setup.maxInFlight < 1 || !searchOk || searchCount < 10) {
        err << "--names and --max-in-flight want whole numbers of at least 1, --search-names at least 10\n";
        return 2;
    }
    makeNames(std::max(count, searchCount), &setup);
    // Each condition starts a server of its own.
    if (conditions)
        return runConditions(setup, searchCount);

    QTemporaryDir folder;
    QProcess serverProcess;
    serverProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    std::unique_ptr<FakeDnsServer> inProcess;
    if (parser.isSet(inProcessOption)) {
        inProcess = std::make_unique<FakeDnsServer>();
        inProcess->setRecordQueries(false);
        for (qsizetype i = 0; i < setup.names.size(); ++i) {
            if (setup.delegated[i])
                inProcess->addDelegated(setup.names[i]);
        }
        if (inProcess->listen())
            setup.resolver = inProcess->address();
    } else {
        setup.resolver = startServer(&serverProcess, setup, folder.path());
    }
    if (setup.resolver.isEmpty()) {
        err << "the fake DNS server did not start\n";
        return 1;
    }
    out << "fake DNS server at " << setup.resolver << (inProcess ? " (in process)" : " (own process)")
        << '\n';
    out.flush();

    int status = -1;
    if (mode == QLatin1String("precheck") || mode == QLatin1String("all")) {
        Setup alone = setup;
        alone.names.resize(count);
        alone.delegated.resize(count);
        status = runPrecheckAlone(alone);
    }
    if ((mode == QLatin1String("search") || mode == QLatin1String("all")) && status <= 0)
        status = runSearchComparison(setup, searchCount);
    if (mode != QLatin1String("precheck") && mode != QLatin1String("search") && mode != QLatin1String("all"))
        err << "unknown mode \"" << mode << "\"\n";

    if (serverProcess.state() != QProcess::NotRunning) {
        serverProcess.terminate();
        serverProcess.waitForFinished(5000);
    }
    // Nothing ran: the mode was unknown.
    return status < 0 ? 2 : status;
}
