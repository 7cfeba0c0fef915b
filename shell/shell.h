// The shell's state and the steps of its life that need no window: the
// command line, the main timer tick, the saves, the tray state.
#pragma once

#include <cstdint>
#include <string>

#define ZENTRIK_CAPTION "Zentrik for Windows"
#define ZENTRIK_TITLE "Zentrik for Windows v1.2"
#define ZENTRIK_RUNNING_TIP "Zentrik for Windows - Task Running"
#define ZENTRIK_PROFILE "Zentrik.cnf"

// One per process, for its whole life.
struct ShellState {
    void* instance = nullptr;     // HINSTANCE of the program
    void* main_window = nullptr;  // HWND of the hidden main window
    // 1 while a modal window opened from the tray is up (quit question, about
    // box, task manager): no tray menu and no task manager meanwhile.
    int busy = 0;
    int task_manager_open = 0;
    // Whether a task was current at the end of the previous main timer tick.
    int was_running = 0;
    // "--processlist": the tray menu lists the running processes.
    int process_list_option = 0;
    // Ledger index selected in the task manager, -1 when none.
    int32_t task_manager_selection = -1;
    // 1 while the time report is being written: the tray shows the saving icon.
    int saving_report = 0;
};

extern ShellState g_shell;

// The options of the command line (without the program name).
struct CommandLine {
    bool process_list = false;
    bool has_plugin = false;
    std::string plugin_path;  // at most 255 characters
};

// Reads "--processlist" and "--plugin <path>" anywhere in `text` (a plain,
// case-sensitive search). The path starts one character after "--plugin",
// loses an opening double quote, and ends right after its first ".dll".
CommandLine shell_parse_command_line(const char* text);

// Shows the system's message for "not enough memory". Never throws.
void shell_show_out_of_memory() noexcept;

// Takes the options of the command line: the process list, and the plug-in
// to activate.
void shell_apply_command_line(const char* command_line);

// The add-task dialog's OK: adds `name` (an empty one gets the default name,
// an existing one is found) and tells the plug-in; a failure is shown.
// Returns false, adding nothing and telling the plug-in nothing, when the
// profile could not carry the name back (a TAB, or written like another
// task's name); the user was told why and the dialog stays open.
bool shell_add_named_task(const char* name);

// Start-up: loads the profile, and tells the user when it exists but could
// not be read (it will not be replaced) or when some of its lines were not
// read (the file as it was is kept beside it before the first save).
void shell_open_profile();

// Runs `action` so that no exception leaves it: the window procedures and
// dialog procedures that call the shell's logic run inside the system's code,
// which an exception would end without the exit save. Out of memory, the
// action ends where it was, the ledger keeps what it holds, and the user sees
// the system's message. Returns false then.
template <typename Action>
bool shell_guard(Action&& action) noexcept
{
    try {
        action();
        return true;
    } catch (...) {
        shell_show_out_of_memory();
        return false;
    }
}

// The main timer tick: the plug-in's pending restart or unload, then, if a
// task was current at the previous tick, the autosave notification and the
// profile save when the plug-in agrees (or there is none).
void shell_timer_tick();

// Saves the profile, a running task with its live time. Returns 1 when saved.
// Tells the user nothing.
int32_t shell_save_profile();

// The end of the program, after the message loop: the last save, offered
// again as long as it fails and the user asks for it, then the ledger is
// emptied.
void shell_exit();

// Brings the tray icon and tip in line with the ledger: the running state
// while the current task runs, else the idle state; the saving icon (with the
// tip of the state) while the report is written. The one place that sets the
// tray's state.
void shell_tray_follow_ledger();
