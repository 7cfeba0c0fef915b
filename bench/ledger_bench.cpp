// What the ledger's file work costs for 1,000 to 100,000 tasks: loading,
// saving and reporting, adding one task to a full ledger, and the heap a load
// takes. Beside them, as yardsticks, the same load done the plain ways: the
// literal addition of tests/support/literal_ledger.h, and the fgets/sscanf
// loader with a hash set and one sort that anyone would write first.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench/heap_count.h"
#include "ledger/ledger.h"
#include "ledger/profile.h"
#include "ledger/report.h"
#include "platform/safefile.h"
#include "tests/support/literal_ledger.h"
#include "tests/support/tempdir.h"

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), or -1.
static int64_t status_kib(const char* field)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    int64_t value = -1;
    size_t field_size = strlen(field);
    while (fgets(line, sizeof line, status)) {
        if (strncmp(line, field, field_size) == 0) {
            value = strtoll(line + field_size, nullptr, 10);
            break;
        }
    }
    fclose(status);
    return value;
}

// Sets the peak resident size (VmHWM) back to the current one: writing "5" to
// /proc/self/clear_refs does that since Linux 4.0 (proc(5)). ru_maxrss of
// getrusage cannot be reset.
static bool reset_peak_rss()
{
    FILE* refs = fopen("/proc/self/clear_refs", "w");
    if (!refs)
        return false;
    bool written = fputs("5", refs) >= 0;
    return fclose(refs) == 0 && written;
}

// ---------------------------------------------------------------------------
// Profile files of N tasks, written once per size by profile_save into one
// temporary directory for the whole run.

struct ProfileFile {
    std::string path;
    int64_t file_bytes = 0;
    int64_t name_bytes = 0;   // the names as loaded, without terminators
    std::string middle_name;  // a new name that sorts into the middle
};

// Names like a time sheet's: "Client 01234 - Support", "Dossier-01234", ...
// The number is a permutation of i below 100003 (a prime), so the names are
// distinct and their order has nothing to do with i.
static std::string sample_name(int32_t i)
{
    static const char* const FORMS[] = {
        "Client %05d - Support",   "Client %05d - Developpement", "Projet %05d Maintenance",
        "Dossier-%05d",            "Mail %05d",                   "reunion %05d - equipe",
        "Formation %05d (interne)", "R&D/%05d/Prototype"};
    int number = static_cast<int>((static_cast<int64_t>(i) * 7919 + 4241) % 100003);
    char text[64];
    snprintf(text, sizeof text, FORMS[i % 8], number);
    return text;
}

static void require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "ledger_bench: %s\n", what);
        exit(1);
    }
}

static const TempDir& bench_dir()
{
    static TempDir dir;
    return dir;
}

static const ProfileFile& profile_file(int32_t task_count)
{
    static std::map<int32_t, ProfileFile> files;
    auto known = files.find(task_count);
    if (known != files.end())
        return known->second;

    ProfileFile file;
    file.path = bench_dir().file("profile-" + std::to_string(task_count) + ".cnf");
    std::vector<std::unique_ptr<Plorvin>> tasks;
    for (int32_t i = 0; i < task_count; ++i) {
        std::string name = sample_name(i);
        file.name_bytes += static_cast<int64_t>(name.size());
        // Up to 250 hours, spread over the tasks.
        int32_t seconds = static_cast<int32_t>((static_cast<uint32_t>(i) * 2654435761u) % 900000u);
        tasks.emplace_back(new Plorvin(name.c_str(), seconds));
    }
    ledger_replace_all(tasks);
    require(profile_save(file.path.c_str()) == 1, "cannot write the profile");
    file.middle_name = task_name(ledger_task_at(task_count / 2)) + std::string(" bis");
    ledger_clear();
    file.file_bytes = static_cast<int64_t>(std::filesystem::file_size(file.path));
    return files.emplace(task_count, file).first->second;
}

// Loads the file of `task_count` tasks into the ledger.
static bool load_ledger(benchmark::State& state, int32_t task_count)
{
    if (profile_load(profile_file(task_count).path.c_str()) == 1 &&
        ledger_task_count() == task_count)
        return true;
    state.SkipWithError("the profile did not load");
    return false;
}

// ---------------------------------------------------------------------------
// The plain loaders.

