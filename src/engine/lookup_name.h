#pragma once

#include <QString>

namespace brisquel {

// Turns a list entry into the domain to look up: drops a scheme-like prefix ("whois:"),
// keeps the host of "host:port", decodes, cleans, and appends the default extension to a
// bare word. Empty when nothing usable remains.
QString lookupDomain(const QString& candidate, const QString& defaultExtension);

// A domain fit to be sent as a query line: not empty, not absurdly long, no blanks or
// control characters (which could smuggle extra lines into the query).
bool isQueryableDomain(const QString& domain);

} // namespace brisquel
