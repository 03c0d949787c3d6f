#include "whois_window.h"

#include "engine/whois_query.h"
#include "program_picture.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace brisquel {

WhoisWindow::WhoisWindow(const QString& domain, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_domain(domain)
    , m_query(new WhoisQuery(this))
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    text1 = new QPlainTextEdit(this);
    text1->setObjectName(QStringLiteral("text1"));
    text1->setReadOnly(true);
    text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Records are laid out in columns and long lines; wrapping would break the columns.
    text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text1->setPlaceholderText(QStringLiteral("Asking about %1 …").arg(domain));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(text1);
    setMinimumSize(240, 160);
    resize(680, 520);

    connect(m_query, &WhoisQuery::answered, text1, &QPlainTextEdit::setPlainText);
    connect(m_query, &WhoisQuery::failed, text1, &QPlainTextEdit::setPlainText);
}

void WhoisWindow::ask(const LookupRouter& router)
{
    m_query->start(m_domain, router);
}

} // namespace brisquel
