#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ledger/keeper.h"
#include "ledger/ledger.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "pluginhost/plugin_host.h"
#include "shell/traymenu.h"
#include "tests/support/failing_ops.h"
#include "tests/support/recording_shell.h"
#include "tests/support/tempdir.h"

namespace {

using ShellTest = ShellFixture;

// A fresh directory made current for one test: the profile's name is
// relative.
struct CurrentDirScope {
    CurrentDirScope() : previous(std::filesystem::current_path()) { std::filesystem::current_path(dir.path); }
    ~CurrentDirScope() { std::filesystem::current_path(previous); }
    TempDir dir;
    std::filesystem::path previous;
};

TEST(CommandLine, FindsTheOptionsAnywhere)
{
    const std::string p300(300, 'p');
    struct Case {
        std::string text;
        bool process_list;
        bool has_plugin;
        std::string path;
    } cases[] = {
        {"", false, false, ""},
        {"--processlist", true, false, ""},
        {"x --processlistx", true, false, ""},
        {"--processList", false, false, ""},  // case-sensitive
        {"--plugin", false, false, ""},       // at the very end
        {"--plugin ", false, false, ""},      // followed by one character only
        {"--plugin=", false, false, ""},
        {"--plugin x", false, true, "x"},
        {"--plugin C:\\p\\a.dll", false, true, "C:\\p\\a.dll"},
        {"--plugin=a.dll", false, true, "a.dll"},
        {"x--pluginXa.dll", false, true, "a.dll"},  // any separator
        {"--plugin  a.dll", false, true, " a.dll"},
        {"--PLUGIN a.dll", false, false, ""},
        {"--plugin \"C:\\My Plugins\\a.dll\" --processlist", true, true, "C:\\My Plugins\\a.dll"},
        {"--processlist --plugin a.dll", true, true, "a.dll"},
        {"--plugin a.dll --processlist", true, true, "a.dll"},
        {"--plugin a.dll.dll", false, true, "a.dll"},
        {"--plugin a.dll --plugin b.dll", false, true, "a.dll"},
        {"--plugin A.DLL", false, true, "A.DLL"},
        // Not cut: the rest, quote and later options included, is the path,
        // and the option inside it still counts.
        {"--plugin \"A.DLL\" --processlist", true, true, "A.DLL\" --processlist"},
        {"--plugin " + p300, false, true, p300.substr(0, 255)},
        {"--plugin \"" + p300 + ".dll\"", false, true, p300.substr(0, 255)},
        {"--plugin " + p300.substr(0, 240) + ".dll --processlist", true, true, p300.substr(0, 240) + ".dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CommandLine options = shell_parse_command_line(c.text.c_str());
        EXPECT_EQ(options.process_list, c.process_list);
        EXPECT_EQ(options.has_plugin, c.has_plugin);
        EXPECT_EQ(options.plugin_path, c.path);
    }
    CommandLine none = shell_parse_command_line(nullptr);
    EXPECT_FALSE(none.process_list || none.has_plugin);
}

// The plug-in host tells the user of a failed load or initialisation itself.
TEST_F(ShellTest, CommandLineActivatesThePlugin)
{
    struct Case {
        const char* text;
        Events events;
        int process_list;
    } cases[] = {
        {"--processlist", {}, 1},
        {"--plugin a.dll", {"activate 'a.dll'"}, 0},
        {"--plugin a.dll --processlist", {"activate 'a.dll'"}, 1},
        {"--plugin", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        recorder_reset();
        g_shell.process_list_option = 0;
        shell_apply_command_line(c.text);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(g_shell.process_list_option, c.process_list);
    }
}

TEST_F(ShellTest, AddNamedTaskTellsThePluginAndShowsAFailure)
{
    const char* failure = "error 0 'Echec de l'ajout de la tâche.'";
    struct Case {
        const char* name;
        int32_t told;
        Events events;
        int32_t task_count;
    } cases[] = {
        {"Delta", PLUGIN_NOT_AVAILABLE, {"notify_task_added('Delta', 1) current=-1"}, 3},
        {"Delta", 1, {"notify_task_added('Delta', 1) current=-1"}, 3},
        {"", PLUGIN_NOT_AVAILABLE, {"notify_task_added('', 1) current=-1"}, 3},
        {"Alpha", PLUGIN_NOT_AVAILABLE, {"notify_task_added('Alpha', 1) current=-1"}, 2},  // found, not added
        {"Delta", 0, {"notify_task_added('Delta', 1) current=-1", failure}, 3},  // added, yet shown as failed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.name << "' " << c.told);
        ledger_clear();
        ledger_add_task("Alpha", 10);
        ledger_add_task("Beta", 20);
        recorder_reset();
        rec.results["notify_task_added"] = c.told;
        shell_add_named_task(c.name);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_task_count(), c.task_count);
        EXPECT_EQ(task_elapsed(ledger_task_at(ledger_find_task("Alpha"))), 10);
    }
    // The empty name got the default one.
    ledger_clear();
    shell_add_named_task("");
    EXPECT_TRUE(std::string(task_name(ledger_task_at(0))).starts_with("tâche #"));
}

// A name that the profile would give back otherwise, or not at all, is
// refused before anything is added or told.
TEST_F(ShellTest, AddNamedTaskRefusesNamesTheProfileCannotCarryBack)
{
    const std::string tab = "error 0 'Le nom d'une tâche ne peut pas contenir de tabulation !'";
    const std::string clash =
        "error 0 'Ce nom se confond avec celui d'une autre tâche : les espaces et les « _ » "
        "s'écrivent de même dans Zentrik.cnf !'";
    struct Case {
        const char* name;
        bool added;
        Events events;
    } cases[] = {
        {"a\tb", false, {tab}},
        {"a_b", false, {clash}},
        {"a b", true, {"notify_task_added('a b', 1) current=-1"}},  // found, as before
        {"a_b_", true, {"notify_task_added('a_b_', 1) current=-1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ledger_clear();
        ledger_add_task("a b", 10);
        recorder_reset();
        EXPECT_EQ(shell_add_named_task(c.name), c.added);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_task_count(), c.added && strcmp(c.name, "a b") != 0 ? 2 : 1);
    }
}

TEST_F(ShellTest, OpeningTheProfileTellsOfWhatCouldNotBeRead)
{
    const std::string header = "# Plorvin - UserProfile (DO NOT EDIT)\r\r\n";
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string told;  // "": nothing
        int32_t tasks;
    } cases[] = {
        {"no file", [] {}, "", 0},
        {"a whole file", [&] { write_bytes(ZENTRIK_PROFILE, header + "0\tA\t1\r\r\n"); }, "", 1},
        {"one line not read",
         [&] { write_bytes(ZENTRIK_PROFILE, header + "0\tA\t1\r\r\n0\tA\t2\r\r\n"); },
         "error 0 '1 ligne du fichier Zentrik.cnf n'a pas pu être lue.\n"
         "Le fichier tel qu'il était sera gardé sous Zentrik.cnf.bak.'",
         1},
        {"three lines not read",
         [&] { write_bytes(ZENTRIK_PROFILE, "0\tA\n0\tB\n0\tA\t1\x1a" "0\tC\t3\n"); },
         "error 0 '3 lignes du fichier Zentrik.cnf n'ont pas pu être lues.\n"
         "Le fichier tel qu'il était sera gardé sous Zentrik.cnf.bak.'",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CurrentDirScope cwd;
        ledger_clear();
        c.make();
        recorder_reset();
        shell_open_profile();
        EXPECT_EQ(rec.events, c.told.empty() ? Events{} : Events{c.told});
        EXPECT_EQ(ledger_task_count(), c.tasks);
    }

    // A file that exists but cannot be read (here a directory) is told with
    // the system's message, and the exit leaves it alone.
    CurrentDirScope cwd;
    std::filesystem::create_directory(ZENTRIK_PROFILE);
    recorder_reset();
    shell_open_profile();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_TRUE(rec.events[0].starts_with("error ")) << rec.events[0];
    EXPECT_FALSE(rec.events[0].starts_with("error 0 ")) << "no system code";
    EXPECT_NE(rec.events[0].find(" 'Impossible de lire le fichier Zentrik.cnf !\nIl ne sera pas "
                                 "remplacé : les tâches et les temps de cette session ne seront "
                                 "pas enregistrés.'"),
              std::string::npos)
        << rec.events[0];
    ledger_add_task("New", 1);
    shell_exit();
    EXPECT_TRUE(std::filesystem::is_directory(ZENTRIK_PROFILE));
    EXPECT_EQ(rec.events.size(), 1u) << "the exit told more";
}

// The save lags one tick behind the ledger: it happens on a tick when a task
// was current at the end of the previous one.
TEST_F(ShellTest, TimerTickSavesWhileATaskWasCurrentAtThePreviousTick)
{
    CurrentDirScope cwd;
    shell_open_profile();
    ledger_add_task("Alpha", 100);
    struct Step {
        const char* what;
        std::function<void()> before;
        Events events;
        int32_t saved_seconds;  // -1: no file
    } steps[] = {
        {"nothing ran", [] {}, {"plugin_timer_tick"}, -1},
        {"a task starts", [] { ledger_start_task(0); }, {"plugin_timer_tick"}, -1},
        {"it was current", [] {}, {"plugin_timer_tick", "notify_autosave() current=0"}, 140},
        {"it stops", [] { ledger_stop_current(); }, {"plugin_timer_tick", "notify_autosave() current=-1"}, 140},
        {"it stopped before the last tick", [] {}, {"plugin_timer_tick"}, -1},
        {"started and stopped between ticks", [] { ledger_start_task(0); ledger_stop_current(); },
         {"plugin_timer_tick"}, -1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        recorder_reset();
        std::filesystem::remove(ZENTRIK_PROFILE);
        step.before();
        clock.advance(20);
        shell_timer_tick();
        EXPECT_EQ(rec.events, step.events);
        std::string profile = read_bytes(ZENTRIK_PROFILE);
        if (step.saved_seconds < 0)
            EXPECT_EQ(profile, "<missing>");
        else
            EXPECT_NE(profile.find("\r\r\n0\tAlpha\t" + std::to_string(step.saved_seconds) + "\r\r\n"),
                      std::string::npos)
                << profile;
    }
}

TEST_F(ShellTest, TimerTickSavesOnlyWhenThePluginAgrees)
{
    CurrentDirScope cwd;
    shell_open_profile();
    struct Case {
        int32_t allowed;
        bool saved;
    } cases[] = {{1, true}, {PLUGIN_NOT_AVAILABLE, true}, {0, false}, {2, false}};
    ledger_start_task(ledger_add_task("Alpha", 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allowed);
        std::filesystem::remove(ZENTRIK_PROFILE);
        recorder_reset();
        rec.results["notify_autosave"] = c.allowed;
        g_shell.was_running = 1;
        shell_timer_tick();
        EXPECT_EQ(rec.events, (Events{"plugin_timer_tick", "notify_autosave() current=0"}));
        EXPECT_EQ(std::filesystem::exists(ZENTRIK_PROFILE), c.saved);
        EXPECT_EQ(g_shell.was_running, 1);
    }
}

TEST_F(ShellTest, AFailingAutosaveIsToldOnceUntilASaveWorksAgain)
{
    CurrentDirScope cwd;
    shell_open_profile();
    ledger_start_task(ledger_add_task("Alpha", 0));
    g_shell.was_running = 1;
    const std::string told = "error " + std::to_string(FAILING_OPS_ERROR) +
                             " 'Echec de la sauvegarde du fichier Zentrik.cnf.'";
    struct Tick {
        FailAt fail;
        bool told;
    } ticks[] = {{FailAt::Write, true}, {FailAt::Replace, false}, {FailAt::Write, false},
                 {FailAt::Nothing, false}, {FailAt::Flush, true}};
    int number = 0;
    for (const Tick& tick : ticks) {
        SCOPED_TRACE(number++);
        FailingOpsScope failing(tick.fail);
        recorder_reset();
        shell_timer_tick();
        Events expected = {"plugin_timer_tick", "notify_autosave() current=0"};
        if (tick.told)
            expected.push_back(told);
        EXPECT_EQ(rec.events, expected);
    }
}

TEST_F(ShellTest, AFailedExitSaveIsOfferedAgainUntilTheUserGivesUp)
{
    const std::string asked =
        "error " + std::to_string(FAILING_OPS_ERROR) +
        " 'Echec de la sauvegarde du fichier Zentrik.cnf.' question 'Voulez-vous réessayer ? "
        "Sinon, les changements depuis la dernière sauvegarde seront perdus.'";
    struct Case {
        std::deque<int> answers;
        int fixed_after;  // the question after which the disk has room again; 0: never
        Events events;
        bool saved;
    } cases[] = {
        {{SHELL_IDNO}, 0, {asked}, false},
        {{SHELL_IDYES, SHELL_IDNO}, 0, {asked, asked}, false},
        {{SHELL_IDYES, SHELL_IDYES}, 2, {asked, asked}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events.size());
        CurrentDirScope cwd;
        shell_open_profile();
        ledger_add_task("Alpha", 5);
        recorder_reset();
        rec.answers = c.answers;
        int questions = 0;
        rec.during["error"] = [&] {
            if (++questions == c.fixed_after)
                safefile_set_ops(nullptr);
        };
        {
            FailingOpsScope failing(FailAt::Write);
            shell_exit();
        }
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(std::filesystem::exists(ZENTRIK_PROFILE), c.saved);
        EXPECT_EQ(ledger_slot_count(), 0);
        keeper_close();
    }
}

TEST_F(ShellTest, ExitSavesTheLiveTimeThenEmptiesTheLedger)
{
    CurrentDirScope cwd;
    shell_open_profile();
    ledger_add_task("Mail", 60);
    ledger_start_task(ledger_add_task("Client A", 3700));
    clock.advance(25);
    shell_exit();
    EXPECT_EQ(read_bytes(ZENTRIK_PROFILE),
              "# Plorvin - UserProfile (DO NOT EDIT)\r\r\n# ---------------------------------------\r\r\n\r\r\n"
              "0\tClient_A\t3725\r\r\n1\tMail\t60\r\r\n\r\r\n\r\r\n# --------------------------\r\r\n");
    EXPECT_EQ(ledger_slot_count(), 0);
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_EQ(rec.events, Events{});  // no stop notification
}

using TrayMenuTest = ShellFixture;

TEST_F(TrayMenuTest, LabelsShowTheLiveTimesAndTheRunningTask)
{
    ledger_add_task("Alpha", 100);
    ledger_add_task("Beta", 90061);
    ledger_add_task("Gamma", 3725);
    ledger_add_task("Delta", 0);
    ledger_remove_task(ledger_find_task("Delta"));  // its id is not reused
    ledger_start_task(ledger_find_task("Beta"));
    clock.advance(4);
    TrayMenuPlan plan = traymenu_plan();
    ASSERT_EQ(plan.tasks.size(), 3u);
    struct Want {
        unsigned id;
        const char* label;
        bool checked;
    } want[] = {
        {11002, "Alpha - [0h 1m 40s]", false},
        {11003, "Beta - [25h 1m 5s]", true},  // hours not reduced
        {11005, "Gamma - [1h 2m 5s]", false},
    };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan.tasks[i].id, want[i].id);
        EXPECT_EQ(plan.tasks[i].label, want[i].label);
        EXPECT_EQ(plan.tasks[i].checked, want[i].checked);
        EXPECT_FALSE(plan.tasks[i].column_break);
    }
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(TrayMenuTest, EveryTwentiethSlotStartsAColumn)
{
    for (int i = 0; i < 45; ++i)
        ledger_add_task(("T" + std::to_string(100 + i)).c_str(), 0);
    ledger_remove_task(3);  // gaps do not move the breaks: they count slots
    TrayMenuPlan plan = traymenu_plan();
    ASSERT_EQ(plan.tasks.size(), 44u);
    std::string breaks;
    for (const TrayMenuTask& task : plan.tasks) {
        if (task.column_break)
            breaks += std::to_string(task.id - 11002) + " ";
    }
    EXPECT_EQ(breaks, "19 39 ");
}

TEST_F(TrayMenuTest, GreysWhatTheLedgerCannotServe)
{
    struct Case {
        const char* what;
        std::function<void()> setup;
        size_t tasks;
        bool no_slots, stop_enabled, tasks_enabled;
    } cases[] = {
        {"empty ledger", [] {}, 0, true, false, false},
        {"every task removed",
         [] {
             ledger_add_task("A", 0);
             ledger_add_task("B", 0);
             ledger_remove_task(0);
             ledger_remove_task(1);
         },
         0, false, false, false},
        {"tasks, none current", [] { ledger_add_task("A", 0); }, 1, false, false, true},
        {"a task current", [] { ledger_start_task(ledger_add_task("A", 0)); }, 1, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ledger_clear();
        c.setup();
        TrayMenuPlan plan = traymenu_plan();
        EXPECT_EQ(plan.tasks.size(), c.tasks);
        EXPECT_EQ(plan.no_slots, c.no_slots);
        EXPECT_EQ(plan.stop_enabled, c.stop_enabled);
        EXPECT_EQ(plan.tasks_enabled, c.tasks_enabled);
    }
}

// Item ids are 11002 + slot: the item of slot 998 would be the stop command
// (12000), of slot 1998 reset all, and so on. Only slots up to 997 get one.
TEST_F(TrayMenuTest, NoTaskItemTakesTheIdOfAMenuCommand)
{
    for (int i = 0; i < 1200; ++i) {
        char name[16];
        snprintf(name, sizeof name, "task %04d", i);
        ledger_add_task(name, 0);
    }
    TrayMenuPlan plan = traymenu_plan();
    ASSERT_EQ(plan.tasks.size(), 998u);
    EXPECT_EQ(plan.tasks.back().id, static_cast<unsigned>(IDC_TASK_LAST));
    EXPECT_EQ(plan.tasks.back().label.substr(0, 9), "task 0997");
}

TEST_F(TrayMenuTest, LabelsAreCutTo511Characters)
{
    struct Case {
        size_t name_length;
        std::string label_end;
    } cases[] = {
        {498, "n - [0h 0m 0s]"},  // 511 exactly
        {499, "n - [0h 0m 0s"},
        {505, "nnnnn - [0h"},
        {600, "nnnnnnnnnnnnn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name_length);
        ledger_clear();
        ledger_add_task(std::string(c.name_length, 'n').c_str(), 0);
        TrayMenuPlan plan = traymenu_plan();
        ASSERT_EQ(plan.tasks.size(), 1u);
        EXPECT_EQ(plan.tasks[0].label.size(), 511u);
        EXPECT_TRUE(plan.tasks[0].label.ends_with(c.label_end)) << plan.tasks[0].label.substr(490);
    }
}

}  // namespace

namespace {

// The plug-in host's boxes, picker and ledger changes reach the window side
// as the program shows them: a warning, a topmost question with No as the
// default, the open picker, and the tray following the ledger.
TEST_F(ShellTest, PluginHostHooksReachTheWindowSide)
{
    ledger_start_task(ledger_add_task("Mail", 0));
    rec.answers = {SHELL_IDYES, SHELL_IDNO};
    plugin_warn("w");
    EXPECT_TRUE(plugin_ask("q"));
    EXPECT_FALSE(plugin_ask("q"));
    plugin_show_error(5, "e");
    EXPECT_EQ(plugin_choose_file("f\0*.f\0", "./plugins"), nullptr);
    plugin_ledger_changed();
    EXPECT_EQ(rec.events, (Events{"box owner=none 'w' flags=0x30", "box owner=none 'q' flags=0x40124",
                                  "box owner=none 'q' flags=0x40124", "error 5 'e'", "choose_file './plugins'",
                                  "tip 'Zentrik for Windows - Task Running'", "icon 110"}));
}

}  // namespace
