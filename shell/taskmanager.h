// The task manager: every task in a list, the selected one started, stopped,
// reset or deleted, its time and the total shown. This is the dialog's logic;
// the dialog copies the view into its controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the dialog shows.
struct TaskManagerView {
    std::vector<std::string> items;  // the list, one item per task in slot order
    unsigned list_version = 0;       // changes whenever `items` was rebuilt
    std::string task_time;           // the selected task's time
    std::string total_time;          // the total of all tasks
    bool task_buttons = false;       // start/stop, reset and delete usable
    // The name of the selected task, "" when none. The actions find the task
    // by it: the dialog's message loop runs between the selection and the
    // button, and the plug-in may have moved tasks meanwhile.
    std::string selected;
};

// The handler of the tray's double clicks and of the task manager command:
// runs the dialog unless a modal window of the tray is up. Returns 0, or -1
// when it refused.
int OpenTaskManager(void* instance, void* window, unsigned message, uintptr_t wparam,
                    intptr_t lparam, int user_value);

// Rebuilds the list from the ledger; nothing is selected afterwards.
void taskmanager_refresh_list(TaskManagerView& view);
// Rewrites the selected task's time (if it runs) and the total.
void taskmanager_refresh_times(TaskManagerView& view);
// The dialog's one-second timer: the times, while a task runs.
void taskmanager_timer(TaskManagerView& view);
// The list box's notifications, with the values Win32 gives them
// (LBN_SELCHANGE, LBN_DBLCLK).
enum : int { TASKMANAGER_SELECTION_CHANGED = 1, TASKMANAGER_DOUBLE_CLICK = 2 };

// The dialog's WM_COMMAND from control `control` with notification code
// `notification`; `item_text` is the list's selected item on a selection
// change. Boxes and the add-task dialog are owned by `dialog`. No exception
// leaves it.
void taskmanager_command(TaskManagerView& view, int control, int notification, const char* item_text,
                         void* dialog);
// Refreshes the list and the times (the dialog's start), and the times on
// the dialog's one-second timer. No exception leaves them.
void taskmanager_open(TaskManagerView& view);
void taskmanager_tick(TaskManagerView& view);

// The user selected the item `item_text`.
void taskmanager_select(TaskManagerView& view, const char* item_text);
// Starts the selected task, or stops it if it runs.
void taskmanager_toggle(TaskManagerView& view);
// Adds a task through the add-task dialog, owned by `dialog`.
void taskmanager_add(TaskManagerView& view, void* dialog);
// Resets or deletes the selected task, after asking (boxes owned by `dialog`).
void taskmanager_reset(TaskManagerView& view, void* dialog);
void taskmanager_delete(TaskManagerView& view, void* dialog);
