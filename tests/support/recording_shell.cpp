#include "tests/support/recording_shell.h"

#include <cstdio>
#include <cstring>

#include "shell/shell_ui.h"

Recorder g_recorder;
char RECORDED_TASK_MANAGER[1];

static char g_main_window[1];

void recorder_reset()
{
    g_recorder = Recorder{};
}

void ShellFixture::SetUp()
{
    ledger_clear();
    g_shell = ShellState{};
    g_shell.main_window = g_main_window;
    recorder_reset();
}

void ShellFixture::TearDown()
{
    ledger_clear();
    g_shell = ShellState{};
    recorder_reset();
}

static std::string window_name(const void* window)
{
    if (!window)
        return "none";
    if (window == g_main_window)
        return "main";
    if (window == RECORDED_TASK_MANAGER)
        return "taskmanager";
    return "unknown";
}

static std::string quoted(const char* text)
{
    return text ? "'" + std::string(text) + "'" : "(none)";
}

static void run_hook(const std::string& key)
{
    auto hook = g_recorder.during.find(key);
    // A copy: the hook may change the scripts.
    if (hook != g_recorder.during.end() && hook->second)
        std::function<void()>(hook->second)();
}

// Logs the line, then runs what the test scripted for its first word and for
// its first two words ("dialog add").
static void record(const std::string& line)
{
    g_recorder.events.push_back(line);
    size_t first = line.find(' ');
    run_hook(line.substr(0, first));
    if (first != std::string::npos)
        run_hook(line.substr(0, line.find(' ', first + 1)));
}

// The ledger as the notifier finds it; `index` is the slot the notification
// is about, if any.
static std::string ledger_fact(std::optional<int32_t> index)
{
    std::string fact = " current=" + std::to_string(ledger_current_index());
    if (index) {
        const Plorvin* task = ledger_task_at(*index);
        fact += std::string(" runs=") + (task ? (task_is_running(task) ? "1" : "0") : "-");
    }
    return fact;
}

static int32_t notified(const char* name, const std::string& args, std::optional<int32_t> index)
{
    record(std::string(name) + "(" + args + ")" + ledger_fact(index));
    auto result = g_recorder.results.find(name);
    return result == g_recorder.results.end() ? PLUGIN_NOT_AVAILABLE : result->second;
}

static std::string pair(int32_t a, int32_t b)
{
    return std::to_string(a) + ", " + std::to_string(b);
}

int ShowMessage(void* owner, const char* text, unsigned flags)
{
    char hex[16];
    snprintf(hex, sizeof hex, "0x%x", flags);
    record("box owner=" + window_name(owner) + " " + quoted(text) + " flags=" + hex);
    if ((flags & SHELL_MB_YESNO) != SHELL_MB_YESNO)
        return SHELL_IDOK;
    if (g_recorder.answers.empty()) {
        ADD_FAILURE() << "no answer scripted for the question " << quoted(text);
        return SHELL_IDNO;
    }
    int answer = g_recorder.answers.front();
    g_recorder.answers.pop_front();
    return answer;
}

void TraySetTip(const char* text)
{
    record("tip " + quoted(text));
}

void TraySetIcon(int icon_id)
{
    record("icon " + std::to_string(icon_id));
}

void ShowAddTaskDialog(void* owner)
{
    record("dialog add owner=" + window_name(owner));
}

void ShowAboutBox()
{
    record("about");
}

char* ChooseTextFile(const char* folder)
{
    record("choose " + quoted(folder));
    if (!g_recorder.chosen_path)
        return nullptr;
    const std::string& path = *g_recorder.chosen_path;
    char* copy = new char[path.size() + 1];
    memcpy(copy, path.c_str(), path.size() + 1);
    return copy;
}

void ShowErrorBox(int code, const char* text)
{
    record("error " + std::to_string(code) + " " + quoted(text));
}

void DestroyShellWindow(void* window)
{
    record("destroy " + window_name(window));
}

void RunTaskManagerDialog(void* owner)
{
    record("dialog taskmanager owner=" + window_name(owner));
}

int32_t notify_add_task()
{
    return notified("notify_add_task", "", std::nullopt);
}

int32_t notify_task_added(const char* name, int32_t ok)
{
    return notified("notify_task_added", quoted(name) + ", " + std::to_string(ok), std::nullopt);
}

int32_t notify_remove_task(int32_t index)
{
    return notified("notify_remove_task", std::to_string(index), index);
}

int32_t notify_task_removed(int32_t index, int32_t ok)
{
    return notified("notify_task_removed", pair(index, ok), index);
}

int32_t notify_reset_task(int32_t index)
{
    return notified("notify_reset_task", std::to_string(index), index);
}

int32_t notify_task_started(int32_t index, int32_t result)
{
    return notified("notify_task_started", pair(index, result), index);
}

int32_t notify_task_stopped(int32_t index, int32_t result)
{
    return notified("notify_task_stopped", pair(index, result), index);
}

int32_t notify_autosave()
{
    return notified("notify_autosave", "", std::nullopt);
}

int32_t notify_save_report()
{
    return notified("notify_save_report", "", std::nullopt);
}

void plugin_timer_tick()
{
    record("plugin_timer_tick");
}

void plugin_command(unsigned command)
{
    record("plugin_command " + std::to_string(command));
}

int32_t activate_plugin(const char* path)
{
    record("activate " + quoted(path));
    return g_recorder.activate_result;
}

void unload_plugin()
{
    record("unload_plugin");
}

void plugin_shutdown()
{
    record("plugin_shutdown");
}

void update_plugin_menu(void*)
{
    record("update_plugin_menu");
}
