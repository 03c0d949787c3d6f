#include "list_file_reader.h"

#include "support/file_helpers.h"

#include <QFileInfo>

namespace brisquel {

namespace {

// A line of nothing but a byte-order mark (lists joined end to end) reads as a blank line: it is
// no entry when read, counted or skipped.
bool isBlank(const QByteArray& raw)
{
    return raw.isEmpty() || raw == "\xEF\xBB\xBF";
}

} // namespace

bool ListFileReader::open(const QString& path, QString* error)
{
    m_entryNumber = 0;
    m_shrunk = false;
    m_reader.close();
    if (QString tooLarge = oversizeProblem(path, MaxFileBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge;
        return false;
    }
    if (!m_reader.open(path, error))
        return false;
    // The list is what the file holds now; names appended during the search are not read.
    m_reader.setByteLimit(QFileInfo(path).size());
    return true;
}

bool ListFileReader::readEntry(QString* entry)
{
    QString line;
    while (m_reader.readLine(&line)) {
        if (line.isEmpty())
            continue;
        // A line that ran into the new end of a cut file may be half a name: no guessing.
        if (m_reader.endedShort())
            break;
        ++m_entryNumber;
        *entry = line;
        return true;
    }
    m_shrunk = m_reader.endedShort();
    return false;
}

void ListFileReader::seekEntry(qint64 number)
{
    bool ok = false;
    // Raw lines: skipping needs no decoding.
    while (m_entryNumber < number - 1) {
        const QByteArray raw = m_reader.readRawLine(&ok);
        if (!ok)
            return;
        if (!isBlank(raw))
            ++m_entryNumber;
    }
}

qint64 countListEntries(const QString& path)
{
    // Enough of each line to tell a mark alone.
    LineReader reader(3);
    const qint64 size = QFileInfo(path).size();
    if (path.isEmpty() || size > ListFileReader::MaxFileBytes || !reader.open(path))
        return 0;
    // What a search reads of it: a device without end (/dev/zero) counts nothing.
    reader.setByteLimit(size);
    qint64 count = 0;
    bool ok = false;
    for (;;) {
        const QByteArray raw = reader.readRawLine(&ok);
        if (!ok)
            break;
        if (!isBlank(raw) || reader.lastLineTruncated())
            ++count;
    }
    return count;
}

} // namespace brisquel
