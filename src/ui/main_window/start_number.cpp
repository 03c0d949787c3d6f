#include "start_number.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace brisquel {

StartNumberGuard::StartNumberGuard(QLineEdit* startNumber, QLineEdit* entryCount, QObject* parent)
    : QObject(parent)
    , m_startNumber(startNumber)
    , m_entryCount(entryCount)
{
    connect(m_startNumber, &QLineEdit::textChanged, this, &StartNumberGuard::check);
    connect(m_startNumber, &QLineEdit::editingFinished, this, &StartNumberGuard::refusePastEnd);
}

void StartNumberGuard::set(const QString& number)
{
    // One past the end is where a finished list was saved: it starts over.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const qlonglong start = number.trimmed().toLongLong(&startIsNumber);
    const qlonglong count = m_entryCount->text().trimmed().toLongLong(&countIsNumber);
    m_validStartNumber = startIsNumber && countIsNumber && start > count ? QStringLiteral("1") : number;
    m_setting = true;
    m_startNumber->setText(m_validStartNumber);
    m_setting = false;
}

bool StartNumberGuard::pastEnd(qlonglong* count) const
{
    // The last entry is a start like any other: it is looked up even without a line end after it.
    // Text that is not a number is left for Start to report.
    bool startIsNumber = false;
    bool countIsNumber = false;
    const qlonglong start = m_startNumber->text().trimmed().toLongLong(&startIsNumber);
    *count = m_entryCount->text().trimmed().toLongLong(&countIsNumber);
    return startIsNumber && countIsNumber && start > *count;
}

void StartNumberGuard::check()
{
    if (m_setting)
        return;
    // While typing, "50" passes through "5": nothing is taken or refused before the number is whole.
    qlonglong count = 0;
    const bool past = pastEnd(&count);
    m_startNumber->setToolTip(past ? QStringLiteral("Past the end of the list (%1 entries)").arg(count)
                                   : QString());
}

bool StartNumberGuard::refusePastEnd()
{
    qlonglong count = 0;
    if (!pastEnd(&count)) {
        m_validStartNumber = m_startNumber->text();
        return false;
    }
    // A typo must not lose the place: the number is refused and the last good one stays.
    const QString typed = m_startNumber->text().trimmed();
    const QSignalBlocker quiet(m_startNumber);
    m_startNumber->setText(m_validStartNumber);
    m_startNumber->setToolTip(QString());
    Q_EMIT refused(QStringLiteral("Start Number %1 is past the end of the list (%2 entries); it stays at %3.")
                       .arg(typed)
                       .arg(count)
                       .arg(m_validStartNumber));
    return true;
}

} // namespace brisquel
