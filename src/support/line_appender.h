#pragma once

#include <QFile>
#include <QString>

namespace brisquel {

// Appends whole lines (CR LF) to one file kept open between lines. Another program may replace
// the file meanwhile (a rewrite through a new file and a rename): lines written to the old one
// would be lost with it, so every append first checks that the path still names the open file
// and reopens it when not.
class LineAppender
{
public:
    explicit LineAppender(QString path = QString());

    QString path() const { return m_path; }
    void setPath(const QString& path);

    // All of the line or nothing; on failure the cause is the system's ("No space left on device").
    bool append(const QString& line, QString* cause = nullptr);
    void close() { m_file.close(); }

private:
    bool open(QString* cause);
    bool stillNamesPath() const;

    QString m_path;
    QFile m_file;
};

} // namespace brisquel
