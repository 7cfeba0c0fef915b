// The online plug-in's entry points, under plain names: vorn_KovReport.def
// exports each as the host looks it up ("_vorn_init" for vorn_init, ...).
// A Windows test program links the same objects and calls them directly.
#pragma once

#include <windows.h>

#include "pluginhost/vorn_plugin.h"

extern "C" {
int VORN_CALL vorn_init(HostCallback host);
int VORN_CALL vorn_shutdown(void);
int VORN_CALL vorn_configuration(void);
int VORN_CALL vorn_about(void);
int VORN_CALL vorn_addtask(char* buffer);
int VORN_CALL vorn_removetask(const char* name, int total_seconds);
int VORN_CALL vorn_taskstarted(const char* name, int total_seconds, int started);
int VORN_CALL vorn_taskstopped(const char* name, int total_seconds, int stopped);
int VORN_CALL vorn_autosave(const TaskSummary* tasks, int count);
int VORN_CALL vorn_savereport(const TaskSummary* tasks, int count);
}

// The settings file, in the process's current directory.
#define ONLINE_INI_PATH "./vorn_KovReport.ini"

// Called when the library is attached to a process: keeps the module whose
// resources the dialogs use and starts a fresh session (not logged on).
void online_attach(HINSTANCE instance);

// The logon dialog's handler: logs on with the texts typed, offers to restore
// the service's task list into the host and remembers the user when asked.
// Returns 1 when the session has begun (the dialog closes), 0 to keep the
// dialog open for another try (the reason has been shown).
int begin_session(HWND owner, const char* login, char* password, int remember);

// The address that the configuration entry point opens: the HTTPPathConfig
// setting as it stands when it holds a scheme ("://"), otherwise
// "http://HTTPHost:HTTPPort" followed by it. Returns a new[] text the caller
// delete[]s, or null when there is no memory.
char* config_page_address();

// Opens an address in the program the system associates with it. Returns
// the shell's result (above 32 when it opened).
typedef INT_PTR (*ShellOpenFn)(const char* address);
// Makes the configuration entry point open addresses with `open`; null
// restores the shell's own (ShellExecuteA). Returns the one in force before.
ShellOpenFn online_set_shell_open(ShellOpenFn open);
