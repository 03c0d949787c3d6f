// Runs FakeWhoisServer as a process of its own, for benchmarks and manual tests of WHOIS clients.
#include "tools/fake_rdap_server.h"
#include "tools/fake_whois_server.h"
#include "tools/tool_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using brisquel::test::FakeRdapServer;
using brisquel::test::FakeWhoisServer;

namespace {

int stopPipe[2] = {-1, -1};

void requestStop(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop picks the byte up.
    [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

bool installStopHandlers()
{
    if (::pipe(stopPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

bool writePortFile(const QString& path, quint16 port, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(QByteArray::number(port) + '\n');
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void fail(const QString& message)
{
    brisquel::test::printToolError("fake-whois-server", message);
}

bool readNumber(const QCommandLineParser& parser, const QString& option, int maximum, int* value)
{
    return brisquel::test::readNumberOption("fake-whois-server", parser, option, maximum, value);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fake-whois-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "WHOIS server on 127.0.0.1 that answers every query with a free or a registered record.\n"
        "Names whose label starts with \"free\" or contains \"avail\" are free; those starting with \"drop\" "
        "are\n"
        "registered in their redemption period."));
    parser.addHelpOption();
    const QString portOption = QStringLiteral("port");
    const QString delayOption = QStringLiteral("delay");
    const QString slowDelayOption = QStringLiteral("slow-delay");
    const QString faultOption = QStringLiteral("fault");
    const QString failFirstOption = QStringLiteral("fail-first");
    const QString allFreeOption = QStringLiteral("all-free");
    const QString freeOption = QStringLiteral("free");
    const QString portFileOption = QStringLiteral("port-file");
    const QString queryLogOption = QStringLiteral("query-log");
    const QString quietOption = QStringLiteral("quiet");
    const QString rateLimitOption = QStringLiteral("rate-limit");
    const QString perAddressOption = QStringLiteral("rate-limit-per-address");
    const QString rateLimitTextOption = QStringLiteral("rate-limit-text");
    const QString rdapOption = QStringLiteral("rdap");
    const QString quotaOption = QStringLiteral("quota");
    const QString quotaWaitOption = QStringLiteral("quota-wait");
    const QString quotaPerSecondOption = QStringLiteral("quota-per-second");
    const QString resetEveryOption = QStringLiteral("reset-every");
    const QString rdap429EveryOption = QStringLiteral("rdap-429-every");
    const QString retryAfterOption = QStringLiteral("retry-after");
    parser.addOptions({
        {portOption, QStringLiteral("Port to listen on; 0 picks a free one."), QStringLiteral("N"),
         QStringLiteral("0")},
        {delayOption, QStringLiteral("Wait this long before every answer."), QStringLiteral("MS")},
        {slowDelayOption, QStringLiteral("Delay of the slow-answer fault (default 9000)."),
         QStringLiteral("MS")},
        {faultOption,
         QStringLiteral("Misbehave: none, never-answer, close-without-data, reset-mid-answer, huge-answer, "
                        "slow-answer, refuse-after-accept."),
         QStringLiteral("NAME")},
        {failFirstOption, QStringLiteral("Leave the first N connections for each name unanswered."),
         QStringLiteral("N")},
        {allFreeOption, QStringLiteral("Report every name as free.")},
        {freeOption, QStringLiteral("Report this name as free (repeatable)."), QStringLiteral("NAME")},
        {portFileOption, QStringLiteral("Once listening, write the port and a newline to this file."),
         QStringLiteral("PATH")},
        {queryLogOption, QStringLiteral("Append every query line to this file."), QStringLiteral("PATH")},
        {quietOption, QStringLiteral("Print nothing on standard output.")},
        {rateLimitOption,
         QStringLiteral("Above N queries a second, answer \"Excessive querying, grace period of 1 "
                        "seconds.\" instead of the record."),
         QStringLiteral("N")},
        {rateLimitTextOption,
         QStringLiteral(
             "The answer above --rate-limit instead of the grace period text (a line; CR LF is added)."),
         QStringLiteral("TEXT")},
        {perAddressOption,
         QStringLiteral("Count --rate-limit per client address (proxies bound to 127.0.0.2, .3, ...).")},
        {quotaOption,
         QStringLiteral("Above N queries within --quota-wait seconds, answer \"Query rate limit exceeded, "
                        "wait S seconds\" instead of the record."),
         QStringLiteral("N")},
        {quotaWaitOption,
         QStringLiteral("The quota's window and the wait it names (default 5); with --quota-per-second, how "
                        "long an address that went over it is refused."),
         QStringLiteral("S")},
        {quotaPerSecondOption,
         QStringLiteral("Above N queries from one address within a second, refuse everything it asks for "
                        "--quota-wait seconds with \"The WHOIS query quota for ADDRESS has been exceeded and "
                        "will be replenished in S seconds.\""),
         QStringLiteral("N")},
        {resetEveryOption, QStringLiteral("Reset every Nth answered query after half its answer."),
         QStringLiteral("N")},
        {rdapOption,
         QStringLiteral("Be an RDAP server over plain HTTP instead (base URL http://127.0.0.1:PORT/; "
                        "names starting with \"free\" are not found, those starting with \"drop\" are in "
                        "their redemption period). Takes --delay, --rdap-429-every "
                        "and --retry-after only.")},
        {rdap429EveryOption,
         QStringLiteral("With --rdap, answer every Nth request with 429 and a Retry-After header."),
         QStringLiteral("N")},
        {retryAfterOption, QStringLiteral("Seconds the 429 answers name in Retry-After (default 1)."),
         QStringLiteral("S")},
    });
    parser.process(app);

    FakeWhoisServer server;
    server.setRecordQueries(false);
    int port = 0;
    int delay = 0;
    int slowDelay = FakeWhoisServer::DefaultSlowDelayMs;
    int failFirst = 0;
    int rateLimit = 0;
    int quota = 0;
    int quotaPerSecond = 0;
    int quotaWait = 5;
    int resetEvery = 0;
    int refuseEvery = 0;
    int retryAfter = 1;
    if (!readNumber(parser, rateLimitOption, 1000000, &rateLimit) ||
        !readNumber(parser, quotaOption, 1000000, &quota) ||
        !readNumber(parser, quotaPerSecondOption, 1000000, &quotaPerSecond) ||
        !readNumber(parser, quotaWaitOption, 86400, &quotaWait) ||
        !readNumber(parser, resetEveryOption, 1000000, &resetEvery) ||
        !readNumber(parser, rdap429EveryOption, 1000000, &refuseEvery) ||
        !readNumber(parser, retryAfterOption, 86400, &retryAfter)) {
        return 2;
    }
    if (quotaWait < 1) {
        fail(QStringLiteral("--quota-wait wants at least 1 second"));
        return 2;
    }
    if (!readNumber(parser, portOption, 65535, &port) || !readNumber(parser, delayOption, 3600000, &delay) ||
        !readNumber(parser, slowDelayOption, 3600000, &slowDelay) ||
        !readNumber(parser, failFirstOption, 1000000, &failFirst)) {
        return 2;
    }
    server.setDelayMs(delay);
    server.setSlowDelayMs(slowDelay);
    server.setFailFirstAttempts(failFirst);
    server.setRateLimit(rateLimit, parser.isSet(rateLimitTextOption)
                                       ? parser.value(rateLimitTextOption).toUtf8() + "\r\n"
                                       : QByteArray("%% Excessive querying, grace period of 1 seconds.\r\n"));
    server.setRateLimitPerAddress(parser.isSet(perAddressOption));
    server.setQuota(quota, quotaWait,
                    "% Query rate limit exceeded, wait " + QByteArray::number(quotaWait) + " seconds\r\n");
    server.setQuotaPerSecond(quotaPerSecond, quotaWait,
                             "% The WHOIS query quota for %1 has been exceeded and will be replenished in " +
                                 QByteArray::number(quotaWait) + " seconds.\r\n");
    server.setResetEvery(resetEvery);
    if (parser.isSet(faultOption)) {
        const auto fault = FakeWhoisServer::faultFromName(parser.value(faultOption));
        if (!fault) {
            fail(QStringLiteral("unknown fault \"%1\"").arg(parser.value(faultOption)));
            return 2;
        }
        server.setFault(*fault);
    }
    server.setAllFree(parser.isSet(allFreeOption));
    for (const QString& name : parser.values(freeOption))
        server.addFreeName(name);

    QFile queryLog;
    if (parser.isSet(queryLogOption)) {
        queryLog.setFileName(parser.value(queryLogOption));
        if (!queryLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            fail(QStringLiteral("cannot open %1: %2").arg(queryLog.fileName(), queryLog.errorString()));
            return 1;
        }
        QObject::connect(&server, &FakeWhoisServer::queryReceived, &queryLog,
                         [&queryLog](const QString& query) { queryLog.write(query.toUtf8() + '\n'); });
    }

    if (!installStopHandlers()) {
        fail(QStringLiteral("cannot install the signal handlers"));
        return 1;
    }
    QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    FakeRdapServer rdapServer;
    rdapServer.setDelayMs(delay);
    rdapServer.refuseEvery(refuseEvery, retryAfter);
    const bool rdap = parser.isSet(rdapOption);
    if (rdap ? !rdapServer.listen(static_cast<quint16>(port)) : !server.listen(static_cast<quint16>(port))) {
        fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server.errorString()));
        return 1;
    }
    const QString portFile = parser.value(portFileOption);
    QString error;
    const quint16 listening = rdap ? rdapServer.port() : server.port();
    if (!portFile.isEmpty() && !writePortFile(portFile, listening, &error)) {
        fail(QStringLiteral("cannot write %1: %2").arg(portFile, error));
        return 1;
    }
    const bool quiet = parser.isSet(quietOption);
    if (!quiet) {
        std::printf("listening on 127.0.0.1:%u\n", listening);
        std::fflush(stdout);
    }

    const int result = QCoreApplication::exec();
    server.close();
    if (!portFile.isEmpty())
        QFile::remove(portFile);
    if (!quiet) {
        if (rdap)
            std::printf("stopped after %lld requests, at most %d at once, %lld refused\n",
                        rdapServer.requestCount(), rdapServer.peakConnections(), rdapServer.refusedCount());
        else
            std::printf("stopped after %d connections, at most %d at once, %d refused\n",
                        server.connectionCount(), server.maxConcurrentConnections(), server.throttledCount());
    }
    return result;
}
