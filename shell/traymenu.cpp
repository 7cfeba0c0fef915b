#include "shell/traymenu.h"

#include "ledger/ledger.h"
#include "shell/duration.h"
#include "shell/resource.h"

static const size_t LABEL_MAX = 511;

TrayMenuPlan traymenu_plan()
{
    TrayMenuPlan plan;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (!task)
            continue;
        std::string label = task_name(task);
        label += " - [" + duration_text(task_elapsed(task)) + "]";
        if (label.size() > LABEL_MAX)
            label.resize(LABEL_MAX);
        plan.tasks.push_back({IDC_TASK_FIRST + static_cast<unsigned>(i), std::move(label),
                              task_is_running(task), (i + 1) % 20 == 0});
    }
    plan.no_slots = ledger_slot_count() == 0;
    plan.stop_enabled = ledger_has_current();
    plan.tasks_enabled = ledger_task_count() >= 1;
    return plan;
}
