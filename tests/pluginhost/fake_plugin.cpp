#include "tests/pluginhost/fake_plugin.h"

#include <cstring>
#include <new>

#include "tests/support/recorder.h"

const char* const FAKE_EXPORT_NAMES[FAKE_ENTRY_COUNT] = {
    "_vorn_init",        "_vorn_shutdown",    "_vorn_configuration", "_vorn_about",
    "_vorn_addtask",     "_vorn_removetask",  "_vorn_resettask",     "_vorn_autosave",
    "_vorn_savereport",  "_vorn_taskstarted", "_vorn_taskstopped",   "_vorn_taskadded",
    "_vorn_taskremoved",
};

// The short names of the log.
static const char* const ENTRY_NAMES[FAKE_ENTRY_COUNT] = {
    "init",     "shutdown",   "configuration", "about",       "addtask",     "removetask", "resettask",
    "autosave", "savereport", "taskstarted",   "taskstopped", "taskadded",   "taskremoved",
};

FakeLibrary g_fake[3];
std::optional<std::string> g_chosen_plugin;

FakeLibrary& fake(char tag)
{
    return g_fake[tag - 'A'];
}

void fake_reset()
{
    for (int i = 0; i < 3; ++i) {
        FakeLibrary& library = g_fake[i];
        library = FakeLibrary{};
        library.tag = static_cast<char>('A' + i);
        library.path = std::string("plugins/vorn_") + static_cast<char>('a' + i) + ".dll";
        for (int entry = 0; entry < FAKE_ENTRY_COUNT; ++entry) {
            library.exports[entry] = true;
            library.results[entry] = 1;
        }
    }
    g_chosen_plugin.reset();
    g_hook_throws = false;
}

static std::string summaries_of(const TaskSummary* tasks, int count)
{
    if (!tasks)
        return "null, " + std::to_string(count);
    std::string text = "[";
    for (int i = 0; i < count; ++i) {
        text += (i ? ", " : "") + quoted(tasks[i].name) + " " + std::to_string(tasks[i].total_seconds) + " " +
                std::to_string(tasks[i].running);
    }
    return text + "], " + std::to_string(count);
}

// One entry call of library `index`: logs it, runs what the test scripted
// for it, and answers the scripted result.
static int enter(int index, FakeEntry entry, const std::string& arguments)
{
    FakeLibrary& library = g_fake[index];
    std::string name = std::string(1, library.tag) + " " + ENTRY_NAMES[entry];
    if (library.references <= 0)
        ADD_FAILURE() << name << " called while the library is released";
    record(name + arguments);
    ++library.running;
    if (library.during[entry]) {
        // A copy: the action may change the scripts.
        std::function<void()>(library.during[entry])();
        record(name + " returns");
    }
    --library.running;
    return library.results[entry];
}

static std::string pair(const char* name, int value)
{
    return "(" + quoted(name) + ", " + std::to_string(value) + ")";
}

static std::string triple(const char* name, int a, int b)
{
    return "(" + quoted(name) + ", " + std::to_string(a) + ", " + std::to_string(b) + ")";
}

