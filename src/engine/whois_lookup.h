#pragma once

#include "engine/lookup_request.h"

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

namespace brisquel {

// Why a connection could not be made, in lower case, to follow "Cannot connect to host:port: ".
QString connectFailure(QAbstractSocket::SocketError error, const QString& fallback);
// The proxy in between failed (could not be reached, refused the handshake or the login), not the
// server behind it.
bool isProxyFailure(QAbstractSocket::SocketError error);

// One lookup slot: asks one WHOIS server about one domain (the domain, then CR LF; the answer
// is complete when the server closes the connection in order). Each attempt has its own time
// limit, which starts again once connected; a failed, reset, oversized or timed out attempt
// reconnects to the same server and port with a fresh answer. The result is reported as soon as
// it is known, and the receiver may start the next lookup on the slot from there.
class WhoisLookup : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxAnswerBytes = 1024 * 1024;

    enum class Outcome
    {
        Answered,
        TimedOut,
        Failed,
        TooLarge
    };

    struct Result
    {
        LookupRequest request;
        Outcome outcome = Outcome::Failed;
        QByteArray answer; // complete only when outcome is Answered
        QString failure;   // why there is no answer
        int attempts = 0;
        bool neverConnected = false; // no attempt reached the server
        bool proxyFailed = false;    // the proxy failed; the server was not asked
    };

    explicit WhoisLookup(int slot, QObject* parent = nullptr);
    ~WhoisLookup() override;

    void setAttemptTimeout(int ms) { m_attemptMs = ms; }
    void setMaxAttempts(int attempts) { m_maxAttempts = attempts; }
    void setRetryDelay(int ms) { m_retryDelayMs = ms; }
    // Taken by each attempt from then on; none: the application's default.
    void setProxy(std::optional<QNetworkProxy> proxy) { m_proxy = std::move(proxy); }
    // Asked once connected, and again when that wait is over: how long to hold the query before
    // writing it; 0 writes it at once (none: always at once).
    using WriteDelay = std::function<qint64(const LookupRequest&)>;
    void setWriteDelay(WriteDelay delay) { m_writeDelay = std::move(delay); }

    int slot() const { return m_slot; }
    bool isBusy() const { return m_busy; }
    const LookupRequest& request() const { return m_request; }
    // The longest this lookup can still take, retries included.
    qint64 remainingMs() const;

    void start(const LookupRequest& request);
    // Drops the lookup without a result.
    void abort();

Q_SIGNALS:
    void connected(int slot, const QString& domain);
    void finished(int slot, const brisquel::WhoisLookup::Result& result);

private:
    void beginAttempt();
    void dropSocket();
    void endAttempt(Outcome outcome, const QString& failure);
    void finish(Outcome outcome, const QString& failure, bool proxyFailed = false);
    void onConnected();
    // Writes the query once its turn has come, else waits for it.
    void writeWhenDue();
    void writeQuery();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onTimeout();
    bool closedByReset() const;
    void keepPeerHandle();
    void dropPeerHandle();

    int m_slot;
    QTcpSocket* m_socket = nullptr; // one per attempt
    QTimer m_timer;
    QTimer m_retryTimer;
    QTimer m_writeTimer;
    WriteDelay m_writeDelay;
    LookupRequest m_request;
    std::optional<QNetworkProxy> m_proxy;
    QByteArray m_answer;
    int m_attempt = 0;
    int m_attemptMs = 10000;
    int m_maxAttempts = 3;
    int m_retryDelayMs = 1000;
    bool m_busy = false;
    bool m_connected = false;     // this attempt
    bool m_everConnected = false; // any attempt of this lookup
    int m_peerHandle = -1;        // a second handle on the connection, to read its state after Qt closes it
};

} // namespace brisquel
