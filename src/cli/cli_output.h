#pragma once

#include "cli/exit_code.h"

#include <QIODevice>
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

// Standard output for results, which may be a script's only record of them: every write is
// flushed at once, and the first failure is kept so that the command stops and says why.
class StandardOutput : public QIODevice
{
public:
    StandardOutput();

    // False when the bytes did not all reach the system; later writes are dropped.
    bool print(const QByteArray& bytes);
    bool print(const QString& text) { return print(text.toUtf8()); }
    bool isSequential() const override { return true; }

    bool failed() const { return m_errno != 0; }
    // The exit status for the failure: OutputClosed without a word when the reader went away (as
    // other tools end in a pipeline), else NotWritten after saying why on standard error.
    ExitCode reportFailure() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    int m_errno = 0;
};

} // namespace brisquel
