// The plug-in slot: loading and releasing the one plug-in library, its menu
// commands, the notifiers the shell calls and the HostCallback.
#include "pluginhost/plugin_host.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ledger/ledger.h"
#include "pluginhost/notify.h"

static const char BAD_PLUGIN[] = "Le plug-in est introuvable ou incorrecte !";
static const char PLUGIN_FILTER[] = "Plug-in Files (vorn_*.dll)\0vorn_*.dll\0";
// The system's code for "not enough memory" (ERROR_NOT_ENOUGH_MEMORY): its
// message is the one shown when memory runs out inside the HostCallback.
static const int OUT_OF_MEMORY_CODE = 8;

enum : unsigned {
    COMMAND_MENU = 4093,
    COMMAND_LOAD = 4094,
    COMMAND_ACTIVATE = 4095,
    COMMAND_UNLOAD = 4096,
    COMMAND_SHUTDOWN = 4097,
    COMMAND_CONFIGURE = 4098,
    COMMAND_ABOUT = 4099,
};

// The one plug-in the program holds.
struct PluginSlot {
    void* library = nullptr;
    int initialised = 0;
    vorn_init_fn init = nullptr;
    vorn_shutdown_fn shutdown = nullptr;
    vorn_configuration_fn configuration = nullptr;
    vorn_about_fn about = nullptr;
    vorn_addtask_fn addtask = nullptr;
    vorn_removetask_fn removetask = nullptr;
    vorn_resettask_fn resettask = nullptr;
    vorn_autosave_fn autosave = nullptr;
    vorn_savereport_fn savereport = nullptr;
    vorn_taskstarted_fn taskstarted = nullptr;
    vorn_taskstopped_fn taskstopped = nullptr;
    vorn_taskadded_fn taskadded = nullptr;
    vorn_taskremoved_fn taskremoved = nullptr;
    std::unique_ptr<std::string> path;  // the file a restart loads again
    int restart_request = 0;
    int unload_request = 0;
    int autosave_guard = 0;
};

static PluginSlot g_slot;
static const PluginLibraryOps* g_ops = &plugin_system_library_ops;
// Entry points run nested message loops (their boxes and dialogs), in which
// the user can unload the plug-in or a timer tick can restart it. Releasing
// the library then would pull the code out from under the entry point still
// running. So the calls in progress are counted, and a release asked for
// meanwhile waits until the outermost call has returned.
static int g_calls_in_progress = 0;
static std::vector<void*> g_pending_release;
// Counts the libraries loaded into the slot. An initialisation runs a nested
// message loop too, in which the slot can be emptied (an unload request at a
// tick, the program's end) and filled again: the count tells whether the slot
// still holds the library whose initialisation has returned.
static unsigned g_load_count = 0;

void plugin_set_library_ops(const PluginLibraryOps* ops)
{
    g_ops = ops ? ops : &plugin_system_library_ops;
}

static bool release_now(void* library)
{
    int error = 0;
    if (g_ops->release(library, &error))
        return true;
    plugin_show_error(error, BAD_PLUGIN);
    return false;
}

template <typename Entry, typename... Args>
static int call_entry(Entry entry, Args... args)
{
    ++g_calls_in_progress;
    int result = entry(args...);
    if (--g_calls_in_progress == 0) {
        std::vector<void*> pending;
        pending.swap(g_pending_release);
        for (void* library : pending)
            release_now(library);
    }
    return result;
}

bool plugin_is_active()
{
    return g_slot.library && g_slot.initialised;
}

bool plugin_has_configuration()
{
    return plugin_is_active() && g_slot.configuration;
}

// An entry point is available when the plug-in is active and exports it.
template <typename Entry>
static bool available(Entry entry)
{
    return plugin_is_active() && entry;
}

static void clear_slot()
{
    PluginSlot empty;
    // The requests and the guard outlive one library: a restart goes on
    // from them.
    empty.restart_request = g_slot.restart_request;
    empty.unload_request = g_slot.unload_request;
    empty.autosave_guard = g_slot.autosave_guard;
    g_slot = std::move(empty);
}

