// The wall clock the ledger reads: whole seconds of the C library's time().
// Tests and benchmarks replace the source to run the clock by hand.
#pragma once

#include <ctime>

// Returns the current clock value in whole seconds.
time_t clock_now();

// Makes clock_now() call `source` from now on; nullptr restores time().
void clock_set_source(time_t (*source)());
