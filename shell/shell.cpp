#include "shell/shell.h"

#include <cstdio>
#include <cstring>

#include "ledger/keeper.h"
#include "ledger/ledger.h"
#include "ledger/profile.h"
#include "pluginhost/notify.h"
#include "shell/resource.h"
#include "shell/shell_ui.h"

ShellState g_shell;

static const size_t PLUGIN_PATH_MAX = 255;

CommandLine shell_parse_command_line(const char* text)
{
    CommandLine options;
    if (!text)
        return options;
    options.process_list = strstr(text, "--processlist") != nullptr;
    const char* plugin = strstr(text, "--plugin");
    // The option, one separator (a blank, '=' or anything else), then the
    // path: nothing to load unless there is more than those 9 characters.
    if (!plugin || strlen(plugin) <= 9)
        return options;
    const char* path = plugin + 9;
    if (*path == '"')
        ++path;
    std::string value(path, strnlen(path, PLUGIN_PATH_MAX));
    // The path ends right after ".dll", which drops a closing quote and the
    // options after it. A ".DLL" is not found: the whole rest is the path.
    size_t dll = value.find(".dll");
    if (dll != std::string::npos)
        value.resize(dll + 4);
    options.has_plugin = true;
    options.plugin_path = std::move(value);
    return options;
}

void shell_tray_idle()
{
    TraySetTip(ZENTRIK_TITLE);
    TraySetIcon(IDI_IDLE);
}

void shell_tray_running()
{
    TraySetTip(ZENTRIK_RUNNING_TIP);
    TraySetIcon(IDI_RUNNING);
}

void shell_tray_match_ledger()
{
    const Plorvin* current = ledger_task_at(ledger_current_index());
    if (current && task_is_running(current))
        shell_tray_running();
    else
        shell_tray_idle();
}

void shell_apply_command_line(const char* command_line)
{
    CommandLine options = shell_parse_command_line(command_line);
    g_shell.process_list_option = options.process_list;
    if (options.has_plugin)
        activate_plugin(options.plugin_path.c_str());
}

bool shell_add_named_task(const char* name)
{
    switch (profile_name_problem(name)) {
    case PROFILE_NAME_BLANK:
        ShowErrorBox(0, "Le nom d'une tâche ne peut pas contenir de tabulation !");
        return false;
    case PROFILE_NAME_CLASH:
        ShowErrorBox(0, "Ce nom se confond avec celui d'une autre tâche : les espaces et les "
                        "« _ » s'écrivent de même dans " ZENTRIK_PROFILE " !");
        return false;
    }
    int32_t ok = ledger_add_task(name, 0) != -1;
    int32_t told = notify_task_added(name, ok);
    if (told == PLUGIN_NOT_AVAILABLE ? !ok : told == 0)
        ShowErrorBox(0, "Echec de l'ajout de la tâche.");
    return true;
}

static const char SAVE_FAILED[] = "Echec de la sauvegarde du fichier " ZENTRIK_PROFILE ".";

void shell_open_profile()
{
    KeeperOpen opened = keeper_open(ZENTRIK_PROFILE);
    if (opened.result == -1) {
        ShowErrorBox(opened.error, "Impossible de lire le fichier " ZENTRIK_PROFILE " !\n"
                                   "Il ne sera pas remplacé : les tâches et les temps de cette "
                                   "session ne seront pas enregistrés.");
    } else if (opened.unread_lines > 0) {
        char text[256];
        snprintf(text, sizeof text,
                 opened.unread_lines == 1
                     ? "%d ligne du fichier " ZENTRIK_PROFILE " n'a pas pu être lue.\n"
                       "Le fichier tel qu'il était sera gardé sous %s."
                     : "%d lignes du fichier " ZENTRIK_PROFILE " n'ont pas pu être lues.\n"
                       "Le fichier tel qu'il était sera gardé sous %s.",
                 static_cast<int>(opened.unread_lines), keeper_backup_path());
        ShowErrorBox(0, text);
    }
}

int32_t shell_save_profile()
{
    return keeper_save().result == 1;
}

// A failing autosave is told once, not on every tick, until a save works
// again.
static void autosave()
{
    KeeperSave saved = keeper_save();
    if (saved.result == 0 && !saved.failed_before)
        ShowErrorBox(saved.error, SAVE_FAILED);
}

void shell_timer_tick()
{
    plugin_timer_tick();
    if (g_shell.was_running) {
        int32_t allowed = notify_autosave();
        if (allowed == 1 || allowed == PLUGIN_NOT_AVAILABLE)
            autosave();
    }
    g_shell.was_running = ledger_has_current() ? 1 : 0;
}

void shell_exit()
{
    // The user may free space or mend the folder, then try again.
    for (;;) {
        KeeperSave saved = keeper_save();
        if (saved.result != 0 ||
            ShowErrorQuestion(saved.error, SAVE_FAILED,
                              "Voulez-vous réessayer ? Sinon, les changements depuis la "
                              "dernière sauvegarde seront perdus.") != SHELL_IDYES)
            break;
    }
    ledger_clear();
}
