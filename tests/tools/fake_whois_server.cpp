#include "tools/fake_whois_server.h"

#include <QHostAddress>
#include <QMetaEnum>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace brisquel::test {

// One accepted connection with the little state its exchange needs.
class WhoisConnection : public QTcpSocket
{
public:
    using QTcpSocket::QTcpSocket;

    QByteArray m_line;   // query bytes received so far
    QByteArray m_answer; // what the exchange sends once its delay has passed
    qint64 m_hugeLeft = 0;
    bool m_queryDone = false;
    bool m_counted = true;
};

namespace {

// Hands accepted descriptors over directly: no pending-connection queue, no extra signal per connection.
class WhoisListener : public QTcpServer
{
public:
    WhoisListener(std::function<void(qintptr)> accept, QObject* parent)
        : QTcpServer(parent)
        , m_accept(std::move(accept))
    {}

protected:
    void incomingConnection(qintptr descriptor) override { m_accept(descriptor); }

private:
    std::function<void(qintptr)> m_accept;
};

// Keeps the huge answer flowing without piling up more than this in the socket's write buffer.
constexpr qint64 HugeWriteWindow = 256 * 1024;

const QByteArray& fillerText()
{
    static const QByteArray filler = [] {
        QByteArray text;
        for (int line = 0; text.size() < 64 * 1024; ++line) {
            text += "% Filler line " + QByteArray::number(line).rightJustified(6, '0') +
                    " of an oversized answer, sent to test that clients cope with it.\r\n";
        }
        return text;
    }();
    return filler;
}

QString keyOf(const QString& name)
{
    return name.trimmed().toLower();
}

} // namespace

FakeWhoisServer::FakeWhoisServer(QObject* parent)
    : QObject(parent)
    , m_listener(new WhoisListener([this](qintptr descriptor) { acceptConnection(descriptor); }, this))
{
    // Many clients connect at once in the throughput benchmark.
    m_listener->setListenBacklogSize(1024);
    // One clock for the rate limit and the quota.
    m_clock.start();
}

FakeWhoisServer::~FakeWhoisServer()
{
    close();
}

bool FakeWhoisServer::listen(quint16 port)
{
    return m_listener->listen(QHostAddress::LocalHost, port);
}

void FakeWhoisServer::close()
{
    m_listener->close();
    const auto connections = findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket* socket : connections) {
        socket->disconnect(this);
        auto* connection = static_cast<WhoisConnection*>(socket);
        if (connection->m_counted) {
            connection->m_counted = false;
            --m_openConnections;
        }
        socket->abort();
        socket->deleteLater();
    }
}

bool FakeWhoisServer::isListening() const
{
    return m_listener->isListening();
}

quint16 FakeWhoisServer::port() const
{
    return m_listener->serverPort();
}

QString FakeWhoisServer::errorString() const
{
    return m_listener->errorString();
}

void FakeWhoisServer::setFreeNames(const QSet<QString>& names)
{
    m_freeNames.clear();
    for (const QString& name : names)
        addFreeName(name);
}

void FakeWhoisServer::addFreeName(const QString& name)
{
    m_freeNames.insert(keyOf(name));
}

void FakeWhoisServer::setAllFree(bool allFree)
{
    m_allFree = allFree;
}

bool FakeWhoisServer::isFree(const QString& name) const
{
    if (m_allFree)
        return true;
    const QString key = keyOf(name);
    if (m_freeNames.contains(key))
        return true;
    const QStringView label = QStringView(key).left(key.indexOf(QLatin1Char('.')));
    return label.startsWith(QLatin1String("free")) || label.contains(QLatin1String("avail"));
}

void FakeWhoisServer::setCustomAnswer(const QByteArray& answer)
{
    m_customAnswer = answer;
}

void FakeWhoisServer::setAnswerFor(const QString& name, const QByteArray& answer)
{
    if (answer.isNull())
        m_answers.remove(keyOf(name));
    else
        m_answers.insert(keyOf(name), answer);
}

void FakeWhoisServer::setDelayMs(int ms)
{
    m_delayMs = qMax(0, ms);
}

void FakeWhoisServer::setSlowDelayMs(int ms)
{
    m_slowDelayMs = qMax(0, ms);
}

void FakeWhoisServer::setFault(Fault fault)
{
    m_fault = fault;
}

void FakeWhoisServer::setFaultFor(const QString& name, Fault fault)
{
    if (fault == Fault::None)
        m_faults.remove(keyOf(name));
    else
        m_faults.insert(keyOf(name), fault);
}

void FakeWhoisServer::setFailFirstAttempts(int n)
{
    m_failFirstAttempts = qMax(0, n);
    m_attempts.clear();
    m_timesByAddress.clear();
}

