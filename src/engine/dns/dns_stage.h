#pragma once

#include "engine/lookup/lookup_request.h"

#include <QHash>
#include <QObject>
#include <deque>
#include <memory>

namespace brisquel {

class DnsPrecheck;

// The DNS pre-check beside a search's registry lookups: names queue here and go to DNS as it has
// room, and each comes back as delegated (certainly taken) or passed (its registry must say).
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

Q_SIGNALS:
    void delegated(const brisquel::LookupRequest& request);
    // `undelegated`: DNS saw the name missing from its zone, a second word for a free verdict.
    void passed(const brisquel::LookupRequest& request, bool undelegated);
    // The pre-check is off for an extension, or altogether; worth telling the user.
    void notice(const QString& text);

private:
    void onChecked(quint64 id, bool delegated, bool undelegated);

    std::unique_ptr<DnsPrecheck> m_dns;
    std::deque<LookupRequest> m_queue;       // not yet asked
    QHash<qint64, LookupRequest> m_inFlight; // asked, by entry number
};

} // namespace brisquel
