#include "ledger/task.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "ledger/clock.h"

// Counts every Task ever created in the process; never reset, so every Task
// has its own id and default name.
static int32_t g_next_task_id = 0;

static std::string default_name(int32_t id)
{
    char text[32];
    snprintf(text, sizeof text, "%s#%x", "tâche ", static_cast<unsigned>(id));
    return text;
}

Plorvin::Plorvin(const char* name_, int32_t seconds_)
    : id(g_next_task_id++),
      name(name_ && *name_ ? std::string(name_) : default_name(id)),
      seconds(seconds_ > 0 ? seconds_ : 0),
      start(0)
{
}

Plorvin::~Plorvin() = default;

// Length of the current run. The run clock never goes back; a run that
// still came out negative (a clock source replaced meanwhile) counts as 0.
static int64_t current_run(const Plorvin* task)
{
    if (task->start < 1)
        return 0;
    int64_t run = clock_run_seconds() - task->start;
    return run > 0 ? run : 0;
}

static int32_t saturated_sum(int32_t seconds, int64_t run)
{
    int64_t sum = static_cast<int64_t>(seconds) + run;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

const char* task_name(const Plorvin* task)
{
    return task->name.c_str();
}

char* task_name_copy(const Plorvin* task)
{
    char* copy = new (std::nothrow) char[task->name.size() + 1];
    if (copy)
        memcpy(copy, task->name.c_str(), task->name.size() + 1);
    return copy;
}

int32_t task_elapsed(const Plorvin* task)
{
    return saturated_sum(task->seconds, current_run(task));
}

bool task_is_running(const Plorvin* task)
{
    return task->start >= 1;
}

bool task_start(Plorvin* task)
{
    if (task_is_running(task))
        return false;
    int64_t now = clock_run_seconds();
    // start >= 1 is what marks a running task; a clock at or before the epoch
    // must still start it.
    task->start = now >= 1 ? now : 1;
    return true;
}

bool task_stop(Plorvin* task)
{
    if (!task_is_running(task))
        return false;
    task->seconds = saturated_sum(task->seconds, current_run(task));
    task->start = 0;
    return true;
}

void task_reset(Plorvin* task)
{
    task->seconds = 0;
    task->start = 0;
}

void task_set_seconds(Plorvin* task, int32_t value)
{
    if (value >= 0)
        task->seconds = value;
}
