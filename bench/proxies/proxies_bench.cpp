// A pool of three SOCKS5 proxies (microsocks, outgoing from 127.0.0.2, .3 and .4) against a WHOIS
// server on 127.0.0.1 that refuses more than 10 queries a second from one address. Prints the time
// for the names against the least the limits allow, the names left unanswered, and each address's
// highest rate over any second. Nothing but 127.0.0.x is contacted.
#include "../../tests/engine/search_harness.h"
#include "engine/proxy_list.h"
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
          QStringLiteral("RATE"), QStringLiteral("9.8")}});
    parser.process(app);
    const int names = parser.value(QStringLiteral("names")).toInt();
    const int count = std::clamp(parser.value(QStringLiteral("proxies")).toInt(), 1, 3);
    const QString pace = parser.value(QStringLiteral("pace"));
    constexpr int Limit = 10;
    if (!test::Socks::installed()) {
        std::fprintf(stderr, "proxies_bench: microsocks is not installed (scripts/install-deps)\n");
        return 2;
    }

    // The server runs on a thread of its own, so that the search's work never delays the time it
    // stamps on a query (which would bunch queries up and count them in one second).
    QThread serverThread;
    serverThread.start();
    QObject anchor;
    anchor.moveToThread(&serverThread);
    const auto onServer = [&](const std::function<void()>& work) {
        QMetaObject::invokeMethod(&anchor, work, Qt::BlockingQueuedConnection);
    };
    std::unique_ptr<test::FakeWhoisServer> server;
    bool listening = false;
    onServer([&] {
        server = std::make_unique<test::FakeWhoisServer>();
        listening = server->listen();
        server->setRecordQueries(false);
        server->setRateLimit(Limit, "%% Excessive querying, grace period of 1 seconds.\r\n");
        server->setRateLimitPerAddress(true);
    });
    const auto stopServer = [&] {
        onServer([&] { server.reset(); });
        serverThread.quit();
        serverThread.wait();
    };
    if (!listening) {
        stopServer();
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
            stopServer();
            return 2;
        }
        proxies.append(entry);
    }

    test::Harness h(server->port());
    ServerLimitsTable limits;
    // One query at a time per address: the server counts over a sliding second.
    limits.load(QStringLiteral("127.0.0.1 rate=%1/s burst=1").arg(pace).toUtf8(), QStringLiteral("bench"));
    h.driver.setServerLimits(limits);
    h.driver.setProxies(proxies);
    QByteArray list;
    for (int i = 1; i <= names; ++i)
        list += "name" + QByteArray::number(i) + ".com\r\n";
    QElapsedTimer clock;
    clock.start();
    const bool done = h.run(h.writeList(list), QStringLiteral("1"), 10 * 60 * 1000);
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double ideal = double(names) / double(Limit * count);
    QHash<QString, int> seen;
    QHash<QString, int> highest;
    int refused = 0;
    onServer([&] {
        seen = server->queriesByAddress();
        refused = server->throttledCount();
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            highest.insert(it.key(), server->highestRatePerSecond(it.key()));
    });
    stopServer();

    std::printf("%d names through %d proxies, %d queries/s per address allowed\n", names, count, Limit);
    std::printf("time %.2f s, ideal %.1f s, ratio %.3f (target <= 1.15)\n", seconds, ideal, seconds / ideal);
    const qsizetype unanswered = h.domains(Verdict::Unanswered).size();
    std::printf("answered %lld, unanswered %lld, refused by the server %d\n",
                qlonglong(h.outcomes.size() - unanswered), qlonglong(unanswered), refused);
    bool withinLimits = true;
    for (int i = 0; i < count; ++i) {
        const QString address = QStringLiteral("127.0.0.%1").arg(i + 2);
        withinLimits = withinLimits && highest.value(address) <= Limit;
        std::printf("  %s: %d queries, highest %d in one second\n", qPrintable(address), seen.value(address),
                    highest.value(address));
    }
    for (const SearchDriver::ProxyStats& proxy : h.driver.proxyStats())
        std::printf("  via %s: %lld lookups, %lld failures, %lld rests\n", qPrintable(proxy.name),
                    proxy.lookups, proxy.failures, proxy.rests);
    const bool good = done && unanswered == 0 && withinLimits && seconds <= ideal * 1.15;
    return good ? 0 : 1;
}
