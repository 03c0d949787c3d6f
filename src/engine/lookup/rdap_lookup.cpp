#include "rdap_lookup.h"

#include "engine/lookup/proxy_list.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <algorithm>

namespace brisquel {

namespace {

AnswerRules::Judgement judgement(Verdict verdict, const QString& detail, const QString& rule,
                                 bool refused = false)
{
    AnswerRules::Judgement result;
    result.verdict = verdict;
    result.detail = detail;
    result.rule = rule;
    result.refused = refused;
    return result;
}

// Status values registries use for names that exist in no one's hands and cannot be registered.
bool saysNotRegistrable(const QJsonArray& statuses)
{
    for (const QJsonValue& value : statuses) {
        const QString status = value.toString().trimmed().toLower();
        if (status.contains(QLatin1String("reserved")) || status == QLatin1String("blocked") ||
            status == QLatin1String("restricted") ||
            status.contains(QLatin1String("not available for registration")))
            return true;
    }
    return false;
}

// "application/rdap+json", "application/json", "text/json; charset=utf-8": a JSON body.
bool isJsonType(const QByteArray& contentType)
{
    const QByteArray type = contentType.split(';').constFirst().trimmed().toLower();
    return type.endsWith("/json") || type.endsWith("+json");
}

} // namespace

AnswerRules::Judgement judgeRdapReply(int httpStatus, const QByteArray& body, const QByteArray& contentType,
                                      const QUrl& url)
{
    const QString code = QStringLiteral("HTTP %1").arg(httpStatus);
    if (httpStatus == 404) {
        // Any web server says 404 for a path it does not know; only an RDAP service's 404 means free.
        if (!body.trimmed().isEmpty() && !isJsonType(contentType))
            return judgement(Verdict::Unanswered,
                             QStringLiteral("not an RDAP reply from %1").arg(url.toDisplayString()), code);
        return judgement(Verdict::Available, QString(), code);
    }
    if (httpStatus == 429 || httpStatus == 503)
        return judgement(Verdict::Unanswered, QStringLiteral("refused (%1)").arg(code), code, true);
    if (httpStatus != 200)
        return judgement(Verdict::Unanswered, QStringLiteral("the RDAP server answered %1").arg(code), code);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(body, &error).object();
    // RFC 9083 calls the member objectClassName; a few servers write objectClass.
    QString objectClass = object.value(QLatin1String("objectClassName")).toString();
    if (objectClass.isEmpty())
        objectClass = object.value(QLatin1String("objectClass")).toString();
    if (error.error != QJsonParseError::NoError ||
        objectClass.compare(QLatin1String("domain"), Qt::CaseInsensitive) != 0)
        return judgement(Verdict::Unanswered, QStringLiteral("the answer is not an RDAP domain object"),
                         code);
    if (saysNotRegistrable(object.value(QLatin1String("status")).toArray()))
        return judgement(Verdict::NotRegistrable, QStringLiteral("not registrable"),
                         code + QStringLiteral(" status"));
    return judgement(Verdict::Registered, QString(), code + QStringLiteral(" domain"));
}

qint64 retryAfterMs(const QByteArray& header, const QDateTime& now)
{
    const QByteArray text = header.trimmed();
    if (text.isEmpty())
        return 0;
    constexpr qint64 MaxMs = 24 * 3600 * 1000;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds > 0 ? std::min<qint64>(seconds, MaxMs / 1000) * 1000 : 0;
    // IMF-fixdate, as HTTP writes dates.
    QDateTime at =
        QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!at.isValid())
        return 0;
    at.setTimeSpec(Qt::UTC);
    // A date centuries ahead is no wait anyone means; it is held to a day, as a number is.
    return std::clamp<qint64>(now.msecsTo(at), 0, MaxMs);
}

QString readableRdapText(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::NoError && !document.isNull())
        return QString::fromUtf8(document.toJson(QJsonDocument::Indented));
    return QString::fromUtf8(body);
}

namespace {
bool isProxyFailure(const QNetworkReply* reply)
{
    switch (reply->error()) {
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return true;
    case QNetworkReply::UnknownNetworkError:
        // Qt's HTTP layer passes most of a proxy socket's failures on as unknown, keeping only the
        // socket's words ("Connection to proxy refused", "Proxy host not found").
        return reply->errorString().contains(QLatin1String("proxy"), Qt::CaseInsensitive);
    default:
        return false;
    }
}
} // namespace

RdapLookup::RdapLookup(QNetworkAccessManager* manager, QObject* parent)
    : Lookup(parent)
    , m_manager(manager)
    , m_timer(this)
    , m_retryTimer(this)
{
    m_timer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RdapLookup::onTimeout);
    connect(&m_retryTimer, &QTimer::timeout, this, &RdapLookup::beginAttempt);
}

RdapLookup::~RdapLookup()
{
    dropReply();
}

