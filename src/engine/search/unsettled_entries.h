#pragma once

#include <QtGlobal>
#include <deque>

namespace brisquel {

// The list entries a search has handed on and not yet settled, as a window of flags from the
// lowest of them up: entries come in list order, so a million waiting names take a byte each and
// the lowest (the resume position) is at hand.
class UnsettledEntries
{
public:
    void clear()
    {
        m_flags.clear();
        m_base = 0;
        m_count = 0;
    }
    // Entries are inserted in rising order; one inserted again changes nothing.
    void insert(qint64 entry)
    {
        if (m_flags.empty())
            m_base = entry;
        if (entry < m_base)
            return; // settled entries below the window do not come back
        if (entry - m_base >= qint64(m_flags.size()))
            m_flags.resize(size_t(entry - m_base + 1), false);
        bool& flag = m_flags[size_t(entry - m_base)];
        m_count += flag ? 0 : 1;
        flag = true;
    }
    void erase(qint64 entry)
    {
        if (!contains(entry))
            return;
        m_flags[size_t(entry - m_base)] = false;
        --m_count;
        while (!m_flags.empty() && !m_flags.front()) {
            m_flags.pop_front();
            ++m_base;
        }
    }
    bool contains(qint64 entry) const
    {
        return entry >= m_base && entry - m_base < qint64(m_flags.size()) && m_flags[size_t(entry - m_base)];
    }
    bool isEmpty() const { return m_count == 0; }
    qint64 size() const { return m_count; }
    // The lowest unsettled entry; only when not empty.
    qint64 lowest() const { return m_base; }

private:
    std::deque<bool> m_flags;
    qint64 m_base = 0;
    qint64 m_count = 0;
};

} // namespace brisquel
