#include "tools/fake_dns_server.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

namespace brisquel::test {

namespace {

constexpr int HeaderSize = 12;
constexpr int MaxDatagram = 4096;
constexpr quint16 TypeNs = 2;
constexpr quint16 TypeCname = 5;
constexpr quint16 TypeSoa = 6;
constexpr quint16 ClassIn = 1;
constexpr quint16 RcodeServFail = 2;
constexpr quint16 RcodeNxDomain = 3;
constexpr quint16 RcodeNotImp = 4;
constexpr quint16 RcodeRefused = 5;
// The owner of a record that repeats the question's name: a pointer to offset 12.
const QByteArray QuestionName("\xc0\x0c", 2);

QString keyOf(const QString& name)
{
    QString key = name.trimmed().toLower();
    if (key.endsWith(QLatin1Char('.')))
        key.chop(1);
    return key;
}

void put16(QByteArray& out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, quint16(value >> 16));
    put16(out, quint16(value & 0xffff));
}

QByteArray encodedName(const QString& name)
{
    QByteArray out;
    for (const QString& label : name.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        const QByteArray bytes = label.toLatin1().left(63);
        out.append(char(bytes.size()));
        out.append(bytes);
    }
    out.append('\0');
    return out;
}

void putRecord(QByteArray& out, const QByteArray& owner, quint16 type, const QByteArray& data)
{
    out.append(owner);
    put16(out, type);
    put16(out, ClassIn);
    put32(out, 3600);
    put16(out, quint16(data.size()));
    out.append(data);
}

QByteArray soaData()
{
    QByteArray data = encodedName(QStringLiteral("ns1.fake-dns.test")) +
                      encodedName(QStringLiteral("hostmaster.fake-dns.test"));
    for (const quint32 value : {1u, 7200u, 900u, 1209600u, 3600u})
        put32(data, value);
    return data;
}

QString extensionOf(const QString& name)
{
    return name.section(QLatin1Char('.'), -1);
}

} // namespace

FakeDnsServer::FakeDnsServer(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeDnsServer::readQueries);
}

FakeDnsServer::~FakeDnsServer() = default;

bool FakeDnsServer::listen(quint16 port)
{
    if (!m_socket->bind(QHostAddress::LocalHost, port))
        return false;
    // Clients send hundreds of queries at once; the default buffer drops them after about 256.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    return true;
}

void FakeDnsServer::close()
{
    m_socket->close();
}

quint16 FakeDnsServer::port() const
{
    return m_socket->localPort();
}

QString FakeDnsServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

QString FakeDnsServer::errorString() const
{
    return m_socket->errorString();
}

void FakeDnsServer::setDelegated(const QStringList& names)
{
    for (auto it = m_replies.begin(); it != m_replies.end();) {
        if (it.value() == Reply::Delegated)
            it = m_replies.erase(it);
        else
            ++it;
    }
    for (const QString& name : names)
        addDelegated(name);
}

void FakeDnsServer::addDelegated(const QString& name)
{
    setReplyFor(name, Reply::Delegated);
}

void FakeDnsServer::setReplyFor(const QString& name, Reply reply)
{
    m_replies.insert(keyOf(name), reply);
}

void FakeDnsServer::setWildcard(const QString& extension)
{
    m_wildcard = keyOf(extension);
    if (m_wildcard.startsWith(QLatin1Char('.')))
        m_wildcard.remove(0, 1);
}

void FakeDnsServer::setDefaultReply(Reply reply)
{
    m_defaultReply = reply;
}

void FakeDnsServer::setSilent(bool silent)
{
    m_silent = silent;
}

void FakeDnsServer::setDelayMs(int ms)
{
    m_delayMs = qMax(0, ms);
}

void FakeDnsServer::setDropEvery(int n)
{
    m_dropEvery = qMax(0, n);
}

void FakeDnsServer::setMaxRate(int perSecond)
{
    m_maxRate = qMax(0, perSecond);
    m_answeredAt.clear();
}

void FakeDnsServer::setReplyFilter(ReplyFilter filter)
{
    m_filter = std::move(filter);
}

void FakeDnsServer::setRecordQueries(bool record)
{
    m_recordQueries = record;
}

void FakeDnsServer::resetStats()
{
    m_queryCount = 0;
    m_queriedNames.clear();
}

FakeDnsServer::Reply FakeDnsServer::replyFor(const QString& name) const
{
    const auto own = m_replies.constFind(name);
    if (own != m_replies.cend())
        return own.value();
    if (!m_wildcard.isEmpty() && name.endsWith(QLatin1Char('.') + m_wildcard))
        return Reply::Delegated;
    return m_defaultReply;
}

