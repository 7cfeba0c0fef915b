// The commands of the tray menu: one id, one action.
#include "shell/commands.h"

#include "ledger/ledger.h"
#include "ledger/report.h"
#include "pluginhost/notify.h"
#include "processes/process_list.h"
#include "shell/actions.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "shell/taskmanager.h"

static void write_report()
{
    g_shell.saving_report = 1;
    shell_tray_follow_ledger();
    if (notify_allowed(notify_save_report())) {
        if (char* path = g_window->choose_text_file(".")) {
            if (report_write(path) != 0)
                g_window->show_error_box(0, "Echec de la sauvegarde.");
            delete[] path;
        }
    }
    g_shell.saving_report = 0;
    shell_tray_follow_ledger();
}

static void quit(void* window)
{
    g_shell.busy = 1;
    if (g_window->show_message(window, "Êtes-vous sûr de vouloir quitter ?",
                               SHELL_QUESTION | SHELL_MB_TOPMOST) == SHELL_IDYES)
        g_window->destroy_window(window);
    g_shell.busy = 0;
}

static void dispatch(unsigned id, void* window, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    switch (id) {
    case IDC_TASK_MANAGER:
        OpenTaskManager(g_shell.instance, window, message, wparam, lparam, 0);
        return;
    case IDC_ABOUT:
        g_shell.busy = 1;
        g_window->show_about_box();
        g_shell.busy = 0;
        return;
    case IDC_PLUGIN_LOAD:
    case IDC_PLUGIN_UNLOAD:
    case IDC_PLUGIN_CONFIGURE:
    case IDC_PLUGIN_ABOUT:
        plugin_command(id);
        return;
    case IDC_ADD_TASK:
        action_add(g_shell.main_window);
        return;
    case IDC_STOP:
        action_stop_current(true);
        return;
    case IDC_RESET_ALL:
        action_reset(-1, window);
        return;
    case IDC_REPORT:
        write_report();
        return;
    case IDC_QUIT:
    case IDC_FILE_QUIT:
        quit(window);
        return;
    }
    if (id >= IDC_NO_TASK && id <= IDC_TASK_LAST) {
        action_start(static_cast<int32_t>(id) - IDC_TASK_FIRST, true);
    } else if (id >= IDC_PROCESS_FIRST && id <= 3049 && g_shell.process_list_option) {
        // The list is still the one the menu showed: the tray clears it only
        // after this command. No question and no message, whatever happens.
        if (const ProcItemStruct* process = process_list_entry(static_cast<int32_t>(id) - IDC_PROCESS_FIRST))
            g_window->terminate_process(process->pid, 9);
    }
}

int DispatchCommand(unsigned id, void* window, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    shell_guard([&] { dispatch(id, window, message, wparam, lparam); });
    return 0;
}
