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
// The user selected the item `item_text`.
void taskmanager_select(TaskManagerView& view, const char* item_text);
// Starts the selected task, or stops it if it runs.
void taskmanager_toggle(TaskManagerView& view);
// Adds a task through the add-task dialog, owned by `dialog`.
void taskmanager_add(TaskManagerView& view, void* dialog);
// Resets or deletes the selected task, after asking (boxes owned by `dialog`).
void taskmanager_reset(TaskManagerView& view, void* dialog);
void taskmanager_delete(TaskManagerView& view, void* dialog);
