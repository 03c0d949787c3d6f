#include "resolver_window.h"

#include <algorithm>

namespace brisquel {

ResolverWindow::ResolverWindow(int maximum, quint64 firstSerial)
    : m_maximum(maximum)
    , m_size(std::min(Start, maximum))
    , m_nextInOrder(firstSerial)
{}

void ResolverWindow::setMaximum(int maximum)
{
    m_maximum = maximum;
    m_size = std::min(m_size, maximum);
}

void ResolverWindow::firstTry(quint64 serial, FirstTry outcome, quint64 nextSerial)
{
    if (serial < m_nextInOrder || !m_known.emplace(serial, outcome).second)
        return;
    if (outcome == FirstTry::Answered)
        m_size = std::min(m_maximum, m_size + 1);
    // The queries that were out together met the same trouble: one cut for all of them.
    if (outcome == FirstTry::Lost && serial >= m_cutBefore) {
        m_size = std::max(std::min(Floor, m_maximum), m_size / 2);
        m_cutBefore = nextSerial;
    }
    // Remembered in the order the queries were sent: in the order they are learnt, every loss
    // would come after the answers to later queries, and a burst of them would look like a
    // resolver that stopped answering.
    while (!m_known.empty() && m_known.begin()->first == m_nextInOrder) {
        if (m_known.begin()->second != FirstTry::Other)
            remember(m_known.begin()->second == FirstTry::Answered);
        m_known.erase(m_known.begin());
        ++m_nextInOrder;
    }
}

void ResolverWindow::dropped(quint64 nextSerial)
{
    m_known.clear();
    m_nextInOrder = nextSerial;
}

void ResolverWindow::remember(bool answered)
{
    m_answered.push_back(answered);
    m_unanswered += answered ? 0 : 1;
    if (m_answered.size() > Remembered) {
        m_unanswered -= m_answered.front() ? 0 : 1;
        m_answered.pop_front();
    }
}

} // namespace brisquel
