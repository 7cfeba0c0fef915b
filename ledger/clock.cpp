#include "ledger/clock.h"

#include <chrono>

#include "platform/monoclock.h"

static int64_t system_wall_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

static const ClockSource SYSTEM_SOURCE = {system_wall_ms, monoclock_ms};

static const ClockSource* g_source = &SYSTEM_SOURCE;
// Added to the steady clock to line its seconds up with the wall clock's.
static int64_t g_offset_ms = 0;
static bool g_aligned = false;

// Whole seconds of a millisecond count, rounded down also before the epoch.
static int64_t floor_seconds(int64_t ms)
{
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

time_t clock_now()
{
    return static_cast<time_t>(floor_seconds(g_source->wall_ms()));
}

int64_t clock_run_seconds()
{
    int64_t steady = g_source->steady_ms();
    if (!g_aligned) {
        g_offset_ms = g_source->wall_ms() - steady;
        g_aligned = true;
    }
    return floor_seconds(steady + g_offset_ms);
}

void clock_set_source(const ClockSource* source)
{
    g_source = source ? source : &SYSTEM_SOURCE;
    g_aligned = false;
}
