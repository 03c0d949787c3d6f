#include "line_reader.h"

#include "file_helpers.h"

#include <algorithm>
#include <utility>

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
    return openToRead(&m_file, path, error);
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
    m_decoder.reset();
    m_highSurrogate = QChar();
}

bool LineReader::fill()
{
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype before = m_buffer.size();
    // A chunk of UTF-16 or UTF-32 can end inside a character and give no text yet: read on.
    while (m_buffer.size() == before && !m_eof) {
        qint64 want = ChunkBytes;
        if (m_byteLimit >= 0)
            want = std::min(want, m_byteLimit - m_bytesRead);
        if (want <= 0) {
            m_eof = true;
            break;
        }
        const qsizetype old = m_buffer.size();
        m_buffer.resize(old + want);
        const qint64 got = m_file.read(m_buffer.data() + old, want);
        if (got <= 0) {
            m_error = got < 0;
            m_eof = true;
            m_buffer.resize(old);
            break;
        }
        m_buffer.resize(old + got);
        if (m_bytesRead == 0)
            takeByteOrderMark(old);
        m_bytesRead += got;
        if (m_decoder)
            decodeFrom(old);
    }
    return m_buffer.size() > before;
}

void LineReader::decodeFrom(qsizetype from)
{
    const QByteArray raw = m_buffer.sliced(from);
    m_buffer.truncate(from);
    QString text = QString(m_decoder->decode(raw));
    if (!m_highSurrogate.isNull())
        text.prepend(std::exchange(m_highSurrogate, QChar()));
    // A pair of UTF-16 units cut by the chunk's end is one character: its first half waits for the
    // second, as UTF-8 has no way to write a half.
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_highSurrogate = text.back();
        text.chop(1);
    }
    m_buffer += text.toUtf8();
}

// Files saved by editors that default to UTF-16 (Windows Notepad's "Unicode") start with a mark
// that names their encoding; without one the file is taken as UTF-8.
void LineReader::takeByteOrderMark(qsizetype from)
{
    struct Mark
    {
        QByteArrayView bytes;
        std::optional<QStringConverter::Encoding> encoding;
    };
    // The UTF-32 marks first: UTF-32LE's starts with UTF-16LE's.
    static const Mark marks[] = {
        {QByteArrayView("\xFF\xFE\0\0", 4), QStringConverter::Utf32LE},
        {QByteArrayView("\0\0\xFE\xFF", 4), QStringConverter::Utf32BE},
        {QByteArrayView("\xEF\xBB\xBF", 3), std::nullopt},
        {QByteArrayView("\xFF\xFE", 2), QStringConverter::Utf16LE},
        {QByteArrayView("\xFE\xFF", 2), QStringConverter::Utf16BE},
    };
    const QByteArrayView head = QByteArrayView(m_buffer).sliced(from);
    for (const Mark& mark : marks) {
        if (!head.startsWith(mark.bytes))
            continue;
        m_buffer.remove(from, mark.bytes.size());
        if (mark.encoding)
            m_decoder.emplace(*mark.encoding);
        return;
    }
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
