// ZentrikWin.exe with a real plug-in library: the test plug-ins of
// tests/plugins, told what to answer through their control file, and their
// log of every call the program made into them.
//
// Usage: plugin_e2e_tests <ZentrikWin.exe> <folder of the vorn_Test*.dll>
#include <windows.h>


#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "shell/resource.h"
#include "tests/e2e/fixture.h"

namespace fs = std::filesystem;

static const char BAD_PLUGIN[] = "Le plug-in est introuvable ou incorrecte !";
static const char INIT_FAILED[] = "Echec de l'initialisation du plug-in !";
static const char UNLOAD_QUESTION[] = "Voulez-vous stopper le plug-in courant ?";
static const char QUIT_QUESTION[] = "Êtes-vous sûr de vouloir quitter ?";
static const char RESET_ALL_QUESTION[] = "Ëtes-vous sûr de vouloir remettre les compteurs à zéro ?";
static const char ADD_FAILED[] = "Echec de l'ajout de la tâche.";
static const char REMOVE_FAILED[] = "Echec de la suppression de la tâche.";

static const char OPEN_PICKER_CAPTION[] = "Open";

static const char FULL[] = "vorn_TestFull.dll";
static const char LOAD_FULL[] = "--plugin plugins\\vorn_TestFull.dll";

static const std::vector<E2eTask> SEED = {
    e2e_task(0, "Client A", 3725),
    e2e_task(1, "Mail", 60),
    e2e_task(2, "Zeta", 0),
};

using Lines = std::vector<std::string>;

// The folder of the test plug-ins: the second argument that is not a
// GoogleTest flag, as a Windows path (CTest passes a Unix one, which Wine
// maps to drive Z:).
static std::string plugin_source_folder()
{
    return e2e_windows_path(e2e_argument(1));
}

// The seconds of a task that had `base` seconds when it was started at or
// after `from`, read now or earlier.
static std::string upto(int base, time_t from)
{
    return "{" + std::to_string(base) + "-" + std::to_string(base + (time(nullptr) - from)) + "}";
}

static std::string joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "\n    " + line;
    return text.empty() ? "\n    (nothing)" : text;
}

// The box the loader shows for a library it could not load: its text and
// the system's message for the error code.
static std::string loader_box(DWORD code)
{
    char* message = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = std::string(BAD_PLUGIN) + "\n" + (message ? message : std::to_string(code));
    if (message)
        LocalFree(message);
    return text;
}

static std::string missing_entry_box(const char* entry)
{
    return std::string(BAD_PLUGIN) + "\nLa méthode " + entry + " est manquante.";
}

class PluginE2e : public E2e {
protected:
    void SetUp() override
    {
        E2e::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_FALSE(plugin_source_folder().empty())
            << "usage: plugin_e2e_tests <path of ZentrikWin.exe> <folder of the test plug-ins>";
        copy_plugins("plugins");
    }

    // Copies every test plug-in into `folder` under the program's folder.
    void copy_plugins(const std::string& folder) const
    {
        fs::path target = dir.path / folder;
        fs::create_directories(target);
        int copied = 0;
        for (const auto& entry : fs::directory_iterator(plugin_source_folder())) {
            if (entry.path().extension() == ".dll") {
                fs::copy_file(entry.path(), target / entry.path().filename(),
                              fs::copy_options::overwrite_existing);
                ++copied;
            }
        }
        ASSERT_GE(copied, 5) << "test plug-ins missing in " << plugin_source_folder();
    }

    // What the plug-in does from now on (see tests/plugins/test_plugin.cpp).
    void control(const std::string& lines) const { write_bytes(dir.file("testplugin.ctl"), lines); }

    Lines log_lines() const
    {
        Lines lines;
        std::string text = read_bytes(dir.file("testplugin.log"));
        if (text == "<missing>")
            return lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    // Checks the lines the plug-in logged since the previous check against
    // `expected` (patterns of e2e_matches). Waits, bounded, until there are
    // as many: the last call may be on its way.
    void expect_log(const Lines& expected, const std::string& step)
    {
        e2e_poll([&] { return log_lines().size() >= seen + expected.size(); }, 5000);
        Lines all = log_lines();
        Lines fresh(all.begin() + static_cast<long>(std::min(seen, all.size())), all.end());
        seen = all.size();
        bool same = fresh.size() == expected.size();
        for (size_t i = 0; same && i < fresh.size(); ++i)
            same = e2e_matches(fresh[i], expected[i]);
        EXPECT_TRUE(same) << step << ": the plug-in logged" << joined(fresh) << "\n  expected"
                          << joined(expected);
    }

    void forget_log()
    {
        fs::remove(dir.file("testplugin.log"));
        seen = 0;
    }

    bool start(const std::string& arguments) { return e2e_start(app, folder(), arguments); }

    bool command(UINT id) const { return e2e_command(app, id); }

    // A command that must open no window: a box or dialog opened by mistake
    // makes it time out instead of hanging.
    bool quick_command(UINT id) const { return e2e_send(app, WM_COMMAND, id, 0, 3000); }

    HWND plugin_box(const std::string& entry) const
    {
        return e2e_wait_window(app.pid, E2E_DIALOG_CLASS, ("TestPlugin " + entry).c_str());
    }

    static bool close_box(HWND box)
    {
        e2e_click(box, IDOK);
        return e2e_wait_closed(box);
    }

    bool settle() const { return e2e_settle_by_tray(app); }

    void quit(int* code)
    {
        ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
        ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
        ASSERT_TRUE(e2e_wait_exit(app, code)) << "the program did not end after Yes";
    }

    size_t seen = 0;
};

// The task manager dialog: its list and buttons.
struct Manager {
    const E2eProcess& app;
    HWND window = nullptr;

