// ZentrikWin.exe driven as a user drives it: menu commands, the tray icon,
// boxes and dialogs answered through their windows, and the files it leaves.
#include <filesystem>

#include "shell/resource.h"
#include "tests/e2e/fixture.h"

#include <shellapi.h>

static const char ALREADY_RUNNING[] = "L'application Zentrik a déjà été démarrée !";
static const char QUIT_QUESTION[] = "Êtes-vous sûr de vouloir quitter ?";
static const char RESET_ALL_QUESTION[] = "Ëtes-vous sûr de vouloir remettre les compteurs à zéro ?";
static const char RESET_QUESTION[] = "Ëtes-vous sûr de vouloir remettre à zéro ce compteur ?";
static const char DELETE_QUESTION[] = "Ëtes-vous sûr de vouloir supprimer ce compteur ?";

// 3725 s is 1h 2m 5s; the three make 1h 3m 5s.
static const std::vector<E2eTask> SEED = {
    e2e_task(0, "Client A", 3725),
    e2e_task(1, "Mail", 60),
    e2e_task(2, "Zeta", 0),
};

static E2eSpan timed_command(const E2eProcess& app, UINT id)
{
    E2eSpan span{time(nullptr), 0};
    EXPECT_TRUE(e2e_command(app, id)) << "command " << id;
    span.after = time(nullptr);
    return span;
}

// Lets a running task count at least `seconds` more whole seconds after `from`.
static void let_run(time_t from, int seconds)
{
    e2e_poll([&] { return time(nullptr) >= from + seconds; }, (seconds + 2) * 1000);
}

// A task that ran from a moment in `started` to one in `stopped` (or to the
// moment its time was read), with `seconds` before.
static E2eTask ran(int slot, const std::string& name, int seconds, E2eSpan started, E2eSpan stopped)
{
    int low = static_cast<int>(stopped.before > started.after ? stopped.before - started.after : 0);
    // One second more: the program reads the clock in its own process, and
    // under load one run in a few dozen saw a second that this process's
    // reads before and after did not.
    int high = static_cast<int>(stopped.after - started.before) + 1;
    return {slot, name, seconds + low, seconds + high};
}

static void quit_with_yes(E2eProcess& app, int* code)
{
    ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
    ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
    ASSERT_TRUE(e2e_wait_exit(app, code)) << "the program did not end after Yes";
}

// Opens dialog 500 (through `open`), types `name` and presses `button`.
template <typename Open>
static void add_through_dialog(const E2eProcess& app, Open open, const std::string& name, int button,
                               HWND owner = nullptr)
{
    open();
    HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    ASSERT_TRUE(dialog) << "no add-task dialog";
    if (owner) {
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
    }
    e2e_set_control_text(dialog, IDC_ADD_NAME, name);
    e2e_click(dialog, button);
    // A failed add would show its box before the dialog closes.
    ASSERT_TRUE(e2e_wait_closed(dialog)) << "the add-task dialog stayed open for '" << name << "'";
}

static void add_task(const E2eProcess& app, const std::string& name, int button = IDOK)
{
    add_through_dialog(app, [&] { e2e_post_command(app, IDC_ADD_TASK); }, name, button);
}

TEST_F(E2e, SecondCopyIsRefusedWhileTheFirstRunsOn)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    const std::string before = profile();

    EXPECT_EQ(e2e_text(app.window), "Zentrik for Windows v1.2");
    EXPECT_FALSE(IsWindowVisible(app.window));

    ASSERT_TRUE(e2e_launch(second, folder()));
    EXPECT_EQ(e2e_answer_box(second.pid, ALREADY_RUNNING, nullptr, IDOK), "");
    int code = 0;
    ASSERT_TRUE(e2e_wait_exit(second, &code));
    EXPECT_EQ(code, -1);

    EXPECT_TRUE(e2e_alive(app));
    EXPECT_TRUE(e2e_tick(app)) << "the first copy no longer answers";
    EXPECT_EQ(profile(), before) << "the second copy wrote the profile";
}

TEST_F(E2e, AddTaskDialogAddsNamedDefaultAndExistingTasks)
{
    ASSERT_TRUE(e2e_start(app, folder()));
    const std::string long_name(100, 'x');

    add_task(app, "Client A");
    add_task(app, "");  // the second task made: id 1
    add_task(app, "Client A");
    add_task(app, "Réunion équipe");
    add_task(app, long_name);
    add_task(app, "Annulée", IDCANCEL);
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION)) << "an error box is up";

    int code = 1;
    quit_with_yes(app, &code);
    EXPECT_EQ(code, 0);
    // Sorted by name with a-z folded; the field keeps 79 characters.
    EXPECT_EQ(profile(), e2e_profile_bytes({
                             e2e_task(0, "Client A", 0),
                             e2e_task(1, "Réunion équipe", 0),
                             e2e_task(2, "tâche #1", 0),
                             e2e_task(3, std::string(79, 'x'), 0),
                         }));
}

