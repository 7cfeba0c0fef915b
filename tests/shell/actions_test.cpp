// The task the user chose is the one acted on, even when the plug-in adds or
// removes tasks while it is told of the action (or a box's message loop lets
// it do so): the slot numbers move, the task is found again by its name.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "shell/commands.h"
#include "shell/resource.h"
#include "shell/taskmanager.h"
#include "shell/traymenu.h"
#include "tests/pluginhost/failing_new.h"
#include "tests/support/recording_shell.h"

namespace {

// The ledger in slot order: "name seconds", "+" while running, then the
// current task's name.
std::string ledger_text()
{
    std::string text;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        if (const Plorvin* task = ledger_task_at(i))
            text += std::string(task_name(task)) + " " + std::to_string(task_elapsed(task)) +
                    (task_is_running(task) ? "+" : "") + ", ";
    }
    const Plorvin* current = ledger_task_at(ledger_current_index());
    return text + "current=" + (current ? task_name(current) : "-");
}

struct ActionsTest : ShellFixture {
    // Beta (slot 0, 200 s) and Gamma (slot 1, 300 s).
    void fill()
    {
        ledger_clear();
        ledger_add_task("Beta", 200);
        ledger_add_task("Gamma", 300);
        recorder_reset();
        view = TaskManagerView{};
        taskmanager_refresh_list(view);
    }

    static void dispatch(unsigned id) { DispatchCommand(id, g_shell.main_window, 0x111, id, 0); }

    TaskManagerView view;
};

// "Alpha" sorts before both: every slot number moves up by one.
void plugin_adds_alpha()
{
    ledger_add_task("Alpha", 0);
}

void plugin_removes_gamma()
{
    ledger_remove_task(ledger_find_task("Gamma"));
}

// The user's two ways: a tray command, and a task manager button pressed
// with Gamma selected.
std::function<void(ActionsTest&)> tray(unsigned id)
{
    return [id](ActionsTest& t) { t.dispatch(id); };
}

std::function<void(ActionsTest&)> manager(void (*press)(TaskManagerView&, void*))
{
    return [press](ActionsTest& t) {
        taskmanager_select(t.view, "Gamma");
        press(t.view, RECORDED_TASK_MANAGER);
    };
}

void toggle(TaskManagerView& view, void*)
{
    taskmanager_toggle(view);
}

