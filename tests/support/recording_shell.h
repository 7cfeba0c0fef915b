// A stand-in for the window side (shell/shell_ui.h) and the plug-in host
// (pluginhost/notify.h): every call appends one line to the event log of
// tests/support/recorder.h and answers what the test scripted. The fixture
// hands the shell the recording window (recording_shell.cpp); the
// notifiers (recording_notify.cpp) are linked in place of the slot's.
//
// Lines, one per call:
//   box owner=<window> '<text>' flags=0x<flags>     show_message
//   tip '<text>'  /  icon <id>                      the tray's tip and icon
//   dialog add owner=<window>                       the add-task dialog
//   dialog taskmanager owner=<window>               the task manager dialog
//   about  /  choose '<folder>'  /  destroy <window>
//   choose_file '<folder>'                          the open picker
//   error <code> '<text>'                           show_error_box
//   error <code> '<text>' question '<question>'     show_error_question, which
//       takes its answer from the Yes/No answers
//   terminate <pid> <exit code>
//   notify_<name>(<args>) current=<c>[ runs=<r>]    a notifier, with the
//       ledger's current index and, for a notifier about slot i, whether
//       task i runs (1/0, '-' for no task there) at the moment of the call
//   plugin_timer_tick, plugin_command <id>, activate '<path>',
//   unload_plugin, plugin_shutdown, update_plugin_menu
// Windows are named main (g_shell.main_window), taskmanager
// (RECORDED_TASK_MANAGER), none (nullptr).
#pragma once

#include "pluginhost/notify.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "tests/support/recorder.h"

// Stands for the task manager dialog's window.
extern char RECORDED_TASK_MANAGER[1];

// The recording window side.
extern const ShellWindow recording_window;

// The recorder's fixture, with the shell's state cleared (the main window is
// a stand-in pointer named "main") and the recording window side in place.
struct ShellFixture : RecorderFixture {
    void SetUp() override;
    void TearDown() override;
};