void FakeWhoisServer::setRateLimitPerAddress(bool perAddress)
{
    m_ratePerAddress = perAddress;
    m_recentByAddress.clear();
}

QHash<QString, int> FakeWhoisServer::queriesByAddress() const
{
    QHash<QString, int> counts;
    for (auto it = m_timesByAddress.cbegin(); it != m_timesByAddress.cend(); ++it)
        counts.insert(it.key(), int(it.value().size()));
    return counts;
}

namespace {

int highestRateOf(const QList<qint64>& times)
{
    int highest = 0;
    qsizetype first = 0;
    for (qsizetype last = 0; last < times.size(); ++last) {
        while (times.at(first) <= times.at(last) - 1000)
            ++first;
        highest = std::max(highest, int(last - first + 1));
    }
    return highest;
}

} // namespace

int FakeWhoisServer::highestRatePerSecond(const QString& address) const
{
    return highestRateOf(m_timesByAddress.value(address));
}

int FakeWhoisServer::highestRatePerSecond() const
{
    QList<qint64> times;
    for (const QList<qint64>& some : m_timesByAddress)
        times += some;
    std::sort(times.begin(), times.end());
    return highestRateOf(times);
}

void FakeWhoisServer::setRecordQueries(bool record)
{
    m_recordQueries = record;
}

void FakeWhoisServer::resetStats()
{
    m_queries.clear();
    m_connectionCount = 0;
    m_maxConcurrent = m_openConnections;
    m_attempts.clear();
}

QByteArray FakeWhoisServer::freeAnswer(const QString& name)
{
    return "No match for \"" + name.trimmed().toUpper().toUtf8() +
           "\".\r\n"
           ">>> Last update of whois database: 2024-05-01T12:00:00Z <<<\r\n"
           "\r\n"
           "NOTICE: The expiration date displayed in this record is the date the\r\n"
           "registrar's sponsorship of the domain name in the registry is\r\n"
           "currently set to expire.\r\n"
           "\r\n"
           "TERMS OF USE: You are not authorized to access or query our Whois\r\n"
           "database through the use of electronic processes that are high-volume and\r\n"
           "automated.\r\n";
}

QByteArray FakeWhoisServer::registeredAnswer(const QString& name)
{
    // Names about to drop carry the statuses of a registry's redemption period.
    const QByteArray statuses =
        name.trimmed().startsWith(QLatin1String("drop"), Qt::CaseInsensitive)
            ? "Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod\r\n"
              "Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n"
            : "Domain Status: clientDeleteProhibited\r\n"
              "Domain Status: clientTransferProhibited\r\n";
    // No "Registrar WHOIS Server:" line: real clients follow it to a second host.
    return "Domain Name: " + name.trimmed().toUpper().toUtf8() +
           "\r\n"
           "Registry Domain ID: 2336799_DOMAIN_COM-VRSN\r\n"
           "Registrar: Example Registrar, Inc.\r\n"
           "Registrar IANA ID: 9999\r\n"
           "Updated Date: 2023-08-14T07:01:31Z\r\n"
           "Creation Date: 1995-08-14T04:00:00Z\r\n"
           "Registry Expiry Date: 2030-08-13T04:00:00Z\r\n" +
           statuses +
           "Name Server: NS1.EXAMPLE.NET\r\n"
           "Name Server: NS2.EXAMPLE.NET\r\n"
           "DNSSEC: unsigned\r\n"
           ">>> Last update of whois database: 2024-05-01T12:00:00Z <<<\r\n";
}

std::optional<FakeWhoisServer::Fault> FakeWhoisServer::faultFromName(const QString& name)
{
    QString wanted = name.trimmed().toLower();
    wanted.remove(QLatin1Char('-'));
    wanted.remove(QLatin1Char('_'));
    const QMetaEnum faults = QMetaEnum::fromType<Fault>();
    for (int i = 0; i < faults.keyCount(); ++i) {
        if (QString::fromLatin1(faults.key(i)).toLower() == wanted)
            return static_cast<Fault>(faults.value(i));
    }
    return std::nullopt;
}

QString FakeWhoisServer::faultName(Fault fault)
{
    const QString key = QString::fromLatin1(QMetaEnum::fromType<Fault>().valueToKey(static_cast<int>(fault)));
    QString hyphenated;
    for (QChar c : key) {
        if (c.isUpper() && !hyphenated.isEmpty())
            hyphenated += QLatin1Char('-');
        hyphenated += c.toLower();
    }
    return hyphenated;
}

