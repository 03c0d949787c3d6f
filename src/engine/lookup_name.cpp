#include "lookup_name.h"

#include "sources/domain_text.h"

namespace brisquel {

namespace {
constexpr qsizetype MaxDomainLength = 253;
}

QString lookupDomain(const QString& candidate, const QString& defaultExtension)
{
    QString name = candidate;
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
    for (const QChar c : domain) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7F || c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace brisquel
