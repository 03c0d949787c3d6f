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
// from the first pause, up to a minute), a pace learned
// from what it accepted, fewer slots for a server that stays silent, and its daily quota. Time is
// an argument (ms on one steady clock), so the rules run from a table in tests; servers are told
// apart by a key ("host:port": one host may answer WHOIS and RDAP) and limited by host.
class ServerPacer
{
public:
    // The longest rest a refusal brings when the server names no wait: a name refused again and
    // again must not hold back the names behind it for long. A wait the server names is kept up
    // to MaxNamedRestMs.
    static constexpr qint64 MaxRestMs = 60 * 1000;
    static constexpr qint64 MaxNamedRestMs = 5 * 60 * 1000;
    // Clean answers in a row after which a lowered pace creeps back up.
    static constexpr int CleanStretch = 50;
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
    // keep the server's pace (a proxy's handshake takes its own time and would bunch them); the
    // write is booked at the returned delay.
    qint64 writeDelay(const QString& key, qint64 now);
    // `verdict`: the answer said something of the name (an HTTP error status or an unreadable
    // answer keeps the server's pace but is not counted as an answer).
    void onAnswer(const QString& key, qint64 now, bool verdict = true);
    // The lookup never reached the server (its proxy failed): one fewer open, nothing learned.
    void onDropped(const QString& key) { ended(key); }
    bool knows(const QString& key) const { return m_servers.contains(key); }
    // A refusal or a rationed answer: a rest for the named wait (else first pause × 2^(n−1) for a
    // name refused the n-th time, so that one name the server always refuses never grows the rest
    // of every other), and from then on a pace just under what the server took in the last
    // second. The words "daily", "per day" or "24 hours" in it mean the quota is spent.
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

private:
    struct Server
    {
        ServerLimits limits;
        Stats stats;
        double perSecond = 0; // the pace now: the limit, or lower after refusals
        double ceiling = 0;   // the most a refusing server was seen to take in a second
        double tokens = 1;
        qint64 refilledAt = 0;
        qint64 pausedUntil = 0;
        qint64 quietSince = -1; // the first query since the server was last heard from
        std::deque<qint64> recentAnswers; // when the last clean answers came
        int open = 0;
        int slotCap = 25;
        int cleanAnswers = 0;
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

    ServerLimitsTable m_limits;
    QHash<QString, Server> m_servers;
    int m_poolSize = 25;
    qint64 m_firstPauseMs = 1000;
    qint64 m_probeIntervalMs = 60 * 1000;
    qint64 m_deadAfterMs = 2 * 60 * 1000;
};

} // namespace brisquel
