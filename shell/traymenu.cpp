// The tray menu's view of the ledger, and its task items' ids.
#include "shell/traymenu.h"

#include <algorithm>

#include "ledger/ledger.h"
#include "shell/duration.h"
#include "shell/resource.h"

static const size_t LABEL_MAX = 511;

TrayMenuPlan traymenu_plan()
{
    TrayMenuPlan plan;
    // A task's item id is 11002 + its slot; from slot 998 on the ids would be
    // those of the menu's own commands (12000 stop, 13000 reset all, 14000
    // the report, 15000 quit), so those tasks are left to the task manager.
    int32_t shown = std::min<int32_t>(ledger_slot_count(), IDC_TASK_LAST - IDC_TASK_FIRST + 1);
    for (int32_t i = 0; i < shown; ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (!task)
            continue;
        std::string label = task_name(task);
        label += " - [" + duration_text(task_elapsed(task)) + "]";
        if (label.size() > LABEL_MAX)
            label.resize(LABEL_MAX);
        plan.tasks.push_back({IDC_TASK_FIRST + static_cast<unsigned>(i), task_name(task), std::move(label),
                              task_is_running(task), (i + 1) % 20 == 0});
    }
    plan.no_slots = ledger_slot_count() == 0;
    plan.stop_enabled = ledger_has_current();
    plan.tasks_enabled = ledger_task_count() >= 1;
    return plan;
}

unsigned traymenu_command_now(const TrayMenuPlan& plan, unsigned id)
{
    for (const TrayMenuTask& task : plan.tasks) {
        if (task.id != id)
            continue;
        int32_t index = ledger_find_task(task.name.c_str());
        if (index < 0 || index > IDC_TASK_LAST - IDC_TASK_FIRST)
            return 0;
        return IDC_TASK_FIRST + static_cast<unsigned>(index);
    }
    return id;
}
