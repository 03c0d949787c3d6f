#pragma once

#include <QDateTime>

namespace brisquel {

// The one place the program reads the date and time of day, so that a test can set and move them
// (tests/tools/test_clock.h). Durations are measured with QElapsedTimer, which this clock leaves alone.
class Clock
{
public:
    static QDateTime currentDateTimeUtc();
    static QDateTime currentDateTime();
    static QDate currentDate();
    // False while a test's clock is installed: what caches the system's answers asks it directly then.
    static bool isSystemClock();

    virtual ~Clock();

protected:
    Clock() = default;
    Q_DISABLE_COPY_MOVE(Clock)

    virtual QDateTime nowUtc() const = 0;

    // Lookups on worker threads read the clock too: an installed clock must outlive every read.
    // nullptr puts the system's clock back.
    static void setInstance(const Clock* clock);
};

} // namespace brisquel
