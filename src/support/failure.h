#pragma once

#include <QString>

namespace brisquel {

// For functions that say why through an optional QString*: sets it when the caller asked, and
// returns false, so that a failed check ends in one statement.
inline bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace brisquel
