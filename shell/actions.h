// The user's actions on tasks (start, stop, reset, remove, add), written once
// for the tray menu and the task manager. The two windows differ only in what
// they say when the ledger refuses a start or a stop: the tray menu warns, the
// task manager does not (`warn`).
//
// A slot index passed in names the task the user chose. The plug-in may add
// or remove tasks while it is told of an action, and a box runs a message
// loop in which it may do so too: the chosen task is therefore found again by
// its name after every such call, and the action applies to it wherever it
// then stands (or to nothing when it is gone).
#pragma once

#include <cstdint>

// Starts the task in slot `index`, stopping the current task first. The
// plug-in hears of the stop (its answer is not heeded: it cannot keep the old
// task running when the user starts another), then of the start, which it may
// veto. A slot without task starts nothing.
void action_start(int32_t index, bool warn);

// Stops the current task, if any; a plug-in veto makes it run again.
void action_stop_current(bool warn);

// Resets the task in slot `index` to 0 seconds, or every task for -1, when
// the plug-in agrees or, when no plug-in decides, the user does (the
// question's box is owned by `owner`). Resetting all stops the current task
// first as the tray's stop command does; resetting the current task drops it
// without a stop notification. Returns false when the plug-in or the user
// said no, else true.
bool action_reset(int32_t index, void* owner);

// Removes the task in slot `index` when the plug-in or the user agrees (box
// owned by `owner`); a running task goes with its unsaved time. A failure is
// shown. Returns false when the plug-in or the user said no, else true.
bool action_remove(int32_t index, void* owner);

// Opens the add-task dialog owned by `owner`, unless the plug-in refuses; the
// plug-in may add a task of its own first.
void action_add(void* owner);
