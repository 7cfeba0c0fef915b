// The two clocks the ledger reads. The wall clock dates things (the report);
// the run clock measures runs, and no change of the system time moves it.
// Tests and benchmarks replace both sources to run the clocks by hand.
#pragma once

#include <cstdint>
#include <ctime>

// Returns the wall clock in whole seconds since the epoch.
time_t clock_now();

// Returns the run clock in whole seconds. It never goes back, and its
// seconds begin with the wall clock's as they stood at its first reading, so
// that a run counts the seconds the wall clock would while nobody sets it.
int64_t clock_run_seconds();

// The sources of the two clocks, in milliseconds: the wall clock since the
// epoch, and a clock that never jumps (platform/monoclock.h).
struct ClockSource {
    int64_t (*wall_ms)();
    int64_t (*steady_ms)();
};

// Makes the clocks read `source` from now on; nullptr restores the system's.
// `source` is borrowed and must outlive its use. The run clock lines up with
// the wall clock again at its next reading.
void clock_set_source(const ClockSource* source);
