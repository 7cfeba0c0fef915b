// Figures of the real ZentrikWin.exe under Wine, measured from outside the
// way the end-to-end tests drive it. Not a test: it prints numbers.
//
//   e2e_figures <ZentrikWin.exe> startup [runs]     start-up time with an
//       empty profile and with 10,000 tasks, and the peak working set with
//       10,000 tasks after a save, the tray menu and the task manager
//   e2e_figures <ZentrikWin.exe> menu [openings]    tray click to menu window,
//       with no task and with 1,000 tasks
//   e2e_figures <ZentrikWin.exe> cpu-idle [seconds]     CPU time used while
//   e2e_figures <ZentrikWin.exe> cpu-running [seconds]  idle (default 300 s),
//       with no task running or with one running
//
// The two CPU figures take minutes each; run them in parallel in two Wine
// prefixes (each Wine prefix has its own server, so its own single-instance
// mutex).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/resource.h"
#include "tests/e2e/driver.h"
#include "tests/support/tempdir.h"

static double now_ms()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

static std::vector<E2eTask> numbered_tasks(int count)
{
    std::vector<E2eTask> tasks;
    for (int i = 0; i < count; ++i) {
        char name[24];
        snprintf(name, sizeof name, "task %05d", i);
        tasks.push_back(e2e_task(i, name, i));
    }
    return tasks;
}

