#include "local_date.h"

#include "clock.h"

#include <chrono>

namespace brisquel {

QDate localToday()
{
    // A test's clock moves at the test's word, so its date is never held over.
    if (!Clock::isSystemClock())
        return Clock::currentDate();
    using Steady = std::chrono::steady_clock;
    thread_local QDate today;
    thread_local Steady::time_point lookAgain;
    const Steady::time_point now = Steady::now();
    if (!today.isValid() || now >= lookAgain) {
        today = Clock::currentDate();
        lookAgain = now + std::chrono::seconds(1);
    }
    return today;
}

} // namespace brisquel
