// Clocks the test sets by hand, installed for the lifetime of the object:
// time passes with advance(); jump() only changes the system time, as a user
// setting the clock or a time server does.
#pragma once

#include <cstdint>
#include <ctime>

#include "ledger/clock.h"

struct ManualClock {
    explicit ManualClock(time_t start)
    {
        now() = start;
        steady() = 0;
        clock_set_source(&SOURCE);
    }
    ~ManualClock() { clock_set_source(nullptr); }
    // The wall clock reads `value`; as much time passed as it moved.
    void set(time_t value) { advance(value - now()); }
    void advance(time_t seconds)
    {
        now() += seconds;
        steady() += seconds;
    }
    void jump(time_t seconds) { now() += seconds; }

    // The wall clock, in seconds.
    static time_t& now()
    {
        static time_t value = 0;
        return value;
    }
    static int64_t& steady()
    {
        static int64_t value = 0;
        return value;
    }
    static int64_t wall_ms() { return static_cast<int64_t>(now()) * 1000; }
    static int64_t steady_ms() { return steady() * 1000; }
    static constexpr ClockSource SOURCE = {wall_ms, steady_ms};
};
