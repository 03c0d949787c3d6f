#include "whois_lookup.h"

namespace brisquel {

WhoisLookup::WhoisLookup(int slot, QObject* parent)
    : QObject(parent)
    , m_slot(slot)
    , m_socket(this)
    , m_timer(this)
    , m_retryTimer(this)
{
    m_timer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WhoisLookup::onTimeout);
    connect(&m_retryTimer, &QTimer::timeout, this, &WhoisLookup::beginAttempt);
    connect(&m_socket, &QTcpSocket::connected, this, &WhoisLookup::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &WhoisLookup::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &WhoisLookup::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &WhoisLookup::onError);
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
    ++m_sequence;
    m_inAttempt = false;
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    m_socket.abort();
    m_answer.clear();
}

void WhoisLookup::beginAttempt()
{
    if (!m_busy)
        return;
    ++m_attempt;
    // Text from an abandoned connection never mixes with the new answer.
    m_answer.clear();
    m_inAttempt = true;
    m_timer.start(m_attemptMs);
    m_socket.abort();
    m_socket.connectToHost(m_request.host, m_request.port);
}

void WhoisLookup::endAttempt(Outcome outcome, const QString& failure)
{
    m_inAttempt = false;
    m_timer.stop();
    m_socket.abort();
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
    m_inAttempt = false;
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    Result result;
    result.request = m_request;
    result.outcome = outcome;
    result.failure = failure;
    result.attempts = m_attempt;
    if (outcome == Outcome::Answered)
        result.answer = std::move(m_answer);
    m_answer = QByteArray();
    m_socket.abort();
    // Reported from the event loop, not from inside the socket's own signal, so that the
    // receiver may start the next lookup on this slot straight away.
    QMetaObject::invokeMethod(
        this,
        [this, result = std::move(result), sequence = m_sequence] {
            if (sequence == m_sequence)
                Q_EMIT finished(m_slot, result);
        },
        Qt::QueuedConnection);
}

void WhoisLookup::onConnected()
{
    if (!m_inAttempt)
        return;
    Q_EMIT connected(m_slot, m_request.domain);
    const QByteArray query = m_request.domain.toUtf8() + "\r\n";
    if (m_socket.write(query) != query.size())
        endAttempt(Outcome::Failed, QStringLiteral("could not send the query"));
}

void WhoisLookup::onReadyRead()
{
    if (!m_inAttempt)
        return;
    const qint64 available = m_socket.bytesAvailable();
    if (m_answer.size() + available > MaxAnswerBytes) {
        // No server gets to exhaust memory: a flood is no answer.
        finish(Outcome::TooLarge, QStringLiteral("answer larger than 1 MiB"));
        return;
    }
    m_answer += m_socket.readAll();
}

void WhoisLookup::onDisconnected()
{
    if (!m_inAttempt)
        return;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    if (m_inAttempt)
        finish(Outcome::Answered, QString());
}

void WhoisLookup::onError(QAbstractSocket::SocketError error)
{
    if (!m_inAttempt)
        return;
    // The server closing the connection is how an answer ends; disconnected() follows.
    if (error == QAbstractSocket::RemoteHostClosedError &&
        m_socket.state() != QAbstractSocket::UnconnectedState)
        return;
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    endAttempt(Outcome::Failed, m_socket.errorString());
}

void WhoisLookup::onTimeout()
{
    if (!m_inAttempt)
        return;
    endAttempt(Outcome::TimedOut, QStringLiteral("no answer within %1 s").arg(m_attemptMs / 1000.0));
}

} // namespace brisquel
