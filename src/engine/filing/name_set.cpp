#include "name_set.h"

#include "support/hash64.h"

namespace brisquel {

quint64 NameSet::hashOf(const QString& name)
{
    // Qt's qHash of short strings gave whole families of look-alike names one hash ("zone11111.com"
    // and nine in 100,000 such names), so that names never looked up counted as done.
    const QString folded = name.toCaseFolded();
    const quint64 hash = hash64(folded.constData(), size_t(folded.size()) * sizeof(QChar));
    return hash == 0 ? 1 : hash;
}

qsizetype NameSet::find(quint64 hash) const
{
    const size_t mask = m_slots.size() - 1;
    size_t i = size_t(hash) & mask;
    while (m_slots[i] != 0 && m_slots[i] != hash)
        i = (i + 1) & mask;
    return qsizetype(i);
}

bool NameSet::contains(const QString& name) const
{
    if (m_slots.empty())
        return false;
    return m_slots[size_t(find(hashOf(name)))] != 0;
}

bool NameSet::insert(const QString& name)
{
    if (2 * (m_size + 1) > qsizetype(m_slots.size()))
        grow();
    const quint64 hash = hashOf(name);
    quint64& slot = m_slots[size_t(find(hash))];
    if (slot != 0)
        return false;
    slot = hash;
    ++m_size;
    return true;
}

void NameSet::clear()
{
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_size = 0;
}

void NameSet::grow()
{
    std::vector<quint64> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
    for (const quint64 hash : old) {
        if (hash != 0)
            m_slots[size_t(find(hash))] = hash;
    }
}

} // namespace brisquel
