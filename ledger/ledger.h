// The one task ledger of the process: a table of task slots kept in name
// order, with at most one running task, the current one.
//
// Result codes: 1 (or an index of 0 or more for an addition) when done, 0 when
// there was nothing to do, -1 for an index out of range or a name not found,
// -2 for an empty slot, -3 when the current task could not be stopped.
//
// Indexes are slot indexes from 0 to ledger_slot_count() - 1. Slots can be
// empty; loops over indexes skip them. An index stays valid until the next
// addition, which may move tasks; a Plorvin pointer stays valid until the task
// is removed or the ledger is cleared.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ledger/task.h"

// Compares two names in the ledger's order: bytes as unsigned values after
// folding a-z to A-Z (nothing else is folded), a prefix first. Returns <0, 0
// or >0. Finding a task by name, unlike this order, is exact.
int ledger_compare_names(const char* a, const char* b);

// Adds a task, or finds the task of exactly that name (then `seconds` is
// ignored). An absent name counts as empty and gets the default name. Returns
// the index where the task now stands, or -1 when the table cannot grow (the
// ledger is then unchanged).
int32_t ledger_add_task(const char* name, int32_t seconds);

// Empties the ledger, then puts in `tasks`, which must have distinct names and
// no empty entry, in the order that adding them one by one with
// ledger_add_task would give. The ledger takes them over; `tasks` is left
// empty.
void ledger_replace_all(std::vector<std::unique_ptr<Plorvin>>& tasks);

// Returns the index of the task named exactly `name`, or -1 when there is
// none or the name is absent.
int32_t ledger_find_task(const char* name);

// Returns the task in the slot, borrowed, or nullptr for a bad index or an
// empty slot.
Plorvin* ledger_task_at(int32_t index);

// Destroys the task and empties its slot; stops nothing and leaves the current
// index alone. Returns 0, or -1 / -2.
int32_t ledger_remove_task(int32_t index);
int32_t ledger_remove_task_named(const char* name);

// Stops the current task, then starts this one and makes it current. Returns
// 1 when started; 0 when the task was already running without being current;
// -1, -2, or -3 when the current task exists but was not running.
int32_t ledger_start_task(int32_t index);
int32_t ledger_start_task_named(const char* name);

// Stops the task. Returns 1 if it was running (the current index becomes -1),
// 0 if it was not (the current index stays), or -1 / -2.
int32_t ledger_stop_task(int32_t index);
int32_t ledger_stop_current();
int32_t ledger_stop_task_named(const char* name);

// Sets the task's seconds (a negative value is ignored). Returns 1, or -1 / -2.
int32_t ledger_set_seconds(int32_t index, int32_t seconds);
int32_t ledger_set_seconds_named(const char* name, int32_t seconds);

// Sets the seconds to 0 and stops without counting the run. The current index
// is not changed: call ledger_forget_current() first for the current task.
// Returns 1, or -1 / -2.
int32_t ledger_reset_task(int32_t index);

// Resets every task; the current index is not changed.
void ledger_reset_all();

// Stops the current task and destroys every task and the table. Returns 0.
int32_t ledger_clear();

// Returns the sum of the live seconds of all tasks, saturated at INT32_MAX.
int32_t ledger_total_seconds();

// Returns the current index, -1 when no task is current.
int32_t ledger_current_index();
bool ledger_has_current();

// Sets the current index to -1 without stopping anything.
void ledger_forget_current();

int32_t ledger_slot_count();
int32_t ledger_task_count();
