#pragma once

#include "engine/dispatch/lookup_outcome.h"
#include "engine/lookup/lookup_pool.h"
#include "engine/lookup/lookup_request.h"
#include "engine/judging/name_facts.h"
#include "engine/lookup/proxy_probe.h"
#include "engine/dispatch/proxy_rotation.h"
#include "engine/dispatch/server_pacer.h"
#include "engine/judging/verdict.h"
#include "engine/dispatch/waiting_line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>

namespace brisquel {

class LookupRouter;
struct SearchProgress;

// The names of a search on their way to their registries, a line per server: each goes out, in
// list order, as soon as its server's pace allows and a slot is free, so a slow or resting server
// holds back only its own names. A refusal puts a name back behind the next one in its line (up to
// five times), so that a name the server always refuses never holds up the others;
// a WHOIS server that gives no answer hands its names to the registry's RDAP service, a server
// that stays silent (RDAP too) is held and, after the dead time, its names are given up in one go.
// A lookup through a network proxy that brought nothing from its server is held until the proxy
// itself is asked whether it is alive: a dead one is the proxy's failure, never the server's. A name
// WHOIS calls free is asked once more, of the registry's RDAP service, before it comes back. Every
// name comes back once, with its verdict, through ended().
class LookupQueue : public QObject
{
    Q_OBJECT
public:
    // Lookups in a row without any answer after which a WHOIS server's names go to RDAP.
    static constexpr int SilentBeforeRdap = 3;

    explicit LookupQueue(const LookupRouter* router, QObject* parent = nullptr);
    ~LookupQueue() override;

    void setPoolSize(int size) { m_poolSize = size; }
    void setAnswerRules(std::shared_ptr<const AnswerRules> rules) { m_pool.setAnswerRules(std::move(rules)); }
    // Servers met take the new limits at once; a pace learned from refusals stays.
    void setServerLimits(const ServerLimitsTable& limits) { m_pacer.setLimits(limits); }
    // Whether a waiting name is still wanted when its turn comes (DNS may have settled it meanwhile).
    void setStillWanted(std::function<bool(qint64 entry)> wanted) { m_stillWanted = std::move(wanted); }

    // The network proxies lookups go through, taking turns; none: straight to the servers. Each
    // proxy has its own budget at every server. Taken at once; counts start again with begin().
    void setProxies(const QList<ProxyEntry>& proxies);
    int proxyCount() const { return m_proxies.count(); }
    QList<ProxyRotation::Stats> proxyStats() const { return m_proxies.stats(); }

    // A new search: every server is met afresh.
    void begin(const LookupTimings& timings);
    void add(const LookupRequest& request);
    // The name's DNS answer is awaited: it waits for it a moment (the grace) before its registry
    // is asked, unless DNS says first that it need not be asked.
    void awaitDns(qint64 entry) { m_awaitingDns.insert(entry); }
    void dnsAnswered(qint64 entry) { m_awaitingDns.remove(entry); }
    // Sends what may go now; comes back by itself when a server's rest or budget allows more.
    void dispatch();
    // Drops everything, in flight or waiting, without a result.
    void stop();

