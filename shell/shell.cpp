// The shell's state, its start-up and exit steps, the main timer tick, the
// tray state and the hooks that connect the plug-in host to the window side.
#include "shell/shell.h"

#include <cstdio>
#include <cstring>

#include "ledger/keeper.h"
#include "ledger/ledger.h"
#include "ledger/profile.h"
#include "pluginhost/notify.h"
#include "pluginhost/plugin_host.h"
#include "shell/resource.h"
#include "shell/shell_ui.h"

ShellState g_shell;
const ShellWindow* g_window = nullptr;

// The system's code for "not enough memory" (ERROR_NOT_ENOUGH_MEMORY).
static const int OUT_OF_MEMORY_CODE = 8;

static void hook_warn(const char* text)
{
    g_window->show_message(nullptr, text, SHELL_MB_ICONWARNING);
}

static bool hook_ask(const char* question)
{
    return g_window->show_message(nullptr, question, SHELL_QUESTION | SHELL_MB_TOPMOST) == SHELL_IDYES;
}

static void hook_show_error(int code, const char* text)
{
    g_window->show_error_box(code, text);
}

static char* hook_choose_file(const char* filter, const char* folder)
{
    return g_window->choose_file(filter, folder);
}

static const PluginHostHooks PLUGIN_HOOKS = {hook_warn, hook_ask, hook_show_error, hook_choose_file,
                                             shell_tray_follow_ledger};

void shell_set_window(const ShellWindow* window)
{
    g_window = window;
    plugin_set_hooks(window ? &PLUGIN_HOOKS : nullptr);
}

void shell_show_out_of_memory() noexcept
{
    g_window->show_error_box(OUT_OF_MEMORY_CODE, nullptr);
}

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

void shell_tray_follow_ledger()
{
    const Plorvin* current = ledger_task_at(ledger_current_index());
    bool running = current && task_is_running(current);
    g_window->tray_set_tip(running ? ZENTRIK_RUNNING_TIP : ZENTRIK_TITLE);
    g_window->tray_set_icon(g_shell.saving_report ? IDI_SAVING : running ? IDI_RUNNING : IDI_IDLE);
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
        g_window->show_error_box(0, "Le nom d'une tâche ne peut pas contenir de tabulation !");
        return false;
    case PROFILE_NAME_CLASH:
        g_window->show_error_box(0, "Ce nom se confond avec celui d'une autre tâche : les espaces "
                                    "et les « _ » s'écrivent de même dans " ZENTRIK_PROFILE " !");
        return false;
    }
    shell_guard([name] { notify_add_named_task(name); });
    return true;
}

static const char SAVE_FAILED[] = "Echec de la sauvegarde du fichier " ZENTRIK_PROFILE ".";

void shell_open_profile()
{
    KeeperOpen opened = keeper_open(ZENTRIK_PROFILE);
    if (opened.result == -1) {
        g_window->show_error_box(opened.error,
                                 "Impossible de lire le fichier " ZENTRIK_PROFILE " !\n"
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
        g_window->show_error_box(0, text);
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
        g_window->show_error_box(saved.error, SAVE_FAILED);
}

void shell_timer_tick()
{
    shell_guard([] {
        plugin_timer_tick();
        if (g_shell.was_running && notify_allowed(notify_autosave()))
            autosave();
        g_shell.was_running = ledger_has_current() ? 1 : 0;
    });
}

void shell_exit()
{
    // The user may free space or mend the folder, then try again.
    for (;;) {
        KeeperSave saved = keeper_save();
        if (saved.result != 0 ||
            g_window->show_error_question(saved.error, SAVE_FAILED,
                                          "Voulez-vous réessayer ? Sinon, les changements depuis "
                                          "la dernière sauvegarde seront perdus.") != SHELL_IDYES)
            break;
    }
    ledger_clear();
}
