// What the tray menu shows of the ledger, taken when the menu opens.
#pragma once

#include <string>
#include <vector>

struct TrayMenuTask {
    unsigned id;          // 11002 + slot index, up to 11999 (slot 997)
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
