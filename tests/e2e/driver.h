// Drives the real ZentrikWin.exe from another Windows program, through its
// windows and messages, the way a user's clicks reach it. Used by the
// end-to-end tests and by the figures program, both run under Wine.
//
// Every wait is a bounded poll: a scenario that goes wrong fails after its
// timeout instead of hanging.
#pragma once

#include <windows.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

// Timeouts, in milliseconds. The first save picker of a fresh Wine prefix
// takes several seconds to appear.
enum : DWORD {
    E2E_WAIT = 10000,
    E2E_WAIT_PICKER = 60000,
};

// The messages ZentrikWin answers to besides the menu commands of
// shell/resource.h: the tray icon's callback (shell/tray.h) and the main timer.
enum : UINT {
    E2E_TRAY_CALLBACK = WM_USER + 29,
    E2E_MAIN_TIMER = 666,
};

// Window captions and box texts, Windows-1252 like the program's own.
#define E2E_BOX_CAPTION "Zentrik for Windows"
#define E2E_ADD_CAPTION "Ajouter une tâche"
#define E2E_MANAGER_CAPTION "Gestionnaire des tâches"
#define E2E_PICKER_CAPTION "Save As"
#define E2E_DIALOG_CLASS "#32770"
#define E2E_MENU_CLASS "#32768"

// The program to drive, as a Windows path. e2e_set_program takes the Unix
// path that CTest passes ("/a/b.exe" becomes "Z:\a\b.exe") or a Windows path.
void e2e_set_program(const char* path);
const std::string& e2e_program();
// A path as Wine takes it: Wine maps the Unix root to drive Z:, so the Unix
// path that CTest passes ("/a/b") becomes "Z:\a\b"; a Windows path stays.
std::string e2e_windows_path(std::string path);
// The n-th argument of the process's command line that is not a GoogleTest
// flag (0: the program), as it was given; "" when there is none.
std::string e2e_argument(int n);
// Takes the program from the process's command line: the first argument that
// is not a GoogleTest flag. Returns false when there is none.
bool e2e_program_from_command_line();

// Under Wine without a window manager, hiding a window waits two seconds for
// a window manager that never answers (winex11.drv's wait_for_withdrawn_state;
// the trace says "fixme:event:wait_for_withdrawn_state ... wait timed out").
// The program hides every box and dialog it closes, and Wine's standalone
// tray window hides whenever its last icon goes, which stalls the program's
// next tray call: every quit and every start after a kill. Two settings take
// these waits away; this sets both and undoes them when this process ends:
// - "Managed"="N" under HKCU\Software\Wine\X11 Driver, unless the user set
//   it: the X11 driver of the programs started from now on hands no window to
//   a window manager, so it waits for none;
// - an icon of this process stays in the tray, so the tray window never
//   hides while the tests run.
// Does nothing outside Wine.
void e2e_prepare_wine();

// Calls `condition` until it is true or `timeout_ms` passed. Returns its last
// result.
bool e2e_poll(const std::function<bool()>& condition, DWORD timeout_ms = E2E_WAIT);

// One running copy of the program.
struct E2eProcess {
    HANDLE handle = nullptr;
    DWORD pid = 0;
    HWND window = nullptr;  // the hidden main window, "ZentrikMainFrame"
};

// Starts the program in `folder` (its current directory, where it keeps
// "Zentrik.cnf"), with `arguments` on its command line after its name.
// Returns false when it could not start.
bool e2e_launch(E2eProcess& process, const std::string& folder, const std::string& arguments = "");
// Starts the program and waits until its message loop runs and its main
// window exists.
bool e2e_start(E2eProcess& process, const std::string& folder, const std::string& arguments = "");
bool e2e_alive(const E2eProcess& process);
// Waits for the end of the process and gives its exit code.
bool e2e_wait_exit(E2eProcess& process, int* code, DWORD timeout_ms = E2E_WAIT);
// Ends the process if it still runs (TerminateProcess), then closes the
// handle. Safe to call on a process that never started or already ended.
void e2e_end(E2eProcess& process);

// Synchronous messages to the main window: they return once the program has
// handled them, or false after the timeout.
bool e2e_send(const E2eProcess& process, UINT message, WPARAM wparam, LPARAM lparam,
              DWORD timeout_ms = E2E_WAIT);