    Lines items() const { return e2e_list_items(window, IDC_TM_LIST); }
    bool wait_items(const Lines& expected) const
    {
        return e2e_poll([&] { return items() == expected; });
    }
    // Selects item `index` and waits until the task buttons are enabled.
    bool select(int index) const
    {
        e2e_select_item(window, IDC_TM_LIST, index);
        return e2e_poll([&] { return e2e_enabled(window, IDC_TM_DELETE); });
    }
    void press(int button) const { e2e_click(window, button); }
    // Presses a button whose action ends by rebuilding the list, which
    // disables the task buttons, and waits for that.
    bool press_and_refresh(int button) const
    {
        press(button);
        return e2e_poll([&] { return !e2e_enabled(window, IDC_TM_DELETE); });
    }
};

static Manager open_manager(const E2eProcess& app)
{
    Manager manager{app};
    if (e2e_post_command(app, IDC_TASK_MANAGER))
        manager.window = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION);
    return manager;
}

// Every place where the program calls into the plug-in, in the order a user
// meets them, with the arguments it passes; every entry point answers 1.
TEST_F(PluginE2e, NotificationsReachThePlugInWithTheHostsArguments)
{
    seed(SEED);
    // The stored tasks are there when the plug-in starts.
    control("init.call=82,Mail,100\n");
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init", "  call 82 \"Mail\" 100 -> 1"}, "start-up");
    control("");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({}, "tick with no task current");

    // Add: the plug-in first, then the host's dialog, then the plug-in again.
    ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
    HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    ASSERT_TRUE(dialog);
    expect_log({"addtask zeroed"}, "add");
    e2e_set_control_text(dialog, IDC_ADD_NAME, "Beta");
    e2e_click(dialog, IDOK);
    ASSERT_TRUE(e2e_wait_closed(dialog));
    expect_log({"taskadded \"Beta\" 1"}, "add dialog OK");
    // Beta 0, Client A 1, Mail 2, Zeta 3.

    const time_t mail = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 2));
    expect_log({"taskstarted \"Mail\" " + upto(100, mail) + " 1"}, "start Mail");
    const time_t beta = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 0));
    expect_log({"taskstopped \"Mail\" " + upto(100, mail) + " 1",
                "taskstarted \"Beta\" " + upto(0, beta) + " 1"},
               "start Beta while Mail runs");
    // An index beyond the table: the stop, then a start of nothing.
    ASSERT_TRUE(command(IDC_TASK_FIRST + 5));
    expect_log({"taskstopped \"Beta\" " + upto(0, beta) + " 1", "taskstarted (null) 0 -1"}, "start slot 5");

    const time_t client = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 1));
    expect_log({"taskstarted \"Client A\" " + upto(3725, client) + " 1"}, "start Client A");
    auto tasks = [&](int client_running) {
        return "[\"Beta\" " + upto(0, beta) + " 0, \"Client A\" " + upto(3725, client) + " " +
               std::to_string(client_running) + ", \"Mail\" " + upto(100, mail) + " 0, \"Zeta\" 0 0] 4";
    };

    // Autosave from the second tick on, with the whole table; 1 saves.
    ASSERT_TRUE(e2e_tick(app));
    expect_log({}, "first tick with a task current");
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"autosave " + tasks(1)}, "second tick");
    EXPECT_NE(profile(), E2E_UNSAVED) << "autosave answered 1 and the profile was not saved";

    ASSERT_TRUE(command(IDC_STOP));
    expect_log({"taskstopped \"Client A\" " + upto(3725, client) + " 1"}, "stop");
    ASSERT_TRUE(command(IDC_STOP));
    expect_log({}, "stop with no task current");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"autosave " + tasks(0)}, "the tick after the stop");

    // Report: the plug-in, then the host's picker.
    ASSERT_TRUE(e2e_post_command(app, IDC_REPORT));
    HWND picker = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_PICKER_CAPTION, E2E_WAIT_PICKER);
    ASSERT_TRUE(picker) << "no save picker after savereport answered 1";
    expect_log({"savereport " + tasks(0)}, "report");
    e2e_click(picker, IDCANCEL);
    ASSERT_TRUE(e2e_wait_closed(picker));
    ASSERT_TRUE(settle());

    // Reset all: the plug-in decides, the host asks nothing.
    ASSERT_TRUE(quick_command(IDC_RESET_ALL)) << "a question came up";
    expect_log({"resettask (null) 0"}, "reset all");

    control("configuration.call=82,Zeta,42\n");
    ASSERT_TRUE(command(IDC_PLUGIN_CONFIGURE));
    expect_log({"configuration", "  call 82 \"Zeta\" 42 -> 1"}, "configure");
    control("");

    // The task manager's toggle, reset and delete.
    Manager manager = open_manager(app);
    ASSERT_TRUE(manager.window);
    EXPECT_EQ(manager.items(), (Lines{"Beta", "Client A", "Mail", "Zeta"}));
    EXPECT_EQ(e2e_control_text(manager.window, IDC_TM_TOTAL_TIME), "0h 0m 42s") << "reset all did not reset";
    ASSERT_TRUE(manager.select(2));
    const time_t again = time(nullptr);
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_TOGGLE));
    EXPECT_EQ(manager.items(), (Lines{"Beta", "Client A", "Mail [En Cours]", "Zeta"}));
    expect_log({"taskstarted \"Mail\" " + upto(0, again) + " 1"}, "manager start");
    ASSERT_TRUE(manager.select(2));
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_TOGGLE));
    EXPECT_EQ(manager.items(), (Lines{"Beta", "Client A", "Mail", "Zeta"}));
    expect_log({"taskstopped \"Mail\" " + upto(0, again) + " 1"}, "manager stop");
    ASSERT_TRUE(manager.select(3));
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_RESET));
    expect_log({"resettask \"Zeta\" 42"}, "manager reset");
    ASSERT_TRUE(manager.select(0));
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_DELETE));
    EXPECT_EQ(manager.items(), (Lines{"Client A", "Mail", "Zeta"}));
    expect_log({"removetask \"Beta\" 0", "taskremoved \"0\" 1"}, "manager delete");
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION))
        << "the host asked or complained";
    manager.press(IDC_TM_CLOSE);
    ASSERT_TRUE(e2e_wait_closed(manager.window));

    // Slot 0 is empty now.
    ASSERT_TRUE(command(IDC_TASK_FIRST + 0));
    expect_log({"taskstarted (null) 0 -2"}, "start an empty slot");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about"}, "about");

    int code = 1;
    quit(&code);
    EXPECT_EQ(code, 0);
    expect_log({"shutdown", "detach"}, "quit");
    const int ran = static_cast<int>(time(nullptr) - again);
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {
                                                             e2e_task(1, "Client A", 0),
                                                             {2, "Mail", 0, ran},
                                                             e2e_task(3, "Zeta", 0),
                                                         }));
}

