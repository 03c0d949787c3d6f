#pragma once

#include "engine/lookup_request.h"

#include <QHash>
#include <QObject>
#include <deque>
#include <functional>
#include <memory>

namespace brisquel {

class DnsPrecheck;

// The search's first step for a name when the DNS pre-check is on: names queue here and go to
// DNS as it has room; a delegated name is settled as taken, any other goes on to its registry.
class DnsStage : public QObject
{
    Q_OBJECT
public:
    explicit DnsStage(QObject* parent = nullptr);
    ~DnsStage() override;

    // A new run: the resolver ("HOST[:PORT]", empty for the system's) and the longest a try may take.
    void prepare(const QString& server, int attemptMs);
    // Names go to DNS only while it works; once it switched itself off they go straight on.
    bool isActive() const;
    void add(const LookupRequest& request);
    // Sends queued names while DNS has room.
    void feed();
    void cancelAll();
    qint64 size() const { return qint64(m_queue.size()) + m_inFlight.size(); }
    // Every name still with DNS, to route again after the extension table changed.
    void forEach(const std::function<void(LookupRequest&)>& change);

Q_SIGNALS:
    void delegated(const brisquel::LookupRequest& request);
    void passed(const brisquel::LookupRequest& request);
    // The pre-check is off for an extension, or altogether; worth telling the user.
    void notice(const QString& text);

private:
    void onChecked(quint64 id, bool delegated);

    std::unique_ptr<DnsPrecheck> m_dns;
    std::deque<LookupRequest> m_queue;       // not yet asked
    QHash<qint64, LookupRequest> m_inFlight; // asked, by entry number
};

} // namespace brisquel
