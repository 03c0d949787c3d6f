#include "failure_queue.h"

#include "support/app_info.h"
#include "ui/message_box.h"

#include <QWidget>
#include <utility>

namespace brisquel {

FailureQueue::FailureQueue(QWidget* window)
    : QObject(window)
    , m_window(window)
{}

void FailureQueue::add(const QString& failure)
{
    m_pending.append(failure);
    if (m_pending.size() == 1 && !m_showing)
        QMetaObject::invokeMethod(this, &FailureQueue::showPending, Qt::QueuedConnection);
}

void FailureQueue::showPending()
{
    if (m_showing)
        return;
    m_showing = true;
    while (!m_pending.isEmpty()) {
        const QStringList failures = std::exchange(m_pending, {});
        MessageBox::warning(m_window, AppInfo::productTitle(), failures.join(QStringLiteral("\n\n")));
    }
    m_showing = false;
}

} // namespace brisquel
