#pragma once

#include "engine/lookup/lookup.h"

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

// A WHOIS lookup: the domain, then CR LF; the answer is complete when the server closes the
// connection in order. Each attempt's time limit starts again once connected; a failed, reset,
// oversized or timed out attempt reconnects to the same server and port with a fresh answer.
class WhoisLookup : public Lookup
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxAnswerBytes = 1024 * 1024;

    explicit WhoisLookup(QObject* parent = nullptr);
    ~WhoisLookup() override;

    // Taken by each attempt from then on; none: the application's default.
    void setProxy(std::optional<QNetworkProxy> proxy) { m_proxy = std::move(proxy); }
    // Asked once connected, and again when that wait is over: how long to hold the query before
    // writing it; 0 writes it at once (none: always at once).
    using WriteDelay = std::function<qint64(const LookupRequest&)>;
    void setWriteDelay(WriteDelay delay) { m_writeDelay = std::move(delay); }

    qint64 remainingMs() const override;
    void abort() override;

private:
    enum class Outcome
    {
        Answered,
        TimedOut,
        Failed,
        TooLarge
    };

    void beginAttempt() override;
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

    QTcpSocket* m_socket = nullptr; // one per attempt
    QTimer m_timer;
    QTimer m_retryTimer;
    QTimer m_writeTimer;
    WriteDelay m_writeDelay;
    std::optional<QNetworkProxy> m_proxy;
    QByteArray m_answer;
    bool m_connected = false; // this attempt
    int m_peerHandle = -1;    // a second handle on the connection, to read its state after Qt closes it
};

} // namespace brisquel
