#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "shell/commands.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "shell/taskmanager.h"
#include "tests/support/recording_shell.h"

namespace {

using Items = std::vector<std::string>;

const char IDLE_TIP[] = "tip 'Zentrik for Windows v1.2'";
const char RUNNING_TIP[] = "tip 'Zentrik for Windows - Task Running'";
const char RESET_QUESTION[] =
    "box owner=taskmanager 'Ëtes-vous sûr de vouloir remettre à zéro ce compteur ?' flags=0x124";
const char DELETE_QUESTION[] =
    "box owner=taskmanager 'Ëtes-vous sûr de vouloir supprimer ce compteur ?' flags=0x124";
const char DELETE_FAILED[] = "error 0 'Echec de la suppression de la tâche.'";

// Alpha (slot 0, 100 s), Beta (slot 1, 200 s), Gamma (slot 2, 3725 s), and
// the dialog's view with its list filled.
struct TaskManagerTest : ShellFixture {
    void SetUp() override
    {
        ShellFixture::SetUp();
        fill(-1);
    }

    // Starts again from the three tasks, task `running` (if any) started, the
    // list filled and an empty log.
    void fill(int32_t running)
    {
        ledger_clear();
        ledger_add_task("Alpha", 100);
        ledger_add_task("Beta", 200);
        ledger_add_task("Gamma", 3725);
        if (running >= 0)
            ledger_start_task(running);
        view = TaskManagerView{};
        taskmanager_refresh_list(view);
        recorder_reset();
    }

    void select(const char* item) { taskmanager_select(view, item); }
    static bool runs(int32_t index) { return task_is_running(ledger_task_at(index)); }

