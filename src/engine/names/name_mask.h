#pragma once

#include <QString>
#include <QStringView>

namespace brisquel {

// A neutral stand-in for a domain name in an answer: no rule or word list knows its letters, and
// its dot keeps it looking like a name to rules that expect one ("Domain X is available").
inline constexpr QLatin1StringView NameToken("qqqqq.qq");

// `text` with the queried name replaced by NameToken wherever the answer repeats it: in its ASCII
// (ACE) or Unicode form, in any case, with its extension, and its first label alone where quoted.
// A name is the user's word, not the registry's: none of its words may make a verdict.
QString maskQueriedName(const QString& text, const QString& queriedName);

// `sentence` with every domain-like token (labels of letters, digits and hyphens joined by dots,
// the last one two characters or more with a letter; not a web address "www.example.net") replaced
// by NameToken; a null string when it holds none.
QString maskDomainLikeTokens(QStringView sentence);

} // namespace brisquel
