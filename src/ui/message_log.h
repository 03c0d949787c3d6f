#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTime>

namespace brisquel {

// Every notice, warning and skipped entry since the program started, with the time it came.
// Only the latest entries are kept: a broken list can name millions of skipped entries.
class MessageLog : public QObject
{
    Q_OBJECT
public:
    struct Entry
    {
        QTime time;
        QString text;
    };
    static constexpr int Capacity = 10000;

    explicit MessageLog(QObject* parent = nullptr);

    void append(const QString& text);
    // Oldest first.
    const QList<Entry>& entries() const { return m_entries; }
    // Entries ever appended, dropped ones included.
    qint64 appendedCount() const { return m_appended; }
    // The kept entries appended after the first `appendedCount` ones, so that a view can take
    // only what is new.
    QList<Entry> entriesAfter(qint64 appendedCount) const;

    // "hh:mm:ss text"
    static QString line(const Entry& entry);

Q_SIGNALS:
    void appended();

private:
    QList<Entry> m_entries;
    qint64 m_appended = 0;
};

} // namespace brisquel
