#include "search_summary.h"

namespace brisquel {

QString searchEndText(const SearchProgress& progress, bool stopped)
{
    const QString counts = QStringLiteral("%1 checked, %2 free, %3 taken, %4 unanswered")
                               .arg(progress.available + progress.taken + progress.unanswered)
                               .arg(progress.available)
                               .arg(progress.taken)
                               .arg(progress.unanswered);
    if (!stopped)
        return QStringLiteral("Search finished: ") + counts;
    return QStringLiteral("Stopped at entry %1 of %2: %3")
        .arg(progress.resumeEntry)
        .arg(progress.total)
        .arg(counts);
}

} // namespace brisquel
