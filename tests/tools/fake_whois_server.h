#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class QTcpServer;

namespace brisquel::test {

class WhoisConnection;

// A WHOIS server on 127.0.0.1 for tests and benchmarks. It reads one query line per connection,
// answers with a free or a registered record and closes, and can misbehave on purpose (delays,
// silence, resets, huge answers) so that clients can be tested against the ways real servers fail.
class FakeWhoisServer : public QObject
{
    Q_OBJECT

public:
    enum class Fault
    {
        None,
        NeverAnswer,       // reads the query, then neither answers nor closes
        CloseWithoutData,  // closes right after reading the query
        ResetMidAnswer,    // sends the first half of the answer, then resets the connection
        HugeAnswer,        // sends HugeAnswerSize bytes (the answer, then filler), then closes
        SlowAnswer,        // answers after slowDelayMs() instead of delayMs()
        RefuseAfterAccept, // closes at once without reading (per name: right after the query)
    };
    Q_ENUM(Fault)

    static constexpr qint64 HugeAnswerSize = 10 * 1024 * 1024;
    static constexpr int MaxQueryLength = 4096;
    static constexpr int DefaultSlowDelayMs = 9000;

    explicit FakeWhoisServer(QObject* parent = nullptr);
    ~FakeWhoisServer() override;

    // Listens on 127.0.0.1 only; port 0 picks a free port.
    bool listen(quint16 port = 0);
    // Stops listening and drops every open connection.
    void close();
    bool isListening() const;
    quint16 port() const;
    QString errorString() const;

    // A name is free when it is in the set, when everything is free, or when its label (the part
    // before the first dot) starts with "free" or contains "avail". Names compare without case.
    void setFreeNames(const QSet<QString>& names);
    void addFreeName(const QString& name);
    void setAllFree(bool allFree);
    bool isFree(const QString& name) const;

    // Answers in place of the built-in records; a null QByteArray removes the override, an empty
    // non-null one makes the server close without sending anything. Per-name answers come first.
    void setCustomAnswer(const QByteArray& answer);
    void setAnswerFor(const QString& name, const QByteArray& answer);

    void setDelayMs(int ms);
    int delayMs() const { return m_delayMs; }
    void setSlowDelayMs(int ms);
    int slowDelayMs() const { return m_slowDelayMs; }

    // A per-name fault overrides the global one; setting Fault::None for a name removes its override.
    void setFault(Fault fault);
    Fault fault() const { return m_fault; }
    void setFaultFor(const QString& name, Fault fault);
    // The first n connections that ask for a name never get an answer; later ones are served
    // normally. Counting starts again on every call and on resetStats().
    void setFailFirstAttempts(int n);

    // Above `perSecond` queries in the last second, a query gets `answer` (a throttle text) instead
    // of its record; 0 switches the limit off.
    void setRateLimit(int perSecond, const QByteArray& answer);
    // The rate limit counts each client address on its own (as a registry does), not all together.
    void setRateLimitPerAddress(bool perAddress);
    // Queries per client address, and the most any one address asked in one second (a sliding
    // window), since the start or resetStats().
    QHash<QString, int> queriesByAddress() const;
    int highestRatePerSecond(const QString& address) const;
    // The same over the queries of every address together.
    int highestRatePerSecond() const;
    // Above `queries` queries in the last `windowSeconds` seconds, a query gets `answer` instead of
    // its record; 0 switches the quota off. Refused queries do not count against it.
    void setQuota(int queries, int windowSeconds, const QByteArray& answer);
    // Above `queries` queries from one address within a second, that address gets `answer` ("%1"
    // stands for the address) for everything it asks during the next `waitSeconds` seconds; 0
    // switches it off. Refused queries do not count against it.
    void setQuotaPerSecond(int queries, int waitSeconds, const QByteArray& answer);
    // Counts the queries refused by the rate limit and by the quota.
    int throttledCount() const { return m_throttled; }
    // Every nth query that would be answered gets half its answer and then a reset; 0 switches it off.
    void setResetEvery(int n);

    // Memory for the query list grows with every query; long benchmarks switch it off.
    void setRecordQueries(bool record);

    QStringList queries() const { return m_queries; }
    int connectionCount() const { return m_connectionCount; }
    int openConnectionCount() const { return m_openConnections; }
    int maxConcurrentConnections() const { return m_maxConcurrent; }
    void resetStats();

    static QByteArray freeAnswer(const QString& name);
    // A registered record expiring 2030-08-13; a name starting with "drop" is in its redemption period.
    static QByteArray registeredAnswer(const QString& name);
    // Accepts the enumerator names and their hyphenated lower-case forms ("reset-mid-answer").
    static std::optional<Fault> faultFromName(const QString& name);
    static QString faultName(Fault fault);

Q_SIGNALS:
    void queryReceived(const QString& query);

private:
    void acceptConnection(qintptr descriptor);
    void readQuery(WhoisConnection* connection);
    void handleQuery(WhoisConnection* connection, const QString& query);
    Fault effectiveFault(const QString& key);
    QByteArray answerFor(const QString& name, const QString& key) const;
    void afterDelay(WhoisConnection* connection, int ms, void (FakeWhoisServer::*action)(WhoisConnection*));
    void sendAnswer(WhoisConnection* connection);
    void sendPartThenReset(WhoisConnection* connection);
    void startHugeAnswer(WhoisConnection* connection);
    void feedHugeAnswer(WhoisConnection* connection);
    void connectionClosed(WhoisConnection* connection);
    bool overRateLimit(const QString& address);
    bool overQuota();
    bool overQuotaPerSecond(const QString& address);

    QTcpServer* m_listener = nullptr;
    QSet<QString> m_freeNames;
    bool m_allFree = false;
    QByteArray m_customAnswer;
    QHash<QString, QByteArray> m_answers;
    int m_delayMs = 0;
    int m_slowDelayMs = DefaultSlowDelayMs;
    Fault m_fault = Fault::None;
    QHash<QString, Fault> m_faults;
    int m_failFirstAttempts = 0;
    QHash<QString, int> m_attempts;
    bool m_recordQueries = true;
    QStringList m_queries;
    int m_connectionCount = 0;
    int m_openConnections = 0;
    int m_maxConcurrent = 0;
    int m_rateLimit = 0;
    QByteArray m_rateLimitAnswer;
    QList<qint64> m_recent;
    bool m_ratePerAddress = false;
    QHash<QString, QList<qint64>> m_recentByAddress;
    QHash<QString, QList<qint64>> m_timesByAddress; // every query's time, per client address
    QElapsedTimer m_clock;
    int m_throttled = 0;
    int m_quota = 0;
    qint64 m_quotaWindowMs = 0;
    QByteArray m_quotaAnswer;
    QList<qint64> m_quotaRecent;
    int m_secondQuota = 0;
    qint64 m_secondQuotaWaitMs = 0;
    QByteArray m_secondQuotaAnswer;
    QHash<QString, QList<qint64>> m_secondQuotaRecent; // per address
    QHash<QString, qint64> m_blockedUntil;             // per address
    int m_resetEvery = 0;
    int m_resetCounter = 0;
};

} // namespace brisquel::test
