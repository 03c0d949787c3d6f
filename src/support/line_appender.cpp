#include "line_appender.h"

#include "support/text_file.h"

#include <sys/stat.h>
#include <utility>

namespace brisquel {

LineAppender::LineAppender(QString path)
    : m_path(std::move(path))
{}

void LineAppender::setPath(const QString& path)
{
    if (path == m_path)
        return;
    m_file.close();
    m_pending.clear();
    m_path = path;
}

void LineAppender::add(const QString& line)
{
    m_pending += line.toUtf8();
    m_pending += TextFile::LineEnd;
}

bool LineAppender::open(QString* cause)
{
    m_file.setFileName(m_path);
    // Unbuffered: a write that fails must fail here, where the file can still be cut back.
    struct stat opened = {};
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        ::fstat(m_file.handle(), &opened) != 0) {
        if (cause)
            *cause = m_file.errorString();
        if (m_file.isOpen())
            m_file.close();
        return false;
    }
    m_device = quint64(opened.st_dev);
    m_inode = quint64(opened.st_ino);
    return true;
}

qint64 LineAppender::sizeWhileNamed() const
{
    struct stat named = {};
    if (::stat(QFile::encodeName(m_path).constData(), &named) != 0 || quint64(named.st_dev) != m_device ||
        quint64(named.st_ino) != m_inode)
        return -1;
    return qint64(named.st_size);
}

bool LineAppender::write(QString* cause)
{
    if (m_pending.isEmpty())
        return true;
    QByteArray bytes = std::exchange(m_pending, QByteArray());
    // One look at the path per write, however many lines go out with it.
    qint64 end = m_file.isOpen() ? sizeWhileNamed() : -1;
    if (end < 0) {
        m_file.close();
        if (!open(cause))
            return false;
        end = m_file.size();
        // A file someone else wrote may end without a line end; the new lines must not run on.
        QFile reader(m_path);
        char last = '\n';
        if (end > 0 && reader.open(QIODevice::ReadOnly) && reader.seek(end - 1))
            reader.getChar(&last);
        if (last != '\n' && last != '\r')
            bytes.prepend(TextFile::LineEnd);
    }
    if (TextFile::writeAll(m_file, bytes))
        return true;
    const QString why = m_file.errorString();
    // Whatever part of the lines reached the disk would be read as a line of its own later.
    if (!m_file.resize(end))
        QFile(m_path).resize(end);
    m_file.close();
    if (cause)
        *cause = why;
    return false;
}

bool LineAppender::append(const QString& line, QString* cause)
{
    add(line);
    return write(cause);
}

} // namespace brisquel
