// The user's actions on tasks, shared by the tray menu and the task manager.
#include "shell/actions.h"

#include <string>

#include "ledger/ledger.h"
#include "pluginhost/notify.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"

// The name of the task in the slot, or "" when the slot holds none (a task's
// name is never empty).
static std::string name_at(int32_t index)
{
    const Plorvin* task = ledger_task_at(index);
    return task ? task_name(task) : std::string();
}

// Where the task named `chosen` stands now, -1 when it is gone; `index`
// itself when no task was chosen (the ledger then answers for the slot).
static int32_t find_again(const std::string& chosen, int32_t index)
{
    return chosen.empty() ? index : ledger_find_task(chosen.c_str());
}

// The plug-in decides; when none does, the user answers `question`. Returns
// true to go on.
static bool plugin_or_user_agrees(int32_t decision, void* owner, const char* question)
{
    if (decision == PLUGIN_NOT_AVAILABLE)
        return g_window->show_message(owner, question, SHELL_QUESTION) != SHELL_IDNO;
    return decision != 0;
}

void action_start(int32_t index, bool warn)
{
    const std::string chosen = name_at(index);
    if (ledger_has_current()) {
        int32_t current = ledger_current_index();
        notify_task_stopped(current, ledger_stop_current());
        index = find_again(chosen, index);
    }
    int32_t started = ledger_start_task(index);
    if (started == -3 && warn) {
        g_window->show_message(nullptr, "Impossible de démarrer la tâche !", SHELL_MB_ICONWARNING);
        started = 0;
    } else if (started != 0) {
        shell_tray_follow_ledger();
    }
    if (notify_task_started(index, started) == 0) {
        ledger_stop_current();
        ledger_forget_current();
        shell_tray_follow_ledger();
    }
}

void action_stop_current(bool warn)
{
    int32_t current = ledger_current_index();
    if (current < 0)
        return;
    const std::string chosen = name_at(current);
    int32_t stopped = ledger_stop_current();
    if (stopped == 0 && warn)
        g_window->show_message(nullptr, "Impossible d'arrêter la tâche courante !", SHELL_MB_ICONWARNING);
    else
        shell_tray_follow_ledger();
    if (notify_task_stopped(current, stopped) != 0)
        return;
    // Vetoed: the task runs again, with a new start time.
    if (ledger_start_task(find_again(chosen, current)) != 0)
        shell_tray_follow_ledger();
}

bool action_reset(int32_t index, void* owner)
{
    const bool all = index < 0;
    const std::string chosen = name_at(index);
    const char* question = all ? "Ëtes-vous sûr de vouloir remettre les compteurs à zéro ?"
                               : "Ëtes-vous sûr de vouloir remettre à zéro ce compteur ?";
    if (!plugin_or_user_agrees(notify_reset_task(index), owner, question))
        return false;
    if (all) {
        action_stop_current(true);
        ledger_reset_all();
        // Every task is stopped now. A plug-in that vetoed the stop above had
        // the task started again, and the reset stopped it without clearing
        // the current index: left so, every later start and stop would fail.
        ledger_forget_current();
        shell_tray_follow_ledger();
        return true;
    }
    index = find_again(chosen, index);
    if (index < 0)
        return true;  // gone meanwhile: nothing left to reset
    bool current = index == ledger_current_index();
    if (current)
        ledger_forget_current();
    ledger_reset_task(index);
    if (current)
        shell_tray_follow_ledger();
    return true;
}

bool action_remove(int32_t index, void* owner)
{
    const std::string chosen = name_at(index);
    if (!plugin_or_user_agrees(notify_remove_task(index), owner,
                               "Ëtes-vous sûr de vouloir supprimer ce compteur ?"))
        return false;
    index = find_again(chosen, index);
    if (index < 0)
        return true;  // gone meanwhile: nothing left to remove
    if (index == ledger_current_index()) {
        ledger_forget_current();
        shell_tray_follow_ledger();
    }
    int32_t ok = ledger_remove_task(index) == 0;
    if (notify_reports_failure(notify_task_removed(index, ok), ok))
        g_window->show_error_box(0, "Echec de la suppression de la tâche.");
    return true;
}

void action_add(void* owner)
{
    if (notify_allowed(notify_add_task()))
        g_window->show_add_task_dialog(owner);
}
