#pragma once

#include <QString>

namespace brisquel {

// What the prose of an answer says, beyond what a rule's words match: the rules that call a name
// free are not believed on a line that says the opposite or speaks of something else.

// The line of `text` that holds `position`, without its line end.
QString lineAt(const QString& text, qsizetype position);
// "not available", "no longer available", "unavailable", "not free": the name is *not* free.
bool deniesAvailability(const QString& line);
// "server not found", "no records for that zone": missing is something other than the name.
bool speaksOfAnotherSubject(const QString& line);

} // namespace brisquel
