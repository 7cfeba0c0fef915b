#include "ledger/clock.h"

static time_t system_now()
{
    return time(nullptr);
}

static time_t (*g_source)() = system_now;

time_t clock_now()
{
    return g_source();
}

void clock_set_source(time_t (*source)())
{
    g_source = source ? source : system_now;
}