    TaskManagerView view;
    void* dialog = RECORDED_TASK_MANAGER;
};

TEST_F(TaskManagerTest, OpensModallyWithBothFlagsAndRefusesASecondTime)
{
    std::string inside;
    rec.during["dialog taskmanager"] = [&] {
        inside = "busy " + std::to_string(g_shell.busy) + " open " + std::to_string(g_shell.task_manager_open);
        // A tray double click or the menu command in the dialog's modal loop.
        EXPECT_EQ(OpenTaskManager(nullptr, g_shell.main_window, 0, 0, 0, 0), -1);
        DispatchCommand(IDC_TASK_MANAGER, g_shell.main_window, 0x111, IDC_TASK_MANAGER, 0);
    };
    EXPECT_EQ(OpenTaskManager(nullptr, g_shell.main_window, 0, 0, 0, 0), 0);
    EXPECT_EQ(rec.events, Events{"dialog taskmanager owner=main"});
    EXPECT_EQ(inside, "busy 1 open 1");
    EXPECT_EQ(g_shell.busy, 0);
    EXPECT_EQ(g_shell.task_manager_open, 0);
}

TEST_F(TaskManagerTest, RefusesWhileAModalWindowOfTheTrayIsUp)
{
    struct Case {
        int busy, open;
    } cases[] = {{1, 0}, {0, 1}, {1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "busy " << c.busy << " open " << c.open);
        g_shell.busy = c.busy;
        g_shell.task_manager_open = c.open;
        EXPECT_EQ(OpenTaskManager(nullptr, g_shell.main_window, 0, 0, 0, 0), -1);
        EXPECT_EQ(rec.events, Events{});
        EXPECT_EQ(g_shell.busy, c.busy);
        EXPECT_EQ(g_shell.task_manager_open, c.open);
    }
}

TEST_F(TaskManagerTest, RefreshListShowsTheTasksInSlotOrderAndSelectsNothing)
{
    ledger_add_task("Delta", 0);
    ledger_remove_task(ledger_find_task("Beta"));
    ledger_start_task(ledger_find_task("Gamma"));
    select("Alpha");
    view.total_time = "kept";
    unsigned version = view.list_version;

    taskmanager_refresh_list(view);
    EXPECT_EQ(view.items, (Items{"Alpha", "Delta", "Gamma [En Cours]"}));
    EXPECT_EQ(view.list_version, version + 1);
    EXPECT_EQ(g_shell.task_manager_selection, -1);
    EXPECT_EQ(view.task_time, "");
    EXPECT_EQ(view.total_time, "kept");
    EXPECT_FALSE(view.task_buttons);
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(TaskManagerTest, ItemsAreCutTo511Characters)
{
    struct Case {
        size_t name_length;
        std::string item_end;
    } cases[] = {
        {500, "n [En Cours]"},  // 511 exactly
        {501, "n [En Cours"},
        {505, "nnnnn [En C"},   // the mark is cut
        {600, "nnnnnnnnnnn"},   // the name alone is cut
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name_length);
        ledger_clear();
        ledger_start_task(ledger_add_task(std::string(c.name_length, 'n').c_str(), 0));
        taskmanager_refresh_list(view);
        ASSERT_EQ(view.items.size(), 1u);
        EXPECT_EQ(view.items[0].size(), 511u);
        EXPECT_TRUE(view.items[0].ends_with(c.item_end)) << view.items[0].substr(490);
    }
}

TEST_F(TaskManagerTest, TimesFollowTheRunningSelectionOnly)
{
    fill(2);
    clock.advance(10);
    select("Gamma [En Cours]");
    clock.advance(5);
    taskmanager_timer(view);
    EXPECT_EQ(view.task_time, "1h 2m 20s");
    EXPECT_EQ(view.total_time, "1h 7m 20s");  // 100 + 200 + 3740

    // A task that does not run shows its time once, at the selection.
    select("Beta");
    EXPECT_EQ(view.task_time, "0h 3m 20s");
    clock.advance(60);
    taskmanager_timer(view);
    EXPECT_EQ(view.task_time, "0h 3m 20s");
    EXPECT_EQ(view.total_time, "1h 8m 20s");

    // With no running task the timer changes nothing.
    ledger_stop_current();
    clock.advance(60);
    view.total_time = "kept";
    taskmanager_timer(view);
    EXPECT_EQ(view.total_time, "kept");
    taskmanager_refresh_times(view);
    EXPECT_EQ(view.total_time, "1h 8m 20s");
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(TaskManagerTest, SelectFindsTheTaskByItsTextWithoutTheMark)
{
    ledger_add_task("Odd [En Cours] x", 7);
    struct Case {
        const char* item;
        int32_t selection;
        const char* task_time;
    } cases[] = {
        {"Beta", 1, "0h 3m 20s"},
        {"Gamma [En Cours]", 2, "1h 2m 5s"},
        {"beta", -1, ""},  // exact, case-sensitive
        {"Nobody", -1, ""},
        {"Odd [En Cours] x", -1, ""},  // cut to "Odd"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        taskmanager_refresh_list(view);
        select(c.item);
        EXPECT_EQ(g_shell.task_manager_selection, c.selection);
        EXPECT_EQ(view.task_time, c.task_time);
        EXPECT_TRUE(view.task_buttons);
    }
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(TaskManagerTest, ToggleStopsOrStartsTheSelectedTask)
{
    struct Case {
        const char* what;
        int32_t running;  // before
        bool stale;       // the running task was reset without being forgotten
        const char* item;
        int32_t stopped_result, started_result;
        Events events;
        int32_t current_after;
        Items items;
    } cases[] = {
        {"stop", 1, false, "Beta [En Cours]", PLUGIN_NOT_AVAILABLE, PLUGIN_NOT_AVAILABLE,
         {IDLE_TIP, "icon 120", "notify_task_stopped(1, 1) current=-1 runs=0"}, -1, {"Alpha", "Beta", "Gamma"}},
        {"stop vetoed", 1, false, "Beta [En Cours]", 0, PLUGIN_NOT_AVAILABLE,
         {IDLE_TIP, "icon 120", "notify_task_stopped(1, 1) current=-1 runs=0", RUNNING_TIP, "icon 110"}, 1,
         {"Alpha", "Beta [En Cours]", "Gamma"}},
        {"stop the ledger refuses", 1, true, "Beta", PLUGIN_NOT_AVAILABLE, PLUGIN_NOT_AVAILABLE,
         {IDLE_TIP, "icon 120", "notify_task_stopped(1, 0) current=1 runs=0"}, 1, {"Alpha", "Beta", "Gamma"}},
        {"start", -1, false, "Beta", PLUGIN_NOT_AVAILABLE, PLUGIN_NOT_AVAILABLE,
         {RUNNING_TIP, "icon 110", "notify_task_started(1, 1) current=1 runs=1"}, 1,
         {"Alpha", "Beta [En Cours]", "Gamma"}},
        {"start after the running one", 0, false, "Beta", 0, 1,
         {"notify_task_stopped(0, 1) current=-1 runs=0", RUNNING_TIP, "icon 110",
          "notify_task_started(1, 1) current=1 runs=1"},
         1, {"Alpha", "Beta [En Cours]", "Gamma"}},
        {"start vetoed", 0, false, "Beta", PLUGIN_NOT_AVAILABLE, 0,
         {"notify_task_stopped(0, 1) current=-1 runs=0", RUNNING_TIP, "icon 110",
          "notify_task_started(1, 1) current=1 runs=1", IDLE_TIP, "icon 120"},
         -1, {"Alpha", "Beta", "Gamma"}},
        // No warning here, and with -3 nothing runs: the idle state.
        {"start the ledger refuses", 0, true, "Beta", PLUGIN_NOT_AVAILABLE, PLUGIN_NOT_AVAILABLE,
         {"notify_task_stopped(0, 0) current=0 runs=0", IDLE_TIP, "icon 120",
          "notify_task_started(1, -3) current=0 runs=0"},
         0, {"Alpha", "Beta", "Gamma"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill(c.running);
        if (c.stale)
            ledger_reset_task(c.running);
        taskmanager_refresh_list(view);
        select(c.item);
        rec.results["notify_task_stopped"] = c.stopped_result;
        rec.results["notify_task_started"] = c.started_result;
        unsigned version = view.list_version;
        taskmanager_toggle(view);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_current_index(), c.current_after);
        EXPECT_EQ(view.items, c.items);
        EXPECT_EQ(view.list_version, version + 1);
        EXPECT_EQ(g_shell.task_manager_selection, -1);
        EXPECT_FALSE(view.task_buttons);
    }
}

// A double click can come without a selection, and an item that names no
// task selects nothing: reset, delete and toggle then do nothing at all.
TEST_F(TaskManagerTest, WithoutSelectionNothingHappens)
{
    fill(1);
    for (const char* item : {static_cast<const char*>(nullptr), "Nobody"}) {
        SCOPED_TRACE(item ? item : "no selection");
        taskmanager_refresh_list(view);
        if (item)
            select(item);
        rec.answers = {SHELL_IDYES, SHELL_IDYES};
        unsigned version = view.list_version;
        taskmanager_toggle(view);
        taskmanager_reset(view, dialog);
        taskmanager_delete(view, dialog);
        EXPECT_EQ(rec.events, Events{});
        EXPECT_EQ(view.list_version, version);
        EXPECT_EQ(ledger_current_index(), 1);
        EXPECT_EQ(ledger_task_count(), 3);
    }
}

TEST_F(TaskManagerTest, AddOpensTheDialogOwnedByTheTaskManagerAndRefreshes)
{
    struct Case {
        int32_t allowed;
        bool dialog;
    } cases[] = {{1, true}, {PLUGIN_NOT_AVAILABLE, true}, {0, false}, {9, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allowed);
        fill(-1);
        select("Beta");
        rec.results["notify_add_task"] = c.allowed;
        rec.during["dialog add"] = [] { shell_add_named_task("Delta"); };
        unsigned version = view.list_version;
        taskmanager_add(view, dialog);
        Events expected{"notify_add_task() current=-1"};
        Items items{"Alpha", "Beta", "Gamma"};
        if (c.dialog) {
            expected.push_back("dialog add owner=taskmanager");
            expected.push_back("notify_task_added('Delta', 1) current=-1");
            items = {"Alpha", "Beta", "Delta", "Gamma"};
        }
        EXPECT_EQ(rec.events, expected);
        EXPECT_EQ(view.items, items);
        EXPECT_EQ(view.list_version, version + 1);  // refreshed whatever the plug-in said
        EXPECT_EQ(g_shell.task_manager_selection, -1);
    }
}

TEST_F(TaskManagerTest, ResetAsksOnlyWhenNoPluginDecides)
{
    struct Case {
        const char* what;
        bool beta_runs;
        int32_t decision;
        int answer;  // 0: no question expected
        Events events;
        bool reset;
    } cases[] = {
        {"no plug-in, Yes", true, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_reset_task(1) current=1 runs=1", RESET_QUESTION, IDLE_TIP, "icon 120"}, true},
        {"no plug-in, No", true, PLUGIN_NOT_AVAILABLE, SHELL_IDNO,
         {"notify_reset_task(1) current=1 runs=1", RESET_QUESTION}, false},
        {"plug-in agrees", true, 1, 0, {"notify_reset_task(1) current=1 runs=1", IDLE_TIP, "icon 120"}, true},
        {"plug-in vetoes", true, 0, 0, {"notify_reset_task(1) current=1 runs=1"}, false},
        {"task not running", false, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_reset_task(1) current=-1 runs=0", RESET_QUESTION}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill(c.beta_runs ? 1 : -1);
        clock.advance(50);
        select(c.beta_runs ? "Beta [En Cours]" : "Beta");
        view.total_time = "before";
        rec.results["notify_reset_task"] = c.decision;
        if (c.answer)
            rec.answers.push_back(c.answer);
        unsigned version = view.list_version;
        taskmanager_reset(view, dialog);
        // The running task is dropped without a stop notification.
        EXPECT_EQ(rec.events, c.events);
        EXPECT_TRUE(rec.answers.empty());
        if (c.reset) {
            EXPECT_EQ(task_elapsed(ledger_task_at(1)), 0);
            EXPECT_FALSE(runs(1));
            EXPECT_EQ(ledger_current_index(), -1);
            EXPECT_EQ(view.items, (Items{"Alpha", "Beta", "Gamma"}));
            EXPECT_EQ(g_shell.task_manager_selection, -1);
            EXPECT_EQ(view.total_time, "1h 3m 45s");  // 100 + 3725
            EXPECT_EQ(view.task_time, "");
            EXPECT_FALSE(view.task_buttons);
        } else {
            EXPECT_EQ(task_elapsed(ledger_task_at(1)), 250);
            EXPECT_EQ(ledger_current_index(), 1);
            EXPECT_EQ(view.list_version, version);
            EXPECT_EQ(g_shell.task_manager_selection, 1);
            EXPECT_EQ(view.total_time, "before");
            EXPECT_TRUE(view.task_buttons);
        }
    }
}

TEST_F(TaskManagerTest, DeleteAsksOnlyWhenNoPluginDecides)
{
    struct Case {
        const char* what;
        bool beta_runs;
        int32_t decision;
        int answer;  // 0: no question expected
        Events events;
        bool deleted;
    } cases[] = {
        {"no plug-in, Yes", true, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_remove_task(1) current=1 runs=1", DELETE_QUESTION, IDLE_TIP, "icon 120",
          "notify_task_removed(1, 1) current=-1 runs=-"},
         true},
        {"no plug-in, No", true, PLUGIN_NOT_AVAILABLE, SHELL_IDNO,
         {"notify_remove_task(1) current=1 runs=1", DELETE_QUESTION}, false},
        {"plug-in agrees", true, 1, 0,
         {"notify_remove_task(1) current=1 runs=1", IDLE_TIP, "icon 120",
          "notify_task_removed(1, 1) current=-1 runs=-"},
         true},
        {"plug-in vetoes", true, 0, 0, {"notify_remove_task(1) current=1 runs=1"}, false},
        {"task not running", false, PLUGIN_NOT_AVAILABLE, SHELL_IDYES,
         {"notify_remove_task(1) current=-1 runs=0", DELETE_QUESTION,
          "notify_task_removed(1, 1) current=-1 runs=-"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill(c.beta_runs ? 1 : -1);
        clock.advance(50);
        select(c.beta_runs ? "Beta [En Cours]" : "Beta");
        view.total_time = "before";
        rec.results["notify_remove_task"] = c.decision;
        if (c.answer)
            rec.answers.push_back(c.answer);
        unsigned version = view.list_version;
        taskmanager_delete(view, dialog);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_TRUE(rec.answers.empty());
        if (c.deleted) {
            EXPECT_EQ(ledger_find_task("Beta"), -1);
            EXPECT_EQ(ledger_current_index(), -1);
            EXPECT_EQ(view.items, (Items{"Alpha", "Gamma"}));
            EXPECT_EQ(g_shell.task_manager_selection, -1);
            EXPECT_EQ(view.total_time, "1h 3m 45s");  // the running time went with the task
            EXPECT_FALSE(view.task_buttons);
        } else {
            EXPECT_EQ(ledger_find_task("Beta"), 1);
            EXPECT_EQ(ledger_current_index(), 1);
            EXPECT_EQ(view.list_version, version);
            EXPECT_EQ(view.total_time, "before");
        }
    }
}

// The plug-in's answer after the removal decides the error box when it
// has one; without, the ledger's result does. A task that went away since it
// was selected is not looked for in its old slot: the list shows the ledger.
TEST_F(TaskManagerTest, DeleteFailureIsShownAsTheRemovalNotificationDecides)
{
    struct Case {
        bool slot_emptied;  // the task went away after it was selected
        int32_t told;
        bool error;
    } cases[] = {
        {false, PLUGIN_NOT_AVAILABLE, false},
        {false, 1, false},
        {false, 0, true},
        {true, PLUGIN_NOT_AVAILABLE, false},
        {true, 1, false},
        {true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "emptied " << c.slot_emptied << " told " << c.told);
        fill(-1);
        select("Beta");
        if (c.slot_emptied)
            ledger_remove_task(1);
        rec.results["notify_remove_task"] = 1;
        rec.results["notify_task_removed"] = c.told;
        taskmanager_delete(view, dialog);
        Events expected;
        if (!c.slot_emptied)
            expected = {"notify_remove_task(1) current=-1 runs=0", "notify_task_removed(1, 1) current=-1 runs=-"};
        if (c.error)
            expected.push_back(DELETE_FAILED);
        EXPECT_EQ(rec.events, expected);
        EXPECT_EQ(view.items, (Items{"Alpha", "Gamma"}));  // refreshed from the ledger all the same
    }
}

}  // namespace
