// The plug-in slot: the one plug-in library the program holds, its loading,
// initialisation, commands and release. The shell reaches it through
// pluginhost/notify.h; this header adds what the window side and tests need.
#pragma once

#include <cstdint>

#include "pluginhost/vorn_plugin.h"

// What the slot needs from the program above it, set once at start-up. Until
// then (and for a null member) boxes show nothing, questions get No and the
// picker chooses nothing.
struct PluginHostHooks {
    // A warning box without owner.
    void (*warn)(const char* text);
    // A Yes/No question without owner, on top of every window, No the default
    // button. Returns true for Yes.
    bool (*ask)(const char* question);
    // `text` (or nullptr) joined with the system's message for `code` (0: none)
    // in an information box.
    void (*show_error)(int code, const char* text);
    // The open picker over the double-NUL-terminated `filter`, starting in
    // `folder`. Returns a new[] path that the caller delete[]s, or nullptr; the
    // current directory is restored afterwards.
    char* (*choose_file)(const char* filter, const char* folder);
    // The plug-in changed the ledger through the HostCallback.
    void (*ledger_changed)();
};

// Makes the slot use `hooks` (kept, not copied); nullptr for none.
void plugin_set_hooks(const PluginHostHooks* hooks);

// The hooks as the slot's own files call them: nothing (No, no file) when
// unset.
void plugin_warn(const char* text);
bool plugin_ask(const char* question);
void plugin_show_error(int code, const char* text);
char* plugin_choose_file(const char* filter, const char* folder);
void plugin_ledger_changed();

// The operating-system calls behind the slot, a seam for tests.
struct PluginLibraryOps {
    // Loads the library at `path`. Returns its handle, or nullptr with the
    // system's error code in *error.
    void* (*load)(const char* path, int* error);
    // Returns the export `name`, or nullptr when the library has none.
    void* (*symbol)(void* library, const char* name);
    // Releases the library. Returns 1, or 0 with the error code in *error.
    int (*release)(void* library, int* error);
};

// The platform's own calls.
extern const PluginLibraryOps plugin_system_library_ops;

// Makes the slot use `ops`; nullptr restores plugin_system_library_ops.
void plugin_set_library_ops(const PluginLibraryOps* ops);

// Loads the library and checks its three mandatory entry points (the user is
// told what is wrong). Returns 1 when loaded, else 0 with the slot empty; 0
// also, with nothing done, while the slot already holds a library.
int32_t load_plugin(const char* path);

// Whether a plug-in is loaded and initialised, and whether it can be
// configured.
bool plugin_is_active();
bool plugin_has_configuration();

// The callback the host hands to _vorn_init.
int VORN_CALL plugin_host_callback(unsigned code, const char* name, int* value);

// Sends the ledger's tasks to `entry` (an autosave or save-report entry
// point) and returns its result; 1 for a null entry.
int32_t send_task_summaries(vorn_autosave_fn entry);