TEST_F(E2e, TimerTickSavesWhileRunningOnceMoreAfterStopNeverWhenIdle)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    mark_unsaved();

    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "saved with no task running";

    // Started and stopped between two ticks: nothing to save.
    timed_command(app, IDC_TASK_FIRST + 1);
    timed_command(app, IDC_STOP);
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "saved a task that ran between two ticks";

    E2eSpan started = timed_command(app, IDC_TASK_FIRST + 1);
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "saved on the tick that first saw the task running";

    for (int tick = 0; tick < 2; ++tick) {
        mark_unsaved();
        ASSERT_TRUE(e2e_tick(app));
        E2eSpan now{time(nullptr), time(nullptr)};
        std::vector<E2eTask> tasks = {SEED[0], ran(1, "Mail", 60, started, {started.before, now.after}), SEED[2]};
        EXPECT_EQ(profile(), e2e_expected_profile(profile(), tasks)) << "tick " << tick << " while running";
    }

    E2eSpan stopped = timed_command(app, IDC_STOP);
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    std::vector<E2eTask> tasks = {SEED[0], ran(1, "Mail", 60, started, stopped), SEED[2]};
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), tasks)) << "the tick after the stop";

    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "saved again while idle";
}

TEST_F(E2e, StartSwitchStopAndQuitKeepEachTasksTime)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));

    E2eSpan mail = timed_command(app, IDC_TASK_FIRST + 1);
    ASSERT_TRUE(e2e_tick(app));
    let_run(mail.after, 2);
    E2eSpan client = timed_command(app, IDC_TASK_FIRST + 0);  // stops Mail
    let_run(client.after, 1);
    E2eSpan stop = timed_command(app, IDC_STOP);
    ASSERT_TRUE(e2e_tick(app));  // the last save after the stop
    const E2eTask mail_ran = ran(1, "Mail", 60, mail, client);
    const E2eTask client_ran = ran(0, "Client A", 3725, client, stop);
    ASSERT_GE(mail_ran.low, 61) << "the test did not let Mail run";
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {client_ran, mail_ran, SEED[2]}));

    // The exit saves a running task with its live time.
    const std::string saved = profile();
    E2eSpan zeta = timed_command(app, IDC_TASK_FIRST + 2);
    let_run(zeta.after, 2);
    ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
    ASSERT_TRUE(e2e_wait_box(app.pid));
    // The question makes the tray refuse its menu: the click returns at once.
    EXPECT_TRUE(e2e_send(app, E2E_TRAY_CALLBACK, 0, WM_LBUTTONUP, 3000)) << "a tray menu opened";
    ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDNO), "");
    EXPECT_TRUE(e2e_tick(app)) << "No ended the program";
    E2eSpan exit{time(nullptr), 0};
    int code = 1;
    quit_with_yes(app, &code);
    exit.after = time(nullptr);
    EXPECT_EQ(code, 0);

    const E2eTask zeta_ran = ran(2, "Zeta", 0, zeta, exit);
    ASSERT_GE(zeta_ran.low, 2);
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {client_ran, mail_ran, zeta_ran}));
    // The stopped tasks keep the times of the save after their stop.
    EXPECT_EQ(profile().substr(0, profile().find("2\tZeta")), saved.substr(0, saved.find("2\tZeta")));

    // The file keeps no running state: after a new start nothing runs.
    ASSERT_TRUE(e2e_start(app, folder()));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "a task runs after the start";
}

