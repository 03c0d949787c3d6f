#pragma once

#include <QList>
#include <QString>

namespace brisquel {

// "brisquel-cli: MESSAGE" on standard error.
void printError(const QString& message);

// "ORIGIN line N skipped: MESSAGE" for each line of a rules or limits file that did not load.
template <typename Problem>
void printSkippedLines(const QList<Problem>& problems)
{
    for (const Problem& problem : problems)
        printError(QStringLiteral("%1 line %2 skipped: %3")
                       .arg(problem.origin)
                       .arg(problem.lineNumber)
                       .arg(problem.message));
}

} // namespace brisquel
