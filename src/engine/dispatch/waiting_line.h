#pragma once

#include "engine/lookup/lookup_request.h"

#include <QByteArray>
#include <deque>

namespace brisquel {

// A name waiting for its server, with what its lookups met so far.
struct WaitingName
{
    LookupRequest request;
    int refusals = 0;
    qint64 queuedAt = 0; // on the queue's clock; 0 for names that waited packed
};

// One server's waiting names, in list order: the first ones as full requests, the rest packed
// into one buffer (entry number, name, ASCII form), so that a million names waiting for a slow
// server take a few bytes each.
class WaitingLine
{
public:
    // Full requests kept; beyond, names wait in the compact form.
    static constexpr qsizetype ReadyCount = 256;

    // `server`: the server part of every request in the line.
    explicit WaitingLine(const LookupRequest& server)
        : m_server(server)
    {}

    qint64 size() const { return qint64(m_ready.size()) + m_packedCount; }
    bool isEmpty() const { return size() == 0; }
    const LookupRequest& server() const { return m_server; }

    void pushBack(const LookupRequest& request, qint64 now);
    void pushFront(const WaitingName& name) { m_ready.push_front(name); }
    // A refused name goes behind the next name not yet refused (and the refused ones already
    // there), so that the server's next turn asks a new name.
    void pushRetry(const WaitingName& name);
    WaitingName& front();
    WaitingName takeFront();
    // Everything waiting, in order, emptying the line.
    std::deque<WaitingName> takeAll();

private:
    void pack(const LookupRequest& request);
    // Moves packed names back into full requests, a batch at a time.
    void unpack();

    LookupRequest m_server;
    std::deque<WaitingName> m_ready;
    QByteArray m_packed;
    qsizetype m_packedAt = 0;
    qint64 m_packedCount = 0;
};

} // namespace brisquel