TEST_F(E2e, TaskManagerAddsTogglesResetsAndDeletes)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    ASSERT_TRUE(e2e_post_command(app, IDC_TASK_MANAGER));
    HWND manager = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION);
    ASSERT_TRUE(manager);
    using Items = std::vector<std::string>;
    auto items = [&] { return e2e_list_items(manager, IDC_TM_LIST); };
    // The list is rebuilt after the action the test posted.
    auto expect_items = [&](const Items& expected) {
        e2e_poll([&] { return items() == expected; });
        EXPECT_EQ(items(), expected);
    };
    auto task_buttons = [&] {
        return e2e_enabled(manager, IDC_TM_TOGGLE) + e2e_enabled(manager, IDC_TM_RESET) +
               e2e_enabled(manager, IDC_TM_DELETE);
    };

    EXPECT_EQ(items(), (Items{"Client A", "Mail", "Zeta"}));
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TASK_TIME), "");
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TOTAL_TIME), "1h 3m 5s");
    EXPECT_EQ(task_buttons(), 0);

    // While it is up, neither a second one nor the tray menu opens: the tray
    // click returns at once instead of running a menu.
    ASSERT_TRUE(e2e_post_command(app, IDC_TASK_MANAGER));
    ASSERT_TRUE(e2e_settle(app));
    EXPECT_TRUE(e2e_send(app, E2E_TRAY_CALLBACK, 0, WM_LBUTTONUP, 3000)) << "a tray menu opened";
    EXPECT_EQ(e2e_count_windows(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION), 1);
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_MENU_CLASS, nullptr));

    add_through_dialog(app, [&] { e2e_click(manager, IDC_TM_ADD); }, "Beta", IDOK, manager);
    expect_items({"Beta", "Client A", "Mail", "Zeta"});

    // Selecting a stopped task shows its time once.
    e2e_select_item(manager, IDC_TM_LIST, 2);
    e2e_poll([&] { return task_buttons() == 3; });
    EXPECT_EQ(task_buttons(), 3);
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TASK_TIME), "0h 1m 0s");

    e2e_click(manager, IDC_TM_TOGGLE);
    expect_items({"Beta", "Client A", "Mail [En Cours]", "Zeta"});
    EXPECT_EQ(task_buttons(), 0) << "the refresh leaves nothing selected";
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TASK_TIME), "");

    // The running task's time counts up, with the total.
    e2e_select_item(manager, IDC_TM_LIST, 2);
    e2e_poll([&] { return !e2e_control_text(manager, IDC_TM_TASK_TIME).empty(); });
    const std::string first = e2e_control_text(manager, IDC_TM_TASK_TIME);
    EXPECT_TRUE(e2e_poll([&] { return e2e_control_text(manager, IDC_TM_TASK_TIME) != first; }, 4000))
        << "the running task's time stays at " << first;

    // Reset: No changes nothing and keeps the selection; Yes stops and zeroes.
    e2e_click(manager, IDC_TM_RESET);
    EXPECT_EQ(e2e_answer_box(app.pid, RESET_QUESTION, manager, IDNO), "");
    EXPECT_EQ(items(), (Items{"Beta", "Client A", "Mail [En Cours]", "Zeta"}));
    EXPECT_EQ(task_buttons(), 3);
    e2e_click(manager, IDC_TM_RESET);
    EXPECT_EQ(e2e_answer_box(app.pid, RESET_QUESTION, manager, IDYES), "");
    expect_items({"Beta", "Client A", "Mail", "Zeta"});
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TOTAL_TIME), "1h 2m 5s");

    // Delete: No, then Yes.
    e2e_select_item(manager, IDC_TM_LIST, 3);
    e2e_poll([&] { return task_buttons() == 3; });
    e2e_click(manager, IDC_TM_DELETE);
    EXPECT_EQ(e2e_answer_box(app.pid, DELETE_QUESTION, manager, IDNO), "");
    EXPECT_EQ(items(), (Items{"Beta", "Client A", "Mail", "Zeta"}));
    e2e_click(manager, IDC_TM_DELETE);
    EXPECT_EQ(e2e_answer_box(app.pid, DELETE_QUESTION, manager, IDYES), "");
    expect_items({"Beta", "Client A", "Mail"});

    // A double click on an item starts it.
    e2e_select_item(manager, IDC_TM_LIST, 1);
    e2e_poll([&] { return task_buttons() == 3; });
    E2eSpan started{time(nullptr), 0};
    e2e_list_notify(manager, IDC_TM_LIST, LBN_DBLCLK);
    expect_items({"Beta", "Client A [En Cours]", "Mail"});
    started.after = time(nullptr);

    // The main timer runs inside the dialog's loop; Zeta's slot is empty now.
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_tick(app));
    E2eSpan now{time(nullptr), time(nullptr)};
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {
                                                             e2e_task(0, "Beta", 0),
                                                             ran(1, "Client A", 3725, started, now),
                                                             e2e_task(2, "Mail", 0),
                                                         }));

    // Deleting the running task leaves nothing running; its time goes with it.
    e2e_select_item(manager, IDC_TM_LIST, 1);
    e2e_poll([&] { return task_buttons() == 3; });
    e2e_click(manager, IDC_TM_DELETE);
    EXPECT_EQ(e2e_answer_box(app.pid, DELETE_QUESTION, manager, IDYES), "");
    expect_items({"Beta", "Mail"});
    EXPECT_EQ(e2e_control_text(manager, IDC_TM_TOTAL_TIME), "0h 0m 0s");
    ASSERT_TRUE(e2e_tick(app));  // once more: a task ran at the previous tick
    EXPECT_EQ(profile(), e2e_profile_bytes({e2e_task(0, "Beta", 0), e2e_task(2, "Mail", 0)}));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "a task still runs after its deletion";

    e2e_click(manager, IDC_TM_CLOSE);
    EXPECT_TRUE(e2e_wait_closed(manager));
}

