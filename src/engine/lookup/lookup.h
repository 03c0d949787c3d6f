#pragma once

#include "engine/lookup/lookup_request.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>

namespace brisquel {

class AnswerRules;

// What came back from one lookup, before anyone read it.
struct LookupReply
{
    LookupRequest request;
    bool answered = false; // WHOIS: the server closed in order; RDAP: an HTTP status came
    QByteArray answer;     // the WHOIS text or the RDAP body
    int httpStatus = 0;    // RDAP
    QByteArray contentType; // RDAP
    qint64 retryAfterMs = 0; // RDAP's Retry-After
    QString failure;         // why there is no answer
    int attempts = 0;
    bool neverConnected = false; // no attempt reached the server
    bool proxyFailed = false;    // the proxy failed; the server was not asked
    bool tooLarge = false;
};

// One lookup slot, over WHOIS or RDAP: asks one server about one name, each attempt with its own
// time limit, a failed or timed-out attempt tried again after a pause. The reply is reported as
// soon as it is known, and the receiver may start the next lookup on the slot from there.
class Lookup : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Taken by each lookup from its start.
    void setTimings(const LookupTimings& timings)
    {
        m_attemptMs = timings.attemptMs;
        m_maxAttempts = timings.maxAttempts;
        m_retryDelayMs = timings.retryDelay();
    }

    bool isBusy() const { return m_busy; }
    const LookupRequest& request() const { return m_request; }
    // The longest this lookup can still take, retries included.
    virtual qint64 remainingMs() const = 0;

    // Drops what the slot was doing and asks about the request's name.
    void start(const LookupRequest& request)
    {
        abort();
        m_request = request;
        m_attempt = 0;
        m_everConnected = false;
        m_busy = true;
        beginAttempt();
    }
    // Drops the lookup without a reply.
    virtual void abort() = 0;

Q_SIGNALS:
    // The server was reached ("connecting(3): - Search String: name.com").
    void connected(const QString& domain);
    void finished(const brisquel::LookupReply& reply);

protected:
    virtual void beginAttempt() = 0;

    LookupRequest m_request;
    int m_attempt = 0;
    int m_attemptMs = 10000;
    int m_maxAttempts = 3;
    int m_retryDelayMs = 1000;
    bool m_busy = false;
    bool m_everConnected = false; // any attempt of this lookup
};

// How a verdict on the request's name was reached, and where: the facts every lookup files.
NameFacts lookupFacts(const LookupRequest& request);

// The one reading of a reply: a WHOIS answer by the answer rules (and a refusal's named wait), an
// RDAP reply by its status and body (and its Retry-After); a taken name's life cycle as of `today`.
LookupResult judgeReply(const LookupReply& reply, const AnswerRules& rules, const QDate& today);

// What the RDAP answer to a confirmation (`request`) makes of a name WHOIS called free, in place:
// "not found" confirms it; a record overrules WHOIS, and the detail says so; no answer leaves it
// free, unconfirmed, decided by WHOIS at `whoisHost`.
void applyConfirmation(const LookupRequest& request, const QString& whoisHost, Verdict* verdict, QString* detail,
                       NameFacts* facts);

} // namespace brisquel
