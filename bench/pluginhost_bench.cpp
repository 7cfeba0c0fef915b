// Cost of the plug-in slot's calls into a plug-in: one notification round
// trip (the name copy included) and the task table handed to the autosave and
// save-report entries, with a plug-in library faked behind the slot's
// PluginLibraryOps seam.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "bench/heap_count.h"
#include "ledger/ledger.h"
#include "pluginhost/notify.h"
#include "pluginhost/plugin_host.h"

// The plug-in reads what it is given, as a real one would.
static int g_read = 0;

static int VORN_CALL plugin_answer()
{
    return 1;
}

static int VORN_CALL plugin_init(HostCallback)
{
    return 1;
}

static int VORN_CALL plugin_task_started(const char* name, int total_seconds, int started)
{
    g_read += static_cast<int>(strlen(name)) + total_seconds + started;
    return 1;
}

static int VORN_CALL plugin_summaries(const TaskSummary* tasks, int count)
{
    for (int i = 0; i < count; ++i)
        g_read += tasks[i].name[0] + tasks[i].total_seconds + tasks[i].running;
    return 1;
}

static char g_library[1];

static void* fake_load(const char*, int*)
{
    return g_library;
}

static void* fake_symbol(void*, const char* name)
{
    vorn_init_fn init = plugin_init;
    vorn_about_fn answer = plugin_answer;
    vorn_taskstarted_fn started = plugin_task_started;
    vorn_savereport_fn summaries = plugin_summaries;
    if (!strcmp(name, "_vorn_init"))
        return reinterpret_cast<void*>(init);
    if (!strcmp(name, "_vorn_shutdown") || !strcmp(name, "_vorn_about"))
        return reinterpret_cast<void*>(answer);
    if (!strcmp(name, "_vorn_taskstarted"))
        return reinterpret_cast<void*>(started);
    if (!strcmp(name, "_vorn_savereport"))
        return reinterpret_cast<void*>(summaries);
    return nullptr;
}

static int fake_release(void*, int*)
{
    return 1;
}

// The program's own calls are the system's library calls; here the fake
// library stands in for them.
const PluginLibraryOps plugin_system_library_ops = {fake_load, fake_symbol, fake_release};

static void fill_ledger(int tasks)
{
    ledger_clear();
    char name[32];
    for (int i = 0; i < tasks; ++i) {
        snprintf(name, sizeof name, "Client task %05d", i);
        ledger_add_task(name, i);
    }
    ledger_start_task(0);
}

static void BM_NotifyTaskStarted(benchmark::State& state)
{
    fill_ledger(1);
    activate_plugin("vorn_bench.dll");
    for (auto _ : state)
        benchmark::DoNotOptimize(notify_task_started(0, 1));
    plugin_shutdown();
    ledger_clear();
}
BENCHMARK(BM_NotifyTaskStarted);

static void BM_SaveReportSummaries(benchmark::State& state)
{
    const int tasks = static_cast<int>(state.range(0));
    fill_ledger(tasks);
    activate_plugin("vorn_bench.dll");
    for (auto _ : state)
        benchmark::DoNotOptimize(notify_save_report());
    HeapCount heap = count_heap([] { notify_save_report(); });
    state.counters["heap_peak_bytes"] = static_cast<double>(heap.peak);
    state.counters["heap_blocks"] = static_cast<double>(heap.blocks);
    state.SetItemsProcessed(state.iterations() * tasks);
    plugin_shutdown();
    ledger_clear();
}
BENCHMARK(BM_SaveReportSummaries)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
