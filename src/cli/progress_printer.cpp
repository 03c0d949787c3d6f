#include "progress_printer.h"

#include <unistd.h>

namespace brisquel {

namespace {
constexpr qint64 TerminalIntervalMs = 200;
constexpr qint64 LogIntervalMs = 5000;
constexpr int BarWidth = 30;
} // namespace

ProgressPrinter::ProgressPrinter(FILE* stream)
    : m_stream(stream)
    , m_terminal(::isatty(::fileno(stream)) == 1)
{
    m_clock.start();
}

bool ProgressPrinter::isDue() const
{
    return m_lastDraw < 0 ||
           m_clock.elapsed() - m_lastDraw >= (m_terminal ? TerminalIntervalMs : LogIntervalMs);
}

void ProgressPrinter::update(const SearchProgress& progress, qint64 unanswered)
{
    if (!isDue())
        return;
    const qint64 now = m_clock.elapsed();
    m_lastDraw = now;
    // This run's part of the list: the entries from the start number on.
    const qint64 done = progress.settledThisRun();
    const qint64 total = std::max<qint64>(0, progress.total - (progress.startEntry - 1));
    const qint64 open = progress.inFlight;
    const double rate = now > 0 ? done * 1000.0 / now : 0.0;
    const QString counts = QStringLiteral("%1/%2  %3/s  open %4  unanswered %5")
                               .arg(done)
                               .arg(total)
                               .arg(qRound64(rate))
                               .arg(open)
                               .arg(unanswered);
    if (m_terminal) {
        const int filled = total > 0 ? int(std::min<qint64>(BarWidth, done * BarWidth / total)) : 0;
        const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('.'));
        std::fprintf(m_stream, "\r[%s] %s\033[K", qPrintable(bar), qPrintable(counts));
        m_drawn = true;
    } else {
        std::fprintf(m_stream, "progress: %s\n", qPrintable(counts));
    }
    std::fflush(m_stream);
}

void ProgressPrinter::finish()
{
    // A line of its own after the bar; the next update draws a new bar.
    if (m_terminal && m_drawn)
        std::fprintf(m_stream, "\n");
    m_drawn = false;
    std::fflush(m_stream);
}

} // namespace brisquel