// The 20-second main timer tick, run now.
bool e2e_tick(const E2eProcess& process);
// A menu command, handled before this returns. Only for commands that open no
// modal window.
bool e2e_command(const E2eProcess& process, UINT id);
// A menu command posted: for commands that open a box or a dialog.
bool e2e_post_command(const E2eProcess& process, UINT id);
// Waits until the program has finished what it was doing and went back to
// reading its queue: a message sent meanwhile could run early, inside any
// cross-process call the program makes (the tray icon's updates are such
// calls under Wine), but a posted message waits for the queue. The posted
// command opens the add-task dialog, which is then cancelled: that adds
// nothing and, unlike the about box, leaves the busy flag of a task manager
// or a question that is up alone. Returns false when the dialog did not come.
bool e2e_settle(const E2eProcess& process);
// The same wait without the add-task dialog, which a plug-in would hear of:
// a tray menu that a posted click opens comes up only in the main loop;
// Escape closes it, choosing nothing. Not while the program is busy.
bool e2e_settle_by_tray(const E2eProcess& process);
// A mouse event on the tray icon (WM_LBUTTONUP, WM_LBUTTONDBLCLK, ...), posted.
bool e2e_tray(const E2eProcess& process, UINT mouse_message);

// The first visible top-level window of the process with that class and
// caption (nullptr: any caption).
HWND e2e_find_window(DWORD pid, const char* class_name, const char* caption);
HWND e2e_wait_window(DWORD pid, const char* class_name, const char* caption,
                     DWORD timeout_ms = E2E_WAIT);
// Whether `text` is `pattern`, in which "{low-high}" stands for a decimal
// number from low to high: the seconds of a task that ran meanwhile.
bool e2e_matches(const std::string& text, const std::string& pattern);
// Whether the process has a module of that file name loaded (letter case
// ignored).
bool e2e_module_loaded(const E2eProcess& process, const char* name);
// How many visible top-level windows of that class and caption the process has.
int e2e_count_windows(DWORD pid, const char* class_name, const char* caption);
// Waits until the window is destroyed. A modal dialog or box is hidden
// before its loop ends, and a message sent to the program meanwhile would
// still run inside that loop, before the caller of the box goes on; once the
// window is destroyed the loop is over.
bool e2e_wait_closed(HWND window, DWORD timeout_ms = E2E_WAIT);

// Window and control texts, as Windows-1252 bytes. Across processes Wine gives
// only UTF-16 text intact, so these go through the wide messages.
std::string e2e_text(HWND window);
std::string e2e_control_text(HWND dialog, int id);
void e2e_set_control_text(HWND dialog, int id, const std::string& text);
// A message box's text (its static control has the id 0xFFFF).
std::string e2e_box_text(HWND box);
// The items of a list box.
std::vector<std::string> e2e_list_items(HWND dialog, int list_id);
// Selects item `index` and tells the dialog, as a click on the item does.
void e2e_select_item(HWND dialog, int list_id, int index);
// Posts a notification of the list box (LBN_DBLCLK, ...) to the dialog.
void e2e_list_notify(HWND dialog, int list_id, int notification);
// Presses a button of a dialog or box (BM_CLICK, posted: the click may open a
// modal window whose loop would block a sent message).
void e2e_click(HWND dialog, int id);
bool e2e_enabled(HWND dialog, int id);
// Posts key presses to a window: the popup menu takes them from its own loop.
void e2e_keys(HWND window, const std::vector<WPARAM>& keys);

// Waits for the program's message box (caption "Zentrik for Windows") and
// returns it, or nullptr.
HWND e2e_wait_box(DWORD pid, DWORD timeout_ms = E2E_WAIT);
// Waits for the box, checks its text and its owner window (nullptr: none),
// presses `button` and waits until it is gone. Returns "" when all went so,
// else what went wrong.
std::string e2e_answer_box(DWORD pid, const std::string& text, HWND owner, int button);

// A task as the tests see it: its slot in the ledger, its name and its
// seconds, which lie anywhere in [low, high] for a task that ran meanwhile.
struct E2eTask {
    int slot;
    std::string name;
    int low;
    int high;
    bool running = false;  // the report marks it '+'
};
inline E2eTask e2e_task(int slot, const std::string& name, int seconds)
{
    return {slot, name, seconds, seconds, false};
}

// The exact bytes of "Zentrik.cnf" holding `tasks` with their `low` seconds.
std::string e2e_profile_bytes(const std::vector<E2eTask>& tasks);
// The seconds of the task's record "<slot>\t<name>\t<seconds>" in a profile,
// or -1 when there is none.
long long e2e_profile_seconds(const std::string& profile, const E2eTask& task);
// The bytes that `actual` should be: each task's seconds are taken from
// `actual` where they lie in its range, else its `low`. Compare the two whole:
// any other difference shows in the comparison.
std::string e2e_expected_profile(const std::string& actual, const std::vector<E2eTask>& tasks);
// The same for a time report written at a moment in [from, to]: its date is
// taken from `actual` when it is the local time of one of those seconds.
std::string e2e_expected_report(const std::string& actual, const std::vector<E2eTask>& tasks,
                                time_t from, time_t to);

// The process's CPU time (user + kernel) in milliseconds, and its peak working
// set in bytes.
double e2e_cpu_ms(const E2eProcess& process);
size_t e2e_peak_working_set(const E2eProcess& process);