TEST_F(E2e, ResetAllAsksThenStopsAndZeroesEveryTask)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    E2eSpan started = timed_command(app, IDC_TASK_FIRST + 1);
    ASSERT_TRUE(e2e_tick(app));

    ASSERT_TRUE(e2e_post_command(app, IDC_RESET_ALL));
    ASSERT_EQ(e2e_answer_box(app.pid, RESET_ALL_QUESTION, app.window, IDNO), "");
    ASSERT_TRUE(e2e_settle(app));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    E2eSpan now{time(nullptr), time(nullptr)};
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {SEED[0], ran(1, "Mail", 60, started, now), SEED[2]}))
        << "No changed the counters";

    ASSERT_TRUE(e2e_post_command(app, IDC_RESET_ALL));
    ASSERT_EQ(e2e_answer_box(app.pid, RESET_ALL_QUESTION, app.window, IDYES), "");
    ASSERT_TRUE(e2e_settle(app));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));  // Mail ran at the previous tick
    EXPECT_EQ(profile(), e2e_profile_bytes({e2e_task(0, "Client A", 0), e2e_task(1, "Mail", 0),
                                            e2e_task(2, "Zeta", 0)}));
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "a task still runs after the reset";
}

TEST_F(E2e, ReportGoesToTheChosenFileAndTheProfileStaysWhereItWas)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    const std::filesystem::path reports = dir.path / "reports";
    std::filesystem::create_directories(reports);

    // Cancelling writes nothing and says nothing.
    ASSERT_TRUE(e2e_post_command(app, IDC_REPORT));
    HWND picker = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_PICKER_CAPTION, E2E_WAIT_PICKER);
    ASSERT_TRUE(picker) << "no save picker";
    e2e_click(picker, IDCANCEL);
    ASSERT_TRUE(e2e_wait_closed(picker));
    ASSERT_TRUE(e2e_settle(app));
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION));
    EXPECT_TRUE(std::filesystem::is_empty(reports));

    E2eSpan started = timed_command(app, IDC_TASK_FIRST + 0);
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_post_command(app, IDC_REPORT));
    picker = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_PICKER_CAPTION, E2E_WAIT_PICKER);
    ASSERT_TRUE(picker) << "no save picker";
    // A folder typed in the file name box (1148) and OK: the picker goes
    // there, as a user's browsing does, and shows it in its folder box (1137).
    e2e_set_control_text(picker, 1148, reports.string());
    e2e_click(picker, IDOK);
    ASSERT_TRUE(e2e_poll([&] { return e2e_control_text(picker, 1137) == "reports"; })) << "the picker stayed";
    e2e_set_control_text(picker, 1148, "week.txt");
    E2eSpan written{time(nullptr), 0};
    e2e_click(picker, IDOK);
    ASSERT_TRUE(e2e_wait_closed(picker));
    ASSERT_TRUE(e2e_settle(app));
    written.after = time(nullptr);
    EXPECT_FALSE(e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION)) << "an error box is up";

    const std::string report = read_bytes((reports / "week.txt").string());
    E2eTask client = ran(0, "Client A", 3725, started, written);
    client.running = true;
    EXPECT_EQ(report, e2e_expected_report(report, {client, SEED[1], SEED[2]}, written.before, written.after));

    // The picker visited another folder; the profile is still saved here.
    mark_unsaved();
    ASSERT_TRUE(e2e_tick(app));
    EXPECT_NE(profile(), E2E_UNSAVED);
    EXPECT_FALSE(std::filesystem::exists(reports / "Zentrik.cnf"));
}

