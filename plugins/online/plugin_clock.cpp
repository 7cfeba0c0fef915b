#include "plugins/online/plugin_clock.h"

static time_t system_now()
{
    return time(nullptr);
}

static time_t (*g_source)() = system_now;

time_t plugin_clock_now()
{
    return g_source();
}

void plugin_clock_set_source(time_t (*source)())
{
    g_source = source ? source : system_now;
}
