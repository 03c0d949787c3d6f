#pragma once

#include <QtGlobal>
#include <deque>
#include <map>

namespace brisquel {

// How many queries the resolver gets at once, grown while it answers and halved when it leaves
// queries unanswered (TCP's congestion window, counted in queries), and how the first tries of its
// last queries went, which tells a resolver that loses most of them.
class ResolverWindow
{
public:
    static constexpr int Start = 32;
    static constexpr int Floor = 4;
    static constexpr int Remembered = 200; // queries
    static constexpr int Judged = 100;     // queries remembered before the resolver is judged

    enum class FirstTry
    {
        Answered,
        Lost,
        Other // a refused connection, a reply c-ares would not take: nothing about the load
    };

    // firstSerial: the serial of the first query of the run (see firstTry()).
    ResolverWindow(int maximum, quint64 firstSerial);

    void setMaximum(int maximum);
    int size() const { return m_size; }

    // How the first try of a query went, once known (a second report is ignored). serial orders the
    // queries by sending, nextSerial is the next one's.
    void firstTry(quint64 serial, FirstTry outcome, quint64 nextSerial);
    // The queries before nextSerial were dropped: their first tries will never be known.
    void dropped(quint64 nextSerial);

    bool mostlyUnanswered() const { return queries() >= Judged && 2 * m_unanswered >= queries(); }
    int unanswered() const { return m_unanswered; }
    int queries() const { return int(m_answered.size()); }

private:
    void remember(bool answered);

    int m_maximum;
    int m_size;
    quint64 m_cutBefore = 0;
    std::map<quint64, FirstTry> m_known; // by serial, until the queries before are known
    quint64 m_nextInOrder;
    std::deque<bool> m_answered;
    int m_unanswered = 0;
};

} // namespace brisquel