QUrl RdapLookup::queryUrl(const LookupRequest& request)
{
    // The name is ASCII letters, digits, hyphens and dots here: nothing in it needs escaping.
    return request.rdapBase.resolved(QUrl(QStringLiteral("domain/") + request.queryName()));
}

QNetworkRequest RdapLookup::networkRequest(const LookupRequest& request)
{
    QNetworkRequest get(queryUrl(request));
    get.setRawHeader("Accept", "application/rdap+json, application/json");
    get.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    get.setMaximumRedirectsAllowed(MaxRedirects);
    get.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    return get;
}

qint64 RdapLookup::remainingMs() const
{
    if (!m_busy)
        return 0;
    const qint64 current = m_timer.isActive() ? m_timer.remainingTime() : 0;
    return current + qint64(std::max(0, m_maxAttempts - m_attempt)) * (m_attemptMs + m_retryDelayMs);
}

void RdapLookup::abort()
{
    m_busy = false;
    m_timer.stop();
    m_retryTimer.stop();
    dropReply();
}

void RdapLookup::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void RdapLookup::beginAttempt()
{
    ++m_attempt;
    m_timedOut = false;
    m_tooLarge = false;
    m_tlsErrors.clear();
    m_reply = m_manager->get(networkRequest(m_request));
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::requestSent, this, [this] { m_everConnected = true; });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        // No server gets to exhaust memory: a flood is no answer.
        if (reply->bytesAvailable() > MaxAnswerBytes) {
            m_tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        QStringList texts;
        for (const QSslError& error : errors)
            texts.append(error.errorString());
        m_tlsErrors = texts.join(QStringLiteral("; "));
    });
    connect(reply, &QNetworkReply::finished, this, &RdapLookup::onFinished);
    m_timer.start(m_attemptMs);
}

void RdapLookup::onTimeout()
{
    if (!m_reply)
        return;
    m_timedOut = true;
    m_reply->abort();
}

void RdapLookup::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_timer.stop();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (m_tooLarge) {
        endAttempt(QStringLiteral("answer larger than 1 MiB"), true);
        return;
    }
    if (m_timedOut) {
        endAttempt(m_everConnected ? QStringLiteral("no answer within %1 s").arg(m_attemptMs / 1000.0)
                                   : QStringLiteral("connection timed out"),
                   m_everConnected);
        return;
    }
    if (status <= 0 && isProxyFailure(reply)) {
        LookupReply result;
        result.request = m_request;
        result.failure = proxyFailure(reply->errorString());
        result.attempts = m_attempt;
        result.neverConnected = true;
        result.proxyFailed = true;
        m_busy = false;
        dropReply();
        Q_EMIT finished(result);
        return;
    }
    // An HTTP status is an answer, whatever it says; Qt reports 4xx and 5xx as errors too.
    if (status > 0 && error != QNetworkReply::TooManyRedirectsError &&
        error != QNetworkReply::InsecureRedirectError) {
        finishWithAnswer(reply, status);
        return;
    }
    // A redirect loop or a certificate that does not verify will not change on a second try.
    if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError ||
        error == QNetworkReply::SslHandshakeFailedError)
        m_attempt = m_maxAttempts;
    endAttempt(failureOf(reply), m_everConnected);
}

void RdapLookup::finishWithAnswer(QNetworkReply* reply, int status)
{
    LookupReply result;
    result.request = m_request;
    result.answered = true;
    result.httpStatus = status;
    result.answer = reply->read(MaxAnswerBytes + 1);
    if (result.answer.size() > MaxAnswerBytes) {
        endAttempt(QStringLiteral("answer larger than 1 MiB"), true);
        return;
    }
    result.retryAfterMs = retryAfterMs(reply->rawHeader("Retry-After"));
    result.contentType = reply->rawHeader("Content-Type");
    result.attempts = m_attempt;
    result.neverConnected = false;
    m_busy = false;
    dropReply();
    Q_EMIT finished(result);
}

QString RdapLookup::failureOf(QNetworkReply* reply) const
{
    switch (reply->error()) {
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("redirect loop (more than %1 redirects)").arg(MaxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("redirected from https to plain http");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("TLS error: %1")
            .arg(m_tlsErrors.isEmpty() ? reply->errorString() : m_tlsErrors);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("host not found");
    default:
        return reply->errorString();
    }
}

void RdapLookup::endAttempt(const QString& failure, bool connected)
{
    m_everConnected = m_everConnected || connected;
    dropReply();
    if (m_attempt < m_maxAttempts) {
        m_retryTimer.start(m_retryDelayMs);
        return;
    }
    LookupReply result;
    result.request = m_request;
    result.failure = failure;
    result.attempts = m_attempt;
    result.neverConnected = !m_everConnected;
    m_busy = false;
    Q_EMIT finished(result);
}

} // namespace brisquel
