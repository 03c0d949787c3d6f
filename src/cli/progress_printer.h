#pragma once

#include "engine/search_progress.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace brisquel {

// Search progress on standard error: a bar redrawn in place on a terminal, an occasional plain
// line otherwise (logs stay readable).
class ProgressPrinter
{
public:
    explicit ProgressPrinter(FILE* stream);

    // Whether a line is due: the progress is worth asking for only then.
    bool isDue() const;
    void update(const SearchProgress& progress, qint64 unanswered);
    void finish();
    double elapsedSeconds() const { return m_clock.elapsed() / 1000.0; }

private:
    FILE* m_stream;
    bool m_terminal;
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1;
    bool m_drawn = false;
};

} // namespace brisquel
