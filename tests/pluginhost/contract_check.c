/* The plug-in contract as a plug-in author's C compiler sees it: the header
 * alone, included from C, its record layout, codes and entry point types
 * checked at compile time. Compiled into the plug-in host's tests on every
 * build, the 32-bit Windows one included, where the layout is the one that
 * plug-ins are built against. */
#include <stddef.h>

#include "pluginhost/vorn_plugin.h"

_Static_assert(sizeof(int) == 4, "results, seconds and flags are 32-bit");

#if defined(_WIN32) && !defined(_WIN64)
_Static_assert(sizeof(TaskSummary) == 12, "TaskSummary is 12 bytes");
_Static_assert(offsetof(TaskSummary, name) == 0, "name at 0");
_Static_assert(offsetof(TaskSummary, total_seconds) == 4, "total_seconds at 4");
_Static_assert(offsetof(TaskSummary, running) == 8, "running at 8");
#else
/* The native and 64-bit builds of the tests: the same order without gaps,
 * after a wider pointer. */
_Static_assert(offsetof(TaskSummary, name) == 0, "name first");
_Static_assert(offsetof(TaskSummary, total_seconds) == sizeof(const char*), "total_seconds right after name");
_Static_assert(offsetof(TaskSummary, running) == sizeof(const char*) + sizeof(int), "running right after");
#endif

_Static_assert(PLUGIN_NOT_AVAILABLE == 2031, "not-available result");
_Static_assert(VORN_ADDTASK_BUFFER_SIZE == 512, "add-task buffer size");
_Static_assert(HOST_CMD_ADD_TASK == 80, "code 80");
_Static_assert(HOST_CMD_REMOVE_TASK == 81, "code 81");
_Static_assert(HOST_CMD_SET_TASK_SECONDS == 82, "code 82");
_Static_assert(HOST_CMD_START_TASK == 83, "code 83");
_Static_assert(HOST_CMD_STOP_CURRENT_TASK == 84, "code 84");
_Static_assert(HOST_CMD_STOP_TASK == 85, "code 85");
_Static_assert(HOST_CMD_CLEAR_TASKS == 86, "code 86");
_Static_assert(HOST_CMD_REQUEST_RESTART == 87, "code 87");
_Static_assert(HOST_CMD_REQUEST_UNLOAD == 88, "code 88");

/* The functions as a plug-in declares them, with the C calling convention
 * spelled out rather than taken from the header. */
#if defined(_WIN32)
#define PLUGIN_CALL __cdecl
#else
#define PLUGIN_CALL
#endif

int PLUGIN_CALL check_host(unsigned code, const char* name, int* value);
int PLUGIN_CALL check_init(HostCallback host);
int PLUGIN_CALL check_no_argument(void);
int PLUGIN_CALL check_addtask(char* buffer);
int PLUGIN_CALL check_named(const char* name, int total_seconds);
int PLUGIN_CALL check_summaries(const TaskSummary* tasks, int count);
int PLUGIN_CALL check_task_event(const char* name, int total_seconds, int result);
int PLUGIN_CALL check_added(const char* name, int ok);

/* Exactly the type, not merely one that converts. */
#define HAS_TYPE(function, type) _Generic(&(function), type: 1, default: 0)

_Static_assert(HAS_TYPE(check_host, HostCallback), "HostCallback");
_Static_assert(HAS_TYPE(check_init, vorn_init_fn), "_vorn_init");
_Static_assert(HAS_TYPE(check_no_argument, vorn_shutdown_fn), "_vorn_shutdown");
_Static_assert(HAS_TYPE(check_no_argument, vorn_configuration_fn), "_vorn_configuration");
_Static_assert(HAS_TYPE(check_no_argument, vorn_about_fn), "_vorn_about");
_Static_assert(HAS_TYPE(check_addtask, vorn_addtask_fn), "_vorn_addtask");
_Static_assert(HAS_TYPE(check_named, vorn_removetask_fn), "_vorn_removetask");
_Static_assert(HAS_TYPE(check_named, vorn_resettask_fn), "_vorn_resettask");
_Static_assert(HAS_TYPE(check_summaries, vorn_autosave_fn), "_vorn_autosave");
_Static_assert(HAS_TYPE(check_summaries, vorn_savereport_fn), "_vorn_savereport");
_Static_assert(HAS_TYPE(check_task_event, vorn_taskstarted_fn), "_vorn_taskstarted");
_Static_assert(HAS_TYPE(check_task_event, vorn_taskstopped_fn), "_vorn_taskstopped");
_Static_assert(HAS_TYPE(check_added, vorn_taskadded_fn), "_vorn_taskadded");
_Static_assert(HAS_TYPE(check_added, vorn_taskremoved_fn), "_vorn_taskremoved");

#if defined(_WIN32) && !defined(_WIN64)
/* Where conventions differ, the check above tells them apart: a __stdcall
 * entry point (callee pops) is not the contract's. */
int __stdcall check_stdcall(void);
_Static_assert(!HAS_TYPE(check_stdcall, vorn_shutdown_fn), "the convention is part of the type");
#endif
