#pragma once

#include "engine/answer_rules.h"
#include "engine/lookup_request.h"

#include <QByteArray>
#include <QDateTime>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkAccessManager;

namespace brisquel {

// What an RDAP reply says of the name: 404 free (when it comes as JSON or empty, as an RDAP
// service sends it), 200 with a domain object taken (or not registrable when its status says so),
// 429 and 503 a refusal, anything else no answer. `url` is the address asked, for the detail.
AnswerRules::Judgement judgeRdapReply(int httpStatus, const QByteArray& body, const QByteArray& contentType,
                                      const QUrl& url);

// Milliseconds a Retry-After header asks for: delta seconds or an HTTP date; 0 when absent or unreadable.
qint64 retryAfterMs(const QByteArray& header, const QDateTime& now = QDateTime::currentDateTimeUtc());

// The body for reading: indented JSON when it is JSON, else the text as it came.
QString readableRdapText(const QByteArray& body);

// One RDAP lookup slot: GET {base}domain/{name} over a shared network manager (TLS verified,
// HTTP/2 and kept-alive connections where the server offers them). Network failures and time-outs
// are tried again like a WHOIS lookup's; an HTTP answer of any status is final.
class RdapLookup : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxAnswerBytes = 1024 * 1024;
    static constexpr int MaxRedirects = 5;

    struct Result
    {
        LookupRequest request;
        bool answered = false; // an HTTP answer came; judgement says what it means
        AnswerRules::Judgement judgement;
        int httpStatus = 0;
        QByteArray body;
        qint64 retryAfterMs = 0;
        QString failure; // why there is no answer
        bool neverConnected = false;
        bool proxyFailed = false; // the manager's proxy failed; the server was not asked
    };

    RdapLookup(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~RdapLookup() override;

    void setAttemptTimeout(int ms) { m_attemptMs = ms; }
    void setMaxAttempts(int attempts) { m_maxAttempts = attempts; }
    void setRetryDelay(int ms) { m_retryDelayMs = ms; }

    bool isBusy() const { return m_busy; }
    const LookupRequest& request() const { return m_request; }
    qint64 remainingMs() const;

    static QUrl queryUrl(const LookupRequest& request);
    // The GET for the request: RDAP's media type, a few redirects and never from https to http.
    static QNetworkRequest networkRequest(const LookupRequest& request);

    void start(const LookupRequest& request);
    void abort();

Q_SIGNALS:
    void finished(const brisquel::RdapLookup::Result& result);

private:
    void beginAttempt();
    void onFinished();
    void finishWithAnswer(QNetworkReply* reply, int status);
    QString failureOf(QNetworkReply* reply) const;
    void onTimeout();
    void endAttempt(const QString& failure, bool connected);
    void dropReply();

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QTimer m_retryTimer;
    LookupRequest m_request;
    QString m_tlsErrors;
    int m_attempt = 0;
    int m_attemptMs = 10000;
    int m_maxAttempts = 3;
    int m_retryDelayMs = 1000;
    bool m_busy = false;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    bool m_everConnected = false;
};

} // namespace brisquel
