#include "line_reader.h"

#include <algorithm>

namespace brisquel {

namespace {
constexpr qint64 ChunkBytes = 64 * 1024;
}

LineReader::LineReader(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes)
{}

bool LineReader::open(const QString& path, QString* error)
{
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

void LineReader::close()
{
    m_file.close();
    m_buffer.clear();
    m_pos = 0;
    m_lineNumber = 0;
    m_byteLimit = -1;
    m_bytesRead = 0;
    m_eof = false;
    m_error = false;
    m_truncated = false;
    m_skipLeadingLf = false;
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    qint64 want = ChunkBytes;
    if (m_byteLimit >= 0)
        want = std::min(want, m_byteLimit - m_bytesRead);
    if (want <= 0) {
        m_eof = true;
        return false;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + want);
    const qint64 got = m_file.read(m_buffer.data() + old, want);
    if (got < 0) {
        m_error = true;
        m_eof = true;
        m_buffer.resize(old);
        return false;
    }
    m_buffer.resize(old + got);
    m_bytesRead += got;
    if (got == 0)
        m_eof = true;
    return got > 0;
}

QByteArray LineReader::readRawLine(bool* ok)
{
    *ok = false;
    if (!m_file.isOpen())
        return {};
    QByteArray line;
    m_truncated = false;
    for (;;) {
        if (m_pos >= m_buffer.size() && !fill()) {
            // End of file: text after the last line end is a last line.
            if (line.isEmpty() && !m_truncated)
                return {};
            break;
        }
        if (m_skipLeadingLf) {
            m_skipLeadingLf = false;
            if (m_buffer.at(m_pos) == '\n') {
                ++m_pos;
                continue;
            }
        }
        const char* begin = m_buffer.constData() + m_pos;
        const qsizetype available = m_buffer.size() - m_pos;
        qsizetype end = 0;
        while (end < available && begin[end] != '\n' && begin[end] != '\r')
            ++end;
        const qsizetype room = m_maxLineBytes - line.size();
        if (end > room) {
            line.append(begin, room);
            m_truncated = true;
        } else {
            line.append(begin, end);
        }
        m_pos += end;
        if (end < available) {
            // A CR may be followed by an LF in the next chunk; remember to swallow it.
            if (m_buffer.at(m_pos) == '\r')
                m_skipLeadingLf = true;
            ++m_pos;
            break;
        }
    }
    ++m_lineNumber;
    *ok = true;
    return line;
}

bool LineReader::readLine(QString* line)
{
    bool ok = false;
    const QByteArray raw = readRawLine(&ok);
    if (!ok)
        return false;
    *line = QString::fromUtf8(raw);
    return true;
}

} // namespace brisquel
