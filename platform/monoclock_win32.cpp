#include "platform/monoclock.h"

#include <windows.h>

int64_t monoclock_ms()
{
    // Counts sleep and hibernation, and does not wrap after 49.7 days as
    // GetTickCount does.
    return static_cast<int64_t>(GetTickCount64());
}
