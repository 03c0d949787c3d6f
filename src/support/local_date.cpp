#include "local_date.h"

#include <chrono>

namespace brisquel {

QDate localToday()
{
    using Clock = std::chrono::steady_clock;
    thread_local QDate today;
    thread_local Clock::time_point lookAgain;
    const Clock::time_point now = Clock::now();
    if (!today.isValid() || now >= lookAgain) {
        today = QDate::currentDate();
        lookAgain = now + std::chrono::seconds(1);
    }
    return today;
}

} // namespace brisquel
