#include "message_log.h"

#include "support/clock.h"

#include <algorithm>

namespace brisquel {

MessageLog::MessageLog(QObject* parent)
    : QObject(parent)
{}

void MessageLog::append(const QString& text)
{
    m_entries.append({Clock::currentDateTime().time(), text});
    ++m_appended;
    if (m_entries.size() > Capacity)
        m_entries.remove(0, m_entries.size() - Capacity);
    Q_EMIT appended();
}

QList<MessageLog::Entry> MessageLog::entriesAfter(qint64 appendedCount) const
{
    const qint64 fresh = std::clamp<qint64>(m_appended - appendedCount, 0, m_entries.size());
    return m_entries.sliced(m_entries.size() - fresh);
}

QString MessageLog::line(const Entry& entry)
{
    return entry.time.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(' ') + entry.text;
}

} // namespace brisquel
