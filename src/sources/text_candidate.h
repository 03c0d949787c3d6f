#pragma once

#include "sources/domain_text.h"
#include "sources/known_extensions.h"

#include <QString>
#include <optional>

namespace brisquel {

// The candidate domain name of a line that holds a known extension but is no link address:
// plain text, an e-mail address, or a link to an excluded host. The name is read backwards
// from the end of the first known extension to the nearest quote, "=", "<", ">", space or
// "http://". Yields nothing when the name is already in seenNames (the names found so far,
// each followed by a line break).
std::optional<QString> textCandidate(const QString& line, const QString& seenNames,
                                     const KnownExtensions& extensions);
std::optional<QString> textCandidate(const QString& line, const FoundNameTest& isSeen,
                                     const KnownExtensions& extensions);

} // namespace brisquel
