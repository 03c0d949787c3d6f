#include "progress_printer.h"

#include <unistd.h>

namespace brisquel {

namespace {
constexpr qint64 TerminalIntervalMs = 200;
constexpr qint64 LogIntervalMs = 5000;
constexpr int BarWidth = 30;
// Back to the start of the line, and the line erased from there.
constexpr char EraseLine[] = "\r\033[K";
} // namespace

ProgressPrinter::ProgressPrinter(FILE* stream, bool terminal)
    : m_stream(stream)
    , m_terminal(terminal)
{
    m_clock.start();
}

bool ProgressPrinter::isTerminal(FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

bool ProgressPrinter::isDue() const
{
    return !m_finished && (m_lastDraw < 0 || m_clock.elapsed() - m_lastDraw >=
                                                 (m_terminal ? TerminalIntervalMs : LogIntervalMs));
}

void ProgressPrinter::update(const SearchProgress& progress, qint64 unanswered)
{
    if (isDue())
        draw(progress, unanswered);
}

void ProgressPrinter::draw(const SearchProgress& progress, qint64 unanswered)
{
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
        m_bar = QStringLiteral("[%1] %2").arg(bar, counts).toUtf8();
        std::fprintf(m_stream, "\r%s\033[K", m_bar.constData());
        m_shown = true;
    } else {
        std::fprintf(m_stream, "progress: %s\n", qPrintable(counts));
    }
    std::fflush(m_stream);
}

void ProgressPrinter::clear()
{
    if (!m_shown)
        return;
    std::fputs(EraseLine, m_stream);
    std::fflush(m_stream);
    m_shown = false;
}

void ProgressPrinter::restore()
{
    if (!m_terminal || m_shown || m_finished || m_bar.isEmpty())
        return;
    std::fprintf(m_stream, "%s\033[K", m_bar.constData());
    std::fflush(m_stream);
    m_shown = true;
}

void ProgressPrinter::finish(const SearchProgress& progress, qint64 unanswered)
{
    if (m_finished)
        return;
    // A log has had its lines; a terminal keeps the final count above what follows.
    if (m_terminal) {
        draw(progress, unanswered);
        std::fputs("\n", m_stream);
        std::fflush(m_stream);
    }
    m_shown = false;
    m_finished = true;
}

} // namespace brisquel