// The thirteen entry points of library L, with the contract's convention.
template <int L>
struct FakeEntries {
    static int VORN_CALL init(HostCallback host)
    {
        g_fake[L].host = host;
        return enter(L, FAKE_INIT, "");
    }
    static int VORN_CALL shutdown() { return enter(L, FAKE_SHUTDOWN, "()"); }
    static int VORN_CALL configuration() { return enter(L, FAKE_CONFIGURATION, "()"); }
    static int VORN_CALL about() { return enter(L, FAKE_ABOUT, "()"); }
    static int VORN_CALL addtask(char* buffer)
    {
        bool zeroed = true;
        for (int i = 0; i < VORN_ADDTASK_BUFFER_SIZE; ++i)
            zeroed = zeroed && buffer[i] == '\0';
        const FakeLibrary& library = g_fake[L];
        if (library.fill_buffer)
            memset(buffer, 'x', VORN_ADDTASK_BUFFER_SIZE);
        else
            memcpy(buffer, library.addtask_name.c_str(), library.addtask_name.size() + 1);
        return enter(L, FAKE_ADDTASK, zeroed ? "(zeroed)" : "(dirty)");
    }
    static int VORN_CALL removetask(const char* name, int seconds)
    {
        return enter(L, FAKE_REMOVETASK, pair(name, seconds));
    }
    static int VORN_CALL resettask(const char* name, int seconds)
    {
        return enter(L, FAKE_RESETTASK, pair(name, seconds));
    }
    static int VORN_CALL autosave(const TaskSummary* tasks, int count)
    {
        return enter(L, FAKE_AUTOSAVE, "(" + summaries_of(tasks, count) + ")");
    }
    static int VORN_CALL savereport(const TaskSummary* tasks, int count)
    {
        return enter(L, FAKE_SAVEREPORT, "(" + summaries_of(tasks, count) + ")");
    }
    static int VORN_CALL taskstarted(const char* name, int seconds, int started)
    {
        return enter(L, FAKE_TASKSTARTED, triple(name, seconds, started));
    }
    static int VORN_CALL taskstopped(const char* name, int seconds, int stopped)
    {
        return enter(L, FAKE_TASKSTOPPED, triple(name, seconds, stopped));
    }
    static int VORN_CALL taskadded(const char* name, int ok) { return enter(L, FAKE_TASKADDED, pair(name, ok)); }
    static int VORN_CALL taskremoved(const char* index_text, int ok)
    {
        return enter(L, FAKE_TASKREMOVED, pair(index_text, ok));
    }

    // Typed pointers first: each must convert to the contract's types.
    static constexpr vorn_init_fn init_entry = init;
    static constexpr vorn_shutdown_fn shutdown_entry = shutdown;
    static constexpr vorn_configuration_fn configuration_entry = configuration;
    static constexpr vorn_about_fn about_entry = about;
    static constexpr vorn_addtask_fn addtask_entry = addtask;
    static constexpr vorn_removetask_fn removetask_entry = removetask;
    static constexpr vorn_resettask_fn resettask_entry = resettask;
    static constexpr vorn_autosave_fn autosave_entry = autosave;
    static constexpr vorn_savereport_fn savereport_entry = savereport;
    static constexpr vorn_taskstarted_fn taskstarted_entry = taskstarted;
    static constexpr vorn_taskstopped_fn taskstopped_entry = taskstopped;
    static constexpr vorn_taskadded_fn taskadded_entry = taskadded;
    static constexpr vorn_taskremoved_fn taskremoved_entry = taskremoved;

    static void* symbol(int entry)
    {
        switch (entry) {
        case FAKE_INIT: return reinterpret_cast<void*>(init_entry);
        case FAKE_SHUTDOWN: return reinterpret_cast<void*>(shutdown_entry);
        case FAKE_CONFIGURATION: return reinterpret_cast<void*>(configuration_entry);
        case FAKE_ABOUT: return reinterpret_cast<void*>(about_entry);
        case FAKE_ADDTASK: return reinterpret_cast<void*>(addtask_entry);
        case FAKE_REMOVETASK: return reinterpret_cast<void*>(removetask_entry);
        case FAKE_RESETTASK: return reinterpret_cast<void*>(resettask_entry);
        case FAKE_AUTOSAVE: return reinterpret_cast<void*>(autosave_entry);
        case FAKE_SAVEREPORT: return reinterpret_cast<void*>(savereport_entry);
        case FAKE_TASKSTARTED: return reinterpret_cast<void*>(taskstarted_entry);
        case FAKE_TASKSTOPPED: return reinterpret_cast<void*>(taskstopped_entry);
        case FAKE_TASKADDED: return reinterpret_cast<void*>(taskadded_entry);
        case FAKE_TASKREMOVED: return reinterpret_cast<void*>(taskremoved_entry);
        }
        return nullptr;
    }
};

