#include "whois_lookup.h"

#include "engine/lookup/proxy_list.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace brisquel {

// Lower-case causes, so that they read well after "Cannot connect to host:port: ".
QString connectFailure(QAbstractSocket::SocketError error, const QString& fallback)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("host not found");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("connection timed out");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("network unreachable");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("access denied");
    default:
        return fallback.isEmpty() ? fallback : fallback.at(0).toLower() + fallback.mid(1);
    }
}

bool isProxyFailure(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
        return true;
    default:
        return false;
    }
}

WhoisLookup::WhoisLookup(QObject* parent)
    : Lookup(parent)
    , m_timer(this)
    , m_retryTimer(this)
    , m_writeTimer(this)
{
    m_timer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    m_writeTimer.setSingleShot(true);
    // A coarse timer may fire a few percent early, and a query written early can be one too many
    // in the server's second.
    m_writeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_writeTimer, &QTimer::timeout, this, &WhoisLookup::writeWhenDue);
    connect(&m_timer, &QTimer::timeout, this, &WhoisLookup::onTimeout);
    connect(&m_retryTimer, &QTimer::timeout, this, &WhoisLookup::beginAttempt);
}

WhoisLookup::~WhoisLookup()
{
    dropSocket();
}

void WhoisLookup::abort()
{
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    m_writeTimer.stop();
    dropSocket();
    m_answer.clear();
}

qint64 WhoisLookup::remainingMs() const
{
    if (!m_busy)
        return 0;
    const qint64 current = m_timer.isActive()        ? m_timer.remainingTime()
                           : m_writeTimer.isActive() ? m_writeTimer.remainingTime() + m_attemptMs
                                                     : m_retryTimer.remainingTime();
    // After this attempt: a connect and an answer window for each attempt still to come.
    return std::max<qint64>(0, current) +
           qint64(m_maxAttempts - m_attempt) * (2LL * m_attemptMs + m_retryDelayMs);
}

