#include "shell/commands.h"

#include "ledger/ledger.h"
#include "ledger/report.h"
#include "pluginhost/notify.h"
#include "processes/process_list.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "shell/taskmanager.h"


// Starts task `index`, stopping the current one first. The plug-in hears of
// the stop, then of the start, and may veto the start.
static void start_task(int32_t index)
{
    if (ledger_has_current()) {
        int32_t current = ledger_current_index();
        int32_t stopped = ledger_stop_current();
        // A plug-in cannot keep the old task running when the user starts
        // another: the result is not examined.
        notify_task_stopped(current, stopped);
    }
    int32_t started = ledger_start_task(index);
    if (started == -3) {
        ShowMessage(nullptr, "Impossible de démarrer la tâche !", SHELL_MB_ICONWARNING);
        started = 0;
    } else if (started != 0) {
        // An index that names no task (-1, -2) starts nothing: show what the
        // ledger holds rather than a running state.
        shell_tray_match_ledger();
    }
    if (notify_task_started(index, started) == 0) {
        ledger_stop_current();
        ledger_forget_current();
        shell_tray_idle();
    }
}

// Stops the current task; a plug-in veto makes it run again.
static void stop_current()
{
    int32_t current = ledger_current_index();
    if (current < 0)
        return;
    int32_t stopped = ledger_stop_current();
    if (stopped != 0)
        shell_tray_idle();
    else
        ShowMessage(nullptr, "Impossible d'arrêter la tâche courante !", SHELL_MB_ICONWARNING);
    if (notify_task_stopped(current, stopped) != 0)
        return;
    if (ledger_start_task(current) != 0)
        shell_tray_match_ledger();
}

static void reset_all(void* window, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    int32_t decision = notify_reset_task(-1);
    if (decision == 0)
        return;
    if (decision == PLUGIN_NOT_AVAILABLE &&
        ShowMessage(window, "Ëtes-vous sûr de vouloir remettre les compteurs à zéro ?", SHELL_QUESTION) ==
            SHELL_IDNO)
        return;
    DispatchCommand(IDC_STOP, window, message, wparam, lparam);
    ledger_reset_all();
    // Every task is stopped now. A plug-in that vetoed the stop above had the
    // task started again, and the reset stopped it without clearing the
    // current index: left so, every later start and stop would fail.
    ledger_forget_current();
    shell_tray_idle();
}

static void write_report()
{
    TraySetIcon(IDI_SAVING);
    int32_t allowed = notify_save_report();
    if (allowed == 1 || allowed == PLUGIN_NOT_AVAILABLE) {
        if (char* path = ChooseTextFile(".")) {
            if (report_write(path) != 0)
                ShowErrorBox(0, "Echec de la sauvegarde.");
            delete[] path;
        }
    }
    TraySetIcon(ledger_has_current() ? IDI_RUNNING : IDI_IDLE);
}

static void quit(void* window)
{
    g_shell.busy = 1;
    if (ShowMessage(window, "Êtes-vous sûr de vouloir quitter ?", SHELL_QUESTION | SHELL_MB_TOPMOST) ==
        SHELL_IDYES)
        DestroyShellWindow(window);
    g_shell.busy = 0;
}

int DispatchCommand(unsigned id, void* window, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    switch (id) {
    case IDC_TASK_MANAGER:
        OpenTaskManager(g_shell.instance, window, message, wparam, lparam, 0);
        return 0;
    case IDC_ABOUT:
        g_shell.busy = 1;
        ShowAboutBox();
        g_shell.busy = 0;
        return 0;
    case IDC_PLUGIN_LOAD:
    case IDC_PLUGIN_UNLOAD:
    case IDC_PLUGIN_CONFIGURE:
    case IDC_PLUGIN_ABOUT:
        plugin_command(id);
        return 0;
    case IDC_ADD_TASK: {
        int32_t allowed = notify_add_task();
        if (allowed == 1 || allowed == PLUGIN_NOT_AVAILABLE)
            ShowAddTaskDialog(g_shell.main_window);
        return 0;
    }
    case IDC_STOP:
        stop_current();
        return 0;
    case IDC_RESET_ALL:
        reset_all(window, message, wparam, lparam);
        return 0;
    case IDC_REPORT:
        write_report();
        return 0;
    case IDC_QUIT:
    case IDC_FILE_QUIT:
        quit(window);
        return 0;
    }
    if (id >= IDC_NO_TASK && id <= IDC_TASK_LAST) {
        start_task(static_cast<int32_t>(id) - IDC_TASK_FIRST);
    } else if (id >= IDC_PROCESS_FIRST && id <= 3049 && g_shell.process_list_option) {
        // The list is still the one the menu showed: the tray clears it only
        // after this command. No question and no message, whatever happens.
        if (const ProcItemStruct* process = process_list_entry(static_cast<int32_t>(id) - IDC_PROCESS_FIRST))
            process_terminate(process->pid, 9);
    }
    return 0;
}