TEST_F(PluginE2e, VetoesKeepTheTasksAsTheyWere)
{
    seed(SEED);
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");

    // A vetoed start leaves nothing current: no stop, no autosave.
    control("taskstarted=0\n");
    const time_t mail = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 1));
    expect_log({"taskstarted \"Mail\" " + upto(60, mail) + " 1"}, "vetoed start");
    ASSERT_TRUE(command(IDC_STOP));
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_tick(app));
    expect_log({}, "stop and ticks after the vetoed start");

    // A vetoed stop starts the task again.
    control("taskstopped=0\n");
    ASSERT_TRUE(command(IDC_TASK_FIRST + 1));
    ASSERT_TRUE(command(IDC_STOP));
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"taskstarted \"Mail\" " + upto(60, mail) + " 1",
                "taskstopped \"Mail\" " + upto(60, mail) + " 1",
                "autosave [\"Client A\" 3725 0, \"Mail\" " + upto(60, mail) + " 1, \"Zeta\" 0 0] 3"},
               "vetoed stop");

    // Starting another task: the stop's answer is not heeded.
    const time_t client = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 0));
    ASSERT_TRUE(e2e_tick(app));
    const std::string running = "[\"Client A\" " + upto(3725, client) + " 1, \"Mail\" " + upto(60, mail) +
                                " 0, \"Zeta\" 0 0] 3";
    expect_log({"taskstopped \"Mail\" " + upto(60, mail) + " 1",
                "taskstarted \"Client A\" " + upto(3725, client) + " 1",
                "autosave " + running},
               "switch with a vetoed stop");

    // Only an autosave answer of 1 saves.
    for (const char* answer : {"0", "2"}) {
        control(std::string("autosave=") + answer + "\n");
        mark_unsaved();
        ASSERT_TRUE(e2e_tick(app));
        EXPECT_EQ(profile(), E2E_UNSAVED) << "saved after autosave answered " << answer;
    }
    control("");
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_NE(profile(), E2E_UNSAVED);
    expect_log({"autosave " + running, "autosave " + running, "autosave " + running}, "autosave answers");

    // Reset all vetoed: nothing reset, nothing stopped. A report vetoed: no
    // picker.
    control("resettask=0\nsavereport=0\n");
    ASSERT_TRUE(quick_command(IDC_RESET_ALL)) << "a question came up";
    ASSERT_TRUE(quick_command(IDC_REPORT)) << "the picker came up";
    expect_log({"resettask (null) 0", "savereport " + running}, "vetoed reset all and report");

    // In the task manager: vetoed delete, reset and stop.
    control("removetask=0\nresettask=0\ntaskstopped=0\n");
    Manager manager = open_manager(app);
    ASSERT_TRUE(manager.window);
    const Lines items = {"Client A [En Cours]", "Mail", "Zeta"};
    EXPECT_EQ(manager.items(), items);
    ASSERT_TRUE(manager.select(2));
    manager.press(IDC_TM_DELETE);
    expect_log({"removetask \"Zeta\" 0"}, "vetoed delete");
    ASSERT_TRUE(manager.select(1));
    manager.press(IDC_TM_RESET);
    expect_log({"resettask \"Mail\" " + upto(60, mail)}, "vetoed reset");
    ASSERT_TRUE(manager.select(0));
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_TOGGLE));
    expect_log({"taskstopped \"Client A\" " + upto(3725, client) + " 1"}, "vetoed stop");
    EXPECT_EQ(manager.items(), items);
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION)) << "the host asked";

    // A removal the plug-in calls failed: the host says so.
    control("taskremoved=0\n");
    ASSERT_TRUE(manager.select(2));
    manager.press(IDC_TM_DELETE);
    EXPECT_EQ(e2e_answer_box(app.pid, REMOVE_FAILED, nullptr, IDOK), "");
    EXPECT_TRUE(manager.wait_items({"Client A [En Cours]", "Mail"}));
    expect_log({"removetask \"Zeta\" 0", "taskremoved \"2\" 1"}, "removal told as failed");
    manager.press(IDC_TM_CLOSE);
    ASSERT_TRUE(e2e_wait_closed(manager.window));

    control("");
    int code = 1;
    quit(&code);
    EXPECT_EQ(code, 0);
    const int since = static_cast<int>(time(nullptr) - mail);
    const std::vector<E2eTask> kept = {{0, "Client A", 3725, 3725 + since}, {1, "Mail", 60, 60 + since}};
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), kept));
}