int32_t unload_plugin()
{
    if (!g_slot.library)
        return 0;
    void* library = g_slot.library;
    if (g_calls_in_progress > 0) {
        try {
            g_pending_release.push_back(library);
        } catch (const std::bad_alloc&) {
            // Never release under a running entry point: keep the library.
        }
    } else if (!release_now(library)) {
        return 0;  // still loaded: the slot stays as it was
    }
    clear_slot();
    return 1;
}

template <typename Entry>
static void resolve(Entry& entry, const char* name)
{
    entry = reinterpret_cast<Entry>(g_ops->symbol(g_slot.library, name));
}

int32_t load_plugin(const char* path)
{
    if (!path || !*path)
        return 0;
    // One library at a time: a slot that holds one (an initialisation still
    // running, or an active plug-in) is emptied first by the commands that
    // load; anything else would lose the library held.
    if (g_slot.library)
        return 0;
    int error = 0;
    void* library = g_ops->load(path, &error);
    if (!library) {
        plugin_show_error(error, BAD_PLUGIN);
        return 0;
    }
    g_slot.library = library;
    ++g_load_count;
    resolve(g_slot.init, "_vorn_init");
    resolve(g_slot.shutdown, "_vorn_shutdown");
    resolve(g_slot.about, "_vorn_about");
    resolve(g_slot.configuration, "_vorn_configuration");
    resolve(g_slot.addtask, "_vorn_addtask");
    resolve(g_slot.removetask, "_vorn_removetask");
    resolve(g_slot.resettask, "_vorn_resettask");
    resolve(g_slot.autosave, "_vorn_autosave");
    resolve(g_slot.savereport, "_vorn_savereport");
    resolve(g_slot.taskstarted, "_vorn_taskstarted");
    resolve(g_slot.taskstopped, "_vorn_taskstopped");
    resolve(g_slot.taskadded, "_vorn_taskadded");
    resolve(g_slot.taskremoved, "_vorn_taskremoved");
    const char* missing = !g_slot.init       ? "vorn_init"
                          : !g_slot.shutdown ? "vorn_shutdown"
                          : !g_slot.about    ? "vorn_about"
                                             : nullptr;
    if (missing) {
        std::string text = std::string(BAD_PLUGIN) + "\nLa méthode " + missing + " est manquante.";
        plugin_show_error(0, text.c_str());
        unload_plugin();
        return 0;
    }
    return 1;
}

int32_t activate_plugin(const char* path)
{
    // `path` may be the remembered path itself, which the load replaces.
    std::string file = path ? path : "";
    if (!load_plugin(file.c_str()))
        return 0;
    unsigned loaded = g_load_count;
    int32_t result = call_entry(g_slot.init, plugin_host_callback);
    if (g_load_count != loaded || !g_slot.library)
        return 0;  // released during its own initialisation
    if (result == 0) {
        plugin_warn("Echec de l'initialisation du plug-in !");
        unload_plugin();
        return 0;
    }
    g_slot.path.reset(new (std::nothrow) std::string(std::move(file)));
    g_slot.initialised = 1;
    return result;
}

void plugin_shutdown()
{
    if (plugin_is_active())
        call_entry(g_slot.shutdown);
    unload_plugin();
}

int32_t plugin_command(unsigned command)
{
    switch (command) {
    case COMMAND_LOAD: {
        if (plugin_is_active()) {
            plugin_command(COMMAND_UNLOAD);
            if (plugin_is_active())
                return 0;
        }
        std::unique_ptr<char[]> chosen(plugin_choose_file(PLUGIN_FILTER, "./plugins"));
        if (chosen)
            activate_plugin(chosen.get());
        return 0;
    }
    case COMMAND_ACTIVATE:
        if (g_slot.path)
            activate_plugin(g_slot.path->c_str());
        return 0;
    case COMMAND_UNLOAD:
        if (plugin_ask("Voulez-vous stopper le plug-in courant ?"))
            return plugin_command(COMMAND_SHUTDOWN);
        return 0;
    case COMMAND_SHUTDOWN:
        if (plugin_is_active() && call_entry(g_slot.shutdown) == 0)
            return 0;  // the plug-in refuses: it stays loaded and active
        unload_plugin();
        return 1;
    case COMMAND_CONFIGURE:
        if (plugin_has_configuration())
            call_entry(g_slot.configuration);
        return 0;
    case COMMAND_ABOUT:
        if (plugin_is_active())
            call_entry(g_slot.about);
        return 0;
    }
    return 0;
}