// Calls `take(name, seconds)` for each record line of the file, read the
// first way that comes to mind: fgets into a 512-byte buffer, sscanf, and
// underscores back to spaces. The name cannot outgrow its buffer, which is as
// long as the line's. Returns false when the file cannot be opened.
template <typename Take>
static bool for_each_record(const char* path, Take take)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    char line[512], name[512];
    while (fgets(line, sizeof line, file)) {
        if (line[0] == '\0' || line[0] == '\n' || line[0] == '#' || line[0] == ';')
            continue;
        int index, seconds;
        if (sscanf(line, "%d\t%s\t%d", &index, name, &seconds) != 3)
            continue;
        for (char* c = name; *c; ++c) {
            if (*c == '_')
                *c = ' ';
        }
        take(name, seconds);
    }
    fclose(file);
    return true;
}

struct PlainTask {
    std::string name;
    int32_t seconds;
};

// The file's tasks in the ledger's order, first line of a name winning.
static std::vector<PlainTask> reference_load(const char* path)
{
    std::vector<PlainTask> tasks;
    std::unordered_set<std::string> seen;
    for_each_record(path, [&](const char* name, int seconds) {
        if (seen.insert(name).second)
            tasks.push_back({name, seconds > 0 ? seconds : 0});
    });
    std::stable_sort(tasks.begin(), tasks.end(), [](const PlainTask& a, const PlainTask& b) {
        return ledger_compare_names(a.name.c_str(), b.name.c_str()) < 0;
    });
    return tasks;
}

static void literal_load(const char* path, LiteralLedger& ledger)
{
    for_each_record(path, [&](const char* name, int seconds) { literal_add(ledger, name, "", seconds); });
}

// ---------------------------------------------------------------------------
// Saving without waiting for the disk: the system's calls minus the two
// fsyncs (file and directory), to show what the code itself costs.

static int flush_nothing(void*)
{
    return 1;
}

static int rename_only(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

static SafeFileOps unsynced_ops()
{
    SafeFileOps ops = safefile_system_ops;
    ops.flush = flush_nothing;
    ops.replace = rename_only;
    return ops;
}

// Installs the unsynced calls for the lifetime of the object when `on`.
struct UnsyncedScope {
    explicit UnsyncedScope(bool on)
    {
        static const SafeFileOps ops = unsynced_ops();
        if (on)
            safefile_set_ops(&ops);
    }
    ~UnsyncedScope() { safefile_set_ops(nullptr); }
};

// ---------------------------------------------------------------------------
// The benchmarks. Argument 0 is the number of tasks.

// Heap and resident memory of one profile_load into an empty ledger, against
// the budget of three times the file plus the names. Runs first, while the
// process is still small.
static void BM_LoadMemory(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    const ProfileFile& file = profile_file(task_count);
    HeapCount load, reference;
    int64_t rss_growth_kib = -1;
    for (auto _ : state) {
        ledger_clear();
        malloc_trim(0);
        bool rss = reset_peak_rss();
        int64_t rss_before = status_kib("VmRSS:");
        int32_t loaded = 0;
        load = count_heap([&] { loaded = profile_load(file.path.c_str()); });
        if (rss && rss_before >= 0)
            rss_growth_kib = status_kib("VmHWM:") - rss_before;
        if (loaded != 1 || ledger_task_count() != task_count) {
            state.SkipWithError("the profile did not load");
            break;
        }
        ledger_clear();
        reference = count_heap([&] {
            std::vector<PlainTask> tasks = reference_load(file.path.c_str());
            benchmark::DoNotOptimize(tasks.data());
        });
    }
    ledger_clear();
    int64_t budget = 3 * file.file_bytes + file.name_bytes;
    state.counters["file_bytes"] = static_cast<double>(file.file_bytes);
    state.counters["name_bytes"] = static_cast<double>(file.name_bytes);
    state.counters["budget"] = static_cast<double>(budget);
    state.counters["heap_peak"] = static_cast<double>(load.peak);
    state.counters["heap_kept"] = static_cast<double>(load.now);
    state.counters["heap_blocks"] = static_cast<double>(load.blocks);
    state.counters["peak/budget"] = static_cast<double>(load.peak) / static_cast<double>(budget);
    state.counters["rss_growth"] = rss_growth_kib < 0 ? -1.0 : 1024.0 * static_cast<double>(rss_growth_kib);
    state.counters["ref_heap_peak"] = static_cast<double>(reference.peak);
}
BENCHMARK(BM_LoadMemory)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1);

