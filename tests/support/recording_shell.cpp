#include "tests/support/recording_shell.h"

#include <cstdio>
#include <cstring>

#include "ledger/keeper.h"
#include "processes/process_list.h"
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
    keeper_close();
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

std::string quoted(const char* text)
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
void record(const std::string& line)
{
    g_recorder.events.push_back(line);
    size_t first = line.find(' ');
    run_hook(line.substr(0, first));
    if (first != std::string::npos)
        run_hook(line.substr(0, line.find(' ', first + 1)));
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

int ShowErrorQuestion(int code, const char* text, const char* question)
{
    record("error " + std::to_string(code) + " " + quoted(text) + " question " + quoted(question));
    if (g_recorder.answers.empty()) {
        ADD_FAILURE() << "no answer scripted for the question " << quoted(question);
        return SHELL_IDNO;
    }
    int answer = g_recorder.answers.front();
    g_recorder.answers.pop_front();
    return answer;
}

void DestroyShellWindow(void* window)
{
    record("destroy " + window_name(window));
}

int process_terminate(uint32_t pid, uint32_t exit_code)
{
    record("terminate " + std::to_string(pid) + " " + std::to_string(exit_code));
    return 1;
}

void RunTaskManagerDialog(void* owner)
{
    record("dialog taskmanager owner=" + window_name(owner));
}

