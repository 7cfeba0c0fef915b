// The online plug-in's exchanges on loopback: one task event (the GET of a
// start) against the same request made by the curl program, in one run, and
// the whole-table synchronisation of 10,000 tasks with its heap. The scripted
// server runs in a child process, so its work and its heap stay out of the
// figures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/heap_count.h"
#include "plugins/online/plugin_ui.h"
#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "plugins/online/ws.h"
#include "tests/support/script_server.h"

extern char** environ;

// The window side: the outcome boxes are switched off; a box would be a
// failure of the exchange.
static int g_boxes = 0;
int show_plugin_box(void*, const char*, unsigned)
{
    ++g_boxes;
    return PLUGIN_IDOK;
}
void show_error_box(int, const char*, void*)
{
    ++g_boxes;
}
void show_logon_error(int)
{
    ++g_boxes;
}
void show_message_async(const char*)
{
    ++g_boxes;
}

static const char TASK_REPLY[] =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n--Start--\r\nTrue;ok\r\n--End--\r\n";

// Starts the server in a child process; returns its port.
static int start_server()
{
    static int port = 0;
    if (port)
        return port;
    int channel[2];
    if (pipe(channel) != 0)
        return 0;
    pid_t child = fork();
    if (child == 0) {
        ScriptServer server;
        server.set_handler([](const std::string&) { return ServerReply{TASK_REPLY}; });
        int p = server.port();
        if (write(channel[1], &p, sizeof p) != sizeof p)
            _exit(1);
        pause();  // until the parent ends
        _exit(0);
    }
    if (read(channel[0], &port, sizeof port) != sizeof port)
        port = 0;
    static pid_t server_pid = child;
    atexit([] { kill(server_pid, SIGTERM); waitpid(server_pid, nullptr, 0); });
    return port;
}

static void configure(int port)
{
    g_plugin_settings = PluginSettings{};
    g_plugin_settings.HTTPPort = port;
    g_plugin_settings.DEBUG_dispStartSuccess = 0;
    g_session.uid = 17;
}

static bool exchange_once()
{
    return ws_set_task_running("Projet A", 3600, 1);
}

// The same GET (path and parameters), made by a curl process.
static bool curl_once(const std::string& url)
{
    const char* argv[] = {"curl", "-s", "-o", "/dev/null", "--fail", url.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static std::string curl_url(int port)
{
    char date[SESSION_DATE_SIZE];
    today_stamp(date);
    return "http://127.0.0.1:" + std::to_string(port) +
           "/KOVReport/PluginTools/plg_mgrTasks.asp?uid=17&fct=0&task=Projet%20A&time=3600&date=" + date;
}

static void BM_TaskEventExchange(benchmark::State& state)
{
    configure(start_server());
    for (auto _ : state) {
        if (!exchange_once())
            state.SkipWithError("exchange failed");
    }
}
BENCHMARK(BM_TaskEventExchange)->Unit(benchmark::kMicrosecond);

static void BM_TaskEventCurl(benchmark::State& state)
{
    int port = start_server();
    std::string url = curl_url(port);
    for (auto _ : state) {
        if (!curl_once(url))
            state.SkipWithError("curl failed");
    }
}
BENCHMARK(BM_TaskEventCurl)->Unit(benchmark::kMicrosecond);

// Both in one run, alternating, with the ratio curl / client.
static void BM_TaskEventClientVsCurl(benchmark::State& state)
{
    int port = start_server();
    configure(port);
    std::string url = curl_url(port);
    using Clock = std::chrono::steady_clock;
    Clock::duration client{}, curl{};
    int64_t rounds = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        bool ok = exchange_once();
        auto b = Clock::now();
        ok = curl_once(url) && ok;
        auto c = Clock::now();
        if (!ok)
            state.SkipWithError("an exchange failed");
        client += b - a;
        curl += c - b;
        ++rounds;
    }
    double client_us = std::chrono::duration<double, std::micro>(client).count() / rounds;
    double curl_us = std::chrono::duration<double, std::micro>(curl).count() / rounds;
    state.counters["client_us"] = client_us;
    state.counters["curl_us"] = curl_us;
    state.counters["curl_per_client"] = curl_us / client_us;
}
BENCHMARK(BM_TaskEventClientVsCurl)->Iterations(300)->Unit(benchmark::kMillisecond);

// The autosave of a table of 10,000 tasks: the body is assembled, posted and
// its reply read.
static void BM_SyncTasks(benchmark::State& state)
{
    configure(start_server());
    int count = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back("Tâche numéro " + std::to_string(i));
    std::vector<TaskSummary> table;
    for (int i = 0; i < count; ++i)
        table.push_back({names[static_cast<size_t>(i)].c_str(), i * 7, i == 3 ? 1 : 0});
    HeapCount heap;
    for (auto _ : state) {
        heap = count_heap([&] {
            if (ws_sync_tasks(table.data(), count, WS_FCT_AUTOSAVE) != 1 || g_boxes)
                state.SkipWithError("synchronisation failed");
        });
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(heap.peak);
    state.counters["heap_blocks"] = static_cast<double>(heap.blocks);
}
BENCHMARK(BM_SyncTasks)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