static void print_spread(const char* what, std::vector<double> values)
{
    if (values.empty()) {
        printf("%-52s no value\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    printf("%-52s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what,
           values[values.size() / 2], values.front(), values.back(), values.size());
}

static bool quit(E2eProcess& app)
{
    int code = 0;
    bool ok = e2e_post_command(app, IDC_QUIT) &&
              e2e_answer_box(app.pid, "Êtes-vous sûr de vouloir quitter ?", app.window, IDYES).empty() &&
              e2e_wait_exit(app, &code);
    e2e_end(app);
    return ok;
}

// Start-up until the program first waits for input (its message loop runs),
// and until its main window is found.
static void startup_times(int tasks, int runs)
{
    TempDir dir;
    if (tasks > 0)
        write_bytes(dir.file("Zentrik.cnf"), e2e_profile_bytes(numbered_tasks(tasks)));
    std::vector<double> idle, window;
    for (int run = 0; run < runs; ++run) {
        E2eProcess app;
        double start = now_ms();
        if (!e2e_launch(app, dir.path.string()))
            return;
        if (WaitForInputIdle(app.handle, 60000) == 0)
            idle.push_back(now_ms() - start);
        e2e_poll([&] {
            app.window = FindWindowA("ZentrikMainFrame", nullptr);
            return app.window != nullptr;
        }, 60000);
        window.push_back(now_ms() - start);
        if (!quit(app))
            printf("run %d: the program did not quit cleanly\n", run);
    }
    std::string label = "start-up, " + std::to_string(tasks) + " tasks, to the message loop";
    print_spread(label.c_str(), idle);
    label = "start-up, " + std::to_string(tasks) + " tasks, to the main window found";
    print_spread(label.c_str(), window);
}

static double megabytes(size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The peak working set with 10,000 tasks, after the steps that hold the most.
static void working_set(int tasks)
{
    TempDir dir;
    write_bytes(dir.file("Zentrik.cnf"), e2e_profile_bytes(numbered_tasks(tasks)));
    E2eProcess app;
    if (!e2e_start(app, dir.path.string()))
        return;
    printf("peak working set, %d tasks, after start-up:            %7.1f MB\n", tasks,
           megabytes(e2e_peak_working_set(app)));
    e2e_command(app, IDC_TASK_FIRST + 0);
    e2e_tick(app);
    e2e_tick(app);
    printf("peak working set, %d tasks, after a save:              %7.1f MB\n", tasks,
           megabytes(e2e_peak_working_set(app)));
    e2e_tray(app, WM_LBUTTONUP);
    if (HWND menu = e2e_wait_window(app.pid, E2E_MENU_CLASS, nullptr, 60000)) {
        e2e_keys(menu, {VK_ESCAPE});
        e2e_poll([&] { return !e2e_find_window(app.pid, E2E_MENU_CLASS, nullptr); }, 60000);
    } else {
        printf("the tray menu did not open\n");
    }
    printf("peak working set, %d tasks, after the tray menu:       %7.1f MB\n", tasks,
           megabytes(e2e_peak_working_set(app)));
    e2e_post_command(app, IDC_TASK_MANAGER);
    if (HWND manager = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION, 60000)) {
        printf("task manager list: %zu items\n", e2e_list_items(manager, IDC_TM_LIST).size());
        e2e_click(manager, IDC_TM_CLOSE);
        e2e_wait_closed(manager, 60000);
    } else {
        printf("the task manager did not open\n");
    }
    printf("peak working set, %d tasks, after the task manager:    %7.1f MB\n", tasks,
           megabytes(e2e_peak_working_set(app)));
    quit(app);
}

// From the tray click to the visible popup menu window.
static void menu_times(int tasks, int openings)
{
    TempDir dir;
    if (tasks > 0)
        write_bytes(dir.file("Zentrik.cnf"), e2e_profile_bytes(numbered_tasks(tasks)));
    E2eProcess app;
    if (!e2e_start(app, dir.path.string()))
        return;
    std::vector<double> times;
    for (int i = 0; i < openings; ++i) {
        double start = now_ms();
        e2e_tray(app, WM_LBUTTONUP);
        HWND menu = nullptr;
        // A tight poll: the figure is a few milliseconds.
        while (!(menu = e2e_find_window(app.pid, E2E_MENU_CLASS, nullptr)) && now_ms() - start < 30000)
            Sleep(1);
        if (!menu)
            break;
        times.push_back(now_ms() - start);
        e2e_keys(menu, {VK_ESCAPE});
        e2e_poll([&] { return !e2e_find_window(app.pid, E2E_MENU_CLASS, nullptr); });
        e2e_settle(app);
    }
    std::string label = "tray click to menu window, " + std::to_string(tasks) + " tasks";
    print_spread(label.c_str(), times);
    quit(app);
}

static void cpu_time(bool running, int seconds)
{
    TempDir dir;
    write_bytes(dir.file("Zentrik.cnf"), e2e_profile_bytes(numbered_tasks(running ? 10 : 0)));
    E2eProcess app;
    if (!e2e_start(app, dir.path.string()))
        return;
    if (running)
        e2e_command(app, IDC_TASK_FIRST + 0);
    double cpu_start = e2e_cpu_ms(app);
    double start = now_ms();
    // Measuring idleness: the driver must stay out of the way.
    Sleep(static_cast<DWORD>(seconds) * 1000);
    double cpu = e2e_cpu_ms(app) - cpu_start;
    double wall = now_ms() - start;
    printf("CPU time over %.0f s idle, %s: %.1f ms (%.4f %% of one core); total since start %.1f ms\n",
           wall / 1000.0, running ? "a task running" : "no task running", cpu, 100.0 * cpu / wall,
           e2e_cpu_ms(app));
    printf("peak working set: %.1f MB\n", megabytes(e2e_peak_working_set(app)));
    if (running) {
        // The main timer saved the running task every 20 s meanwhile.
        long long saved = e2e_profile_seconds(read_bytes(dir.file("Zentrik.cnf")), numbered_tasks(1)[0]);
        printf("the running task's seconds in the profile, saved by the timer: %lld\n", saved);
    }
    quit(app);
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: e2e_figures <ZentrikWin.exe> startup|menu|cpu-idle|cpu-running [count]\n");
        return 2;
    }
    e2e_set_program(argv[1]);
    e2e_prepare_wine();
    std::string figure = argv[2];
    int count = argc > 3 ? atoi(argv[3]) : 0;
    if (figure == "startup") {
        startup_times(0, count > 0 ? count : 10);
        startup_times(10000, count > 0 ? count : 10);
        working_set(10000);
    } else if (figure == "menu") {
        menu_times(0, count > 0 ? count : 20);
        menu_times(1000, count > 0 ? count : 20);
    } else if (figure == "cpu-idle" || figure == "cpu-running") {
        cpu_time(figure == "cpu-running", count > 0 ? count : 300);
    } else {
        fprintf(stderr, "unknown figure '%s'\n", figure.c_str());
        return 2;
    }
    return 0;
}
