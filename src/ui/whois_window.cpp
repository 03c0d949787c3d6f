#include "whois_window.h"

#include "engine/search/whois_query.h"
#include "program_picture.h"
#include "widget_helpers.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace brisquel {

WhoisWindow::WhoisWindow(const QString& domain, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_domain(domain)
    , m_query(new WhoisQuery(this))
    , m_reading(named(new QLabel(this), "lblReading"))
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
    // Shown once an answer came; selectable, so that a date can be copied.
    m_reading->setTextFormat(Qt::PlainText);
    m_reading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_reading->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_reading);
    layout->addWidget(m_record);
    setMinimumSize(240, 160);
    resize(680, 520);

    connect(m_query, &WhoisQuery::answered, this, &WhoisWindow::showRecord);
    connect(m_query, &WhoisQuery::failed, m_record, &QPlainTextEdit::setPlainText);
}

QString WhoisWindow::readingText(Verdict verdict, const LifeCycle& lifeCycle)
{
    QString verdictText = verdictWord(verdict);
    verdictText[0] = verdictText.at(0).toUpper();
    if (!isTaken(verdict))
        return verdictText;
    const QString state = lifeCycle.state.isEmpty() ? QStringLiteral("no deletion state")
                          : lifeCycle.state == QLatin1String("expired")
                              ? QStringLiteral("past its expiry, no deletion state")
                              : QStringLiteral("state ") + lifeCycle.state;
    const QString expires = lifeCycle.expires.isValid()
                                ? QStringLiteral("expires ") + lifeCycle.expires.toString(Qt::ISODate)
                                : QStringLiteral("no expiry date read");
    return verdictText + QStringLiteral(" · ") + state + QStringLiteral(" · ") + expires;
}

void WhoisWindow::showRecord(const QString& text)
{
    const WhoisQuery::Reading& reading = m_query->reading();
    m_reading->setText(readingText(reading.verdict, reading.lifeCycle));
    m_reading->show();
    m_record->setPlainText(text);
}

void WhoisWindow::ask(const LookupRouter& router)
{
    m_query->start(m_domain, router);
}

} // namespace brisquel