// The plug-in, told of the stop of the running task, adds a task that sorts
// before the one the user chose: the host starts the chosen task, not the one
// that now stands in its old slot. From the tray and the task manager alike.
TEST_F(PluginE2e, PlugInThatAddsATaskOnTheStopLeavesTheUsersChoice)
{
    seed(SEED);
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");
    const time_t mail = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 1));
    expect_log({"taskstarted \"Mail\" " + upto(60, mail) + " 1"}, "Mail started");

    control("taskstopped.call=80,Aaa\n");
    const time_t zeta = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 2));
    expect_log({"taskstopped \"Mail\" " + upto(60, mail) + " 1", "  call 80 \"Aaa\" (null) -> 1",
                "taskstarted \"Zeta\" " + upto(0, zeta) + " 1"},
               "Zeta chosen from the tray");

    control("taskstopped.call=80,Aab\n");
    Manager manager = open_manager(app);
    ASSERT_TRUE(manager.window);
    EXPECT_EQ(manager.items(), (Lines{"Aaa", "Client A", "Mail", "Zeta [En Cours]"}));
    ASSERT_TRUE(manager.select(2));
    ASSERT_TRUE(manager.press_and_refresh(IDC_TM_TOGGLE));
    expect_log({"taskstopped \"Zeta\" " + upto(0, zeta) + " 1", "  call 80 \"Aab\" (null) -> 1",
                "taskstarted \"Mail\" " + upto(60, mail) + " 1"},
               "Mail chosen in the task manager");
    EXPECT_EQ(manager.items(), (Lines{"Aaa", "Aab", "Client A", "Mail [En Cours]", "Zeta"}));
    manager.press(IDC_TM_CLOSE);
    ASSERT_TRUE(e2e_wait_closed(manager.window));
    control("");
}

