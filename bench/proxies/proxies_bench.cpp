// A pool of three SOCKS5 proxies (microsocks, outgoing from 127.0.0.2, .3 and .4) against a WHOIS
// server on 127.0.0.1 that refuses more than 10 queries a second from one address, searched several
// times. Prints, per run, the time for the names against the least the limits allow, the names
// each proxy carried, the names refused and left unanswered, and each address's highest rate over
// any second. Nothing but 127.0.0.x is contacted.
#include "../../tests/engine/search_harness.h"
#include "engine/lookup/proxy_list.h"
#include "tools/fake_whois_server.h"
#include "tools/socks_proxy.h"
#include "whois_config/server_limits.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>

using namespace brisquel;

namespace {

constexpr int Limit = 10;
constexpr double Target = 1.1;

// The server runs on a thread of its own, so that the search's work never delays the time it
// stamps on a query (which would bunch queries up and count them in one second).
class ServerThread
{
public:
    ServerThread()
    {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
    }
    ~ServerThread()
    {
        run([this] { m_server.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()>& work)
    {
        QMetaObject::invokeMethod(&m_anchor, work, Qt::BlockingQueuedConnection);
    }
    // A fresh server for every run, so that its counts start from nothing.
    quint16 restart()
    {
        quint16 port = 0;
        run([&] {
            m_server = std::make_unique<test::FakeWhoisServer>();
            if (!m_server->listen())
                return;
            m_server->setRecordQueries(false);
            m_server->setRateLimit(Limit, "%% Excessive querying, grace period of 1 seconds.\r\n");
            m_server->setRateLimitPerAddress(true);
            port = m_server->port();
        });
        return port;
    }
    test::FakeWhoisServer* server() const { return m_server.get(); }

private:
    QThread m_thread;
    QObject m_anchor;
    std::unique_ptr<test::FakeWhoisServer> m_server;
};

struct RunResult
{
    double seconds = 0;
    bool good = false;
};

RunResult searchOnce(ServerThread& serverThread, const QList<ProxyEntry>& proxies, int names,
                     const QString& pace, int run)
{
    RunResult result;
    const quint16 port = serverThread.restart();
    if (port == 0) {
        std::fprintf(stderr, "proxies_bench: the server did not start\n");
        return result;
    }
    test::Harness h(port);
    // The program's own timings, not the tests' short ones: a refusal's rest and the slowest pace
    // learned from it are as in a search.
    SearchSettings settings = h.driver.settings();
    settings.timings = LookupTimings{};
    ServerLimitsTable limits;
    // One query at a time per address: the server counts over a sliding second.
    limits.load(QStringLiteral("127.0.0.1 rate=%1/s burst=1").arg(pace).toUtf8(), QStringLiteral("bench"));
    settings.serverLimits = limits;
    settings.proxies = proxies;
    h.driver.setSettings(settings);
    QElapsedTimer clock;
    clock.start();
    const bool done = h.run(h.writeList(test::numberedList(names)), QStringLiteral("1"), 10 * 60 * 1000);
    result.seconds = double(clock.elapsed()) / 1000.0;
    const double ideal = double(names) / double(Limit * proxies.size());
    QHash<QString, int> seen;
    QHash<QString, int> highest;
    int refused = 0;
    serverThread.run([&] {
        seen = serverThread.server()->queriesByAddress();
        refused = serverThread.server()->throttledCount();
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            highest.insert(it.key(), serverThread.server()->highestRatePerSecond(it.key()));
    });
    const qsizetype unanswered = h.domains(Verdict::Unanswered).size();
    QStringList carried;
    for (const SearchDriver::ProxyStats& proxy : h.driver.proxyStats())
        carried << QString::number(proxy.lookups);
    QStringList peaks;
    bool withinLimits = true;
    for (int i = 0; i < proxies.size(); ++i) {
        const QString address = QStringLiteral("127.0.0.%1").arg(i + 2);
        withinLimits = withinLimits && highest.value(address) <= Limit;
        peaks << QStringLiteral("%1/%2").arg(seen.value(address)).arg(highest.value(address));
    }
    std::printf("run %d: %.2f s, ratio %.3f; per proxy %s names; refused %d, unanswered %lld; "
                "per address queries/highest in a second %s\n",
                run, result.seconds, result.seconds / ideal, qPrintable(carried.join(QLatin1Char(' '))),
                refused, qlonglong(unanswered), qPrintable(peaks.join(QLatin1Char(' '))));
    std::fflush(stdout);
    result.good = done && unanswered == 0 && refused == 0 && withinLimits && result.seconds <= ideal * Target;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("names"), QStringLiteral("Names to look up (600)."), QStringLiteral("N"),
          QStringLiteral("600")},
         {QStringLiteral("proxies"), QStringLiteral("Proxies, 1 to 3 (3)."), QStringLiteral("N"),
          QStringLiteral("3")},
         {QStringLiteral("pace"), QStringLiteral("Queries a second the pool asks of each address (9.8)."),
          QStringLiteral("RATE"), QStringLiteral("9.8")},
         {QStringLiteral("runs"), QStringLiteral("Searches, one after the other (5)."), QStringLiteral("N"),
          QStringLiteral("5")}});
    parser.process(app);
    const int names = parser.value(QStringLiteral("names")).toInt();
    const int count = std::clamp(parser.value(QStringLiteral("proxies")).toInt(), 1, 3);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pace = parser.value(QStringLiteral("pace"));
    if (!test::Socks::installed()) {
        std::fprintf(stderr, "proxies_bench: microsocks is not installed (scripts/install-deps)\n");
        return 2;
    }

    std::vector<std::unique_ptr<test::Socks>> socks;
    QList<ProxyEntry> proxies;
    for (int i = 0; i < count; ++i) {
        socks.push_back(std::make_unique<test::Socks>(QStringLiteral("127.0.0.%1").arg(i + 2)));
        ProxyEntry entry;
        QString error;
        if (!socks.back()->ready() || !ProxyEntry::parse(socks.back()->url(), &entry, &error)) {
            std::fprintf(stderr, "proxies_bench: microsocks did not start\n");
            return 2;
        }
        proxies.append(entry);
    }

    const double ideal = double(names) / double(Limit * count);
    std::printf("%d names through %d proxies, %d queries/s per address allowed: the least is %.1f s; "
                "%d runs (target: each <= %.2f x the least, none refused)\n",
                names, count, Limit, ideal, runs, Target);
    ServerThread serverThread;
    int good = 0;
    double worst = 0;
    for (int run = 1; run <= runs; ++run) {
        const RunResult result = searchOnce(serverThread, proxies, names, pace, run);
        good += result.good ? 1 : 0;
        worst = std::max(worst, result.seconds / ideal);
    }
    std::printf("%d of %d runs within the target; the worst ratio %.3f\n", good, runs, worst);
    return good == runs ? 0 : 1;
}