void FakeWhoisServer::acceptConnection(qintptr descriptor)
{
    auto* connection = new WhoisConnection(this);
    if (!connection->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        delete connection;
        return;
    }
    ++m_connectionCount;
    m_maxConcurrent = qMax(m_maxConcurrent, ++m_openConnections);
    connect(connection, &QAbstractSocket::disconnected, this,
            [this, connection] { connectionClosed(connection); });
    if (m_fault == Fault::RefuseAfterAccept) {
        connection->disconnectFromHost();
        return;
    }
    connect(connection, &QIODevice::readyRead, this, [this, connection] { readQuery(connection); });
}

void FakeWhoisServer::readQuery(WhoisConnection* connection)
{
    const QByteArray data = connection->readAll();
    if (connection->m_queryDone)
        return; // whatever follows the query line is not looked at
    connection->m_line += data;
    const qsizetype newline = connection->m_line.indexOf('\n');
    qsizetype end = newline;
    if (end > 0 && connection->m_line.at(end - 1) == '\r')
        --end;
    // A line that is still open may yet end with CR LF, so the CR is allowed for.
    if (newline < 0 ? connection->m_line.size() > MaxQueryLength + 1 : end > MaxQueryLength) {
        connection->m_queryDone = true;
        connection->m_line = QByteArray();
        connection->disconnectFromHost();
        return;
    }
    if (newline < 0)
        return;
    const QString query = QString::fromUtf8(connection->m_line.constData(), end);
    connection->m_queryDone = true;
    connection->m_line = QByteArray();
    handleQuery(connection, query);
}

void FakeWhoisServer::handleQuery(WhoisConnection* connection, const QString& query)
{
    if (m_recordQueries)
        m_queries.append(query);
    const QString address = connection->peerAddress().toString();
    m_timesByAddress[address].append(m_clock.elapsed());
    Q_EMIT queryReceived(query);
    // A receiver of the signal may have closed the server.
    if (connection->state() != QAbstractSocket::ConnectedState)
        return;

    const QString key = keyOf(query);
    Fault fault = effectiveFault(key);
    if (fault == Fault::NeverAnswer)
        return;
    if (fault == Fault::CloseWithoutData || fault == Fault::RefuseAfterAccept) {
        connection->disconnectFromHost();
        return;
    }
    connection->m_answer = answerFor(query, key);
    if (overRateLimit(address)) {
        ++m_throttled;
        connection->m_answer = m_rateLimitAnswer;
    } else if (overQuota()) {
        ++m_throttled;
        connection->m_answer = m_quotaAnswer;
    } else if (overQuotaPerSecond(address)) {
        ++m_throttled;
        connection->m_answer = QByteArray(m_secondQuotaAnswer).replace("%1", address.toUtf8());
    }
    if (fault == Fault::None && m_resetEvery > 0 && ++m_resetCounter % m_resetEvery == 0)
        fault = Fault::ResetMidAnswer;
    switch (fault) {
    case Fault::ResetMidAnswer:
        afterDelay(connection, m_delayMs, &FakeWhoisServer::sendPartThenReset);
        break;
    case Fault::HugeAnswer:
        afterDelay(connection, m_delayMs, &FakeWhoisServer::startHugeAnswer);
        break;
    case Fault::SlowAnswer:
        afterDelay(connection, m_slowDelayMs, &FakeWhoisServer::sendAnswer);
        break;
    default:
        afterDelay(connection, m_delayMs, &FakeWhoisServer::sendAnswer);
        break;
    }
}

void FakeWhoisServer::setRateLimit(int perSecond, const QByteArray& answer)
{
    m_rateLimit = perSecond;
    m_rateLimitAnswer = answer;
    m_recent.clear();
}

bool FakeWhoisServer::overRateLimit(const QString& address)
{
    if (m_rateLimit <= 0)
        return false;
    // Queries of the last second, all clients together unless counted per address.
    QList<qint64>& recent = m_ratePerAddress ? m_recentByAddress[address] : m_recent;
    const qint64 now = m_clock.elapsed();
    while (!recent.isEmpty() && recent.first() <= now - 1000)
        recent.removeFirst();
    if (recent.size() >= m_rateLimit)
        return true;
    recent.append(now);
    return false;
}

void FakeWhoisServer::setQuota(int queries, int windowSeconds, const QByteArray& answer)
{
    m_quota = queries;
    m_quotaWindowMs = qint64(qMax(1, windowSeconds)) * 1000;
    m_quotaAnswer = answer;
    m_quotaRecent.clear();
}

bool FakeWhoisServer::overQuota()
{
    if (m_quota <= 0)
        return false;
    // A window that slides, so the named wait is the longest a refused client has to rest.
    const qint64 now = m_clock.elapsed();
    while (!m_quotaRecent.isEmpty() && m_quotaRecent.first() <= now - m_quotaWindowMs)
        m_quotaRecent.removeFirst();
    if (m_quotaRecent.size() >= m_quota)
        return true;
    m_quotaRecent.append(now);
    return false;
}

