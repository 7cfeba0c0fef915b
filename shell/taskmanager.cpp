#include "shell/taskmanager.h"

#include <cstring>

#include "ledger/ledger.h"
#include "pluginhost/notify.h"
#include "shell/duration.h"
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
    RunTaskManagerDialog(window);
    g_shell.busy = 0;
    g_shell.task_manager_open = 0;
    return 0;
}

void taskmanager_refresh_list(TaskManagerView& view)
{
    view.task_buttons = false;
    view.task_time.clear();
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

void taskmanager_refresh_times(TaskManagerView& view)
{
    int32_t selection = g_shell.task_manager_selection;
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
    if (const Plorvin* task = ledger_task_at(g_shell.task_manager_selection))
        view.task_time = duration_text(task_elapsed(task));
    view.task_buttons = true;
}

void taskmanager_toggle(TaskManagerView& view)
{
    int32_t selection = g_shell.task_manager_selection;
    // The buttons are usable only after a selection, but a double click can
    // come without one; with nothing selected there is nothing to toggle.
    if (selection < 0)
        return;
    if (selection == ledger_current_index()) {
        int32_t stopped = ledger_stop_current();
        shell_tray_idle();
        if (notify_task_stopped(selection, stopped) == 0 && ledger_start_task(selection) != 0)
            shell_tray_match_ledger();
    } else {
        if (ledger_has_current()) {
            int32_t current = ledger_current_index();
            notify_task_stopped(current, ledger_stop_current());
        }
        int32_t started = ledger_start_task(selection);
        // Not a running state when the ledger refused (-3: the current task
        // could not be stopped): nothing runs then.
        if (started != 0)
            shell_tray_match_ledger();
        if (notify_task_started(selection, started) == 0) {
            ledger_stop_current();
            ledger_forget_current();
            shell_tray_idle();
        }
    }
    taskmanager_refresh_list(view);
}

void taskmanager_add(TaskManagerView& view, void* dialog)
{
    int32_t allowed = notify_add_task();
    if (allowed == 1 || allowed == PLUGIN_NOT_AVAILABLE)
        ShowAddTaskDialog(dialog);
    taskmanager_refresh_list(view);
}

// Asks the plug-in, or the user when there is no plug-in to decide. Returns
// true to go on.
static bool confirmed(int32_t decision, void* dialog, const char* question)
{
    if (decision == PLUGIN_NOT_AVAILABLE)
        return ShowMessage(dialog, question, SHELL_QUESTION) != SHELL_IDNO;
    return decision != 0;
}

void taskmanager_reset(TaskManagerView& view, void* dialog)
{
    int32_t selection = g_shell.task_manager_selection;
    if (selection < 0)
        return;
    if (!confirmed(notify_reset_task(selection), dialog,
                   "Ëtes-vous sûr de vouloir remettre à zéro ce compteur ?"))
        return;
    if (selection == ledger_current_index()) {
        shell_tray_idle();
        ledger_forget_current();
    }
    ledger_reset_task(selection);
    taskmanager_refresh_list(view);
    taskmanager_refresh_times(view);
}

void taskmanager_delete(TaskManagerView& view, void* dialog)
{
    int32_t selection = g_shell.task_manager_selection;
    if (selection < 0)
        return;
    if (!confirmed(notify_remove_task(selection), dialog,
                   "Ëtes-vous sûr de vouloir supprimer ce compteur ?"))
        return;
    if (selection == ledger_current_index()) {
        shell_tray_idle();
        ledger_forget_current();
    }
    int32_t ok = ledger_remove_task(selection) == 0;
    int32_t told = notify_task_removed(selection, ok);
    if (told == PLUGIN_NOT_AVAILABLE ? !ok : told == 0)
        ShowErrorBox(0, "Echec de la suppression de la tâche.");
    taskmanager_refresh_list(view);
    taskmanager_refresh_times(view);
}
