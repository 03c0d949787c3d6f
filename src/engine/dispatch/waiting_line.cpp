#include "waiting_line.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brisquel {

void WaitingLine::pushBack(const LookupRequest& request, qint64 now)
{
    if (m_packedCount == 0 && qsizetype(m_ready.size()) < ReadyCount)
        m_ready.push_back({request, 0, now});
    else
        pack(request);
}

void WaitingLine::pushRetry(const WaitingName& name)
{
    if (isEmpty()) {
        m_ready.push_back(name);
        return;
    }
    front(); // unpacks
    auto at =
        std::find_if(m_ready.begin(), m_ready.end(), [](const WaitingName& n) { return n.refusals == 0; });
    if (at != m_ready.end())
        ++at;
    while (at != m_ready.end() && at->refusals > 0)
        ++at;
    m_ready.insert(at, name);
}

WaitingName& WaitingLine::front()
{
    if (m_ready.empty())
        unpack();
    return m_ready.front();
}

WaitingName WaitingLine::takeFront()
{
    WaitingName first = front();
    m_ready.pop_front();
    return first;
}

std::deque<WaitingName> WaitingLine::takeAll()
{
    while (m_packedCount > 0)
        unpack();
    return std::exchange(m_ready, {});
}

void WaitingLine::pack(const LookupRequest& request)
{
    const qint64 entry = request.entryNumber;
    m_packed.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    m_packed.append(request.domain.toUtf8()).append('\n').append(request.query.toLatin1()).append('\n');
    ++m_packedCount;
}

void WaitingLine::unpack()
{
    for (qsizetype n = 0; n < ReadyCount && m_packedCount > 0; ++n, --m_packedCount) {
        WaitingName name{m_server, 0, 0};
        std::memcpy(&name.request.entryNumber, m_packed.constData() + m_packedAt, sizeof(qint64));
        m_packedAt += sizeof(qint64);
        const qsizetype domainEnd = m_packed.indexOf('\n', m_packedAt);
        name.request.domain = QString::fromUtf8(m_packed.constData() + m_packedAt, domainEnd - m_packedAt);
        const qsizetype queryEnd = m_packed.indexOf('\n', domainEnd + 1);
        name.request.query =
            QString::fromLatin1(m_packed.constData() + domainEnd + 1, queryEnd - domainEnd - 1);
        m_packedAt = queryEnd + 1;
        m_ready.push_back(std::move(name));
    }
    // Drop what was read once it is most of the buffer, so the buffer never only grows.
    if (m_packedCount == 0 || m_packedAt > m_packed.size() / 2) {
        m_packed.remove(0, m_packedAt);
        m_packedAt = 0;
    }
}

} // namespace brisquel