void FakeWhoisServer::setQuotaPerSecond(int queries, int waitSeconds, const QByteArray& answer)
{
    m_secondQuota = queries;
    m_secondQuotaWaitMs = qint64(qMax(1, waitSeconds)) * 1000;
    m_secondQuotaAnswer = answer;
    m_secondQuotaRecent.clear();
    m_blockedUntil.clear();
}

bool FakeWhoisServer::overQuotaPerSecond(const QString& address)
{
    if (m_secondQuota <= 0)
        return false;
    const qint64 now = m_clock.elapsed();
    if (now < m_blockedUntil.value(address))
        return true;
    QList<qint64>& recent = m_secondQuotaRecent[address];
    while (!recent.isEmpty() && recent.first() <= now - 1000)
        recent.removeFirst();
    if (recent.size() >= m_secondQuota) {
        // The whole wait it names, whatever the client does meanwhile.
        m_blockedUntil.insert(address, now + m_secondQuotaWaitMs);
        return true;
    }
    recent.append(now);
    return false;
}

void FakeWhoisServer::setResetEvery(int n)
{
    m_resetEvery = qMax(0, n);
    m_resetCounter = 0;
}

FakeWhoisServer::Fault FakeWhoisServer::effectiveFault(const QString& key)
{
    if (m_failFirstAttempts > 0 && ++m_attempts[key] <= m_failFirstAttempts)
        return Fault::NeverAnswer;
    const auto perName = m_faults.constFind(key);
    return perName != m_faults.constEnd() ? *perName : m_fault;
}

QByteArray FakeWhoisServer::answerFor(const QString& name, const QString& key) const
{
    const auto perName = m_answers.constFind(key);
    if (perName != m_answers.constEnd())
        return *perName;
    if (!m_customAnswer.isNull())
        return m_customAnswer;
    return isFree(name) ? freeAnswer(name) : registeredAnswer(name);
}

void FakeWhoisServer::afterDelay(WhoisConnection* connection, int ms,
                                 void (FakeWhoisServer::*action)(WhoisConnection*))
{
    if (ms <= 0) {
        (this->*action)(connection);
        return;
    }
    // The connection is the timer's context, so a client that leaves early cancels the answer.
    QTimer::singleShot(ms, Qt::PreciseTimer, connection, [this, connection, action] {
        if (connection->state() == QAbstractSocket::ConnectedState)
            (this->*action)(connection);
    });
}

void FakeWhoisServer::sendAnswer(WhoisConnection* connection)
{
    connection->write(connection->m_answer);
    connection->m_answer = QByteArray();
    // Writing now lets the close happen at once instead of on the next pass of the event loop.
    connection->flush();
    connection->disconnectFromHost();
}

void FakeWhoisServer::sendPartThenReset(WhoisConnection* connection)
{
    const QByteArray& answer = connection->m_answer;
    connection->write(answer.left(qMax<qsizetype>(1, answer.size() / 2)));
    connection->flush();
    // A zero linger time makes the close send RST instead of FIN.
    const linger noLinger{1, 0};
    ::setsockopt(static_cast<int>(connection->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                 sizeof noLinger);
    connection->abort();
}

void FakeWhoisServer::startHugeAnswer(WhoisConnection* connection)
{
    const QByteArray head = connection->m_answer.left(HugeAnswerSize);
    connection->m_answer = QByteArray();
    connection->write(head);
    connection->m_hugeLeft = HugeAnswerSize - head.size();
    connect(connection, &QIODevice::bytesWritten, this, [this, connection] { feedHugeAnswer(connection); });
    feedHugeAnswer(connection);
}

void FakeWhoisServer::feedHugeAnswer(WhoisConnection* connection)
{
    if (connection->state() != QAbstractSocket::ConnectedState)
        return;
    const QByteArray& filler = fillerText();
    while (connection->m_hugeLeft > 0 && connection->bytesToWrite() < HugeWriteWindow) {
        const qint64 size = qMin<qint64>(connection->m_hugeLeft, filler.size());
        connection->write(filler.constData(), size);
        connection->m_hugeLeft -= size;
    }
    // Closes once the write buffer has drained; the state check above keeps this to one call.
    if (connection->m_hugeLeft == 0)
        connection->disconnectFromHost();
}

void FakeWhoisServer::connectionClosed(WhoisConnection* connection)
{
    if (connection->m_counted) {
        connection->m_counted = false;
        --m_openConnections;
    }
    connection->deleteLater();
}

} // namespace brisquel::test
