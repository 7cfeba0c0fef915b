// A clock for measuring lengths of time: it never jumps when the user or the
// network changes the system time, and it counts the time the machine slept
// (a task left running over a sleep counted it with the wall clock too).
#pragma once

#include <cstdint>

// Returns milliseconds since an unspecified moment, never decreasing.
int64_t monoclock_ms();
