#include "tests/support/recording_shell.h"

#include <cstdio>
#include <cstring>

#include "ledger/keeper.h"
#include "shell/shell_ui.h"

char RECORDED_TASK_MANAGER[1];

static char g_main_window[1];

void ShellFixture::SetUp()
{
    RecorderFixture::SetUp();
    g_shell = ShellState{};
    g_shell.main_window = g_main_window;
    shell_set_window(&recording_window);
}

void ShellFixture::TearDown()
{
    keeper_close();
    RecorderFixture::TearDown();
    g_shell = ShellState{};
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

static int show_message(void* owner, const char* text, unsigned flags)
{
    char hex[16];
    snprintf(hex, sizeof hex, "0x%x", flags);
    record("box owner=" + window_name(owner) + " " + quoted(text) + " flags=" + hex);
    if ((flags & SHELL_MB_YESNO) != SHELL_MB_YESNO)
        return SHELL_IDOK;
    return next_answer(text);
}

static void tray_set_tip(const char* text)
{
    record("tip " + quoted(text));
}

static void tray_set_icon(int icon_id)
{
    record("icon " + std::to_string(icon_id));
}

static void show_add_task_dialog(void* owner)
{
    record("dialog add owner=" + window_name(owner));
}

static void show_about_box()
{
    record("about");
}

static char* copy_of(const std::optional<std::string>& path)
{
    if (!path)
        return nullptr;
    char* copy = new char[path->size() + 1];
    memcpy(copy, path->c_str(), path->size() + 1);
    return copy;
}

static char* choose_text_file(const char* folder)
{
    record("choose " + quoted(folder));
    return copy_of(g_recorder.chosen_path);
}

static char* choose_file(const char*, const char* folder)
{
    record("choose_file " + quoted(folder));
    return copy_of(g_recorder.chosen_path);
}

static void show_error_box(int code, const char* text)
{
    record("error " + std::to_string(code) + " " + quoted(text));
}

static int show_error_question(int code, const char* text, const char* question)
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

static void destroy_window(void* window)
{
    record("destroy " + window_name(window));
}

static void run_task_manager_dialog(void* owner)
{
    record("dialog taskmanager owner=" + window_name(owner));
}

static int terminate_process(uint32_t pid, uint32_t exit_code)
{
    record("terminate " + std::to_string(pid) + " " + std::to_string(exit_code));
    return 1;
}

const ShellWindow recording_window = {
    show_message,     tray_set_tip, tray_set_icon,  show_add_task_dialog,    show_about_box,    choose_text_file,
    choose_file,      show_error_box, destroy_window, run_task_manager_dialog, terminate_process,
    show_error_question,
};
