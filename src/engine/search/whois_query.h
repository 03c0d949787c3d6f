#pragma once

#include "engine/judging/life_cycle.h"
#include "engine/lookup/lookup_request.h"
#include "engine/judging/verdict.h"

#include <QByteArray>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>

class QTcpSocket;
class QNetworkAccessManager;

namespace brisquel {

class LookupRouter;

// One WHOIS question on a socket of its own, for the full record of one name: the domain, then
// CR LF; the answer is whatever the server sent once it closes the connection. Unlike a search's
// lookup it tries once and gives up at the time limit, saying why.
class WhoisQuery : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000;
    static constexpr qsizetype MaxAnswerBytes = 1024 * 1024;

    // Bytes as they came, read as a search's judge reads them (see decodeAnswer): nothing is lost.
    static QString answerText(const QByteArray& bytes, const QByteArray& encoding = QByteArray());

    explicit WhoisQuery(QObject* parent = nullptr);
    ~WhoisQuery() override;

    // The rules whose character sets a WHOIS answer is read in, as a search reads it; none: the
    // delivered rules.
    void setAnswerRules(std::shared_ptr<const AnswerRules> rules) { m_rules = std::move(rules); }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    bool isRunning() const { return m_socket != nullptr || m_reply != nullptr; }

    // The network proxy the next queries go through; none: the application's default.
    void setProxy(std::optional<QNetworkProxy> proxy) { m_proxy = std::move(proxy); }
    // What the last answer says of the name, judged and read as a search reads it: its verdict and,
    // when it is taken, its deletion state and expiry date. Set before answered().
    struct Reading
    {
        Verdict verdict = Verdict::Unanswered;
        LifeCycle lifeCycle;
    };
    const Reading& reading() const { return m_reading; }

    // Reports through answered() or failed(), never before returning. The request names the
    // server: a WHOIS host and port, or an RDAP base URL.
    void start(const QString& domain, const LookupRequest& server);
    // Asks the server the router names for the name's record; a name without one fails.
    void start(const QString& domain, const LookupRouter& router);

Q_SIGNALS:
    void answered(const QString& text);
    void failed(const QString& message);

private:
    void failLater(const QString& message);
    void finish(const QString& failure);
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onError();
    void onTimeout();
    void startRdap();
    void onRdapFinished();
    void failRdap(const QString& message);

    QTcpSocket* m_socket = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    std::optional<QNetworkProxy> m_proxy;
    std::shared_ptr<const AnswerRules> m_rules;
    int m_nextProxy = 0;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QString m_domain; // the name as asked: its ASCII (ACE) form
    LookupRequest m_server;
    QByteArray m_answer;
    Reading m_reading;
    int m_timeoutMs = DefaultTimeoutMs;
    bool m_connected = false;
};

} // namespace brisquel