// _vorn_addtask answers 0 or 1, with or without a name in the buffer.
TEST_F(PluginE2e, AddTaskTakesThePlugInsNameAndAnswer)
{
    seed(SEED);
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");

    struct Case {
        const char* control;
        bool dialog;        // the host's add-task dialog opens (and is cancelled)
        const char* box;    // the host's error box, or nullptr
        Lines log;
    };
    const Case cases[] = {
        {"addtask=0\n", false, nullptr, {"addtask zeroed"}},
        {"addtask=0\naddtask.name=Beta\n", false, nullptr, {"addtask zeroed", "taskadded \"Beta\" 1"}},
        {"addtask=1\n", true, nullptr, {"addtask zeroed"}},
        {"addtask.name=Gamma\n", true, nullptr, {"addtask zeroed", "taskadded \"Gamma\" 1"}},
        // A name already there is found, which counts as added.
        {"addtask=0\naddtask.name=Beta\n", false, nullptr, {"addtask zeroed", "taskadded \"Beta\" 1"}},
        {"addtask=0\naddtask.name=Delta\ntaskadded=0\n", false, ADD_FAILED,
         {"addtask zeroed", "taskadded \"Delta\" 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        control(c.control);
        if (!c.dialog && !c.box) {
            ASSERT_TRUE(quick_command(IDC_ADD_TASK)) << "a window came up";
        } else {
            ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
            if (c.box) {
                EXPECT_EQ(e2e_answer_box(app.pid, c.box, nullptr, IDOK), "");
            }
            if (c.dialog) {
                HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
                ASSERT_TRUE(dialog) << "no add-task dialog";
                e2e_click(dialog, IDCANCEL);
                ASSERT_TRUE(e2e_wait_closed(dialog));
            }
        }
        expect_log(c.log, c.control);
    }

    // The host's own dialog, with the plug-in calling the addition failed.
    control("taskadded=0\n");
    ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
    HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    ASSERT_TRUE(dialog);
    e2e_set_control_text(dialog, IDC_ADD_NAME, "Epsilon");
    e2e_click(dialog, IDOK);
    EXPECT_EQ(e2e_answer_box(app.pid, ADD_FAILED, nullptr, IDOK), "");
    ASSERT_TRUE(e2e_wait_closed(dialog));
    expect_log({"addtask zeroed", "taskadded \"Epsilon\" 1"}, "dialog add told as failed");

    control("");
    int code = 1;
    quit(&code);
    EXPECT_EQ(profile(), e2e_profile_bytes({
                             e2e_task(0, "Beta", 0),
                             e2e_task(1, "Client A", 3725),
                             e2e_task(2, "Delta", 0),
                             e2e_task(3, "Epsilon", 0),
                             e2e_task(4, "Gamma", 0),
                             e2e_task(5, "Mail", 60),
                             e2e_task(6, "Zeta", 0),
                         }));
}

// The HostCallback from inside an entry point: every code, and what the
// ledger then holds. The host reports none of it back to the plug-in.
TEST_F(PluginE2e, HostCallbackCodesActOnTheTaskList)
{
    seed(SEED);
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");

    const time_t from = time(nullptr);
    control("configuration.call=80,Beta\n"
            "configuration.call=80,Beta\n"
            "configuration.call=82,Beta,(null)\n"
            "configuration.call=82,Beta,90\n"
            "configuration.call=82,Nobody,5\n"
            "configuration.call=82,Mail,-5\n"
            "configuration.call=83,Beta\n"
            "configuration.call=83,Nobody\n"
            "configuration.call=85,Beta\n"
            "configuration.call=85,Beta\n"
            "configuration.call=83,Mail\n"
            "configuration.call=84\n"
            "configuration.call=84\n"
            "configuration.call=81,Zeta\n"
            "configuration.call=81,Zeta\n"
            "configuration.call=99,Mail,7\n");
    ASSERT_TRUE(command(IDC_PLUGIN_CONFIGURE));
    expect_log({"configuration",
                "  call 80 \"Beta\" (null) -> 1",
                "  call 80 \"Beta\" (null) -> 1",
                "  call 82 \"Beta\" (null) -> 0",
                "  call 82 \"Beta\" 90 -> 1",
                "  call 82 \"Nobody\" 5 -> 0",
                "  call 82 \"Mail\" -5 -> 1",
                "  call 83 \"Beta\" (null) -> 1",
                "  call 83 \"Nobody\" (null) -> 0",
                "  call 85 \"Beta\" (null) -> 1",
                "  call 85 \"Beta\" (null) -> 0",
                "  call 83 \"Mail\" (null) -> 1",
                "  call 84 (null) (null) -> 1",
                "  call 84 (null) (null) -> 0",
                "  call 81 \"Zeta\" (null) -> 1",
                "  call 81 \"Zeta\" (null) -> 0",
                "  call 99 \"Mail\" 7 -> 0"},
               "callbacks");
    // Beta joined with 90 seconds, Zeta is gone, Mail kept its 60 (and both
    // ran a moment), nothing runs.
    control("savereport=0\n");
    ASSERT_TRUE(quick_command(IDC_REPORT));
    expect_log({"savereport [\"Beta\" " + upto(90, from) + " 0, \"Client A\" 3725 0, \"Mail\" " +
                upto(60, from) + " 0] 3"},
               "the tasks after the callbacks");

    // A task started through the callback runs; a clear empties everything.
    control("about.call=83,Mail\n");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    ASSERT_TRUE(e2e_tick(app));
    control("about.call=86\n");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about", "  call 83 \"Mail\" (null) -> 1", "about", "  call 86 (null) (null) -> 1"},
               "start and clear");
    // A task was current at the previous tick: autosave with an empty table.
    control("savereport=0\n");
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(quick_command(IDC_REPORT));
    expect_log({"autosave (null) 0", "savereport (null) 0"}, "empty table");
    EXPECT_EQ(profile(), e2e_profile_bytes({}));
}

