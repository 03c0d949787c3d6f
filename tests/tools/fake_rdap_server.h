#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

namespace brisquel::test {

// An RDAP server over plain HTTP/1.1 on 127.0.0.1, for tests and benchmarks. GET .../domain/NAME
// answers by the name's first label: "free…" 404, "reserved…" a domain with status "reserved",
// "drop…" a domain in its redemption period, "broken…" 500, "garbage…" a page that is not JSON, "huge…" 2
// MiB, "slow…" never, "loop…" a redirect to itself; any other name a registered domain. Every domain object
// expires on ExpirationDate. Connections are kept alive.
class FakeRdapServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 HugeBodySize = 2 * 1024 * 1024;
    static constexpr char ExpirationDate[] = "2031-05-01";

    explicit FakeRdapServer(QObject* parent = nullptr);
    ~FakeRdapServer() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    // "http://127.0.0.1:PORT/"
    QString baseUrl() const;

    void setDelayMs(int ms) { m_delayMs = ms; }
    // The next `times` questions about the name get 429 with "Retry-After: seconds".
    void refuse(const QString& name, int times, int retryAfterSeconds);
    // Every nth question (counted over all names) gets 429 with "Retry-After: seconds"; 0 switches it off.
    void refuseEvery(int n, int retryAfterSeconds);
    qint64 refusedCount() const { return m_refused; }

    // The names asked, in order.
    QStringList queries() const { return m_queries; }
    qint64 requestCount() const { return m_requests; }
    int peakConnections() const { return m_peakConnections; }

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& path);

    QTcpServer* m_server;
    int m_delayMs = 0;
    QHash<QString, std::pair<int, int>> m_refusals;
    int m_refuseEvery = 0;
    int m_refuseEveryRetryAfter = 0;
    qint64 m_everyCounter = 0;
    qint64 m_refused = 0;
    QStringList m_queries;
    qint64 m_requests = 0;
    struct Connection
    {
        QByteArray buffer; // read, not yet answered
        bool busy = false; // a request is being answered
    };
    QHash<QTcpSocket*, Connection> m_open;
    int m_peakConnections = 0;
};

} // namespace brisquel::test
