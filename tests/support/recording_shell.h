// A stand-in for the window side (shell/shell_ui.h) and the plug-in host
// (pluginhost/notify.h): every call appends one line to an event log and
// answers what the test scripted. Linked in place of shell/*_win32.cpp
// (recording_shell.cpp) and of the plug-in host (recording_notify.cpp).
//
// Lines, one per call:
//   box owner=<window> '<text>' flags=0x<flags>     ShowMessage
//   tip '<text>'  /  icon <id>                      TraySetTip, TraySetIcon
//   dialog add owner=<window>                       ShowAddTaskDialog
//   dialog taskmanager owner=<window>               RunTaskManagerDialog
//   about  /  choose '<folder>'  /  destroy <window>
//   error <code> '<text>'                           ShowErrorBox
//   error <code> '<text>' question '<question>'     ShowErrorQuestion, which
//       takes its answer from the Yes/No answers
//   notify_<name>(<args>) current=<c>[ runs=<r>]    a notifier, with the
//       ledger's current index and, for a notifier about slot i, whether
//       task i runs (1/0, '-' for no task there) at the moment of the call
//   plugin_timer_tick, plugin_command <id>, activate '<path>',
//   unload_plugin, plugin_shutdown, update_plugin_menu
// Windows are named main (g_shell.main_window), taskmanager
// (RECORDED_TASK_MANAGER), none (nullptr).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "pluginhost/notify.h"
#include "shell/shell.h"
#include "tests/support/manual_clock.h"

using Events = std::vector<std::string>;

struct Recorder {
    Events events;
    // Answers of the Yes/No boxes, in order. A Yes/No box with no answer left
    // fails the test; other boxes answer IDOK.
    std::deque<int> answers;
    // Results of the notifiers by name ("notify_task_started"); a notifier
    // not listed answers PLUGIN_NOT_AVAILABLE.
    std::map<std::string, int32_t> results;
    // What ChooseTextFile returns; nothing is a cancelled picker.
    std::optional<std::string> chosen_path;
    // Run inside a call, after its line was logged, by the line's first word
    // ("box", "dialog", "about", "choose", "destroy", "error", ...) or, for
    // dialogs, "dialog add" and "dialog taskmanager".
    std::map<std::string, std::function<void()>> during;
};

extern Recorder g_recorder;

// Logs `line` and runs what the test scripted for it.
void record(const std::string& line);
// `text` in single quotes, or "(none)" for nullptr.
std::string quoted(const char* text);

// Stands for the task manager dialog's window.
extern char RECORDED_TASK_MANAGER[1];

// Empties the log and every script.
void recorder_reset();

// Clears the ledger, the shell's state (the main window is a stand-in
// pointer named "main") and the recorder before and after each test. The
// clock is set by hand.
struct ShellFixture : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    Recorder& rec = g_recorder;
    ManualClock clock{1000000};
};