// Restart (87) and unload (88) requests wait for the next main timer tick.
TEST_F(PluginE2e, RestartAndUnloadRequestsRunAtTheNextTick)
{
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");

    // A plug-in that refuses its shutdown stays, and is not initialised twice.
    for (const char* code : {"87", "88"}) {
        control(std::string("about.call=") + code + "\nshutdown=0\n");
        ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
        control("shutdown=0\n");
        ASSERT_TRUE(e2e_tick(app));
        ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
        expect_log({"about", std::string("  call ") + code + " (null) (null) -> 1", "shutdown", "about"},
                   std::string("request ") + code + " refused");
    }
    // The menu's unload: No keeps the plug-in; Yes with a refusal too.
    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_UNLOAD));
    ASSERT_EQ(e2e_answer_box(app.pid, UNLOAD_QUESTION, nullptr, IDNO), "");
    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_UNLOAD));
    ASSERT_EQ(e2e_answer_box(app.pid, UNLOAD_QUESTION, nullptr, IDYES), "");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"shutdown", "about"}, "menu unload refused");

    control("about.call=87\n");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about", "  call 87 (null) (null) -> 1"}, "restart asked");
    control("");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"shutdown", "detach", "attach", "init"}, "restart at the tick");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({}, "the tick after the restart");

    control("about.call=88\n");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about", "  call 88 (null) (null) -> 1"}, "unload asked");
    control("");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"shutdown", "detach"}, "unload at the tick");
    EXPECT_TRUE(e2e_poll([&] { return !e2e_module_loaded(app, FULL); })) << "the library is still loaded";
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    ASSERT_TRUE(e2e_tick(app));
    expect_log({}, "after the unload");
}

// A tick inside the plug-in's autosave (its box is up) does not enter the
// plug-in again, and the profile is still saved.
TEST_F(PluginE2e, NestedAutosaveTickSavesWithoutEnteringThePlugIn)
{
    seed(SEED);
    ASSERT_TRUE(start(LOAD_FULL));
    const time_t mail = time(nullptr);
    ASSERT_TRUE(command(IDC_TASK_FIRST + 1));
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"attach", "init", "taskstarted \"Mail\" " + upto(60, mail) + " 1"}, "start-up");

    control("autosave.box=1\n");
    mark_unsaved();
    ASSERT_TRUE(PostMessageA(app.window, WM_TIMER, E2E_MAIN_TIMER, 0));
    HWND box = plugin_box("autosave");
    ASSERT_TRUE(box) << "no autosave box";
    const std::string running = "[\"Client A\" 3725 0, \"Mail\" " + upto(60, mail) + " 1, \"Zeta\" 0 0] 3";
    expect_log({"autosave " + running}, "the first tick");
    EXPECT_EQ(profile(), E2E_UNSAVED) << "saved before the plug-in answered";

    ASSERT_TRUE(e2e_tick(app)) << "the tick inside the box did not return";
    expect_log({}, "the nested tick");
    EXPECT_NE(profile(), E2E_UNSAVED) << "the nested tick did not save";

    control("");
    mark_unsaved();
    ASSERT_TRUE(close_box(box));
    expect_log({"autosave box closed"}, "the box closed");
    EXPECT_TRUE(e2e_poll([&] { return profile() != E2E_UNSAVED; })) << "the first tick did not save";
    // The guard is down again: the next tick enters the plug-in.
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"autosave " + running}, "the next tick");
}

