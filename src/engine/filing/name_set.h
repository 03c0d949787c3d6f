#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace brisquel {

// The names already seen in a run, kept as 64-bit hashes in an open-addressed table: a million
// names take 16 MiB instead of the 100 MiB their strings would. Names compare without case. Two
// names sharing a hash (odds of about one in 10^7 for a million names, whatever the names, as
// `hash64` spreads them) would count as one.
class NameSet
{
public:
    // True when the name was not in the set before.
    bool insert(const QString& name);
    bool contains(const QString& name) const;
    qsizetype size() const { return m_size; }
    void clear();

private:
    static quint64 hashOf(const QString& name);
    qsizetype find(quint64 hash) const;
    void grow();

    std::vector<quint64> m_slots; // 0 marks a free slot
    qsizetype m_size = 0;
};

} // namespace brisquel
