#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace brisquel {

class LookupRouter;
class WhoisQuery;

// The WHOIS window: the full WHOIS record of one name, as the server sent it. Each opening is one fresh
// query; the record is plain text, never read as markup.
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

private:
    QString m_domain;
    WhoisQuery* m_query;
    QPlainTextEdit* m_record;
};

} // namespace brisquel