// Libraries the program refuses, each with its box; the program runs on
// without a plug-in.
TEST_F(PluginE2e, RefusedLibrariesAreToldAndLeaveNoPlugIn)
{
    struct Case {
        const char* library;
        const char* control;
        std::string box;
        Lines log;
    };
    const Case cases[] = {
        {"vorn_TestNoInit.dll", "", missing_entry_box("vorn_init"), {"attach", "detach"}},
        {"vorn_TestNoShutdown.dll", "", missing_entry_box("vorn_shutdown"), {"attach", "detach"}},
        {"vorn_TestNoAbout.dll", "", missing_entry_box("vorn_about"), {"attach", "detach"}},
        // Its shutdown is not called.
        {FULL, "init=0\n", INIT_FAILED, {"attach", "init", "detach"}},
        {"vorn_Absent.dll", "", loader_box(ERROR_MOD_NOT_FOUND), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        forget_log();
        control(c.control);
        ASSERT_TRUE(start(std::string("--plugin plugins\\") + c.library));
        EXPECT_EQ(e2e_answer_box(app.pid, c.box, nullptr, IDOK), "");
        EXPECT_TRUE(e2e_poll([&] { return !e2e_module_loaded(app, c.library); })) << "the library stays loaded";
        control("");
        ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
        ASSERT_TRUE(command(IDC_PLUGIN_CONFIGURE));
        expect_log(c.log, c.library);
        e2e_end(app);
    }
}

// A plug-in with the mandatory entry points only: the host acts as without
// one for everything else.
TEST_F(PluginE2e, MinimalPlugInLeavesTheRestToTheHost)
{
    seed(SEED);
    ASSERT_TRUE(start("--plugin plugins\\vorn_TestMinimal.dll"));
    ASSERT_TRUE(command(IDC_PLUGIN_CONFIGURE));
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"attach", "init", "about"}, "configure and about");

    ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
    HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    ASSERT_TRUE(dialog) << "no add-task dialog";
    e2e_set_control_text(dialog, IDC_ADD_NAME, "Beta");
    e2e_click(dialog, IDOK);
    ASSERT_TRUE(e2e_wait_closed(dialog));
    ASSERT_TRUE(e2e_post_command(app, IDC_RESET_ALL));
    EXPECT_EQ(e2e_answer_box(app.pid, RESET_ALL_QUESTION, app.window, IDNO), "");
    ASSERT_TRUE(command(IDC_TASK_FIRST + 2));
    ASSERT_TRUE(e2e_tick(app));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_NE(profile(), E2E_UNSAVED) << "no autosave entry, and the profile was not saved";
    ASSERT_TRUE(command(IDC_STOP));
    expect_log({}, "the notifications it lacks");

    int code = 1;
    quit(&code);
    EXPECT_EQ(code, 0);
    expect_log({"shutdown", "detach"}, "quit");
}

// "&Charger un plug-in...": the current plug-in goes first, after a
// question; then the picker offers the files of "./plugins".
TEST_F(PluginE2e, LoadCommandAsksThenOffersThePicker)
{
    ASSERT_TRUE(start(LOAD_FULL));
    expect_log({"attach", "init"}, "start-up");
    auto open_picker = [&] {
        return e2e_wait_window(app.pid, E2E_DIALOG_CLASS, OPEN_PICKER_CAPTION, E2E_WAIT_PICKER);
    };

    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_LOAD));
    ASSERT_EQ(e2e_answer_box(app.pid, UNLOAD_QUESTION, nullptr, IDNO), "");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, OPEN_PICKER_CAPTION)) << "a picker after No";
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about"}, "No keeps the plug-in");

    // Yes: the plug-in goes before the picker comes; a cancel loads nothing.
    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_LOAD));
    ASSERT_EQ(e2e_answer_box(app.pid, UNLOAD_QUESTION, nullptr, IDYES), "");
    HWND picker = open_picker();
    ASSERT_TRUE(picker) << "no picker";
    expect_log({"shutdown", "detach"}, "Yes");
    e2e_click(picker, IDCANCEL);
    ASSERT_TRUE(e2e_wait_closed(picker));
    ASSERT_TRUE(settle());
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({}, "cancelled");

    // With no plug-in there is no question. The file name typed in the
    // picker's name box (1148) is one of "./plugins"; the program's current
    // directory stays where it was, as the log here shows.
    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_LOAD));
    picker = open_picker();
    ASSERT_TRUE(picker) << "no picker";
    e2e_set_control_text(picker, 1148, "vorn_TestMinimal.dll");
    e2e_click(picker, IDOK);
    ASSERT_TRUE(e2e_wait_closed(picker));
    ASSERT_TRUE(settle());
    ASSERT_TRUE(e2e_module_loaded(app, "vorn_TestMinimal.dll"));
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"attach", "init", "about"}, "the chosen plug-in");
}