TEST_F(ActionsTest, TheChosenTaskIsActedOnWherePluginMovedIt)
{
    struct Case {
        const char* what;
        const char* running;   // before, or nullptr
        const char* notifier;  // inside which the plug-in moves tasks
        int32_t answer;        // the plug-in's answer to it
        void (*plugin)();
        std::function<void(ActionsTest&)> act;
        std::string ledger;  // after
        std::string told;    // the last notification
    } cases[] = {
        {"tray start", "Beta", "notify_task_stopped", 1, plugin_adds_alpha, tray(IDC_TASK_FIRST + 1),
         "Alpha 0, Beta 230, Gamma 300+, current=Gamma", "notify_task_started(2, 1) current=2 runs=1"},
        {"task manager start", "Beta", "notify_task_stopped", 1, plugin_adds_alpha, manager(toggle),
         "Alpha 0, Beta 230, Gamma 300+, current=Gamma", "notify_task_started(2, 1) current=2 runs=1"},
        {"tray stop vetoed", "Gamma", "notify_task_stopped", 0, plugin_adds_alpha, tray(IDC_STOP),
         "Alpha 0, Beta 200, Gamma 330+, current=Gamma", "notify_task_stopped(1, 1) current=-1 runs=0"},
        {"task manager reset", nullptr, "notify_reset_task", 1, plugin_adds_alpha, manager(taskmanager_reset),
         "Alpha 0, Beta 200, Gamma 0, current=-", "notify_reset_task(1) current=-1 runs=0"},
        {"task manager delete", nullptr, "notify_remove_task", 1, plugin_adds_alpha, manager(taskmanager_delete),
         "Alpha 0, Beta 200, current=-", "notify_task_removed(2, 1) current=-1 runs=-"},
        // Gone during the call: nothing else is started, reset or removed.
        {"tray start of a task removed meanwhile", "Beta", "notify_task_stopped", 1, plugin_removes_gamma,
         tray(IDC_TASK_FIRST + 1), "Beta 230, current=-", "notify_task_started(-1, -1) current=-1 runs=-"},
        {"task manager delete of a task removed meanwhile", nullptr, "notify_remove_task", 1, plugin_removes_gamma,
         manager(taskmanager_delete), "Beta 200, current=-", "notify_remove_task(1) current=-1 runs=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill();
        if (c.running)
            ledger_start_task(ledger_find_task(c.running));
        clock.advance(30);
        rec.results[c.notifier] = c.answer;
        void (*plugin)() = c.plugin;
        rec.during[c.notifier] = [plugin] {
            plugin();
            g_recorder.during.clear();  // once
        };
        c.act(*this);
        EXPECT_EQ(ledger_text(), c.ledger);
        ASSERT_FALSE(rec.events.empty());
        std::string last;
        for (const std::string& event : rec.events) {
            if (event.rfind("notify_", 0) == 0)
                last = event;
        }
        EXPECT_EQ(last, c.told);
    }
}

// The task manager's message loop runs between the selection and the button:
// a timer tick may restart the plug-in meanwhile, whose start adds tasks.
TEST_F(ActionsTest, TaskManagerActsOnTheSelectedTaskAfterTasksMoved)
{
    fill();
    taskmanager_select(view, "Gamma");
    plugin_adds_alpha();
    taskmanager_toggle(view);
    EXPECT_EQ(ledger_text(), "Alpha 0, Beta 200, Gamma 300+, current=Gamma");
}

// The tray menu's message loop runs between its building and the choice.
TEST_F(ActionsTest, TrayMenuItemFollowsItsTask)
{
    fill();
    TrayMenuPlan plan = traymenu_plan();
    plugin_adds_alpha();
    EXPECT_EQ(traymenu_command_now(plan, IDC_TASK_FIRST + 1), IDC_TASK_FIRST + 2u);
    EXPECT_EQ(traymenu_command_now(plan, IDC_TASK_FIRST + 0), IDC_TASK_FIRST + 1u);
    EXPECT_EQ(traymenu_command_now(plan, IDC_STOP), unsigned{IDC_STOP});
    EXPECT_EQ(traymenu_command_now(plan, IDC_NO_TASK), unsigned{IDC_NO_TASK});
    plugin_removes_gamma();
    EXPECT_EQ(traymenu_command_now(plan, IDC_TASK_FIRST + 1), 0u) << "gone: nothing to start";
}

}  // namespace

namespace {

// Memory running out inside an action must not unwind into the system's
// code that called the window procedure: the action ends with the system's
// message and the tasks stay as they were.
TEST_F(ActionsTest, OutOfMemoryEndsTheActionWithAMessage)
{
    const std::string long_name(100, 'n');  // its copy takes 101 bytes
    struct Case {
        const char* what;
        std::function<void(ActionsTest&)> act;
    } cases[] = {
        {"tray start", [](ActionsTest& t) { t.dispatch(IDC_TASK_FIRST + 2); }},
        {"task manager start", [](ActionsTest& t) {
             taskmanager_command(t.view, IDC_TM_TOGGLE, 0, nullptr, RECORDED_TASK_MANAGER);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill();
        ledger_add_task(long_name.c_str(), 5);
        taskmanager_refresh_list(view);
        taskmanager_select(view, long_name.c_str());
        recorder_reset();
        failing_new_arm(long_name.size() + 1);
        EXPECT_NO_THROW(c.act(*this));
        EXPECT_TRUE(failing_new_disarm());
        EXPECT_EQ(rec.events, Events{"error 8 (none)"});
        EXPECT_EQ(ledger_text(), "Beta 200, Gamma 300, " + long_name + " 5, current=-");
    }
}

}  // namespace