// Over any second, not per calendar second, so that no burst of twice the rate gets through.
bool FakeDnsServer::withinRate()
{
    if (m_maxRate == 0)
        return true;
    if (!m_clock.isValid())
        m_clock.start();
    const qint64 now = m_clock.elapsed();
    while (!m_answeredAt.empty() && now - m_answeredAt.front() >= 1000)
        m_answeredAt.pop_front();
    if (int(m_answeredAt.size()) >= m_maxRate)
        return false;
    m_answeredAt.push_back(now);
    return true;
}

void FakeDnsServer::readQueries()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(MaxDatagram);
        QString name;
        QByteArray reply = replyTo(datagram.data(), &name);
        if (reply.isEmpty())
            continue;
        ++m_queryCount;
        if (m_recordQueries)
            m_queriedNames.append(name);
        if (m_silent || replyFor(name) == Reply::Silent)
            continue;
        if ((m_dropEvery > 0 && m_queryCount % m_dropEvery == 0) || !withinRate())
            continue;
        if (m_filter)
            reply = m_filter(name, reply);
        if (reply.isEmpty())
            continue;
        const QHostAddress sender = datagram.senderAddress();
        const quint16 senderPort = quint16(datagram.senderPort());
        if (m_delayMs == 0) {
            m_socket->writeDatagram(reply, sender, senderPort);
            continue;
        }
        QTimer::singleShot(m_delayMs, this, [this, reply, sender, senderPort] {
            if (m_socket->state() == QAbstractSocket::BoundState)
                m_socket->writeDatagram(reply, sender, senderPort);
        });
    }
}

QByteArray FakeDnsServer::replyTo(const QByteArray& query, QString* name) const
{
    const auto byteAt = [&query](qsizetype i) {
        return quint8(query.at(i));
    };
    if (query.size() < HeaderSize)
        return {};
    const quint16 flags = quint16((byteAt(2) << 8) | byteAt(3));
    const int questions = (byteAt(4) << 8) | byteAt(5);
    if ((flags & 0x8000) || questions != 1)
        return {};
    // The question: plain labels (queries carry no compression), then type and class.
    qsizetype pos = HeaderSize;
    QStringList labels;
    for (;;) {
        if (pos >= query.size())
            return {};
        const int length = byteAt(pos++);
        if (length == 0)
            break;
        if (length > 63 || pos + length > query.size())
            return {};
        labels.append(QString::fromLatin1(query.mid(pos, length)));
        pos += length;
    }
    if (pos + 4 > query.size())
        return {};
    const quint16 type = quint16((byteAt(pos) << 8) | byteAt(pos + 1));
    pos += 4;
    *name = keyOf(labels.join(QLatin1Char('.')));

    const Reply kind = replyFor(*name);
    const bool nsQuery = type == TypeNs || type == 255;
    const QString target = QStringLiteral("alias-target.") + extensionOf(*name);
    quint16 rcode = 0;
    int answers = 0;
    int authorities = 0;
    QByteArray records;
    const auto putNs = [&records](const QByteArray& owner) {
        putRecord(records, owner, TypeNs, encodedName(QStringLiteral("ns1.fake-dns.test")));
        putRecord(records, owner, TypeNs, encodedName(QStringLiteral("ns2.fake-dns.test")));
    };
    const int opcode = (flags >> 11) & 0xf;
    if (opcode != 0) {
        rcode = RcodeNotImp;
    } else if (kind == Reply::Delegated && nsQuery) {
        putNs(QuestionName);
        answers = 2;
    } else if (kind == Reply::Referral && nsQuery) {
        putNs(QuestionName);
        authorities = 2;
    } else if (kind == Reply::Alias) {
        putRecord(records, QuestionName, TypeCname, encodedName(target));
        putNs(encodedName(target));
        answers = 3;
    } else if (kind == Reply::ServerFailure) {
        rcode = RcodeServFail;
    } else if (kind == Reply::Refused) {
        rcode = RcodeRefused;
    } else {
        // No such name, or no data of the type asked.
        putRecord(records, encodedName(extensionOf(*name)), TypeSoa, soaData());
        authorities = 1;
        if (kind == Reply::NoSuchName)
            rcode = RcodeNxDomain;
    }

    QByteArray reply = query.left(2);
    // QR, the opcode and RD copied, RA; authoritative only for what a zone's own server would say.
    const bool authoritative = kind == Reply::NoSuchName || kind == Reply::NoData;
    put16(reply, quint16(0x8000 | (flags & 0x7900) | (authoritative ? 0x0400 : 0) | 0x0080 | rcode));
    put16(reply, 1);
    put16(reply, quint16(answers));
    put16(reply, quint16(authorities));
    put16(reply, 0);
    reply.append(query.mid(HeaderSize, pos - HeaderSize));
    reply.append(records);
    return reply;
}

} // namespace brisquel::test
