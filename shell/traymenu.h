// What the tray menu shows of the ledger, taken when the menu opens.
#pragma once

#include <string>
#include <vector>

struct TrayMenuTask {
    unsigned id;          // 11002 + slot index, up to 11999 (slot 997)
    std::string name;     // the task's name
    std::string label;    // "name - [<h>h <m>m <s>s]", at most 511 characters
    bool checked;         // the task runs
    bool column_break;    // starts a new column (every 20th slot)
};

struct TrayMenuPlan {
    std::vector<TrayMenuTask> tasks;
    bool no_slots = true;        // no slot at all: the placeholder is greyed, not removed
    bool stop_enabled = false;   // a task is current
    bool tasks_enabled = false;  // at least one task: reset all and the report
};

// Returns the menu's view of the ledger now. Throws std::bad_alloc.
TrayMenuPlan traymenu_plan();

// The command that item `id` of the menu shown from `plan` stands for now. A
// task's item follows its task, which may have moved while the menu was up (a
// timer tick in the menu's message loop may restart the plug-in, which may
// add tasks): its id in the ledger now, or 0 (nothing) when the task is gone
// or stands beyond the menu's ids. Any other id stays as it is.
unsigned traymenu_command_now(const TrayMenuPlan& plan, unsigned id);