// "--plugin" on the command line: the path one character after the option,
// an opening quote skipped, cut after the first ".dll" (not ".DLL").
TEST_F(PluginE2e, CommandLineNamesThePlugIn)
{
    copy_plugins("my plugins");
    struct Case {
        const char* arguments;
        bool loads;
        const char* box;  // nullptr: none
    };
    const std::string not_loaded = loader_box(ERROR_MOD_NOT_FOUND);
    const Case cases[] = {
        {"--plugin \"plugins\\vorn_TestFull.dll\"", true, nullptr},
        {"--plugin \"my plugins\\vorn_TestFull.dll\" --processlist", true, nullptr},
        {"--processlist --plugin=plugins\\vorn_TestFull.dll", true, nullptr},
        {"--plugin plugins\\vorn_TestFull.DLL --processlist", false, not_loaded.c_str()},
        {"--plugin plugins\\vorn_TestFull.DLL", true, nullptr},
        {"--processlist --plugin", false, nullptr},
        {"--plugin ", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        forget_log();
        ASSERT_TRUE(start(c.arguments));
        if (c.box) {
            EXPECT_EQ(e2e_answer_box(app.pid, c.box, nullptr, IDOK), "");
        }
        ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
        EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION)) << "a box is up";
        expect_log(c.loads ? Lines{"attach", "init", "about"} : Lines{}, c.arguments);
        EXPECT_EQ(e2e_module_loaded(app, FULL), c.loads);
        e2e_end(app);
    }
}

// The plug-in released while one of its entry points shows a box: the
// release waits until the entry point has returned.
class PluginBoxE2e : public PluginE2e {
protected:
    // Starts the program with the full plug-in, whose entry point `entry`
    // ("init" at the start, or "about" from the menu) shows its box after
    // the HostCallback calls in `calls`.
    void open_box(const std::string& entry, const std::string& calls)
    {
        box_entry = entry;
        control(calls + entry + ".box=1\n");
        ASSERT_TRUE(start(LOAD_FULL));
        if (entry == "about") {
            ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_ABOUT));
        }
        box = plugin_box(entry);
        ASSERT_TRUE(box) << "no " << entry << " box of the plug-in";
        control("");
    }

    // Closes the box; then the library goes, without a word to the user.
    void close_and_expect_release()
    {
        ASSERT_TRUE(e2e_module_loaded(app, FULL)) << "released under the running entry point";
        ASSERT_TRUE(close_box(box));
        expect_log({box_entry + " box closed", "detach"}, "the box closed");
        EXPECT_TRUE(e2e_poll([&] { return !e2e_module_loaded(app, FULL); })) << "the library stays loaded";
        EXPECT_TRUE(e2e_tick(app)) << "the program no longer answers";
        EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION)) << "a box is up";
        ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
        expect_log({}, "about after the release");
    }

    std::string box_entry;
    HWND box = nullptr;
};

TEST_F(PluginBoxE2e, MenuUnloadWaitsForTheBox)
{
    open_box("about", "");
    ASSERT_TRUE(e2e_post_command(app, IDC_PLUGIN_UNLOAD));
    ASSERT_EQ(e2e_answer_box(app.pid, UNLOAD_QUESTION, nullptr, IDYES), "");
    expect_log({"attach", "init", "about", "shutdown"}, "unload under the box");
    close_and_expect_release();
}

TEST_F(PluginBoxE2e, UnloadRequestAtATickWaitsForTheBox)
{
    open_box("about", "about.call=88\n");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"attach", "init", "about", "  call 88 (null) (null) -> 1", "shutdown"},
               "unload request under the box");
    close_and_expect_release();
}

// While it is not yet initialised, the plug-in gets no shutdown.
TEST_F(PluginBoxE2e, UnloadRequestAtATickWaitsForTheInitialisation)
{
    open_box("init", "init.call=88\n");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"attach", "init", "  call 88 (null) (null) -> 1"}, "unload request under the init box");
    close_and_expect_release();
}

TEST_F(PluginBoxE2e, RestartRequestAtATickWaitsForTheBox)
{
    open_box("about", "about.call=87\n");
    ASSERT_TRUE(e2e_tick(app));
    expect_log({"attach", "init", "about", "  call 87 (null) (null) -> 1", "shutdown", "init"},
               "restart under the box");
    // The put-off release of the first load only drops the count of the
    // second: the library stays mapped, and active.
    ASSERT_TRUE(close_box(box));
    expect_log({"about box closed"}, "the box closed");
    ASSERT_TRUE(command(IDC_PLUGIN_ABOUT));
    expect_log({"about"}, "about after the restart");
    EXPECT_TRUE(e2e_module_loaded(app, FULL));
    int code = 1;
    quit(&code);
    EXPECT_EQ(code, 0);
    expect_log({"shutdown", "detach"}, "quit");
}

TEST_F(PluginBoxE2e, QuitWaitsForTheBox)
{
    open_box("about", "");
    ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
    ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
    // The quit message ends the box's loop; should the box stay, it is
    // closed as a user would.
    e2e_poll([&] { return !e2e_alive(app) || !IsWindow(box); });
    if (IsWindow(box))
        close_box(box);
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code)) << "the program did not end";
    EXPECT_EQ(code, 0) << "the program did not end normally";
    expect_log({"attach", "init", "about", "shutdown", "about box closed", "detach"}, "quit under the box");
}
