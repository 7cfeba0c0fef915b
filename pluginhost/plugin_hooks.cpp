// The hooks through which the plug-in slot reaches the program above it.
#include "pluginhost/plugin_host.h"

static const PluginHostHooks* g_hooks = nullptr;

void plugin_set_hooks(const PluginHostHooks* hooks)
{
    g_hooks = hooks;
}

void plugin_warn(const char* text)
{
    if (g_hooks && g_hooks->warn)
        g_hooks->warn(text);
}

bool plugin_ask(const char* question)
{
    return g_hooks && g_hooks->ask && g_hooks->ask(question);
}

void plugin_show_error(int code, const char* text)
{
    if (g_hooks && g_hooks->show_error)
        g_hooks->show_error(code, text);
}

char* plugin_choose_file(const char* filter, const char* folder)
{
    return g_hooks && g_hooks->choose_file ? g_hooks->choose_file(filter, folder) : nullptr;
}

void plugin_ledger_changed()
{
    if (g_hooks && g_hooks->ledger_changed)
        g_hooks->ledger_changed();
}
