// A clock the test sets by hand, installed for the lifetime of the object.
#pragma once

#include <ctime>

#include "ledger/clock.h"

struct ManualClock {
    explicit ManualClock(time_t start) { now() = start; clock_set_source(read); }
    ~ManualClock() { clock_set_source(nullptr); }
    void set(time_t value) { now() = value; }
    void advance(time_t seconds) { now() += seconds; }

    static time_t& now()
    {
        static time_t value = 0;
        return value;
    }
    static time_t read() { return now(); }
};
