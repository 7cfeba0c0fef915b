#include "shell/shell.h"

#include <cstring>

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

void shell_add_named_task(const char* name)
{
    int32_t ok = ledger_add_task(name, 0) != -1;
    int32_t told = notify_task_added(name, ok);
    if (told == PLUGIN_NOT_AVAILABLE ? !ok : told == 0)
        ShowErrorBox(0, "Echec de l'ajout de la tâche.");
}

int32_t shell_save_profile()
{
    return profile_save(ZENTRIK_PROFILE);
}

void shell_timer_tick()
{
    plugin_timer_tick();
    if (g_shell.was_running) {
        int32_t allowed = notify_autosave();
        if (allowed == 1 || allowed == PLUGIN_NOT_AVAILABLE)
            shell_save_profile();
    }
    g_shell.was_running = ledger_has_current() ? 1 : 0;
}

void shell_exit()
{
    shell_save_profile();
    ledger_clear();
}
