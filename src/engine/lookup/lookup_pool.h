#pragma once

#include "engine/lookup/lookup_request.h"

#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace brisquel {

class AnswerRules;
class Lookup;
class RdapLookup;
class WhoisLookup;
struct LookupReply;

// The lookups of one checker, WHOIS and RDAP alike: a slot is taken (or made) for each request,
// and every result comes back judged, by the answer rules for a WHOIS answer and by the reply's
// status and body for RDAP. RDAP slots share network managers six to one (Qt keeps six HTTP/1.1
// connections per host and manager), so that many lookups can be in flight at once.
class LookupPool : public QObject
{
    Q_OBJECT
public:
    explicit LookupPool(QObject* parent = nullptr);
    ~LookupPool() override;

    // Taken by each lookup as it starts.
    void setTimings(const LookupTimings& timings) { m_timings = timings; }
    // The delivered rules until set.
    void setAnswerRules(std::shared_ptr<const AnswerRules> rules) { m_rules = std::move(rules); }
    // The network proxies a request's `proxy` picks from; an RDAP manager is made per proxy.
    void setProxies(const QList<QNetworkProxy>& proxies);
    // Given to every WHOIS slot: how long a connected lookup holds its query.
    void setWriteDelay(std::function<qint64(const LookupRequest&)> delay);

    void start(const LookupRequest& request);
    // Drops every lookup in flight without a result.
    void abortAll();
    // Drops the lookups in flight to this server (by server key) without a result; returns them.
    QList<LookupRequest> abortServer(const QString& serverKey);
    int busyCount() const;
    // The longest a lookup in flight may still take, retries included.
    qint64 longestRemainingMs() const;

    // Seconds a refusal asks the client to wait, when it says: "wait 60 seconds", "replenished in
    // 50 seconds", "go away for 30 seconds", "try again in 2 minutes".
    static qint64 namedWaitMs(const QByteArray& answer);

Q_SIGNALS:
    // A WHOIS slot reached its server ("connecting(3): - Search String: name.com").
    void connected(int slot, const QString& domain);
    void finished(const brisquel::LookupResult& result);

private:
    WhoisLookup* idleWhoisSlot();
    RdapLookup* idleRdapSlot(int proxy);
    // Every slot's reply goes through here, judged the same way whatever asked.
    void adopt(Lookup* slot, int number);
    void onReply(const LookupReply& reply);
    template <typename Visit>
    void forEachSlot(Visit visit) const;

    LookupTimings m_timings;
    std::function<qint64(const LookupRequest&)> m_writeDelay;
    std::shared_ptr<const AnswerRules> m_rules;
    std::vector<std::unique_ptr<WhoisLookup>> m_whois;
    QList<QNetworkProxy> m_proxies;
    // Per proxy (-1: none), its managers and its slots: a manager's proxy is all of its requests'.
    std::map<int, std::vector<std::unique_ptr<QNetworkAccessManager>>> m_managers;
    std::map<int, std::vector<std::unique_ptr<RdapLookup>>> m_rdap;
};

} // namespace brisquel
