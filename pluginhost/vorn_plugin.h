/* The contract between Zentrik and a plug-in library, in plain C so that any
 * plug-in author can include it.
 *
 * A plug-in exports up to thirteen functions under the names below (with
 * their leading underscore, exactly as written), all with the C calling
 * convention. The host hands the plug-in a HostCallback in _vorn_init,
 * through which the plug-in drives the host's task list.
 *
 * Memory: every text and array the host passes lives only for the call; the
 * host frees it afterwards. Texts the plug-in passes to the HostCallback stay
 * the plug-in's; the host copies what it keeps. Each side frees only what it
 * allocated. */
#ifndef VORN_PLUGIN_H
#define VORN_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VORN_CALL __cdecl
#else
#define VORN_CALL
#endif

/* What the host's notifiers answer when no active plug-in handles an event.
 * A plug-in never returns it. */
#define PLUGIN_NOT_AVAILABLE 2031

/* Size of the buffer _vorn_addtask may write a task name into (NUL
 * included). */
#define VORN_ADDTASK_BUFFER_SIZE 512

/* HostCallback command codes. */
#define HOST_CMD_ADD_TASK 80          /* name: add with 0 seconds */
#define HOST_CMD_REMOVE_TASK 81       /* name */
#define HOST_CMD_SET_TASK_SECONDS 82  /* name, *value */
#define HOST_CMD_START_TASK 83        /* name */
#define HOST_CMD_STOP_CURRENT_TASK 84
#define HOST_CMD_STOP_TASK 85         /* name */
#define HOST_CMD_CLEAR_TASKS 86
#define HOST_CMD_REQUEST_RESTART 87   /* carried out at the next main timer tick */
#define HOST_CMD_REQUEST_UNLOAD 88    /* carried out at the next main timer tick */

/* One task, for _vorn_autosave and _vorn_savereport: 12 bytes on 32-bit
 * Windows. */
typedef struct TaskSummary {
    const char* name;  /* a copy made for the call */
    int total_seconds; /* accumulated seconds, the running run included */
    int running;       /* 1 while the task runs, else 0 */
} TaskSummary;

#if defined(_WIN32) && !defined(_WIN64)
#ifdef __cplusplus
static_assert(sizeof(TaskSummary) == 12, "TaskSummary is 12 bytes on 32-bit Windows");
#else
_Static_assert(sizeof(TaskSummary) == 12, "TaskSummary is 12 bytes on 32-bit Windows");
#endif
#endif

/* The host's callback: `code` one of HOST_CMD_*, `name` a task name or null,
 * `value` read by HOST_CMD_SET_TASK_SECONDS only (others accept null).
 * Returns 1 when done, 0 when not (an unknown code gives 0). */
typedef int(VORN_CALL* HostCallback)(unsigned code, const char* name, int* value);

/* The entry points, by exported name. */
typedef int(VORN_CALL* vorn_init_fn)(HostCallback host);                 /* "_vorn_init" */
typedef int(VORN_CALL* vorn_shutdown_fn)(void);                         /* "_vorn_shutdown" */
typedef int(VORN_CALL* vorn_configuration_fn)(void);                    /* "_vorn_configuration" */
typedef int(VORN_CALL* vorn_about_fn)(void);                            /* "_vorn_about" */
typedef int(VORN_CALL* vorn_addtask_fn)(char* buffer);                  /* "_vorn_addtask" */
typedef int(VORN_CALL* vorn_removetask_fn)(const char* name, int total_seconds); /* "_vorn_removetask" */
typedef int(VORN_CALL* vorn_resettask_fn)(const char* name, int total_seconds);  /* "_vorn_resettask" */
typedef int(VORN_CALL* vorn_autosave_fn)(const TaskSummary* tasks, int count);   /* "_vorn_autosave" */
typedef int(VORN_CALL* vorn_savereport_fn)(const TaskSummary* tasks, int count); /* "_vorn_savereport" */
typedef int(VORN_CALL* vorn_taskstarted_fn)(const char* name, int total_seconds, int started); /* "_vorn_taskstarted" */
typedef int(VORN_CALL* vorn_taskstopped_fn)(const char* name, int total_seconds, int stopped); /* "_vorn_taskstopped" */
typedef int(VORN_CALL* vorn_taskadded_fn)(const char* name, int ok);              /* "_vorn_taskadded" */
typedef int(VORN_CALL* vorn_taskremoved_fn)(const char* index_text, int ok);      /* "_vorn_taskremoved" */

#ifdef __cplusplus
}
#endif

#endif
