#pragma once

#include "engine/dispatch/search_progress.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace brisquel {

// Search progress on standard error: a bar redrawn in place on a terminal, an occasional plain
// line otherwise (logs stay readable). On a terminal every other line written there (a result, a
// message) first takes the bar away, and the bar comes back below it; at the end it shows the
// final count on a line of its own.
class ProgressPrinter
{
public:
    // `terminal`: `stream` is one, and gets the bar.
    ProgressPrinter(FILE* stream, bool terminal);
    static bool isTerminal(FILE* stream);

    bool isTerminal() const { return m_terminal; }
    // Whether a line is due: the progress is worth asking for only then.
    bool isDue() const;
    void update(const SearchProgress& progress, qint64 unanswered);
    // Takes the bar off its line, so that something else may be written there; restore() or the
    // next update() draws it again.
    void clear();
    void restore();
    // The last state, drawn whether due or not, and its line ended; nothing is drawn after it.
    void finish(const SearchProgress& progress, qint64 unanswered);
    double elapsedSeconds() const { return m_clock.elapsed() / 1000.0; }

private:
    void draw(const SearchProgress& progress, qint64 unanswered);

    FILE* m_stream;
    bool m_terminal;
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1;
    QByteArray m_bar; // the last bar drawn
    bool m_shown = false;
    bool m_finished = false;
};

} // namespace brisquel
