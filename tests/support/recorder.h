// An event log for stand-ins: every call of a stand-in appends one line and
// answers what the test scripted. tests/support/recording_shell.h stands in
// for the shell's window side and the plug-in host with it, and
// tests/pluginhost/fake_plugin.h for plug-in libraries and the host's hooks.
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
#include "tests/support/manual_clock.h"

using Events = std::vector<std::string>;

struct Recorder {
    Events events;
    // Answers of the Yes/No boxes, in order (the system's IDYES 6, IDNO 7). A
    // Yes/No box with no answer left fails the test; other boxes answer IDOK.
    std::deque<int> answers;
    // Results of the notifiers by name ("notify_task_started"); a notifier
    // not listed answers PLUGIN_NOT_AVAILABLE.
    std::map<std::string, int32_t> results;
    // What the save picker returns; nothing is a cancelled picker.
    std::optional<std::string> chosen_path;
    // Run inside a call, after its line was logged, by the line's first word
    // ("box", "dialog", "about", "choose", "destroy", "error", ...), for
    // dialogs "dialog add" and "dialog taskmanager", and for a notifier its
    // name ("notify_task_stopped").
    std::map<std::string, std::function<void()>> during;
};

extern Recorder g_recorder;

// Logs `line` and runs what the test scripted for it.
void record(const std::string& line);
// `text` in single quotes, or "(none)" for nullptr.
std::string quoted(const char* text);
// The next scripted answer of a Yes/No question: fails the test and answers
// No (7) when none is left.
int next_answer(const char* question);

// Empties the log and every script.
void recorder_reset();

// Clears the ledger and the recorder before and after each test. The clock
// is set by hand.
struct RecorderFixture : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    Recorder& rec = g_recorder;
    ManualClock clock{1000000};
};
