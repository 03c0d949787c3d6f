#include "lookup_name.h"

#include "sources/domain_text.h"

#include <QStringView>
#include <QUrl>

namespace brisquel {

namespace {

constexpr qsizetype MaxDomainLength = 253;
constexpr qsizetype MaxLabelLength = 63;

bool isLabelCharacter(QChar c)
{
    if (c.unicode() < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
    // Scripts that write vowels as combining marks need those too.
    return c.isLetter() || c.isMark() || c.category() == QChar::Number_DecimalDigit;
}

bool isLabel(QStringView label)
{
    if (label.isEmpty() || label.size() > MaxLabelLength)
        return false;
    if (label.front() == u'-' || label.back() == u'-')
        return false;
    for (const QChar c : label) {
        if (!isLabelCharacter(c))
            return false;
    }
    return true;
}

} // namespace

QString lookupDomain(const QString& candidate, const QString& defaultExtension)
{
    // Lists exported from spreadsheets and names taken from pages often carry blanks at the ends.
    QString name = candidate.trimmed();
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString before = name.left(colon);
        // "example.com:43" names a host and a port; "whois:example.com" has a scheme-like prefix.
        if (before.contains(QLatin1Char('.')))
            name = before;
        else
            name = name.mid(colon + 1);
    }
    QString domain = correctName(urlDecode(name));
    if (!domain.isEmpty() && !domain.contains(QLatin1Char('.')))
        domain += defaultExtension;
    return domain;
}

bool isQueryableDomain(const QString& domain)
{
    if (domain.isEmpty() || domain.size() > MaxDomainLength)
        return false;
    qsizetype labels = 0;
    QStringView last;
    for (const QStringView label : QStringView(domain).split(u'.')) {
        if (!isLabel(label))
            return false;
        ++labels;
        last = label;
    }
    // An extension is never a number: "1.2.3.4" is an address, not a domain.
    return labels >= 2 && !last.front().isDigit();
}

QString queryDomain(const QString& domain)
{
    bool ascii = true;
    for (const QChar c : domain)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return domain;
    // Non-transitional, as registries and browsers now spell names: "straße" stays distinct
    // from "strasse".
    const QString ace = QString::fromLatin1(QUrl::toAce(domain));
    return isQueryableDomain(ace) ? ace : QString();
}

// An entry as it can be shown in one line of a message: control characters escaped, long ones cut.
QString quotedEntry(const QString& entry)
{
    constexpr qsizetype MaxQuotedEntry = 80;
    QString shown;
    for (const QChar c : entry.left(MaxQuotedEntry)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (entry.size() > MaxQuotedEntry)
        shown += QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

} // namespace brisquel
