// The plug-in host's side of the recording stand-in (pluginhost/notify.h).
#include <optional>

#include "tests/support/recording_shell.h"

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
    // What the plug-in does inside the call, by the notifier's name.
    auto during = g_recorder.during.find(name);
    if (during != g_recorder.during.end() && during->second)
        std::function<void()>(during->second)();
    auto result = g_recorder.results.find(name);
    return result == g_recorder.results.end() ? PLUGIN_NOT_AVAILABLE : result->second;
}

static std::string pair(int32_t a, int32_t b)
{
    return std::to_string(a) + ", " + std::to_string(b);
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

int32_t plugin_command(unsigned command)
{
    record("plugin_command " + std::to_string(command));
    return 0;
}

int32_t activate_plugin(const char* path)
{
    record("activate " + quoted(path));
    return 0;
}

int32_t unload_plugin()
{
    record("unload_plugin");
    return 1;
}

void plugin_shutdown()
{
    record("plugin_shutdown");
}

void update_plugin_menu(void*)
{
    record("update_plugin_menu");
}
