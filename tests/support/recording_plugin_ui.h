// A stand-in for the plug-in's window side (plugins/online/plugin_ui.h):
// every call appends one line to an event log; Yes/No boxes take their
// answers from a script.
//
// Lines, one per call:
//   box owner=<window> '<text>' flags=0x<flags>     show_plugin_box
//   error <code> '<text>' owner=<window>            show_error_box
//   logon_error <code>                              show_logon_error
//   async '<text>'                                  show_message_async
// Windows are named none (nullptr) or dialog (RECORDED_PLUGIN_DIALOG).
#pragma once

#include <deque>
#include <string>
#include <vector>

struct PluginUiRecorder {
    std::vector<std::string> events;
    // Answers of the Yes/No boxes, in order; with none left a Yes/No box
    // fails the test and answers No.
    std::deque<int> answers;
};

extern PluginUiRecorder g_plugin_ui;

// Stands for an owner window (the logon dialog).
extern char RECORDED_PLUGIN_DIALOG[1];

// Empties the log and the answers.
void plugin_ui_reset();
