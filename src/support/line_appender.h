#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace brisquel {

// Appends whole lines (CR LF) to one file kept open between writes. Lines wait in memory until
// write(), which sends all of them in one system call, so that what a search files in one turn
// of the event loop costs one write per file. Another program may replace the file meanwhile (a
// rewrite through a new file and a rename): lines written to the old one would be lost with it,
// so every write first checks that the path still names the open file and reopens it when not.
class LineAppender
{
public:
    explicit LineAppender(QString path = QString());

    QString path() const { return m_path; }
    // Lines still waiting are dropped with the old path.
    void setPath(const QString& path);

    void add(const QString& line);
    bool hasPending() const { return !m_pending.isEmpty(); }
    void dropPending() { m_pending.clear(); }
    // Writes the waiting lines: all of them or none (the file is cut back to where it ended); they
    // stop waiting either way. On failure the cause is the system's ("No space left on device").
    bool write(QString* cause = nullptr);
    // add() and write() in one.
    bool append(const QString& line, QString* cause = nullptr);
    void close() { m_file.close(); }

private:
    bool open(QString* cause);
    // The size of the open file when the path still names it; -1 when it was replaced or removed.
    qint64 sizeWhileNamed() const;

    QString m_path;
    QFile m_file;
    QByteArray m_pending;
    // Which file the path named when it was opened.
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

} // namespace brisquel
