#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QUdpSocket;

namespace brisquel::test {

// A DNS server on 127.0.0.1 (UDP only) for tests and benchmarks. It answers each query the way a
// recursive resolver would for the name: delegated (NS records), no such name, no data, and a few
// ways of answering that must not count as a delegation; it can also stay silent, wait before
// answering, leave some queries unanswered, or have its replies rewritten to test clients against
// malformed ones.
class FakeDnsServer : public QObject
{
    Q_OBJECT

public:
    enum class Reply
    {
        NoSuchName,    // NXDOMAIN, the extension's SOA in the authority section
        Delegated,     // NOERROR, two NS records of the name in the answer section
        NoData,        // NOERROR, no answer, the extension's SOA in the authority section
        Referral,      // NOERROR, not authoritative, the name's NS records in the authority section
        Alias,         // NOERROR, a CNAME to another name and that name's NS records
        ServerFailure, // SERVFAIL
        Refused,       // REFUSED
        Silent,        // no reply at all
    };
    Q_ENUM(Reply)

    explicit FakeDnsServer(QObject* parent = nullptr);
    ~FakeDnsServer() override;

    // Listens on 127.0.0.1 only; port 0 picks a free port.
    bool listen(quint16 port = 0);
    void close();
    quint16 port() const;
    // "127.0.0.1:PORT"
    QString address() const;
    QString errorString() const;

    // Names compare without case and without a trailing dot.
    void setDelegated(const QStringList& names);
    void addDelegated(const QString& name);
    void setReplyFor(const QString& name, Reply reply);
    // Every name under the extension is delegated, unless it has a reply of its own.
    void setWildcard(const QString& extension);
    // For names with no reply of their own; NoSuchName until set.
    void setDefaultReply(Reply reply);
    // Reads every query and answers none.
    void setSilent(bool silent);
    void setDelayMs(int ms);
    // Leaves every Nth query received unanswered, the way a lossy resolver or network does; 0 drops none.
    void setDropEvery(int n);
    // Answers at most N queries in any second and drops the rest, like a resolver rationing a client;
    // 0 answers all.
    void setMaxRate(int perSecond);
    // Sees every reply before it goes out and returns what is sent instead; an empty result sends nothing.
    using ReplyFilter = std::function<QByteArray(const QString& name, const QByteArray& reply)>;
    void setReplyFilter(ReplyFilter filter);
    // Memory for the name list grows with every query; long benchmarks switch it off.
    void setRecordQueries(bool record);

    int queryCount() const { return m_queryCount; }
    // In the order received, in lower case.
    QStringList queriedNames() const { return m_queriedNames; }
    void resetStats();

    // The reply to a query datagram, and the name asked; empty when the datagram is no query.
    QByteArray replyTo(const QByteArray& query, QString* name) const;

private:
    void readQueries();
    Reply replyFor(const QString& name) const;
    bool withinRate();

    QUdpSocket* m_socket = nullptr;
    QHash<QString, Reply> m_replies;
    QString m_wildcard;
    Reply m_defaultReply = Reply::NoSuchName;
    bool m_silent = false;
    int m_delayMs = 0;
    int m_dropEvery = 0;
    int m_maxRate = 0;
    QElapsedTimer m_clock;
    std::deque<qint64> m_answeredAt; // ms on m_clock, of the answers of the last second
    ReplyFilter m_filter;
    bool m_recordQueries = true;
    int m_queryCount = 0;
    QStringList m_queriedNames;
};

} // namespace brisquel::test
