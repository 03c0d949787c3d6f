#include "fake_rdap_server.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace brisquel::test {

namespace {

constexpr qsizetype MaxRequestBytes = 16 * 1024;

QByteArray response(int status, const QByteArray& reason, const QByteArray& body,
                    const QByteArray& extraHeaders = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: application/rdap+json\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n" + extraHeaders + "\r\n" + body;
}

// statuses: already quoted, comma-separated.
QByteArray domainObject(const QByteArray& name, const QByteArray& statuses)
{
    return R"({"objectClassName":"domain","ldhName":")" + name + R"(","status":[)" + statuses +
           R"(],"events":[{"eventAction":"registration","eventDate":"2001-05-01T04:00:00Z"},)"
           R"({"eventAction":"expiration","eventDate":")" +
           FakeRdapServer::ExpirationDate + R"(T04:00:00Z"}],"rdapConformance":["rdap_level_0"]})";
}

} // namespace

FakeRdapServer::FakeRdapServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeRdapServer::onConnection);
}

FakeRdapServer::~FakeRdapServer() = default;

bool FakeRdapServer::listen(quint16 port)
{
    m_server->setMaxPendingConnections(1000);
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 FakeRdapServer::port() const
{
    return m_server->serverPort();
}

QString FakeRdapServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

void FakeRdapServer::refuse(const QString& name, int times, int retryAfterSeconds)
{
    m_refusals.insert(name.toLower(), {times, retryAfterSeconds});
}

void FakeRdapServer::refuseEvery(int n, int retryAfterSeconds)
{
    m_refuseEvery = std::max(0, n);
    m_refuseEveryRetryAfter = retryAfterSeconds;
    m_everyCounter = 0;
}

void FakeRdapServer::onConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_open.insert(socket, {});
        m_peakConnections = std::max(m_peakConnections, int(m_open.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeRdapServer::onReadyRead(QTcpSocket* socket)
{
    const auto open = m_open.find(socket);
    // One request at a time per connection, as Qt's client sends them; the rest stays buffered.
    if (open == m_open.end() || open->busy)
        return;
    open->buffer += socket->readAll();
    const qsizetype end = open->buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (open->buffer.size() > MaxRequestBytes)
            socket->abort();
        return;
    }
    const QByteArray head = open->buffer.left(end);
    open->buffer.remove(0, end + 4);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.size() >= 2 ? requestLine.at(1) : QByteArray();
    ++m_requests;
    open->busy = true;
    const QPointer<QTcpSocket> guarded(socket);
    auto reply = [this, guarded, path] {
        if (!guarded)
            return;
        answer(guarded, path);
        if (!guarded)
            return;
        const auto open = m_open.find(guarded);
        if (open == m_open.end())
            return;
        open->busy = false;
        if (!open->buffer.isEmpty() || guarded->bytesAvailable() > 0)
            onReadyRead(guarded);
    };
    if (m_delayMs > 0)
        QTimer::singleShot(m_delayMs, this, reply);
    else
        reply();
}

void FakeRdapServer::answer(QTcpSocket* socket, const QByteArray& path)
{
    const qsizetype at = path.lastIndexOf("/domain/");
    if (at < 0) {
        socket->write(response(400, "Bad Request", R"({"errorCode":400})"));
        return;
    }
    const QByteArray name = path.mid(at + 8).toLower();
    m_queries.append(QString::fromLatin1(name));
    auto refusal = m_refusals.find(QString::fromLatin1(name));
    int retryAfter = -1;
    if (refusal != m_refusals.end() && refusal->first > 0) {
        --refusal->first;
        retryAfter = refusal->second;
    } else if (m_refuseEvery > 0 && ++m_everyCounter % m_refuseEvery == 0) {
        retryAfter = m_refuseEveryRetryAfter;
    }
    if (retryAfter >= 0) {
        ++m_refused;
        socket->write(response(429, "Too Many Requests", R"({"errorCode":429})",
                               "Retry-After: " + QByteArray::number(retryAfter) + "\r\n"));
        return;
    }
    if (name.startsWith("slow"))
        return;
    if (name.startsWith("free"))
        socket->write(response(404, "Not Found", R"({"errorCode":404,"title":"Not Found"})"));
    else if (name.startsWith("reserved"))
        socket->write(response(200, "OK", domainObject(name, R"("reserved")")));
    else if (name.startsWith("drop"))
        socket->write(response(200, "OK", domainObject(name, R"("pending delete","redemption period")")));
    else if (name.startsWith("broken"))
        socket->write(response(500, "Internal Server Error", "oops"));
    else if (name.startsWith("garbage"))
        socket->write(response(200, "OK", "<html><body>Welcome</body></html>"));
    else if (name.startsWith("huge"))
        socket->write(response(200, "OK", "[" + QByteArray(HugeBodySize, ' ') + "]"));
    else if (name.startsWith("loop"))
        socket->write(response(302, "Found", {}, "Location: " + path + "\r\n"));
    else
        socket->write(response(200, "OK", domainObject(name, R"("active")")));
}

} // namespace brisquel::test
