#pragma once

#include <QString>

namespace brisquel {

// Turns a list entry into the domain to look up: trims blanks at both ends, drops a scheme-like
// prefix ("whois:"), keeps the host of "host:port", decodes, cleans, and appends the default
// extension to a bare word. Empty when nothing usable remains.
QString lookupDomain(const QString& candidate, const QString& defaultExtension);

// A domain fit to be sent as a query line: a host name of at least two labels (a name and its
// extension), each of letters (of any script), digits and inner hyphens, at most 63 characters
// a label and 253 in all. Nothing else can smuggle extra lines or text into the query.
bool isQueryableDomain(const QString& domain);

// The form a registry is asked in: the domain itself when it is ASCII, else its ACE form
// ("xn--caf-dma.com"). Empty when a name with letters outside ASCII has no valid ACE form.
QString queryDomain(const QString& domain);

// An entry as it can be shown in one line of a message: quoted, control characters escaped, a
// long one cut.
QString quotedEntry(const QString& entry);

} // namespace brisquel
