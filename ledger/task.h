// One timed task: a name and a stopwatch that accumulates whole seconds.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

class Plorvin {
public:
    // Takes the next id of the process-wide task id counter. An absent or empty
    // name becomes the default name "tâche #<id in lower-case hex>"; seconds
    // below zero are stored as 0. The task starts stopped.
    Plorvin(const char* name, int32_t seconds);
    ~Plorvin();
    Plorvin(const Plorvin&) = delete;
    Plorvin& operator=(const Plorvin&) = delete;

    int32_t id;
    std::string name;  // never empty, never changed after creation
    int32_t seconds;   // closed runs; never negative
    // Run clock (clock_run_seconds) at which the current run began, 0 while
    // stopped. 64 bits, so that running and stopped tasks stay apart after
    // 2038.
    int64_t start;
};

// Returns the task's name, borrowed: valid as long as the task.
const char* task_name(const Plorvin* task);

// Returns a fresh heap copy of the name (new[]); the caller delete[]s it.
// Returns nullptr when memory runs out.
char* task_name_copy(const Plorvin* task);

// Returns the live seconds: the closed runs plus the current run, if any.
// Runs are measured on the run clock, so setting the system time forward or
// back neither adds nor takes seconds. A run never counts less than 0 and
// the sum saturates at INT32_MAX instead of wrapping.
int32_t task_elapsed(const Plorvin* task);

// Returns true while the task runs.
bool task_is_running(const Plorvin* task);

// Starts a run now. Returns false, changing nothing, if the task already runs.
bool task_start(Plorvin* task);

// Adds the current run to the seconds and stops. Returns false, changing
// nothing, if the task was not running.
bool task_stop(Plorvin* task);

// Sets the seconds to 0 and stops without counting the current run.
void task_reset(Plorvin* task);

// Sets the seconds to `value` if it is 0 or more; a running run goes on and
// is added to the new value when it stops. A negative value changes nothing.
void task_set_seconds(Plorvin* task, int32_t value);