// profile_load replacing a ledger of the same size, whose tasks it frees.
static void BM_ProfileLoad(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    const char* path = profile_file(task_count).path.c_str();
    for (auto _ : state) {
        if (profile_load(path) != 1) {
            state.SkipWithError("the profile did not load");
            break;
        }
    }
    if (ledger_task_count() != task_count)
        state.SkipWithError("the profile loaded the wrong number of tasks");
    ledger_clear();
    state.SetItemsProcessed(state.iterations() * task_count);
}
BENCHMARK(BM_ProfileLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The plain loader; its result is freed in the timing too, as the load above
// frees the old ledger.
static void BM_ReferenceLoad(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    const char* path = profile_file(task_count).path.c_str();
    for (auto _ : state) {
        std::vector<PlainTask> tasks = reference_load(path);
        if (tasks.size() != static_cast<size_t>(task_count)) {
            state.SkipWithError("the reference loader read the wrong number of tasks");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * task_count);
}
BENCHMARK(BM_ReferenceLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The file read line by line into the literal ledger: a scan and a full bubble
// sort for every task. The file is in name order, the sort's best case, yet
// each addition still costs two passes over the table: n * n / 2 steps each.
// 100,000 tasks take over a minute for one run and are left out.
static void BM_LiteralLoad(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    const char* path = profile_file(task_count).path.c_str();
    for (auto _ : state) {
        LiteralLedger ledger;
        literal_load(path, ledger);
        if (ledger.task_count != task_count) {
            state.SkipWithError("the literal loader read the wrong number of tasks");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * task_count);
}
BENCHMARK(BM_LiteralLoad)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Argument 1: 1 writes as the program does, waiting for the disk (fsync of
// the file and of its directory); 0 skips the waits.
static void BM_ProfileSave(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    if (!load_ledger(state, task_count))
        return;
    std::string path = bench_dir().file("saved.cnf");
    UnsyncedScope unsynced(state.range(1) == 0);
    for (auto _ : state) {
        if (profile_save(path.c_str()) != 1) {
            state.SkipWithError("the profile was not written");
            break;
        }
    }
    ledger_clear();
    state.SetItemsProcessed(state.iterations() * task_count);
}
BENCHMARK(BM_ProfileSave)
    ->ArgsProduct({{1000, 10000, 100000}, {1, 0}})
    ->ArgNames({"tasks", "sync"})
    ->Unit(benchmark::kMillisecond);

static void BM_ReportWrite(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    if (!load_ledger(state, task_count))
        return;
    std::string path = bench_dir().file("report.txt");
    UnsyncedScope unsynced(state.range(1) == 0);
    for (auto _ : state) {
        if (report_write(path.c_str()) != 0) {
            state.SkipWithError("the report was not written");
            break;
        }
    }
    ledger_clear();
    state.SetItemsProcessed(state.iterations() * task_count);
}
BENCHMARK(BM_ReportWrite)
    ->ArgsProduct({{1000, 10000, 100000}, {1, 0}})
    ->ArgNames({"tasks", "sync"})
    ->Unit(benchmark::kMillisecond);

// One ledger_add_task of a new name that sorts into the middle of a ledger
// of N tasks. Only the addition is timed; the task is removed again after,
// which leaves its slot empty for the next addition to fill.
static void BM_AddTask(benchmark::State& state)
{
    auto task_count = static_cast<int32_t>(state.range(0));
    if (!load_ledger(state, task_count))
        return;
    const char* name = profile_file(task_count).middle_name.c_str();
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        int32_t at = ledger_add_task(name, 60);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        const Plorvin* added = ledger_task_at(at);
        if (!added || strcmp(task_name(added), name) != 0 || ledger_task_count() != task_count + 1 ||
            at < task_count / 2 - 1 || at > task_count / 2 + 2) {
            state.SkipWithError("the task was not added into the middle");
            break;
        }
        ledger_remove_task(at);
    }
    ledger_clear();
}
BENCHMARK(BM_AddTask)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
