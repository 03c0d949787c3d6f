// Measures the DNS pre-check against the fake DNS server on 127.0.0.1 (nothing else is contacted).
//
//   dns_precheck_bench [--names N] [--max-in-flight N] [--in-process] [--mode precheck|search]
//
// precheck: N names (default 20,000, every 10th one not delegated) through DnsPrecheck alone, the
// server answering at once; prints names per second and checks every verdict. The server runs as a
// process of its own (fake-dns-server), so that the two share the machine's cores the way a
// program and a real resolver do; --in-process runs it on this thread instead.
// search: a search with and without the pre-check (see runSearchComparison()).

#include "engine/dns_precheck.h"
#include "tools/fake_dns_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
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
QString startServer(QProcess* server, const Setup& setup, const QString& folder)
{
    QFile list(folder + QStringLiteral("/delegated.txt"));
    if (!list.open(QIODevice::WriteOnly))
        return {};
    for (qsizetype i = 0; i < setup.names.size(); ++i) {
        if (setup.delegated[i])
            list.write(setup.names[i].toLatin1() + '\n');
    }
    list.close();
    server->start(QStringLiteral(FAKE_DNS_SERVER), {QStringLiteral("--delegated-file"), list.fileName()});
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

// (b) To come: a search (SearchDriver or brisquel-cli) over the same names against fake-whois-server,
// once without and once with the pre-check pointed at the fake DNS server: the time of each, the
// WHOIS queries saved, and that the verdicts agree.
int runSearchComparison(const Setup& /*setup*/)
{
    err << "(b) the search with and without the pre-check is not measured yet\n";
    return 2;
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
    parser.addOptions({
        {namesOption, QStringLiteral("Names to check (default 20000)."), QStringLiteral("N"),
         QStringLiteral("20000")},
        {inFlightOption, QStringLiteral("Most names in flight (default 300)."), QStringLiteral("N"),
         QString::number(DnsPrecheck::DefaultMaxInFlight)},
        {inProcessOption, QStringLiteral("Run the DNS server on this thread, not as a process.")},
        {modeOption, QStringLiteral("precheck (default) or search."), QStringLiteral("MODE"),
         QStringLiteral("precheck")},
    });
    parser.process(app);
    bool namesOk = false;
    bool inFlightOk = false;
    const int count = parser.value(namesOption).toInt(&namesOk);
    Setup setup;
    setup.maxInFlight = parser.value(inFlightOption).toInt(&inFlightOk);
    if (!namesOk || count < 1 || !inFlightOk || setup.maxInFlight < 1) {
        err << "--names and --max-in-flight want whole numbers of at least 1\n";
        return 2;
    }
    makeNames(count, &setup);

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

    const QString mode = parser.value(modeOption);
    int status = 2;
    if (mode == QLatin1String("precheck"))
        status = runPrecheckAlone(setup);
    else if (mode == QLatin1String("search"))
        status = runSearchComparison(setup);
    else
        err << "unknown mode \"" << mode << "\"\n";

    if (serverProcess.state() != QProcess::NotRunning) {
        serverProcess.terminate();
        serverProcess.waitForFinished(5000);
    }
    return status;
}
