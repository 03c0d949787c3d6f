#include "answer_prose.h"

#include <QRegularExpression>

namespace brisquel {

namespace {

// A line that says a name is *not* available never counts as saying that it is.
const QRegularExpression& negation()
{
    static const QRegularExpression pattern(
        QStringLiteral("\\b(not|n't|no\\s+longer)\\s+(be\\s+|currently\\s+)?available\\b|\\bunavailable\\b|"
                       "\\bnot\\s+free\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// Lines that say something other than the name is missing: "server not found", "no records for
// that zone".
const QRegularExpression& otherSubject()
{
    static const QRegularExpression pattern(
        QStringLiteral(
            "\\b(server|host|service|page|file|command|resource|tld|zone|extension|method|user|"
            "account|handler|url|path|endpoint|backend|table|script|module|configuration|config|"
            "certificate|route)\\s+(was\\s+|is\\s+)?(not\\s*found|does\\s+not\\s+exist)|"
            "\\b(for|in)\\s+(that|this|the\\s+given)\\s+(zone|tld|extension)\\b|"
            "\\b(whois\\s+server|server|host)\\b.{0,40}\\b(could\\s+not\\s+be\\s+found|not\\s*found)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

} // namespace

QString lineAt(const QString& text, qsizetype position)
{
    // From -1 lastIndexOf() would search from the end: a match at the start is on the first line.
    const qsizetype begin = position > 0 ? text.lastIndexOf(QLatin1Char('\n'), position - 1) + 1 : 0;
    qsizetype end = text.indexOf(QLatin1Char('\n'), position);
    if (end < 0)
        end = text.size();
    return text.mid(begin, end - begin);
}

bool deniesAvailability(const QString& line)
{
    return negation().match(line).hasMatch();
}

bool speaksOfAnotherSubject(const QString& line)
{
    return otherSubject().match(line).hasMatch();
}

} // namespace brisquel
