// What the shell tells the plug-in host: task events, saves and reports, the
// plug-in menu commands, and the host's own start-up and shutdown steps.
//
// Every notifier returns PLUGIN_NOT_AVAILABLE when no active plug-in handles
// the event, otherwise the plug-in's own result, where 0 is a veto.
#pragma once

#include <cstdint>

#include "pluginhost/vorn_plugin.h"

// "Allowed or no plug-in": the result of a notifier after which the caller
// goes on with its own action (1 or PLUGIN_NOT_AVAILABLE).
bool notify_allowed(int32_t result);
// Whether an add or a removal counts as failed: by the plug-in's answer
// `told` (0: failed) when it has the entry point, else by the ledger's `ok`.
bool notify_reports_failure(int32_t told, int32_t ok);

// Before the add-task dialog opens: the plug-in may add a task itself.
int32_t notify_add_task();
// Adds `name` to the ledger (an empty name gets the default name, an existing
// one is found), tells the plug-in, and shows a failure. Returns 1 when the
// ledger holds the task, else 0.
int32_t notify_add_named_task(const char* name);
// After the add-task dialog added `name` (ok 1) or failed to (ok 0).
int32_t notify_task_added(const char* name, int32_t ok);
// Before the task in slot `index` is removed.
int32_t notify_remove_task(int32_t index);
// After the task that stood in slot `index` was removed (ok 1) or not (ok 0).
int32_t notify_task_removed(int32_t index, int32_t ok);
// Before the task in slot `index` is reset; -1 for all tasks.
int32_t notify_reset_task(int32_t index);
// After the ledger started (`result` as ledger_start_task gave it) or
// stopped (as ledger_stop_current gave it) the task in slot `index`.
int32_t notify_task_started(int32_t index, int32_t result);
int32_t notify_task_stopped(int32_t index, int32_t result);
// On the main timer tick, before the profile is saved.
int32_t notify_autosave();
// Before the time report's file is chosen.
int32_t notify_save_report();

// Carries out a restart, then an unload, that the plug-in asked for.
void plugin_timer_tick();
// The plug-in menu commands 4093 to 4099 (load, activate the remembered
// file, unload after asking, shut down and unload, configure, about).
// Returns 1 when a shutdown and unload was done, else 0.
int32_t plugin_command(unsigned command);
// Loads and initialises the plug-in at `path` and remembers the path.
// Returns the initialisation's result (non-zero: the plug-in is active), or
// 0 when it could not be loaded or its initialisation failed; the user has
// been told why and the library is released.
int32_t activate_plugin(const char* path);
// Releases the loaded plug-in library, if any: at once, or, while one of its
// entry points runs, as soon as the outermost has returned. Returns 1 when a
// library was (or will be) released, else 0.
int32_t unload_plugin();
// At the end of the program: shuts the active plug-in down and unloads it.
void plugin_shutdown();
// Enables or greys the plug-in items of the tray menu `menu` (an HMENU).
void update_plugin_menu(void* menu);