TEST_F(E2e, TrayClickMenuChoosesWithKeysAndDoubleClickOpensTheManager)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));

    // Tâches (the fourth item), its submenu, past "Ajouter" and the separator
    // to the second task: Mail.
    ASSERT_TRUE(e2e_tray(app, WM_LBUTTONUP));
    HWND menu = e2e_wait_window(app.pid, E2E_MENU_CLASS, nullptr);
    ASSERT_TRUE(menu) << "no menu after a click on the tray icon";
    E2eSpan started{time(nullptr), 0};
    e2e_keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_TRUE(e2e_poll([&] { return !e2e_find_window(app.pid, E2E_MENU_CLASS, nullptr); }))
        << "the menu stayed open";
    ASSERT_TRUE(e2e_settle(app));
    started.after = time(nullptr);

    ASSERT_TRUE(e2e_tray(app, WM_LBUTTONDBLCLK));
    HWND manager = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION);
    ASSERT_TRUE(manager) << "no task manager after a double click";
    EXPECT_EQ(e2e_list_items(manager, IDC_TM_LIST),
              (std::vector<std::string>{"Client A", "Mail [En Cours]", "Zeta"}));
    e2e_click(manager, IDC_TM_CLOSE);
    ASSERT_TRUE(e2e_wait_closed(manager));

    // Up from nothing selected wraps to the last item: "&Sortie". The exit
    // saves.
    mark_unsaved();
    ASSERT_TRUE(e2e_tray(app, WM_RBUTTONUP));
    menu = e2e_wait_window(app.pid, E2E_MENU_CLASS, nullptr);
    ASSERT_TRUE(menu) << "no menu after a right click";
    e2e_keys(menu, {VK_UP, VK_RETURN});
    ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code));
    E2eSpan exit{time(nullptr), time(nullptr)};
    EXPECT_EQ(code, 0);
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {SEED[0], ran(1, "Mail", 60, started, exit), SEED[2]}));
}

// Windows ends the process right after WM_ENDSESSION, without WM_DESTROY:
// the program saves then, a running task with its live time.
TEST_F(E2e, SessionEndSavesLikeTheExit)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    E2eSpan mail = timed_command(app, IDC_TASK_FIRST + 1);
    let_run(mail.after, 2);
    mark_unsaved();
    E2eSpan end{time(nullptr), 0};
    ASSERT_TRUE(e2e_send(app, WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(profile(), E2E_UNSAVED) << "the question alone must not save";
    ASSERT_TRUE(e2e_send(app, WM_ENDSESSION, TRUE, 0));
    end.after = time(nullptr);
    e2e_end(app);
    const E2eTask mail_ran = ran(1, "Mail", 60, mail, end);
    ASSERT_GE(mail_ran.low, 62);
    EXPECT_EQ(profile(), e2e_expected_profile(profile(), {SEED[0], mail_ran, SEED[2]}));

    // A session end that was cancelled (wParam FALSE) saves nothing.
    ASSERT_TRUE(e2e_start(app, folder()));
    mark_unsaved();
    ASSERT_TRUE(e2e_send(app, WM_ENDSESSION, FALSE, 0));
    EXPECT_EQ(profile(), E2E_UNSAVED);
}

// The icons shown in Wine's tray window, one child window each (winex11.drv,
// systray.c); -1 outside Wine, where there is no such window.
static int wine_tray_icons()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!tray)
        return -1;
    int count = 0;
    for (HWND icon = FindWindowExA(tray, nullptr, "__winex11_tray_icon", nullptr); icon;
         icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr))
        ++count;
    return count;
}

// When the notification area restarts, its icons are gone and the shell
// broadcasts "TaskbarCreated": the program adds its icon again, in the state
// it was in, and runs on.
TEST_F(E2e, TaskbarRestartAddsTheIconAgainAndKeepsTheState)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + 0));
    const int icons = wine_tray_icons();
    if (icons < 0)
        GTEST_SKIP() << "counts the icons of Wine's tray window";
    // A restarted notification area has lost the program's icon.
    NOTIFYICONDATAA lost = {};
    lost.cbSize = NOTIFYICONDATAA_V1_SIZE;
    lost.hWnd = app.window;
    lost.uID = 0;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    ASSERT_TRUE(e2e_poll([&] { return wine_tray_icons() == icons - 1; }));
    const UINT taskbar_created = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(taskbar_created, 0u);
    ASSERT_TRUE(e2e_send(app, taskbar_created, 0, 0));
    EXPECT_TRUE(e2e_poll([&] { return wine_tray_icons() == icons; })) << "the icon was not added again";
    // The tray still answers: a double click opens the task manager, whose
    // list shows the task still running.
    ASSERT_TRUE(e2e_tray(app, WM_LBUTTONDBLCLK));
    HWND manager = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_MANAGER_CAPTION);
    ASSERT_TRUE(manager);
    EXPECT_EQ(e2e_list_items(manager, IDC_TM_LIST),
              (std::vector<std::string>{"Client A [En Cours]", "Mail", "Zeta"}));
    e2e_click(manager, IDC_TM_CLOSE);
    EXPECT_TRUE(e2e_wait_closed(manager));
}
