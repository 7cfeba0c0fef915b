// The wall clock of the plug-in (for the date stamp of the requests), with a
// seam so tests can set the date.
#pragma once

#include <ctime>

// Returns the current time, from time() or the source a test installed.
time_t plugin_clock_now();

// Makes plugin_clock_now() call `source`; nullptr restores time().
void plugin_clock_set_source(time_t (*source)());
