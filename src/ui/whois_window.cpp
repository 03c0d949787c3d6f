#include "whois_window.h"

#include "engine/whois_query.h"
#include "program_picture.h"
#include "widget_helpers.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace brisquel {

WhoisWindow::WhoisWindow(const QString& domain, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_domain(domain)
    , m_query(new WhoisQuery(this))
    , m_record(named(new QPlainTextEdit(this), "text1"))
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    m_record->setReadOnly(true);
    m_record->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Records are laid out in columns and long lines; wrapping would break the columns.
    m_record->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_record->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_record->setPlaceholderText(QStringLiteral("Asking about %1 …").arg(domain));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_record);
    setMinimumSize(240, 160);
    resize(680, 520);

    connect(m_query, &WhoisQuery::answered, m_record, &QPlainTextEdit::setPlainText);
    connect(m_query, &WhoisQuery::failed, m_record, &QPlainTextEdit::setPlainText);
}

void WhoisWindow::ask(const LookupRouter& router)
{
    m_query->start(m_domain, router);
}

} // namespace brisquel
