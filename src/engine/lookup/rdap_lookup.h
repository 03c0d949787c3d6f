#pragma once

#include "engine/judging/answer_rules.h"
#include "engine/lookup/lookup.h"
#include "support/clock.h"

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
qint64 retryAfterMs(const QByteArray& header, const QDateTime& now = Clock::currentDateTimeUtc());

// The body for reading: indented JSON when it is JSON, else the text as it came.
QString readableRdapText(const QByteArray& body);

// An RDAP lookup: GET {base}domain/{name} over a shared network manager (TLS verified, HTTP/2 and
// kept-alive connections where the server offers them). Network failures and time-outs are tried
// again like a WHOIS lookup's; an HTTP answer of any status is final.
class RdapLookup : public Lookup
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxAnswerBytes = 1024 * 1024;
    static constexpr int MaxRedirects = 5;

    explicit RdapLookup(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~RdapLookup() override;

    qint64 remainingMs() const override;

    static QUrl queryUrl(const LookupRequest& request);
    // The GET for the request: RDAP's media type, a few redirects and never from https to http.
    static QNetworkRequest networkRequest(const LookupRequest& request);

    void abort() override;

private:
    void beginAttempt() override;
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
    QString m_tlsErrors;
    bool m_timedOut = false;
    bool m_tooLarge = false;
};

} // namespace brisquel