void plugin_timer_tick()
{
    if (g_slot.restart_request) {
        g_slot.restart_request = 0;
        std::string path = g_slot.path ? *g_slot.path : std::string();
        plugin_command(COMMAND_SHUTDOWN);
        // A plug-in that refused its shutdown is still active: loading the
        // same file again would initialise it a second time. The restart
        // ends there.
        if (!plugin_is_active() && !path.empty())
            activate_plugin(path.c_str());
    }
    if (g_slot.unload_request) {
        g_slot.unload_request = 0;
        plugin_command(COMMAND_SHUTDOWN);
    }
}

int32_t notify_add_task()
{
    if (!available(g_slot.addtask))
        return PLUGIN_NOT_AVAILABLE;
    char buffer[VORN_ADDTASK_BUFFER_SIZE] = {};
    int32_t result = call_entry(g_slot.addtask, buffer);
    // A plug-in that filled the whole buffer left no NUL.
    buffer[sizeof buffer - 1] = '\0';
    if (buffer[0] != '\0')
        notify_add_named_task(buffer);
    return result;
}

int32_t notify_task_added(const char* name, int32_t ok)
{
    if (!available(g_slot.taskadded))
        return PLUGIN_NOT_AVAILABLE;
    return call_entry(g_slot.taskadded, name, ok);
}

int32_t notify_task_removed(int32_t index, int32_t ok)
{
    if (!available(g_slot.taskremoved))
        return PLUGIN_NOT_AVAILABLE;
    std::string text = std::to_string(index);
    return call_entry(g_slot.taskremoved, text.c_str(), ok);
}

// The task's name as a copy for the call, with its live seconds.
struct TaskArguments {
    std::unique_ptr<char[]> name;
    int32_t seconds = 0;
};

static TaskArguments task_arguments(const Plorvin* task)
{
    TaskArguments arguments;
    if (task) {
        arguments.name.reset(task_name_copy(task));
        arguments.seconds = task_elapsed(task);
    }
    return arguments;
}

int32_t notify_remove_task(int32_t index)
{
    if (!available(g_slot.removetask))
        return PLUGIN_NOT_AVAILABLE;
    const Plorvin* task = ledger_task_at(index);
    if (!task)
        return 0;
    TaskArguments arguments = task_arguments(task);
    return call_entry(g_slot.removetask, arguments.name.get(), arguments.seconds);
}

int32_t notify_reset_task(int32_t index)
{
    if (!available(g_slot.resettask))
        return PLUGIN_NOT_AVAILABLE;
    TaskArguments arguments = task_arguments(ledger_task_at(index));
    return call_entry(g_slot.resettask, arguments.name.get(), arguments.seconds);
}

int32_t notify_task_started(int32_t index, int32_t started)
{
    if (!available(g_slot.taskstarted))
        return PLUGIN_NOT_AVAILABLE;
    TaskArguments arguments = task_arguments(ledger_task_at(index));
    return call_entry(g_slot.taskstarted, arguments.name.get(), arguments.seconds, started);
}

int32_t notify_task_stopped(int32_t index, int32_t stopped)
{
    if (!available(g_slot.taskstopped))
        return PLUGIN_NOT_AVAILABLE;
    const Plorvin* task = ledger_task_at(index);
    if (!task) {
        call_entry(g_slot.taskstopped, static_cast<const char*>(nullptr), 0, 0);
        return 1;
    }
    TaskArguments arguments = task_arguments(task);
    return call_entry(g_slot.taskstopped, arguments.name.get(), arguments.seconds, stopped);
}