void WhoisLookup::dropSocket()
{
    dropPeerHandle();
    if (!m_socket)
        return;
    // This may run inside one of the socket's own signals: cut it off from us and let the event
    // loop delete it, so that it can finish its own bookkeeping first.
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void WhoisLookup::beginAttempt()
{
    if (!m_busy)
        return;
    ++m_attempt;
    // A fresh connection on a fresh socket: text from an abandoned one never mixes with the answer.
    dropSocket();
    m_answer.clear();
    m_connected = false;
    m_socket = new QTcpSocket(this);
    if (m_proxy)
        m_socket->setProxy(*m_proxy);
    connect(m_socket, &QTcpSocket::connected, this, &WhoisLookup::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &WhoisLookup::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &WhoisLookup::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &WhoisLookup::onError);
    m_timer.start(m_attemptMs);
    m_socket->connectToHost(m_request.host, m_request.port);
}

void WhoisLookup::endAttempt(Outcome outcome, const QString& failure)
{
    m_timer.stop();
    m_writeTimer.stop();
    dropSocket();
    m_answer.clear();
    if (m_attempt >= m_maxAttempts) {
        finish(outcome, failure);
        return;
    }
    // A timed-out attempt has waited long enough; a refused one pauses before it asks again.
    m_retryTimer.start(outcome == Outcome::TimedOut ? 0 : std::min(m_retryDelayMs, m_attemptMs));
}

void WhoisLookup::finish(Outcome outcome, const QString& failure, bool proxyFailed)
{
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    m_writeTimer.stop();
    dropSocket();
    LookupReply reply;
    reply.request = m_request;
    reply.answered = outcome == Outcome::Answered;
    reply.failure = failure;
    reply.attempts = m_attempt;
    reply.neverConnected = !m_everConnected;
    reply.proxyFailed = proxyFailed;
    reply.tooLarge = outcome == Outcome::TooLarge;
    if (reply.answered)
        reply.answer = std::exchange(m_answer, QByteArray());
    m_answer.clear();
    // Last: a receiver may start the next lookup on this slot right away.
    Q_EMIT finished(reply);
}

void WhoisLookup::onConnected()
{
    m_connected = true;
    m_everConnected = true;
    keepPeerHandle();
    Q_EMIT connected(m_request.domain);
    writeWhenDue();
}

void WhoisLookup::writeWhenDue()
{
    // Asked again when the wait is over: another query may have taken the turn meanwhile, and a
    // timer that fired late must not bring the next write closer to this one.
    const qint64 delay = m_writeDelay ? m_writeDelay(m_request) : 0;
    if (delay > 0) {
        // Held until its turn; the server's time to answer has not begun.
        m_timer.stop();
        m_writeTimer.start(int(delay));
        return;
    }
    writeQuery();
}

void WhoisLookup::writeQuery()
{
    // A slow connect, or a held query, must not eat into the server's time to answer.
    m_timer.start(m_attemptMs);
    const QByteArray query = m_request.queryName().toUtf8() + "\r\n";
    if (m_socket->write(query) != query.size())
        endAttempt(Outcome::Failed, QStringLiteral("could not send the query"));
}

void WhoisLookup::onReadyRead()
{
    const qint64 available = m_socket->bytesAvailable();
    if (m_answer.size() + available > MaxAnswerBytes) {
        // No server gets to exhaust memory: a flood is no answer, and the next attempt may do better.
        endAttempt(Outcome::TooLarge, QStringLiteral("answer larger than 1 MiB"));
        return;
    }
    m_answer += m_socket->readAll();
}

void WhoisLookup::onDisconnected()
{
    const QTcpSocket* socket = m_socket;
    if (socket->bytesAvailable() > 0) {
        onReadyRead();
        if (m_socket != socket) // that ended the attempt, and the slot may have moved on
            return;
    }
    // A reset cuts the answer short wherever it happens to be: judging the part would misfile it.
    if (closedByReset()) {
        endAttempt(Outcome::Failed, QStringLiteral("connection reset by the server"));
        return;
    }
    finish(Outcome::Answered, QString());
}

void WhoisLookup::onError(QAbstractSocket::SocketError error)
{
    // Qt reports an orderly close and a reset alike; disconnected() follows and tells them apart.
    if (error == QAbstractSocket::RemoteHostClosedError && m_connected) {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            onDisconnected();
        return;
    }
    // Asking the server again through a broken proxy gains nothing: its owner sends the name another
    // way. An HTTP proxy's "403 Forbidden" to the tunnel arrives as an access error.
    if (!m_connected && (isProxyFailure(error) || (m_proxy && error == QAbstractSocket::SocketAccessError))) {
        finish(Outcome::Failed, proxyFailure(connectFailure(error, m_socket->errorString())), true);
        return;
    }
    const QString failure =
        m_connected ? m_socket->errorString() : connectFailure(error, m_socket->errorString());
    endAttempt(Outcome::Failed, failure);
}

void WhoisLookup::onTimeout()
{
    if (!m_socket)
        return;
    if (!m_connected) {
        endAttempt(Outcome::TimedOut, connectFailure(QAbstractSocket::SocketTimeoutError, QString()));
        return;
    }
    endAttempt(Outcome::TimedOut, QStringLiteral("no answer within %1 s").arg(m_attemptMs / 1000.0));
}

// Qt closes its descriptor as soon as the peer goes away, so the state is read on a handle of our
// own: after a FIN the connection waits in CLOSE_WAIT, after a reset it is CLOSED.
void WhoisLookup::keepPeerHandle()
{
    dropPeerHandle();
#ifdef Q_OS_LINUX
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor >= 0)
        m_peerHandle = ::fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0);
#endif
}

void WhoisLookup::dropPeerHandle()
{
#ifdef Q_OS_LINUX
    if (m_peerHandle >= 0)
        ::close(m_peerHandle);
#endif
    m_peerHandle = -1;
}

bool WhoisLookup::closedByReset() const
{
#ifdef Q_OS_LINUX
    if (m_peerHandle < 0)
        return false;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(m_peerHandle, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return false;
    return info.tcpi_state == TCP_CLOSE;
#else
    return false;
#endif
}

} // namespace brisquel
