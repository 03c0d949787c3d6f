#pragma once

#include "whois_config/server_limits.h"

#include <QHash>
#include <QList>
#include <QString>
#include <deque>
#include <optional>

namespace brisquel {

// How hard each server is asked: a token bucket at its rate, a cap on lookups open at once, rests
// after refusals (the wait the server names, else doubling with the refused name's own refusals
// from the first pause, up to a minute), a pace learned from what it accepted that climbs back
// and probes upward while the server stays clean (the way congestion control does), fewer slots
// for a server that stays silent, and its daily quota. Time is an argument (ms on one steady
// clock), so the rules run from a table in tests; servers are told apart by a key ("host:port":
// one host may answer WHOIS and RDAP) and limited by host.
class ServerPacer
{
public:
    // The longest rest a refusal brings when the server names no wait: a name refused again and
    // again must not hold back the names behind it for long. A wait the server names is kept up
    // to MaxNamedRestMs.
    static constexpr qint64 MaxRestMs = 60 * 1000;
    static constexpr qint64 MaxNamedRestMs = 5 * 60 * 1000;
    // A refusal sets the pace just under what the server took (Backoff); once the server has been
    // clean for ClimbStepMs after the rest, the pace goes back to Plateau of it.
    static constexpr double Backoff = 0.95;
    static constexpr double Plateau = 0.98;
    static constexpr qint64 ClimbStepMs = 2000;
    // Clean for ProbeWaitMs, the pace probes upward, FirstProbeStep more and twice that every
    // step after, until a refusal finds the edge again. A refusal at about the pace of the one
    // before (within ConfirmedWithin) doubles the wait before the next probe, up to MaxProbeWaitMs.
    static constexpr qint64 ProbeWaitMs = 30 * 1000;
    static constexpr qint64 MaxProbeWaitMs = 10 * 60 * 1000;
    static constexpr double FirstProbeStep = 0.02;
    static constexpr double ConfirmedWithin = 0.1;
    // How late a query may go and keep its place on the pace: a timer that wakes a little late
    // costs nothing, and no second holds more than the pace allows and these few ms.
    static constexpr qint64 CatchUpMs = 2;
    // Lookups in a row without any answer after which a server is held: its names wait, and one
    // probe a while goes out to see whether it is back.
    static constexpr int SilentBeforeHold = 3;
    // Lookups a server not yet heard from may have open; each answer adds one, up to its cap, so a
    // dead server never takes every slot before its silence is known.
    static constexpr int SlowStartSlots = 2;

    struct Stats
    {
        QString host;
        QString name; // how a summary names the server: "whois HOST:PORT", "rdap BASE-URL"
        qint64 queries = 0;
        qint64 answers = 0;
        qint64 refusals = 0;
        qint64 pauses = 0;
    };
    struct Rest
    {
        QString host;
        qint64 until = 0;
    };
    // Who a key stands for: the host its limits go by, and its name in a summary (the host when
    // none is given).
    struct Identity
    {
        // Not explicit: where no other name is needed, the host alone is one.
        Identity(const QString& host, const QString& name = QString())
            : host(host)
            , name(name.isEmpty() ? host : name)
        {}
        QString host;
        QString name;
    };

    ServerPacer();

    // Servers already met take the new limits; a pace learned from refusals stays.
    void setLimits(const ServerLimitsTable& limits);
    void setPoolSize(int size);
    void setFirstPauseMs(qint64 ms) { m_firstPauseMs = std::max<qint64>(1, ms); }
    // A held server is probed once per interval and given up after the dead time.
    void setBreaker(qint64 probeIntervalMs, qint64 deadAfterMs)
    {
        m_probeIntervalMs = std::max<qint64>(1, probeIntervalMs);
        m_deadAfterMs = std::max<qint64>(1, deadAfterMs);
    }
    qint64 deadAfterMs() const { return m_deadAfterMs; }
    // A new run: every server is met afresh.
    void reset() { m_servers.clear(); }

