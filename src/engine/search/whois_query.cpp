#include "whois_query.h"

#include "engine/names/lookup_name.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/lookup/rdap_lookup.h"
#include "engine/lookup/whois_lookup.h"
#include "support/clock.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>

namespace brisquel {

namespace {

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

QString WhoisQuery::answerText(const QByteArray& bytes, const QByteArray& encoding)
{
    return decodeAnswer(bytes, encoding).text;
}

WhoisQuery::WhoisQuery(QObject* parent)
    : QObject(parent)
    , m_timer(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WhoisQuery::onTimeout);
}

WhoisQuery::~WhoisQuery()
{
    if (m_socket)
        m_socket->abort();
    if (m_reply)
        m_reply->abort();
}

void WhoisQuery::start(const QString& domain, const LookupRequest& server)
{
    m_domain = queryDomain(domain);
    m_server = server;
    m_answer.clear();
    m_reading = Reading();
    m_connected = false;
    // The name becomes a line of the query: nothing else may ride along with it.
    if (!isQueryableDomain(domain) || m_domain.isEmpty()) {
        failLater(
            QStringLiteral("\"%1\" is not a domain name a WHOIS server can be asked about.").arg(domain));
        return;
    }
    if (server.isRdap()) {
        startRdap();
        return;
    }
    m_socket = new QTcpSocket(this);
    if (m_proxy)
        m_socket->setProxy(*m_proxy);
    connect(m_socket, &QTcpSocket::connected, this, &WhoisQuery::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &WhoisQuery::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &WhoisQuery::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &WhoisQuery::onError);
    m_timer.start(m_timeoutMs);
    m_socket->connectToHost(server.host, server.port);
}

void WhoisQuery::start(const QString& domain, const LookupRouter& router)
{
    LookupRequest request;
    request.domain = domain;
    QString error;
    if (!router.route(&request, &error, LookupRouter::Purpose::Record)) {
        failLater(error.endsWith(QLatin1Char('.')) ? error : error + QLatin1Char('.'));
        return;
    }
    // The search's proxies, taking turns from one query to the next.
    const QList<ProxyEntry>& proxies = router.proxies();
    if (proxies.isEmpty())
        m_proxy.reset();
    else
        m_proxy = proxies.at(m_nextProxy++ % proxies.size()).networkProxy();
    start(domain, request);
}

void WhoisQuery::failLater(const QString& message)
{
    QMetaObject::invokeMethod(
        this, [this, message] { Q_EMIT failed(message); }, Qt::QueuedConnection);
}

void WhoisQuery::finish(const QString& failure)
{
    m_timer.stop();
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (!failure.isEmpty()) {
        Q_EMIT failed(failure);
        return;
    }
    const AnswerRules& rules = m_rules ? *m_rules : AnswerRules::shipped();
    const AnswerRules::Judgement judgement = rules.judge(m_answer, m_server.host);
    m_reading.verdict = judgement.refused ? Verdict::Unanswered : judgement.verdict;
    if (isTaken(m_reading.verdict))
        m_reading.lifeCycle = readWhoisLifeCycle(m_answer, Clock::currentDate(), m_server.host);
    Q_EMIT answered(answerText(m_answer, rules.encodingFor(m_server.host)));
}

void WhoisQuery::onConnected()
{
    m_connected = true;
    const QByteArray query = m_domain.toUtf8() + "\r\n";
    if (m_socket->write(query) != query.size())
        finish(QStringLiteral("Cannot send the query to %1: %2").arg(m_server.host, m_socket->errorString()));
}

void WhoisQuery::onReadyRead()
{
    m_answer += m_socket->readAll();
    if (m_answer.size() > MaxAnswerBytes)
        finish(
            QStringLiteral("The answer from %1 is larger than 1 MiB; it is not shown.").arg(m_server.host));
}

void WhoisQuery::onDisconnected()
{
    if (!m_socket)
        return;
    m_answer += m_socket->readAll();
    if (m_answer.isEmpty())
        finish(QStringLiteral("%1 closed the connection without an answer.").arg(m_server.host));
    else
        finish(QString());
}

void WhoisQuery::onError()
{
    if (!m_socket)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    // An orderly close is the end of the answer; disconnected() follows.
    if (error == QAbstractSocket::RemoteHostClosedError && m_connected)
        return;
    if (!m_connected) {
        finish(QStringLiteral("Cannot connect to %1:%2: %3")
                   .arg(m_server.host)
                   .arg(m_server.port)
                   .arg(connectFailure(error, m_socket->errorString())));
        return;
    }
    finish(QStringLiteral("The connection to %1:%2 broke off: %3")
               .arg(m_server.host)
               .arg(m_server.port)
               .arg(m_socket->errorString()));
}

void WhoisQuery::startRdap()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_network->setProxy(m_proxy.value_or(QNetworkProxy(QNetworkProxy::DefaultProxy)));
    LookupRequest request;
    request.domain = m_domain;
    request.rdapBase = m_server.rdapBase;
    m_reply = m_network->get(RdapLookup::networkRequest(request));
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (m_reply && m_reply->bytesAvailable() > MaxAnswerBytes)
            failRdap(QStringLiteral("The answer from %1 is larger than 1 MiB; it is not shown."));
    });
    connect(m_reply, &QNetworkReply::finished, this, &WhoisQuery::onRdapFinished);
    m_timer.start(m_timeoutMs);
}

// Drops the reply unread and says why; message has %1 for the server.
void WhoisQuery::failRdap(const QString& message)
{
    m_timer.stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    Q_EMIT failed(message.arg(m_server.rdapBase.toString()));
}

void WhoisQuery::onRdapFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0) {
        failRdap(QStringLiteral("No RDAP answer from %1: ") + reply->errorString());
        return;
    }
    const QByteArray body = reply->read(MaxAnswerBytes + 1);
    if (body.size() > MaxAnswerBytes) {
        failRdap(QStringLiteral("The answer from %1 is larger than 1 MiB; it is not shown."));
        return;
    }
    m_reply = nullptr;
    m_timer.stop();
    reply->deleteLater();
    // The status line first: a 404 with an empty body is the whole answer about a free name.
    m_reading.verdict = judgeRdapReply(status, body, reply->rawHeader("Content-Type"), reply->url()).verdict;
    if (isTaken(m_reading.verdict))
        m_reading.lifeCycle = readRdapLifeCycle(body, Clock::currentDate());
    QString heading = QStringLiteral("RDAP %1: HTTP %2").arg(m_server.rdapBase.toString()).arg(status);
    if (status == 404)
        heading += QStringLiteral(" (no such domain: the name is not registered)");
    Q_EMIT answered(heading + QStringLiteral("\n\n") + readableRdapText(body));
}

void WhoisQuery::onTimeout()
{
    if (m_reply) {
        failRdap(QStringLiteral("No answer from %1 within ") + seconds(m_timeoutMs) +
                 QStringLiteral(" seconds."));
        return;
    }
    if (!m_socket)
        return;
    finish(QStringLiteral("No answer from %1 within %2 seconds.").arg(m_server.host, seconds(m_timeoutMs)));
}

} // namespace brisquel
