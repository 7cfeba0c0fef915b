// A plug-in library for the end-to-end tests of ZentrikWin, built in several
// variants from this one source: each variant's .def file (made by
// tests/CMakeLists.txt) says which entry points it exports. The functions
// here carry plain names; the .def file gives them the contract's names with
// their leading underscore, which both the 32-bit and the 64-bit linker then
// export as written.
//
// Every call is told in "testplugin.log" in the current directory, one line
// per call (and per HostCallback call, box, load and release), flushed at
// once: the program may be killed, or the library released, right after.
// What each entry point does is read from "testplugin.ctl" in the current
// directory at every call, so that a test can change it between two steps.
// Lines of "key=value", '#' for a comment:
//   <entry>=<result>                 what the entry point returns (default 1)
//   <entry>.call=<code>[,<name>[,<value>]]
//                                    a HostCallback call made from inside the
//                                    entry point, in the order of the lines;
//                                    a name or value left out, or "(null)",
//                                    is passed as null
//   <entry>.box=1                    a message box, caption
//                                    "TestPlugin <entry>", after the calls
//   addtask.name=<name>              the name written into the add-task buffer
// <entry> is the name without "_vorn_": init, shutdown, about, ...
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pluginhost/vorn_plugin.h"

static const char CONTROL_FILE[] = "testplugin.ctl";
static const char LOG_FILE[] = "testplugin.log";
static const char NULL_TEXT[] = "(null)";

static HostCallback g_host = nullptr;

static void log_line(const std::string& line)
{
    if (FILE* log = fopen(LOG_FILE, "ab")) {
        fputs((line + "\n").c_str(), log);
        fclose(log);
    }
}

// The values of `key` in the control file, in the order of its lines.
static std::vector<std::string> control_values(const std::string& key)
{
    std::vector<std::string> values;
    FILE* control = fopen(CONTROL_FILE, "rb");
    if (!control)
        return values;
    char line[1024];
    while (fgets(line, sizeof line, control)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        size_t equals = text.find('=');
        if (text.empty() || text[0] == '#' || equals == std::string::npos)
            continue;
        if (text.compare(0, equals, key) == 0 && equals == key.size())
            values.push_back(text.substr(equals + 1));
    }
    fclose(control);
    return values;
}

// The last value of `key`, or "" when it has none.
static std::string control_value(const std::string& key)
{
    std::vector<std::string> values = control_values(key);
    return values.empty() ? std::string() : values.back();
}

static std::string quoted(const char* text)
{
    return text ? "\"" + std::string(text) + "\"" : std::string(NULL_TEXT);
}

// One ".call" line: the code, then the name (up to the last comma) and the
// value; a missing name or value is null.
static void call_host(const std::string& request)
{
    size_t first = request.find(',');
    size_t last = request.rfind(',');
    unsigned code = static_cast<unsigned>(strtoul(request.c_str(), nullptr, 10));
    std::string name = NULL_TEXT;
    std::string value_text = NULL_TEXT;
    if (first != std::string::npos && first == last) {
        name = request.substr(first + 1);
    } else if (first != std::string::npos) {
        name = request.substr(first + 1, last - first - 1);
        value_text = request.substr(last + 1);
    }
    const char* name_argument = name == NULL_TEXT ? nullptr : name.c_str();
    int value = atoi(value_text.c_str());
    int* value_argument = value_text == NULL_TEXT ? nullptr : &value;
    std::string line = "  call " + std::to_string(code) + " " + quoted(name_argument) + " " +
                       (value_argument ? std::to_string(value) : std::string(NULL_TEXT));
    if (!g_host) {
        log_line(line + " -> no host");
        return;
    }
    int result = g_host(code, name_argument, value_argument);
    log_line(line + " -> " + std::to_string(result));
}

// Logs the call of `entry`, makes its HostCallback calls, shows its box, and
// returns its result.
static int run_entry(const char* entry, const std::string& arguments)
{
    log_line(arguments.empty() ? std::string(entry) : std::string(entry) + " " + arguments);
    for (const std::string& call : control_values(std::string(entry) + ".call"))
        call_host(call);
    if (control_value(std::string(entry) + ".box") == "1") {
        std::string caption = std::string("TestPlugin ") + entry;
        MessageBoxA(nullptr, entry, caption.c_str(), MB_OK);
        log_line(std::string(entry) + " box closed");
    }
    std::string result = control_value(entry);
    return result.empty() ? 1 : atoi(result.c_str());
}

static std::string task_arguments(const char* name, int seconds)
{
    return quoted(name) + " " + std::to_string(seconds);
}

static std::string summaries(const TaskSummary* tasks, int count)
{
    if (!tasks)
        return std::string(NULL_TEXT) + " " + std::to_string(count);
    std::string text = "[";
    for (int i = 0; i < count; ++i) {
        text += (i ? ", " : "") + quoted(tasks[i].name) + " " + std::to_string(tasks[i].total_seconds) +
                " " + std::to_string(tasks[i].running);
    }
    return text + "] " + std::to_string(count);
}

extern "C" {

// When the library is really mapped and released: "attach", and "detach"
// (or "detach at exit" when the process ends with it loaded). A release that
// the host puts off shows as a late "detach". Nothing here loads another
// library, which the loader lock held during these calls would forbid.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        log_line("attach");
    else if (reason == DLL_PROCESS_DETACH)
        log_line(reserved ? "detach at exit" : "detach");
    return TRUE;
}

int VORN_CALL test_init(HostCallback host)
{
    g_host = host;
    return run_entry("init", host ? "" : NULL_TEXT);
}

int VORN_CALL test_shutdown(void)
{
    return run_entry("shutdown", "");
}

int VORN_CALL test_configuration(void)
{
    return run_entry("configuration", "");
}

int VORN_CALL test_about(void)
{
    return run_entry("about", "");
}

int VORN_CALL test_addtask(char* buffer)
{
    // The host hands over 512 zero bytes.
    bool zeroed = true;
    for (int i = 0; i < VORN_ADDTASK_BUFFER_SIZE; ++i)
        zeroed = zeroed && buffer[i] == '\0';
    int result = run_entry("addtask", zeroed ? "zeroed" : "dirty");
    std::string name = control_value("addtask.name");
    strncpy(buffer, name.c_str(), VORN_ADDTASK_BUFFER_SIZE - 1);
    return result;
}

int VORN_CALL test_removetask(const char* name, int total_seconds)
{
    return run_entry("removetask", task_arguments(name, total_seconds));
}

int VORN_CALL test_resettask(const char* name, int total_seconds)
{
    return run_entry("resettask", task_arguments(name, total_seconds));
}

int VORN_CALL test_autosave(const TaskSummary* tasks, int count)
{
    return run_entry("autosave", summaries(tasks, count));
}

int VORN_CALL test_savereport(const TaskSummary* tasks, int count)
{
    return run_entry("savereport", summaries(tasks, count));
}

int VORN_CALL test_taskstarted(const char* name, int total_seconds, int started)
{
    return run_entry("taskstarted", task_arguments(name, total_seconds) + " " + std::to_string(started));
}

int VORN_CALL test_taskstopped(const char* name, int total_seconds, int stopped)
{
    return run_entry("taskstopped", task_arguments(name, total_seconds) + " " + std::to_string(stopped));
}

int VORN_CALL test_taskadded(const char* name, int ok)
{
    return run_entry("taskadded", quoted(name) + " " + std::to_string(ok));
}

int VORN_CALL test_taskremoved(const char* index_text, int ok)
{
    return run_entry("taskremoved", quoted(index_text) + " " + std::to_string(ok));
}

}  // extern "C"
