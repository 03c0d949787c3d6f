#include "clock.h"

#include <atomic>

namespace brisquel {

namespace {

std::atomic<const Clock*> installed{nullptr};

} // namespace

QDateTime Clock::currentDateTimeUtc()
{
    const Clock* clock = installed.load(std::memory_order_acquire);
    return clock ? clock->nowUtc() : QDateTime::currentDateTimeUtc();
}

QDateTime Clock::currentDateTime()
{
    const Clock* clock = installed.load(std::memory_order_acquire);
    return clock ? clock->nowUtc().toLocalTime() : QDateTime::currentDateTime();
}

QDate Clock::currentDate()
{
    return currentDateTime().date();
}

bool Clock::isSystemClock()
{
    return installed.load(std::memory_order_acquire) == nullptr;
}

Clock::~Clock() = default;

void Clock::setInstance(const Clock* clock)
{
    installed.store(clock, std::memory_order_release);
}

} // namespace brisquel
