#pragma once

#include <QWidget>

class QPlainTextEdit;
class QTimer;

namespace brisquel {

class MessageLog;

// The message log window: the log, read-only, to read and copy from. New entries are added in
// batches: a search can report thousands of skipped entries a second.
class MessageLogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MessageLogWindow(MessageLog* log, QWidget* parent = nullptr);

private:
    void showNewEntries();

    MessageLog* m_log;
    QPlainTextEdit* m_text;
    QTimer* m_batch;
    qint64 m_shown = 0;
};

} // namespace brisquel
