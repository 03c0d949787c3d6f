#pragma once

#include "support/line_reader.h"

#include <QString>

namespace brisquel {

// Reads a list file once, front to back: one candidate a line, empty lines are no entry,
// entries are numbered from 1. The last entry counts even without a line end after it.
class ListFileReader
{
public:
    // Fifty times a list of a million names; read a line at a time, a list takes no memory.
    static constexpr qint64 MaxFileBytes = 1024LL * 1024 * 1024;
    // No name comes near it: a longer line is given cut to this length, and so is no name (the
    // search skips it and says so) without its rest being held in memory.
    static constexpr qsizetype MaxLineBytes = 64 * 1024;

    // Refuses a file larger than MaxFileBytes, and a device or a FIFO (oversizeProblem()).
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
    LineReader m_reader{MaxLineBytes};
    qint64 m_entryNumber = 0;
    bool m_shrunk = false;
};

// The number of entries of a list file; 0 for a missing or unreadable file, and for one that
// ListFileReader refuses.
qint64 countListEntries(const QString& path);

} // namespace brisquel
