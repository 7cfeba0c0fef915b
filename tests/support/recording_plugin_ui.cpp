#include "tests/support/recording_plugin_ui.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "plugins/online/plugin_ui.h"

PluginUiRecorder g_plugin_ui;
char RECORDED_PLUGIN_DIALOG[1];

void plugin_ui_reset()
{
    g_plugin_ui = PluginUiRecorder{};
}

static std::string window_name(const void* window)
{
    if (!window)
        return "none";
    return window == RECORDED_PLUGIN_DIALOG ? "dialog" : "unknown";
}

static std::string quoted(const char* text)
{
    return text ? "'" + std::string(text) + "'" : "(none)";
}

int show_plugin_box(void* owner, const char* text, unsigned flags)
{
    char hex[16];
    snprintf(hex, sizeof hex, "0x%x", flags);
    g_plugin_ui.events.push_back("box owner=" + window_name(owner) + " " + quoted(text) + " flags=" + hex);
    if ((flags & PLUGIN_MB_YESNO) != PLUGIN_MB_YESNO)
        return PLUGIN_IDOK;
    if (g_plugin_ui.answers.empty()) {
        ADD_FAILURE() << "no answer scripted for the question " << quoted(text);
        return PLUGIN_IDNO;
    }
    int answer = g_plugin_ui.answers.front();
    g_plugin_ui.answers.pop_front();
    return answer;
}

void show_error_box(int code, const char* text, void* owner)
{
    g_plugin_ui.events.push_back("error " + std::to_string(code) + " " + quoted(text) +
                                 " owner=" + window_name(owner));
}

void show_logon_error(int code)
{
    g_plugin_ui.events.push_back("logon_error " + std::to_string(code));
}

void show_message_async(const char* text)
{
    g_plugin_ui.events.push_back("async " + quoted(text));
}