    // Whether the server may take one more query at `now`. When its budget or a rest holds it
    // back, *readyAt is lowered to when it may; a full set of open lookups frees up by itself.
    bool mayAsk(const QString& key, const Identity& server, qint64 now, qint64* readyAt);
    // Whether mayAsk() would say no at `now`, without touching the budget: for progress reports.
    bool holdsBack(const QString& key, qint64 now) const;
    // Whether the server rests at `now`: after a refusal, or for a wait it named. Its pace and its
    // cap on open lookups are not rests.
    bool rests(const QString& key, qint64 now) const;
    // Its quota for the day is spent: its names are filed without a query.
    bool quotaUsedUp(const QString& key) const;
    void onSent(const QString& key, qint64 now);
    // How long a query about to be written at `now` waits so that the writes, not only the starts,
    // keep the server's pace (a proxy's handshake takes its own time and would bunch them); 0: it
    // is written now and counted, else it asks again after the wait, so that a write that went
    // late pushes the next one back rather than bringing the two together.
    qint64 writeDelay(const QString& key, qint64 now);
    // `verdict`: the answer said something of the name (an HTTP error status or an unreadable
    // answer keeps the server's pace but is not counted as an answer).
    void onAnswer(const QString& key, qint64 now, bool verdict = true);
    // The lookup never reached the server (its proxy failed): one fewer open, nothing learned.
    void onDropped(const QString& key) { ended(key); }
    bool knows(const QString& key) const { return m_servers.contains(key); }
    // A refusal or a rationed answer: a rest for the named wait (else first pause × 2^(n−1) for a
    // name refused the n-th time, so that one name the server always refuses never grows the rest
    // of every other), and from then on a pace just under what the server took in the last second;
    // for a refusal within the named wait after the last rest, what it took since spread over that
    // wait (a quota of 20 per 5 s that says "wait 5 seconds" is found at its second refusal). The
    // words "daily", "per day" or "24 hours" in it mean the quota is spent.
    void onRefusal(const QString& key, const QString& answerText, qint64 namedWaitMs, qint64 now,
                   int refusalsOfName = 1);
    // No answer at all (time-out, refused, reset): fewer slots from now on, and after a few in a
    // row the server is held. Returns the lookups in a row that went so.
    int onSilence(const QString& key, qint64 now);
    // Silent for the dead time, counted from the first query since it was last heard from, and
    // held: its names are given up.
    bool isDead(const QString& key, qint64 now) const;
    // When a held server will count as dead; 0 when it is not held.
    qint64 deadAt(const QString& key) const;

    // The server resting longest at `now`, if any.
    std::optional<Rest> longestRest(qint64 now) const;
    // Per server, the busiest first.
    QList<Stats> stats() const;
    // The pace it is asked at now (queries a second; 0: as fast as its slots allow).
    double pace(const QString& key) const;
    // Since when its budget has allowed one more query, for choosing among the ways to it the one
    // that has waited longest; valid right after mayAsk() said yes.
    qint64 freeSince(const QString& key) const;

private:
    struct Server
    {
        ServerLimits limits;
        Stats stats;
        double perSecond = 0;   // the pace now: the limit, or learned from refusals
        double refusedPace = 0; // what the server took when it last refused; 0 before any refusal
        double tokens = 1;
        qint64 refilledAt = 0;
        qint64 freeSince = 0; // when the bucket last came to hold a query, or the last query without a rate
        qint64 pausedUntil = 0;
        qint64 nextClimbAt = 0; // the clean stretch's next step
        qint64 probeAt = 0;     // clean until then, the pace probes upward
        qint64 probeWaitMs = ProbeWaitMs;
        double probeStep = FirstProbeStep;
        bool pacedOut = false; // its pace held a query back since the last step: worth raising
        bool answeredSinceStep = false;
        qint64 quietSince = -1;           // the first query since the server was last heard from
        std::deque<qint64> recentAnswers; // when the last clean answers came
        int open = 0;
        int slotCap = 25;
        int silentInARow = 0;
        bool quotaUsedUp = false;
        qint64 heldSince = -1; // the breaker: -1 while the server answers
        qint64 nextProbeAt = 0;
        double writeDue = 0; // when the next write may go, with no burst left
    };
    Server* find(const QString& key);
    // A lookup of the server ended, however: one fewer open.
    Server* ended(const QString& key);
    void applyLimits(Server& server) const;
    static void heardFrom(Server& server);
    // Clean answers that came after `since`.
    static qsizetype answersAfter(const Server& server, qint64 since);
    // After a clean stretch: back to the plateau, then probing upward.
    static void climb(Server& server, qint64 now);

    ServerLimitsTable m_limits;
    QHash<QString, Server> m_servers;
    int m_poolSize = 25;
    qint64 m_firstPauseMs = 1000;
    qint64 m_probeIntervalMs = 60 * 1000;
    qint64 m_deadAfterMs = 2 * 60 * 1000;
};

} // namespace brisquel