static void* fake_load(const char* path, int* error)
{
    for (FakeLibrary& library : g_fake) {
        if (library.path != path)
            continue;
        record(std::string(1, library.tag) + " load");
        if (library.load_error) {
            *error = library.load_error;
            return nullptr;
        }
        // Like the system's loader: the same file again gives the same
        // handle, counted once more.
        ++library.references;
        return &library;
    }
    record("load " + quoted(path));
    *error = 126;  // ERROR_MOD_NOT_FOUND
    return nullptr;
}

static FakeLibrary* library_of(void* handle)
{
    for (FakeLibrary& library : g_fake)
        if (handle == &library)
            return &library;
    ADD_FAILURE() << "not a handle the loader gave";
    return nullptr;
}

static void* fake_symbol(void* handle, const char* name)
{
    FakeLibrary* library = library_of(handle);
    if (!library)
        return nullptr;
    if (library->references <= 0)
        ADD_FAILURE() << library->tag << " asked for " << name << " while released";
    library->lookups.push_back(name);
    int index = static_cast<int>(library - g_fake);
    for (int entry = 0; entry < FAKE_ENTRY_COUNT; ++entry) {
        if (strcmp(name, FAKE_EXPORT_NAMES[entry]) != 0 || !library->exports[entry])
            continue;
        switch (index) {
        case 0: return FakeEntries<0>::symbol(entry);
        case 1: return FakeEntries<1>::symbol(entry);
        default: return FakeEntries<2>::symbol(entry);
        }
    }
    return nullptr;
}

static int fake_release(void* handle, int* error)
{
    FakeLibrary* library = library_of(handle);
    if (!library)
        return 0;
    record(std::string(1, library->tag) + " release");
    if (library->release_error) {
        *error = library->release_error;
        return 0;
    }
    if (library->references <= 0)
        ADD_FAILURE() << library->tag << " released more often than loaded";
    if (library->running > 0 && library->references == 1)
        ADD_FAILURE() << library->tag << " released while one of its entry points runs";
    --library->references;
    return 1;
}

const PluginLibraryOps fake_library_ops = {fake_load, fake_symbol, fake_release};

// The system's calls are never reached: every test installs the fakes.
static void* system_load(const char* path, int*)
{
    ADD_FAILURE() << "the system's loader was asked for " << path;
    return nullptr;
}

static void* system_symbol(void*, const char*)
{
    ADD_FAILURE() << "the system's symbol lookup was reached";
    return nullptr;
}

static int system_release(void*, int*)
{
    ADD_FAILURE() << "the system's release was reached";
    return 0;
}

const PluginLibraryOps plugin_system_library_ops = {system_load, system_symbol, system_release};

static void hook_warn(const char* text)
{
    record("warn " + quoted(text));
}

static bool hook_ask(const char* question)
{
    record("ask " + quoted(question));
    return next_answer(question) == ANSWER_YES;
}

static void hook_show_error(int code, const char* text)
{
    record("error " + std::to_string(code) + " " + quoted(text));
}

static char* hook_choose_file(const char* filter, const char* folder)
{
    EXPECT_STREQ(filter, "Plug-in Files (vorn_*.dll)");
    EXPECT_STREQ(filter + strlen(filter) + 1, "vorn_*.dll");
    record("choose_plugin " + quoted(folder));
    if (!g_chosen_plugin)
        return nullptr;
    char* copy = new char[g_chosen_plugin->size() + 1];
    memcpy(copy, g_chosen_plugin->c_str(), g_chosen_plugin->size() + 1);
    return copy;
}

static void hook_ledger_changed()
{
    record("ledger changed");
    if (g_hook_throws)
        throw std::bad_alloc();
}

bool g_hook_throws = false;

const PluginHostHooks recording_hooks = {hook_warn, hook_ask, hook_show_error, hook_choose_file,
                                         hook_ledger_changed};
