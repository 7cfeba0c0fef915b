#include <string>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "shell/commands.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "tests/processes/fake_sources.h"
#include "tests/support/recording_shell.h"
#include "tests/support/tempdir.h"

namespace {

const char IDLE_TIP[] = "tip 'Zentrik for Windows v1.2'";
const char RUNNING_TIP[] = "tip 'Zentrik for Windows - Task Running'";

// Alpha (slot 0, 100 s), Beta (slot 1, 200 s), Gamma (slot 2, 300 s).
struct CommandsTest : ShellFixture {
    void SetUp() override
    {
        ShellFixture::SetUp();
        fill();
    }

    // Starts again from the three stopped tasks and an empty log.
    void fill()
    {
        ledger_clear();
        ledger_add_task("Alpha", 100);
        ledger_add_task("Beta", 200);
        ledger_add_task("Gamma", 300);
        recorder_reset();
    }

    // Makes task `index` current but not running, as a reset of the current
    // task without forgetting it leaves the ledger: the ledger then cannot
    // stop the current task.
    static void make_stale_current(int32_t index)
    {
        ledger_start_task(index);
        ledger_reset_task(index);
    }

    static void dispatch(unsigned id) { DispatchCommand(id, g_shell.main_window, 0x111, id, 0); }
    static int32_t elapsed(int32_t index) { return task_elapsed(ledger_task_at(index)); }
    static bool runs(int32_t index) { return task_is_running(ledger_task_at(index)); }
};

TEST_F(CommandsTest, StartsATaskWhenNoneRuns)
{
    dispatch(IDC_TASK_FIRST + 1);
    EXPECT_EQ(rec.events, (Events{RUNNING_TIP, "icon 110", "notify_task_started(1, 1) current=1 runs=1"}));
    EXPECT_EQ(ledger_current_index(), 1);
}

TEST_F(CommandsTest, StartClosesTheRunningTaskAndTellsOfTheStopFirst)
{
    ledger_start_task(0);
    clock.advance(30);
    dispatch(IDC_TASK_FIRST + 1);
    EXPECT_EQ(rec.events, (Events{"notify_task_stopped(0, 1) current=-1 runs=0", RUNNING_TIP, "icon 110",
                                  "notify_task_started(1, 1) current=1 runs=1"}));
    EXPECT_FALSE(runs(0));
    EXPECT_EQ(elapsed(0), 130);
    EXPECT_EQ(ledger_current_index(), 1);
}

TEST_F(CommandsTest, ChoosingTheCurrentTaskStopsAndStartsItAgain)
{
    ledger_start_task(1);
    clock.advance(10);
    dispatch(IDC_TASK_FIRST + 1);
    EXPECT_EQ(rec.events, (Events{"notify_task_stopped(1, 1) current=-1 runs=0", RUNNING_TIP, "icon 110",
                                  "notify_task_started(1, 1) current=1 runs=1"}));
    EXPECT_EQ(ledger_task_at(1)->start, clock.now());  // a new run
    EXPECT_EQ(ledger_task_at(1)->seconds, 210);        // the old one closed
}

TEST_F(CommandsTest, StartVetoLeavesNoTaskCurrentAndTheOldOneStopped)
{
    ledger_start_task(0);
    rec.results["notify_task_stopped"] = 0;  // not examined for the old task
    rec.results["notify_task_started"] = 0;
    dispatch(IDC_TASK_FIRST + 1);
    EXPECT_EQ(rec.events, (Events{"notify_task_stopped(0, 1) current=-1 runs=0", RUNNING_TIP, "icon 110",
                                  "notify_task_started(1, 1) current=1 runs=1", IDLE_TIP, "icon 120"}));
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_FALSE(runs(0));
    EXPECT_FALSE(runs(1));
}

TEST_F(CommandsTest, StartThatCannotStopTheCurrentTaskWarnsAndReportsZero)
{
    const std::string warning = "box owner=none 'Impossible de démarrer la tâche !' flags=0x30";
    struct Case {
        int32_t started_result;
        Events tail;  // after the warning and the start notification
        int32_t current_after;
    } cases[] = {
        {PLUGIN_NOT_AVAILABLE, {}, 0},
        {0, {IDLE_TIP, "icon 120"}, -1},  // the veto forgets the current index
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.started_result);
        fill();
        make_stale_current(0);
        rec.results["notify_task_started"] = c.started_result;
        dispatch(IDC_TASK_FIRST + 1);
        Events expected{"notify_task_stopped(0, 0) current=0 runs=0", warning,
                        "notify_task_started(1, 0) current=0 runs=0"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(rec.events, expected);
        EXPECT_EQ(ledger_current_index(), c.current_after);
        EXPECT_FALSE(runs(1));
    }
}

// An id that names no task starts nothing: the tray shows what the ledger
// holds, which is idle once the old task has stopped.
TEST_F(CommandsTest, StartOfAnIndexWithoutTaskShowsTheIdleState)
{
    struct Case {
        const char* what;
        bool alpha_runs;
        bool beta_removed;
        unsigned id;
        Events events;
    } cases[] = {
        {"placeholder", false, false, IDC_NO_TASK,
         {IDLE_TIP, "icon 120", "notify_task_started(-1, -1) current=-1 runs=-"}},
        {"placeholder, a task runs", true, false, IDC_NO_TASK,
         {"notify_task_stopped(0, 1) current=-1 runs=0", IDLE_TIP, "icon 120",
          "notify_task_started(-1, -1) current=-1 runs=-"}},
        {"past the last slot", false, false, IDC_TASK_FIRST + 3,
         {IDLE_TIP, "icon 120", "notify_task_started(3, -1) current=-1 runs=-"}},
        {"last id of the range", true, false, 11999,
         {"notify_task_stopped(0, 1) current=-1 runs=0", IDLE_TIP, "icon 120",
          "notify_task_started(997, -1) current=-1 runs=-"}},
        {"emptied slot", false, true, IDC_TASK_FIRST + 1,
         {IDLE_TIP, "icon 120", "notify_task_started(1, -2) current=-1 runs=-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill();
        if (c.alpha_runs)
            ledger_start_task(0);
        if (c.beta_removed)
            ledger_remove_task(1);
        dispatch(c.id);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_current_index(), -1);
    }
}

TEST_F(CommandsTest, StopWithNoCurrentTaskDoesNothing)
{
    dispatch(IDC_STOP);
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(CommandsTest, StopsTheCurrentTask)
{
    ledger_start_task(0);
    clock.advance(20);
    dispatch(IDC_STOP);
    EXPECT_EQ(rec.events, (Events{IDLE_TIP, "icon 120", "notify_task_stopped(0, 1) current=-1 runs=0"}));
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_EQ(elapsed(0), 120);
}

TEST_F(CommandsTest, StopVetoRunsTheTaskAgainWithANewStart)
{
    ledger_start_task(0);
    clock.advance(20);
    rec.results["notify_task_stopped"] = 0;
    dispatch(IDC_STOP);
    EXPECT_EQ(rec.events, (Events{IDLE_TIP, "icon 120", "notify_task_stopped(0, 1) current=-1 runs=0",
                                  RUNNING_TIP, "icon 110"}));
    EXPECT_EQ(ledger_current_index(), 0);
    EXPECT_EQ(ledger_task_at(0)->start, clock.now());
    EXPECT_EQ(ledger_task_at(0)->seconds, 120);
}

// The ledger answers 0 when the current task does not run: a warning, the
// stop notification with 0, and on a veto the start again, whose -3 leaves
// nothing running: the tray shows the idle state.
TEST_F(CommandsTest, StopThatTheLedgerRefusesWarns)
{
    const std::string warning = "box owner=none 'Impossible d'arrêter la tâche courante !' flags=0x30";
    struct Case {
        int32_t stopped_result;
        Events tail;
    } cases[] = {
        {PLUGIN_NOT_AVAILABLE, {}},
        {1, {}},
        {0, {IDLE_TIP, "icon 120"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopped_result);
        fill();
        make_stale_current(0);
        rec.results["notify_task_stopped"] = c.stopped_result;
        dispatch(IDC_STOP);
        Events expected{warning, "notify_task_stopped(0, 0) current=0 runs=0"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(rec.events, expected);
        EXPECT_EQ(ledger_current_index(), 0);
        EXPECT_FALSE(runs(0));
    }
}

TEST_F(CommandsTest, ResetAllAsksOnlyWhenNoPluginDecides)
{
    const std::string question =
        "box owner=main 'Ëtes-vous sûr de vouloir remettre les compteurs à zéro ?' flags=0x124";
    const std::string stop = "notify_task_stopped(0, 1) current=-1 runs=0";
    struct Case {
        const char* what;
        bool alpha_runs;
        int32_t decision;
        int answer;  // 0: no question expected
        Events events;
        bool reset;
    } cases[] = {
        {"no plug-in, No", true, PLUGIN_NOT_AVAILABLE, SHELL_IDNO,
         {"notify_reset_task(-1) current=0 runs=-", question}, false},
        {"no plug-in, Yes", true, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_reset_task(-1) current=0 runs=-", question, IDLE_TIP, "icon 120", stop, IDLE_TIP, "icon 120"},
         true},
        {"no plug-in, Yes, nothing runs", false, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_reset_task(-1) current=-1 runs=-", question, IDLE_TIP, "icon 120"}, true},
        {"plug-in agrees", true, 1, 0,
         {"notify_reset_task(-1) current=0 runs=-", IDLE_TIP, "icon 120", stop, IDLE_TIP, "icon 120"}, true},
        {"plug-in answers something else", true, 5, 0,
         {"notify_reset_task(-1) current=0 runs=-", IDLE_TIP, "icon 120", stop, IDLE_TIP, "icon 120"}, true},
        {"plug-in vetoes", true, 0, 0, {"notify_reset_task(-1) current=0 runs=-"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill();
        if (c.alpha_runs)
            ledger_start_task(0);
        clock.advance(20);
        rec.results["notify_reset_task"] = c.decision;
        if (c.answer)
            rec.answers.push_back(c.answer);
        dispatch(IDC_RESET_ALL);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_TRUE(rec.answers.empty());
        if (c.reset) {
            EXPECT_EQ(ledger_total_seconds(), 0);
            EXPECT_EQ(ledger_current_index(), -1);
        } else {
            EXPECT_EQ(elapsed(0), 120);
            EXPECT_TRUE(runs(0));
        }
    }
}

TEST_F(CommandsTest, ResetAllAfterAVetoedStopLeavesNoTaskCurrent)
{
    fill();
    ledger_start_task(0);
    clock.advance(20);
    rec.results["notify_reset_task"] = 1;
    rec.results["notify_task_stopped"] = 0;  // the plug-in vetoes the stop
    dispatch(IDC_RESET_ALL);
    EXPECT_EQ(ledger_total_seconds(), 0);
    EXPECT_FALSE(runs(0));
    EXPECT_EQ(ledger_current_index(), -1);
    // The next start works instead of failing on a current task that is stopped.
    rec.events.clear();
    rec.results.erase("notify_task_stopped");
    dispatch(IDC_TASK_FIRST + 1);
    EXPECT_TRUE(runs(1));
    EXPECT_EQ(ledger_current_index(), 1);
}

TEST_F(CommandsTest, ProcessItemsTerminateTheListedProcessWithExitCode9)
{
    fake_sources_reset();
    g_fake_psapi.processes = {{40, "svchost.exe"}, {41, "Explorer.EXE"}, {42, "acrobat.exe"}};
    process_list_refresh_from(fake_sources);
    process_list_sort();
    struct Case {
        int option;
        unsigned id;
        Events events;
    } cases[] = {
        {1, IDC_PROCESS_FIRST, {"terminate 42 9"}},      // acrobat.exe sorts first
        {1, IDC_PROCESS_FIRST + 2, {"terminate 40 9"}},  // svchost.exe last
        {1, IDC_PROCESS_FIRST + 3, {}},                  // no such entry
        {1, 3050, {}},                                   // beyond the process ids
        {0, IDC_PROCESS_FIRST, {}},                      // without the option
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        rec.events.clear();
        g_shell.process_list_option = c.option;
        dispatch(c.id);
        EXPECT_EQ(rec.events, c.events);
    }
    process_list_clear();
}

TEST_F(CommandsTest, ReportShowsTheSavingIconUntilThePickerCloses)
{
    TempDir dir;
    const std::string good = dir.file("report.txt");
    const std::string in_missing_folder = dir.file("missing/report.txt");
    const char* failure = "error 0 'Echec de la sauvegarde.'";
    enum Pick { Cancel, Good, MissingFolder };
    struct Case {
        const char* what;
        int32_t allowed;
        Pick pick;
        bool alpha_runs;
        Events events;
        bool written;
    } cases[] = {
        {"no plug-in, idle", PLUGIN_NOT_AVAILABLE, Good, false,
         {IDLE_TIP, "icon 130", "notify_save_report() current=-1", "choose '.'", IDLE_TIP, "icon 120"}, true},
        {"plug-in agrees, a task runs", 1, Good, true,
         {RUNNING_TIP, "icon 130", "notify_save_report() current=0", "choose '.'", RUNNING_TIP, "icon 110"}, true},
        {"cancelled picker", PLUGIN_NOT_AVAILABLE, Cancel, false,
         {IDLE_TIP, "icon 130", "notify_save_report() current=-1", "choose '.'", IDLE_TIP, "icon 120"}, false},
        {"failing write", PLUGIN_NOT_AVAILABLE, MissingFolder, true,
         {RUNNING_TIP, "icon 130", "notify_save_report() current=0", "choose '.'", failure, RUNNING_TIP, "icon 110"}, false},
        {"plug-in vetoes", 0, Good, false, {IDLE_TIP, "icon 130", "notify_save_report() current=-1", IDLE_TIP, "icon 120"}, false},
        {"plug-in answers something else", 3, Good, true,
         {RUNNING_TIP, "icon 130", "notify_save_report() current=0", RUNNING_TIP, "icon 110"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill();
        std::filesystem::remove(good);
        if (c.alpha_runs)
            ledger_start_task(0);
        rec.results["notify_save_report"] = c.allowed;
        if (c.pick != Cancel)
            rec.chosen_path = c.pick == Good ? good : in_missing_folder;
        dispatch(IDC_REPORT);
        EXPECT_EQ(rec.events, c.events);
        std::string report = read_bytes(good);
        EXPECT_EQ(report.rfind(" Zentrik Report\r\r\n", 0) == 0, c.written) << report;
        EXPECT_EQ(ledger_current_index(), c.alpha_runs ? 0 : -1);
        EXPECT_EQ(elapsed(0), 100);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST_F(CommandsTest, QuitAsksWhileBusyAndDestroysTheWindowOnYes)
{
    const std::string question = "box owner=main 'Êtes-vous sûr de vouloir quitter ?' flags=0x40124";
    struct Case {
        unsigned id;
        int answer;
        Events events;
    } cases[] = {
        {IDC_QUIT, SHELL_IDNO, {question}},
        {IDC_QUIT, SHELL_IDYES, {question, "destroy main"}},
        {IDC_FILE_QUIT, SHELL_IDNO, {question}},
        {IDC_FILE_QUIT, SHELL_IDYES, {question, "destroy main"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        recorder_reset();
        std::string busy;
        rec.during["box"] = [&] { busy += "box " + std::to_string(g_shell.busy) + ";"; };
        rec.during["destroy"] = [&] { busy += "destroy " + std::to_string(g_shell.busy) + ";"; };
        rec.answers.push_back(c.answer);
        dispatch(c.id);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(busy, c.answer == SHELL_IDYES ? "box 1;destroy 1;" : "box 1;");
        EXPECT_EQ(g_shell.busy, 0);
    }
}

TEST_F(CommandsTest, AboutBoxRunsWhileBusy)
{
    int busy = -1;
    rec.during["about"] = [&] { busy = g_shell.busy; };
    dispatch(IDC_ABOUT);
    EXPECT_EQ(rec.events, Events{"about"});
    EXPECT_EQ(busy, 1);
    EXPECT_EQ(g_shell.busy, 0);
}

TEST_F(CommandsTest, AddOpensTheDialogUnlessThePluginRefuses)
{
    struct Case {
        int32_t allowed;
        bool dialog;
    } cases[] = {{1, true}, {PLUGIN_NOT_AVAILABLE, true}, {0, false}, {4, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allowed);
        fill();
        int busy = -1;
        rec.during["dialog add"] = [&] {
            busy = g_shell.busy;
            shell_add_named_task("Delta");
        };
        rec.results["notify_add_task"] = c.allowed;
        dispatch(IDC_ADD_TASK);
        Events expected{"notify_add_task() current=-1"};
        if (c.dialog) {
            expected.push_back("dialog add owner=main");
            expected.push_back("notify_task_added('Delta', 1) current=-1");
        }
        EXPECT_EQ(rec.events, expected);
        EXPECT_EQ(ledger_find_task("Delta") >= 0, c.dialog);
        EXPECT_EQ(busy, c.dialog ? 0 : -1);  // the add-task dialog leaves the tray usable
    }
}

TEST_F(CommandsTest, TaskManagerCommandOpensTheDialogOwnedByTheWindow)
{
    dispatch(IDC_TASK_MANAGER);
    EXPECT_EQ(rec.events, Events{"dialog taskmanager owner=main"});
}

TEST_F(CommandsTest, PluginCommandsGoToTheHostAndOtherIdsDoNothing)
{
    struct Case {
        unsigned id;
        Events events;
    } cases[] = {
        {IDC_PLUGIN_LOAD, {"plugin_command 4094"}},
        {IDC_PLUGIN_UNLOAD, {"plugin_command 4096"}},
        {IDC_PLUGIN_CONFIGURE, {"plugin_command 4098"}},
        {IDC_PLUGIN_ABOUT, {"plugin_command 4099"}},
        {0, {}},  // a dismissed menu
        {IDC_PROCESS_FIRST, {}},  // no process list without "--processlist"
        {IDC_TASK_MENU, {}},
        {12001, {}},
        {IDM_TRAY, {}},
    };
    ledger_start_task(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        recorder_reset();
        dispatch(c.id);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_current_index(), 0);
    }
}

}  // namespace
