#include "platform/monoclock.h"

#include <ctime>

int64_t monoclock_ms()
{
    timespec now{};
#ifdef CLOCK_BOOTTIME
    // Unlike CLOCK_MONOTONIC, it goes on while the machine is suspended.
    clock_gettime(CLOCK_BOOTTIME, &now);
#else
    clock_gettime(CLOCK_MONOTONIC, &now);
#endif
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
