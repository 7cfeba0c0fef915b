// The task manager's logic: the list, the times, the selection, and the
// buttons, which run the shared task actions.
#include "shell/taskmanager.h"

#include <cstring>

#include "ledger/ledger.h"
#include "shell/actions.h"
#include "shell/duration.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"

static const char RUNNING_MARK[] = " [En Cours]";
static const size_t ITEM_MAX = 511;

int OpenTaskManager(void*, void* window, unsigned, uintptr_t, intptr_t, int)
{
    if (g_shell.busy || g_shell.task_manager_open)
        return -1;
    g_shell.busy = 1;
    g_shell.task_manager_open = 1;
    g_window->run_task_manager_dialog(window);
    g_shell.busy = 0;
    g_shell.task_manager_open = 0;
    return 0;
}

void taskmanager_refresh_list(TaskManagerView& view)
{
    view.task_buttons = false;
    view.task_time.clear();
    view.selected.clear();
    g_shell.task_manager_selection = -1;
    view.items.clear();
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        if (const Plorvin* task = ledger_task_at(i)) {
            std::string item = task_name(task);
            if (task_is_running(task))
                item += RUNNING_MARK;
            if (item.size() > ITEM_MAX)
                item.resize(ITEM_MAX);
            view.items.push_back(std::move(item));
        }
    }
    ++view.list_version;
}

// The slot of the selected task now, -1 when none is selected or it is gone.
static int32_t selection_now(const TaskManagerView& view)
{
    int32_t selection = view.selected.empty() ? -1 : ledger_find_task(view.selected.c_str());
    g_shell.task_manager_selection = selection;
    return selection;
}

// The slot of the selected task for an action on it, -1 when nothing is
// selected. When the task went away since it was selected, -1 too, and the
// list shows what the ledger holds now.
static int32_t selection_for_action(TaskManagerView& view)
{
    int32_t selection = selection_now(view);
    if (selection < 0 && !view.selected.empty())
        taskmanager_refresh_list(view);
    return selection;
}

void taskmanager_refresh_times(TaskManagerView& view)
{
    int32_t selection = selection_now(view);
    if (selection >= 0 && selection == ledger_current_index())
        view.task_time = duration_text(task_elapsed(ledger_task_at(selection)));
    view.total_time = duration_text(ledger_total_seconds());
}

void taskmanager_timer(TaskManagerView& view)
{
    if (ledger_has_current())
        taskmanager_refresh_times(view);
}

void taskmanager_select(TaskManagerView& view, const char* item_text)
{
    std::string name = item_text;
    size_t mark = name.find(RUNNING_MARK);
    if (mark != std::string::npos)
        name.resize(mark);
    g_shell.task_manager_selection = ledger_find_task(name.c_str());
    view.selected.clear();
    if (const Plorvin* task = ledger_task_at(g_shell.task_manager_selection)) {
        view.selected = name;
        view.task_time = duration_text(task_elapsed(task));
    }
    view.task_buttons = true;
}

void taskmanager_toggle(TaskManagerView& view)
{
    int32_t selection = selection_for_action(view);
    // The buttons are usable only after a selection, but a double click can
    // come without one; with nothing selected there is nothing to toggle.
    if (selection < 0)
        return;
    if (selection == ledger_current_index())
        action_stop_current(false);
    else
        action_start(selection, false);
    taskmanager_refresh_list(view);
}

void taskmanager_add(TaskManagerView& view, void* dialog)
{
    action_add(dialog);
    taskmanager_refresh_list(view);
}

void taskmanager_reset(TaskManagerView& view, void* dialog)
{
    int32_t selection = selection_for_action(view);
    if (selection < 0 || !action_reset(selection, dialog))
        return;
    taskmanager_refresh_list(view);
    taskmanager_refresh_times(view);
}

void taskmanager_delete(TaskManagerView& view, void* dialog)
{
    int32_t selection = selection_for_action(view);
    if (selection < 0 || !action_remove(selection, dialog))
        return;
    taskmanager_refresh_list(view);
    taskmanager_refresh_times(view);
}

void taskmanager_command(TaskManagerView& view, int control, int notification, const char* item_text,
                         void* dialog)
{
    shell_guard([&] {
        switch (control) {
        case IDC_TM_LIST:
            if (notification == TASKMANAGER_SELECTION_CHANGED)
                taskmanager_select(view, item_text ? item_text : "");
            else if (notification == TASKMANAGER_DOUBLE_CLICK)
                taskmanager_toggle(view);
            break;
        case IDC_TM_ADD:
            taskmanager_add(view, dialog);
            break;
        case IDC_TM_TOGGLE:
            taskmanager_toggle(view);
            break;
        case IDC_TM_RESET:
            taskmanager_reset(view, dialog);
            break;
        case IDC_TM_DELETE:
            taskmanager_delete(view, dialog);
            break;
        }
    });
}

void taskmanager_open(TaskManagerView& view)
{
    shell_guard([&] {
        taskmanager_refresh_list(view);
        taskmanager_refresh_times(view);
    });
}

void taskmanager_tick(TaskManagerView& view)
{
    shell_guard([&] { taskmanager_timer(view); });
}
