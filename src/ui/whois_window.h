#pragma once

#include "engine/judging/life_cycle.h"
#include "engine/judging/verdict.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace brisquel {

class LookupRouter;
class WhoisQuery;

// The WHOIS window: the full WHOIS record of one name, as the server sent it, and above it what a
// search reads from it (the verdict, the deletion state and the expiry date). Each opening is one
// fresh query; the record is plain text, never read as markup.
class WhoisWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WhoisWindow(const QString& domain, QWidget* parent = nullptr);

    QString domain() const { return m_domain; }
    // For tests: a shorter time limit before ask().
    WhoisQuery* query() const { return m_query; }
    // Asks the server of the name's extension; the answer or the reason for none fills the window.
    void ask(const LookupRouter& router);

    // "Registered · state pendingDelete · expires 2025-03-09": the reading line for an answer.
    static QString readingText(Verdict verdict, const LifeCycle& lifeCycle);

private:
    void showRecord(const QString& text);

    QString m_domain;
    WhoisQuery* m_query;
    QLabel* m_reading;
    QPlainTextEdit* m_record;
};

} // namespace brisquel
