#pragma once

#include "engine/dispatch/search_progress.h"

#include <QString>

namespace brisquel {

// What a search that ended says about itself, in the status bar, the message log and the
// generator: "Search finished: 300 checked, 103 free, 190 taken, 7 unanswered", or for a search
// that was stopped "Stopped at entry 51 of 300: 50 checked, …", the entry being where it resumes.
QString searchEndText(const SearchProgress& progress, bool stopped);

} // namespace brisquel
