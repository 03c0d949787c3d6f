#include "message_log_window.h"

#include "message_log.h"
#include "widget_helpers.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace brisquel {

MessageLogWindow::MessageLogWindow(MessageLog* log, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_log(log)
    , m_text(named(new QPlainTextEdit(this), "txtMessages"))
    , m_batch(new QTimer(this))
{
    setObjectName(QStringLiteral("frmMessages"));
    setWindowTitle(QStringLiteral("Messages"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(MessageLog::Capacity);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_text);
    resize(640, 360);

    m_batch->setSingleShot(true);
    m_batch->setInterval(200);
    connect(m_batch, &QTimer::timeout, this, &MessageLogWindow::showNewEntries);
    connect(m_log, &MessageLog::appended, this, [this] {
        if (!m_batch->isActive())
            m_batch->start();
    });
    showNewEntries();
}

void MessageLogWindow::showNewEntries()
{
    const QList<MessageLog::Entry> entries = m_log->entriesAfter(m_shown);
    m_shown = m_log->appendedCount();
    if (entries.isEmpty())
        return;
    QStringList lines;
    lines.reserve(entries.size());
    for (const MessageLog::Entry& entry : entries)
        lines.append(MessageLog::line(entry));
    m_text->appendPlainText(lines.join(QLatin1Char('\n')));
}

} // namespace brisquel
