#pragma once

#include "engine/judging/answer_rules.h"
#include "engine/judging/life_cycle.h"
#include "engine/judging/name_facts.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <algorithm>

namespace brisquel {

// One name on its way to a registry, over WHOIS or RDAP.
struct LookupRequest
{
    QString domain; // as the user wrote it
    QString query;  // what the server is asked: the ASCII (ACE) form; the domain when empty
    QString host;   // the WHOIS server, or the RDAP server's host (for pacing and messages)
    quint16 port = 43;
    QUrl rdapBase; // set: asked over RDAP at this base URL
    qint64 entryNumber = 0;
    int proxy = -1; // the network proxy it goes through, by its place in the pool; -1: none

    QString queryName() const { return query.isEmpty() ? domain : query; }
    bool isRdap() const { return rdapBase.isValid(); }
    // Servers are told apart by host and port: one host may answer WHOIS and RDAP.
    QString serverKey() const { return host.toLower() + QLatin1Char(':') + QString::number(port); }
    // Each proxy is an address of its own to the server, with a budget of its own.
    QString paceKey() const
    {
        return proxy < 0 ? serverKey() : serverKey() + QLatin1Char('|') + QString::number(proxy);
    }
    // How messages name the server: "host:port", or the RDAP base URL.
    QString serverName() const
    {
        return isRdap() ? rdapBase.toString() : QStringLiteral("%1:%2").arg(host).arg(port);
    }
    // The server with its protocol, where WHOIS and RDAP servers are listed together: "whois
    // host:port", "rdap BASE-URL".
    QString serverTitle() const
    {
        return (isRdap() ? QStringLiteral("rdap ") : QStringLiteral("whois ")) + serverName();
    }
    void setWhoisServer(const QString& whoisHost, quint16 whoisPort)
    {
        rdapBase = QUrl();
        host = whoisHost;
        port = whoisPort;
    }
    void setRdapBase(const QUrl& base)
    {
        rdapBase = base;
        host = base.host();
        port = quint16(base.port(base.scheme() == QLatin1String("http") ? 80 : 443));
    }
};

// How a lookup ended, judged: for WHOIS by the answer rules, for RDAP by the reply's status and body.
struct LookupResult
{
    LookupRequest request;
    bool answered = false; // the server answered; the judgement says what it means
    AnswerRules::Judgement judgement;
    QByteArray answer;      // the answer or the RDAP body, for a refusal's own words
    qint64 namedWaitMs = 0; // a refusal's wait: its words ("wait 60 seconds") or Retry-After
    QString failure;        // why there is no answer
    NameFacts facts;        // how and where it was asked; a taken name's life cycle
    bool neverConnected = false;
    bool tooLarge = false;
    bool proxyFailed = false; // the proxy, not the server, failed: the name may go another way
};

// The limits of every lookup: attempts, each with its time limit, a pause between them, and the
// first rest of a server that refuses without naming a wait (doubling after).
struct LookupTimings
{
    int attemptMs = 10000; // one attempt: connect, send, and the server closing
    int maxAttempts = 3;   // so 30 seconds per lookup at most
    int firstPauseMs = 1000;
    int retryDelayMs = -1; // between attempts; -1: a second, or the attempt's limit when shorter
    // A server silent this long (a few lookups in a row without any answer, then every probe) is
    // given up for the search: its waiting names go to Unanswered.txt.
    qint64 deadServerMs = 2 * 60 * 1000;
    // A held server is probed once a minute, or twice within a shorter dead time.
    qint64 probeIntervalMs() const
    {
        return std::min<qint64>(60 * 1000, std::max<qint64>(1, deadServerMs / 2));
    }

    int retryDelay() const { return retryDelayMs >= 0 ? retryDelayMs : std::min(1000, attemptMs); }
};

} // namespace brisquel
