#include "message_log_window.h"

#include "message_log.h"
#include "widget_helpers.h"

#include <QPlainTextEdit>
#include <QTextOption>
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
    // A long message is read whole without scrolling sideways; a path or an address without blanks
    // breaks where it must.
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_text->setMaximumBlockCount(MessageLog::Capacity);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_text);
    resize(640, 360);
    // Narrower, wrapped lines would be a word a line; the title stays readable.
    setMinimumSize(320, 160);

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