int32_t notify_autosave()
{
    if (!available(g_slot.autosave))
        return PLUGIN_NOT_AVAILABLE;
    // A tick inside the plug-in's own autosave (a box it shows) must not
    // enter it again; the caller saves the profile.
    if (g_slot.autosave_guard)
        return 1;
    g_slot.autosave_guard = 1;
    int32_t result = send_task_summaries(g_slot.autosave);
    g_slot.autosave_guard = 0;
    return result;
}

int32_t notify_save_report()
{
    if (!available(g_slot.savereport))
        return PLUGIN_NOT_AVAILABLE;
    return send_task_summaries(g_slot.savereport);
}

int32_t send_task_summaries(vorn_autosave_fn entry)
{
    if (!entry)
        return 1;
    // When memory runs out the plug-in gets the tasks gathered so far, with
    // their count: never a count larger than the array.
    std::vector<TaskSummary> summaries;
    std::vector<std::unique_ptr<char[]>> names;
    try {
        summaries.reserve(static_cast<size_t>(ledger_task_count()));
        names.reserve(static_cast<size_t>(ledger_task_count()));
        for (int32_t i = 0; i < ledger_slot_count(); ++i) {
            const Plorvin* task = ledger_task_at(i);
            if (!task)
                continue;
            std::unique_ptr<char[]> name(task_name_copy(task));
            if (!name)
                break;
            summaries.push_back({name.get(), task_elapsed(task), task_is_running(task) ? 1 : 0});
            names.push_back(std::move(name));
        }
    } catch (const std::bad_alloc&) {
        summaries.resize(names.size());
    }
    const TaskSummary* array = summaries.empty() ? nullptr : summaries.data();
    return call_entry(entry, array, static_cast<int>(summaries.size()));
}

// One HostCallback command. Returns its result and whether the ledger changed.
static int run_host_command(unsigned code, const char* name, int* value, bool& changed)
{
    int result = 0;
    switch (code) {
    case HOST_CMD_ADD_TASK:
        result = ledger_add_task(name, 0) >= 0;
        break;
    case HOST_CMD_REMOVE_TASK: {
        int32_t index = ledger_find_task(name);
        bool current = index >= 0 && index == ledger_current_index();
        result = ledger_remove_task(index) >= 0;
        // The current index must not name a task that no longer exists.
        if (result && current)
            ledger_forget_current();
        break;
    }
    case HOST_CMD_SET_TASK_SECONDS:
        result = value && ledger_set_seconds_named(name, *value) == 1;
        break;
    case HOST_CMD_START_TASK:
        result = ledger_start_task_named(name) == 1;
        break;
    case HOST_CMD_STOP_CURRENT_TASK:
        result = ledger_stop_current() == 1;
        break;
    case HOST_CMD_STOP_TASK:
        result = ledger_stop_task_named(name) == 1;
        break;
    case HOST_CMD_CLEAR_TASKS:
        ledger_clear();
        result = 1;
        break;
    case HOST_CMD_REQUEST_RESTART:
        g_slot.restart_request = 1;
        return 1;
    case HOST_CMD_REQUEST_UNLOAD:
        g_slot.unload_request = 1;
        return 1;
    }
    changed = result != 0;
    return result;
}

int VORN_CALL plugin_host_callback(unsigned code, const char* name, int* value)
{
    // Called from the plug-in's code: no exception may unwind through it.
    // Memory running out fails the command, or, once the ledger changed, only
    // what the program does about the change; the user sees the system's
    // message either way.
    bool changed = false;
    int result = 0;
    try {
        result = run_host_command(code, name, value, changed);
        if (changed)
            plugin_ledger_changed();
    } catch (...) {
        plugin_show_error(OUT_OF_MEMORY_CODE, nullptr);
    }
    return result;
}
