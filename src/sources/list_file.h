#pragma once

#include "support/line_reader.h"

#include <QString>

namespace brisquel {

// Reads a list file once, front to back: one candidate a line, empty lines are no entry,
// entries are numbered from 1. The last entry counts even without a line end after it.
class ListFileReader
{
public:
    bool open(const QString& path, QString* error = nullptr);
    void close() { m_reader.close(); }
    // False at the end of the list.
    bool readEntry(QString* entry);
    // Skips entries so that the next readEntry() returns entry `number`.
    void seekEntry(qint64 number);
    // Number of the entry last returned (0 before the first).
    qint64 entryNumber() const { return m_entryNumber; }
    bool hasError() const { return m_reader.hasError(); }
    // The file became shorter than it was when opened; its last, perhaps cut, line was not taken.
    bool hasShrunk() const { return m_shrunk; }

private:
    LineReader m_reader;
    qint64 m_entryNumber = 0;
    bool m_shrunk = false;
};

// The number of entries of a list file; 0 for a missing or unreadable file.
qint64 countListEntries(const QString& path);

} // namespace brisquel