    bool isEmpty() const { return m_waiting == 0 && m_inFlight.empty(); }
    bool isInFlight(qint64 entry) const { return m_inFlight.count(entry) > 0; }
    qint64 waitingCount() const { return m_waiting; }
    // Names waiting for servers that could be asked now: the ones that keep reading ahead worth it.
    qint64 waitingForReadyServers() const;
    qsizetype inFlightCount() const { return qsizetype(m_inFlight.size()); }
    // Waiting names by what holds them: their server's limits, or a free slot.
    void countWaiting(SearchProgress* progress) const;
    qint64 longestAnswerWaitMs() const { return m_pool.longestRemainingMs(); }
    // Every waiting name, to route again after the extension table changed.
    void reroute(const std::function<void(LookupRequest&)>& change);
    QList<ServerPacer::Stats> serverStats() const;
    // Every lookup of the search ended without reaching its server; the first reason why.
    bool noneReached() const { return m_lookupsEnded > 0 && m_connectFailures == m_lookupsEnded; }
    QString firstConnectFailure() const { return m_firstConnectFailure; }

Q_SIGNALS:
    void ended(const brisquel::LookupRequest& request, brisquel::Verdict verdict, const QString& detail,
               const brisquel::NameFacts& facts);
    // The queue went on by itself (a rest or a server's budget was over, a server was given up):
    // names may have left it without a verdict to tell, so its owner looks whether all is done.
    void woke();
    // A WHOIS slot reached its server.
    void connecting(int slot, const QString& domain);
    // "Waiting for HOST: limit reached, 42 s", once per rest.
    void serverWaiting(const QString& text);
    // A server that cannot be reached, whose names go to RDAP instead, or that was given up.
    void problem(const QString& message);

private:
    using Line = WaitingLine;
    // A name's proxies are marked in one word: beyond 32 proxies, a failed one is not marked.
    static quint32 proxyBit(int proxy) { return proxy >= 0 && proxy < 32 ? quint32(1) << proxy : 0; }
    // What the dead-server rule watches for a line: its own server, or the RDAP service its names
    // go to instead.
    struct Watched
    {
        QString key;
        QString host;
    };
    Line& lineFor(const LookupRequest& request);
    void dispatchRound();
    // lookup_queue_choice.cpp: which line sends next, through which proxy, and what its server allows.
    Line* nextLine(qint64 now, qint64* readyAt, int* proxy);
    // Names settled meanwhile (by DNS) leave the front of the line without a query.
    void dropUnwanted(Line& line);
    bool pickProxy(const LookupRequest& request, qint64 now, qint64* readyAt, int* proxy);
    bool send(Line& line, int proxy, qint64 now);
    void giveUp(Line& line, const QString& host, const QString& reason = QString());
    Watched watched(const QString& lineKey, const Line& line) const;
    // Through every proxy (or straight): the server is given up, held, holds its names back.
    QStringList paceKeys(const QString& serverKey) const;
    bool serverDead(const QString& serverKey, qint64 now) const;
    qint64 serverDeadAt(const QString& serverKey) const;
    bool serverHeldBack(const QString& serverKey, qint64 now) const;
    bool serverRests(const QString& serverKey, qint64 now) const;
    // Asked at a pace (known or learned) through some proxy, or straight.
    bool serverPaced(const QString& serverKey) const;
    void showRest(qint64 now);
    void onResult(const LookupResult& result);
    void onProxyChecked(int proxy, bool alive, const QString& why);
    // Carries out what nextStep() decides for the result.
    void settle(LookupResult result, int refusals);
    // The facts nextStep() decides by, noting on the way which proxies reached the server and
    // which failed the name; *rdap becomes the name's RDAP request where the facts ask for it.
    LookupFacts readFacts(const LookupResult& result, LookupRequest* rdap);
    // Another live proxy has reached the request's server.
    bool reachedThroughOtherProxy(const LookupRequest& request) const;
    void onProxyFailure(const LookupResult& result, int refusals);
    void askRdap(const LookupResult& result, const LookupRequest& rdap, int refusals);
    // A lookup through the proxy got through: a proxy that rested is told of once it does.
    void noteReached(int proxy);
    bool paceAndRetry(LookupStep step, const LookupResult& result, int refusals, QString* detail);
    // False when the name went back to its line to be asked again; otherwise *detail is what to file it with.
    bool onRefusal(const LookupResult& result, int refusals, QString* detail);
    // First in its server's line, or behind the next name not yet refused (a refused name).
    enum class Place
    {
        First,
        BehindNext
    };
    void requeue(const LookupRequest& request, int refusals, Place place = Place::First);
    void startConfirmation(const LookupRequest& request, const LookupRequest& rdap);
    // Every name leaves through here, a confirmation's outcome turned into the name's verdict.
    void end(const LookupRequest& request, Verdict verdict, QString detail, NameFacts facts = {});
    void noteConnectFailure(const LookupRequest& request, const QString& failure);

    const LookupRouter* m_router;
    LookupPool m_pool;
    ServerPacer m_pacer;
    ProxyRotation m_proxies;
    ProxyProbe m_proxyProbe;
    std::map<int, std::vector<LookupResult>> m_heldForProbe; // by proxy, still counted in flight
    int m_probeTimeoutMs = 10000;
    QElapsedTimer m_clock;
    QTimer m_wakeTimer;
    int m_poolSize = 25;
    bool m_active = false;
    bool m_dispatching = false;
    bool m_dispatchAgain = false;
    std::function<bool(qint64)> m_stillWanted;
    QSet<qint64> m_awaitingDns;
    QHash<qint64, QString> m_confirming; // names WHOIS called free, on their way to RDAP: the WHOIS host
    // How long a name whose server may be asked still waits for its DNS answer.
    static constexpr qint64 DnsGraceMs = 100;
    std::map<QString, std::unique_ptr<Line>> m_lines; // by server key
    qint64 m_waiting = 0;
    std::map<qint64, int> m_inFlight; // entry number → refusals of the name so far
    // Names a proxy could not carry to their server (one bit per proxy): they go through another.
    std::map<qint64, quint32> m_avoid;
    QSet<QString> m_reachedVia; // "server|proxy": a connection was opened to the server through the proxy
    QSet<QString> m_whoisUnreachable; // WHOIS servers whose names go to RDAP
    QSet<QString> m_unreachable;      // servers named once as not reachable
    QSet<QString> m_givenUp;          // servers named once as given up
    QString m_firstConnectFailure;
    qint64 m_lookupsEnded = 0;
    qint64 m_connectFailures = 0;
    qint64 m_announcedRest = 0;
};

} // namespace brisquel
