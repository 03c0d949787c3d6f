#include "line_appender.h"

#include "support/text_file.h"

#include <sys/stat.h>

namespace brisquel {

LineAppender::LineAppender(QString path)
    : m_path(std::move(path))
{}

void LineAppender::setPath(const QString& path)
{
    if (path == m_path)
        return;
    m_file.close();
    m_path = path;
}

bool LineAppender::open(QString* cause)
{
    m_file.setFileName(m_path);
    // Unbuffered: a write that fails must fail here, where the file can still be cut back.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (cause)
            *cause = m_file.errorString();
        return false;
    }
    return true;
}

bool LineAppender::stillNamesPath() const
{
    struct stat opened = {};
    struct stat named = {};
    if (::fstat(m_file.handle(), &opened) != 0 || ::stat(QFile::encodeName(m_path).constData(), &named) != 0)
        return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool LineAppender::append(const QString& line, QString* cause)
{
    if (m_file.isOpen() && !stillNamesPath())
        m_file.close();
    QByteArray bytes = line.toUtf8() + TextFile::LineEnd;
    if (!m_file.isOpen()) {
        if (!open(cause))
            return false;
        // A file someone else wrote may end without a line end; the new line must not run on.
        QFile reader(m_path);
        char last = '\n';
        if (m_file.size() > 0 && reader.open(QIODevice::ReadOnly) && reader.seek(m_file.size() - 1))
            reader.getChar(&last);
        if (last != '\n' && last != '\r')
            bytes.prepend(TextFile::LineEnd);
    }
    QString error;
    if (TextFile::appendWhole(m_file, bytes, &error))
        return true;
    if (cause)
        *cause = error.mid(QStringLiteral("Cannot write %1: ").arg(m_file.fileName()).size());
    m_file.close();
    return false;
}

} // namespace brisquel
