#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <optional>

namespace brisquel {

// Streams the lines of a text file. A line ends at CR LF, a lone CR or a lone LF; text after
// the last line end is a last line. Lines are decoded as UTF-8, or as UTF-16 or UTF-32 when the
// file starts with their byte-order mark; a mark is never part of the first line. Raw lines are
// UTF-8 either way. Memory stays bounded on hostile files: a line longer than the limit is cut to
// the limit and the rest of it is skipped.
class LineReader
{
public:
    static constexpr qsizetype DefaultMaxLineBytes = 1024 * 1024;

    explicit LineReader(qsizetype maxLineBytes = DefaultMaxLineBytes);

    // A FIFO without a writer reads as empty (openToRead()).
    bool open(const QString& path, QString* error = nullptr);
    // Reads no further than this many bytes of the file: a file that grows while it is read (a
    // list that receives what its own search appends) still comes to an end.
    void setByteLimit(qint64 bytes) { m_byteLimit = bytes; }
    bool isOpen() const { return m_file.isOpen(); }
    qint64 bytesRead() const { return m_bytesRead; }
    void close();

    // False at the end of the file or on a read error (see hasError()).
    bool readLine(QString* line);
    QByteArray readRawLine(bool* ok);

    // 1-based number of the line last returned.
    qint64 lineNumber() const { return m_lineNumber; }
    bool lastLineTruncated() const { return m_truncated; }
    bool hasError() const { return m_error; }
    // The file ended before the byte limit: it was cut while being read.
    bool endedShort() const { return m_eof && !m_error && m_byteLimit >= 0 && m_bytesRead < m_byteLimit; }
    QString errorString() const { return m_file.errorString(); }

private:
    bool fill();
    void takeByteOrderMark(qsizetype from);
    void decodeFrom(qsizetype from);

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_maxLineBytes;
    qint64 m_lineNumber = 0;
    qint64 m_byteLimit = -1;
    qint64 m_bytesRead = 0;
    bool m_eof = false;
    bool m_error = false;
    bool m_truncated = false;
    bool m_skipLeadingLf = false;
    // Set when the file is UTF-16 or UTF-32: what is read is turned into UTF-8 before lines are cut.
    std::optional<QStringDecoder> m_decoder;
    QChar m_highSurrogate;
};

} // namespace brisquel
