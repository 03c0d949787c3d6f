#include "whois_lookup.h"

namespace brisquel {

WhoisLookup::WhoisLookup(int slot, QObject* parent)
    : QObject(parent)
    , m_slot(slot)
    , m_timer(this)
    , m_retryTimer(this)
{
    m_timer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WhoisLookup::onTimeout);
    connect(&m_retryTimer, &QTimer::timeout, this, &WhoisLookup::beginAttempt);
}

WhoisLookup::~WhoisLookup()
{
    dropSocket();
}

void WhoisLookup::start(const Request& request)
{
    abort();
    m_request = request;
    m_attempt = 0;
    m_busy = true;
    beginAttempt();
}

void WhoisLookup::abort()
{
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    dropSocket();
    m_answer.clear();
}

void WhoisLookup::dropSocket()
{
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
    m_socket = new QTcpSocket(this);
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
    dropSocket();
    m_answer.clear();
    if (m_attempt >= m_maxAttempts) {
        finish(outcome, failure);
        return;
    }
    // A timed-out attempt has waited long enough; a refused one pauses before it asks again.
    m_retryTimer.start(outcome == Outcome::TimedOut ? 0 : std::min(m_retryDelayMs, m_attemptMs));
}

void WhoisLookup::finish(Outcome outcome, const QString& failure)
{
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    dropSocket();
    Result result;
    result.request = m_request;
    result.outcome = outcome;
    result.failure = failure;
    result.attempts = m_attempt;
    if (outcome == Outcome::Answered)
        result.answer = std::exchange(m_answer, QByteArray());
    m_answer.clear();
    // Last: a receiver may start the next lookup on this slot right away.
    Q_EMIT finished(m_slot, result);
}

void WhoisLookup::onConnected()
{
    Q_EMIT connected(m_slot, m_request.domain);
    const QByteArray query = m_request.domain.toUtf8() + "\r\n";
    if (m_socket->write(query) != query.size())
        endAttempt(Outcome::Failed, QStringLiteral("could not send the query"));
}

void WhoisLookup::onReadyRead()
{
    const qint64 available = m_socket->bytesAvailable();
    if (m_answer.size() + available > MaxAnswerBytes) {
        // No server gets to exhaust memory: a flood is no answer.
        finish(Outcome::TooLarge, QStringLiteral("answer larger than 1 MiB"));
        return;
    }
    m_answer += m_socket->readAll();
}

void WhoisLookup::onDisconnected()
{
    const QTcpSocket* socket = m_socket;
    if (socket->bytesAvailable() > 0) {
        onReadyRead();
        if (m_socket != socket) // that ended the lookup, and the slot may have moved on
            return;
    }
    finish(Outcome::Answered, QString());
}

void WhoisLookup::onError(QAbstractSocket::SocketError error)
{
    // The server closing the connection is how an answer ends; disconnected() follows.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            onDisconnected();
        return;
    }
    endAttempt(Outcome::Failed, m_socket->errorString());
}

void WhoisLookup::onTimeout()
{
    if (m_socket)
        endAttempt(Outcome::TimedOut, QStringLiteral("no answer within %1 s").arg(m_attemptMs / 1000.0));
}

} // namespace brisquel
