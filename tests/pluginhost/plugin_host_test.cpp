// The plug-in slot (pluginhost/plugin_host.cpp) driven through fake plug-in
// libraries (fake_plugin.h), with recording hooks in place of the program
// above: the plug-in's calls and the host's boxes in one log.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "pluginhost/notify.h"
#include "pluginhost/plugin_host.h"
#include "tests/pluginhost/failing_new.h"
#include "tests/pluginhost/fake_plugin.h"
#include "tests/support/recorder.h"

namespace {

const std::string BAD_PLUGIN = "Le plug-in est introuvable ou incorrecte !";
const std::string UNLOAD_QUESTION = "ask 'Voulez-vous stopper le plug-in courant ?'";
const std::string CHANGED = "ledger changed";

// Every notifier, with arguments about slot 0.
struct Notifier {
    const char* name;
    int32_t (*call)();
};
const Notifier NOTIFIERS[] = {
    {"notify_add_task", [] { return notify_add_task(); }},
    {"notify_task_added", [] { return notify_task_added("Mail", 1); }},
    {"notify_remove_task", [] { return notify_remove_task(0); }},
    {"notify_task_removed", [] { return notify_task_removed(0, 1); }},
    {"notify_reset_task", [] { return notify_reset_task(0); }},
    {"notify_task_started", [] { return notify_task_started(0, 1); }},
    {"notify_task_stopped", [] { return notify_task_stopped(0, 1); }},
    {"notify_autosave", [] { return notify_autosave(); }},
    {"notify_save_report", [] { return notify_save_report(); }},
};

// The ledger in slot order: "'name' seconds" with "+" while running, "-" for
// an empty slot, then the current index.
std::string ledger_text()
{
    std::string text;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (task)
            text += quoted(task_name(task)) + " " + std::to_string(task_elapsed(task)) +
                    (task_is_running(task) ? "+" : "");
        else
            text += "-";
        text += ", ";
    }
    return text + "current=" + std::to_string(ledger_current_index());
}

// Logs what a notification sent from inside the plug-in gets, which shows
// whether the slot still holds the plug-in.
void record_nested_autosave()
{
    record("nested autosave " + std::to_string(notify_autosave()));
}

HostCallback host_of(char tag)
{
    return fake(tag).host;
}

struct PluginHostTest : RecorderFixture {
    void SetUp() override
    {
        RecorderFixture::SetUp();
        fake_reset();
        plugin_set_library_ops(&fake_library_ops);
        plugin_set_hooks(&recording_hooks);
    }

    void TearDown() override
    {
        empty_slot();
        plugin_set_library_ops(nullptr);
        plugin_set_hooks(nullptr);
        RecorderFixture::TearDown();
    }

    // Empties the slot and drops the requests left, then checks that no
    // fake is still held: a library the slot forgot without releasing it
    // stays loaded for the rest of the program.
    void empty_slot()
    {
        clear_actions();
        for (FakeLibrary& library : g_fake)
            library.release_error = 0;
        unload_plugin();
        plugin_timer_tick();
        for (const FakeLibrary& library : g_fake)
            EXPECT_EQ(library.references, 0) << library.tag << " is still loaded with the slot empty";
    }

    void clear_actions()
    {
        for (FakeLibrary& library : g_fake)
            for (auto& action : library.during)
                action = nullptr;
    }

    // Activates the fake and empties the log.
    void activate(char tag = 'A')
    {
        ASSERT_NE(activate_plugin(fake(tag).path.c_str()), 0);
        rec.events.clear();
    }

    // Which plug-in is active, asked through the about command: the tag, or
    // '-' for none.
    char active_tag()
    {
        size_t before = rec.events.size();
        plugin_command(4099);
        if (rec.events.size() == before)
            return '-';
        char tag = rec.events[before][0];
        rec.events.resize(before);
        return tag;
    }

    // 'Client A' (slot 0) running and current at 3725 s, 'Mail' (slot 1)
    // stopped at 60 s.
    void two_tasks()
    {
        ledger_add_task("Client A", 3600);
        ledger_add_task("Mail", 60);
        ledger_start_task(0);
        clock.advance(125);
    }
};

// --- Loading -----------------------------------------------------------------

TEST_F(PluginHostTest, AbsentPathLoadsNothingAndSaysNothing)
{
    EXPECT_EQ(load_plugin(nullptr), 0);
    EXPECT_EQ(load_plugin(""), 0);
    EXPECT_EQ(activate_plugin(nullptr), 0);
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(PluginHostTest, LoadFailureShowsTheSystemCodeAndLeavesTheSlotEmpty)
{
    fake('A').load_error = 193;
    EXPECT_EQ(load_plugin(fake('A').path.c_str()), 0);
    EXPECT_EQ(activate_plugin("plugins/vorn_none.dll"), 0);
    EXPECT_EQ(rec.events, (Events{"A load", "error 193 '" + BAD_PLUGIN + "'", "load 'plugins/vorn_none.dll'",
                                  "error 126 '" + BAD_PLUGIN + "'"}));
    EXPECT_EQ(unload_plugin(), 0);
}

TEST_F(PluginHostTest, MissingMandatoryEntryIsNamedInOrderAndTheLibraryReleased)
{
    struct Case {
        std::vector<FakeEntry> missing;
        const char* named;
    } cases[] = {
        {{FAKE_INIT}, "vorn_init"},
        {{FAKE_SHUTDOWN}, "vorn_shutdown"},
        {{FAKE_ABOUT}, "vorn_about"},
        {{FAKE_INIT, FAKE_SHUTDOWN, FAKE_ABOUT}, "vorn_init"},
        {{FAKE_SHUTDOWN, FAKE_ABOUT}, "vorn_shutdown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        fake_reset();
        for (FakeEntry entry : c.missing)
            fake('A').exports[entry] = false;
        rec.events.clear();
        EXPECT_EQ(load_plugin(fake('A').path.c_str()), 0);
        EXPECT_EQ(rec.events, (Events{"A load",
                                      "error 0 '" + BAD_PLUGIN + "\nLa méthode " + c.named + " est manquante.'",
                                      "A release"}));
        EXPECT_EQ(fake('A').references, 0);
        EXPECT_EQ(unload_plugin(), 0) << "the slot is empty";
    }
}

TEST_F(PluginHostTest, MandatoryEntriesAloneAreEnoughAndEveryOptionalEventIsNotAvailable)
{
    for (int entry = 0; entry < FAKE_ENTRY_COUNT; ++entry)
        fake('A').exports[entry] = entry == FAKE_INIT || entry == FAKE_SHUTDOWN || entry == FAKE_ABOUT;
    activate();
    EXPECT_EQ(fake('A').lookups,
              (std::vector<std::string>{"_vorn_init", "_vorn_shutdown", "_vorn_about", "_vorn_configuration",
                                        "_vorn_addtask", "_vorn_removetask", "_vorn_resettask", "_vorn_autosave",
                                        "_vorn_savereport", "_vorn_taskstarted", "_vorn_taskstopped",
                                        "_vorn_taskadded", "_vorn_taskremoved"}));
    ledger_add_task("Mail", 60);
    for (const Notifier& notifier : NOTIFIERS)
        EXPECT_EQ(notifier.call(), PLUGIN_NOT_AVAILABLE) << notifier.name;
    EXPECT_TRUE(plugin_is_active());
    EXPECT_FALSE(plugin_has_configuration());
    EXPECT_EQ(plugin_command(4098), 0);
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(PluginHostTest, NotifiersAreNotAvailableWithoutAPluginAndDuringItsInit)
{
    ledger_add_task("Mail", 60);
    for (const Notifier& notifier : NOTIFIERS)
        EXPECT_EQ(notifier.call(), PLUGIN_NOT_AVAILABLE) << notifier.name << " with the slot empty";
    fake('A').during[FAKE_INIT] = [] {
        for (const Notifier& notifier : NOTIFIERS)
            EXPECT_EQ(notifier.call(), PLUGIN_NOT_AVAILABLE) << notifier.name << " during init";
    };
    activate_plugin(fake('A').path.c_str());
    EXPECT_EQ(rec.events, (Events{"A load", "A init", "A init returns"}));
    EXPECT_EQ(ledger_text(), "'Mail' 60, current=-1");
}

TEST_F(PluginHostTest, ReleaseFailureKeepsThePluginLoadedAndActive)
{
    activate();
    fake('A').release_error = 5;
    EXPECT_EQ(unload_plugin(), 0);
    EXPECT_EQ(rec.events, (Events{"A release", "error 5 '" + BAD_PLUGIN + "'"}));
    EXPECT_EQ(active_tag(), 'A');
    EXPECT_EQ(notify_autosave(), 1);

    fake('A').release_error = 0;
    rec.events.clear();
    EXPECT_EQ(unload_plugin(), 1);
    EXPECT_EQ(rec.events, Events{"A release"});
    EXPECT_EQ(active_tag(), '-');
}

// --- Activation --------------------------------------------------------------

TEST_F(PluginHostTest, ActivationHandsTheHostCallbackAndReturnsTheInitResult)
{
    fake('A').results[FAKE_INIT] = 7;
    EXPECT_EQ(activate_plugin(fake('A').path.c_str()), 7);
    EXPECT_EQ(rec.events, (Events{"A load", "A init"}));
    EXPECT_EQ(host_of('A'), &plugin_host_callback);
    EXPECT_TRUE(plugin_is_active());
    EXPECT_TRUE(plugin_has_configuration());
}

TEST_F(PluginHostTest, InitFailureWarnsAndReleasesWithoutShutdown)
{
    fake('A').results[FAKE_INIT] = 0;
    EXPECT_EQ(activate_plugin(fake('A').path.c_str()), 0);
    EXPECT_EQ(rec.events, (Events{"A load", "A init",
                                  "warn 'Echec de l'initialisation du plug-in !'",
                                  "A release"}));
    EXPECT_FALSE(plugin_is_active());
    EXPECT_EQ(unload_plugin(), 0);
    EXPECT_EQ(plugin_command(4095), 0) << "no path was remembered";
}

TEST_F(PluginHostTest, PluginDrivesTheLedgerFromInsideItsInit)
{
    fake('A').during[FAKE_INIT] = [] {
        EXPECT_EQ(host_of('A')(HOST_CMD_ADD_TASK, "Mail", nullptr), 1);
        EXPECT_EQ(host_of('A')(HOST_CMD_ADD_TASK, "Client A", nullptr), 1);
        int seconds = 90;
        EXPECT_EQ(host_of('A')(HOST_CMD_SET_TASK_SECONDS, "Mail", &seconds), 1);
        EXPECT_EQ(host_of('A')(HOST_CMD_START_TASK, "Mail", nullptr), 1);
    };
    EXPECT_EQ(activate_plugin(fake('A').path.c_str()), 1);
    EXPECT_EQ(rec.events, (Events{"A load", "A init", CHANGED, CHANGED, CHANGED, CHANGED, "A init returns"}));
    EXPECT_EQ(ledger_text(), "'Client A' 0, 'Mail' 90+, current=1");
}

// --- Menu commands -------------------------------------------------------------

TEST_F(PluginHostTest, IdsOutsideTheCommandsDoNothing)
{
    activate();
    for (unsigned id : {0u, 4092u, 4093u, 4100u})
        EXPECT_EQ(plugin_command(id), 0) << id;
    EXPECT_EQ(rec.events, Events{});
    EXPECT_EQ(active_tag(), 'A');
}

TEST_F(PluginHostTest, LoadCommandActivatesTheChosenFileOrNothingWhenCancelled)
{
    EXPECT_EQ(plugin_command(4094), 0);
    EXPECT_EQ(rec.events, Events{"choose_plugin './plugins'"});
    EXPECT_EQ(active_tag(), '-');

    rec.events.clear();
    g_chosen_plugin = fake('B').path;
    EXPECT_EQ(plugin_command(4094), 0);
    EXPECT_EQ(rec.events, (Events{"choose_plugin './plugins'", "B load", "B init"}));
    EXPECT_EQ(active_tag(), 'B');
}

TEST_F(PluginHostTest, LoadCommandWhileActiveAsksToStopTheCurrentPluginFirst)
{
    struct Case {
        const char* name;
        int answer;
        int shutdown_result;
        Events events;
        char active;
    } cases[] = {
        {"No", ANSWER_NO, 1, {UNLOAD_QUESTION}, 'A'},
        {"Yes",
         ANSWER_YES,
         1,
         {UNLOAD_QUESTION, "A shutdown()", "A release", "choose_plugin './plugins'", "B load", "B init"},
         'B'},
        {"Yes, the plug-in refuses", ANSWER_YES, 0, {UNLOAD_QUESTION, "A shutdown()"}, 'A'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        empty_slot();
        fake_reset();
        activate();
        fake('A').results[FAKE_SHUTDOWN] = c.shutdown_result;
        g_chosen_plugin = fake('B').path;
        rec.answers = {c.answer};
        EXPECT_EQ(plugin_command(4094), 0);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(active_tag(), c.active);
    }
}

TEST_F(PluginHostTest, UnloadCommandAsksThenShutsDownAndReleases)
{
    activate();
    rec.answers = {ANSWER_NO};
    EXPECT_EQ(plugin_command(4096), 0);
    EXPECT_EQ(rec.events, Events{UNLOAD_QUESTION});
    EXPECT_EQ(active_tag(), 'A');

    rec.events.clear();
    rec.answers = {ANSWER_YES};
    EXPECT_EQ(plugin_command(4096), 1);
    EXPECT_EQ(rec.events, (Events{UNLOAD_QUESTION, "A shutdown()", "A release"}));
    EXPECT_FALSE(plugin_is_active());
    EXPECT_EQ(unload_plugin(), 0);
}

TEST_F(PluginHostTest, ShutdownCommandUnloadsUnlessThePluginRefuses)
{
    activate();
    fake('A').results[FAKE_SHUTDOWN] = 0;
    EXPECT_EQ(plugin_command(4097), 0);
    EXPECT_EQ(rec.events, Events{"A shutdown()"});
    EXPECT_TRUE(plugin_is_active());
    EXPECT_TRUE(plugin_has_configuration());

    rec.events.clear();
    fake('A').results[FAKE_SHUTDOWN] = 1;
    EXPECT_EQ(plugin_command(4097), 1);
    EXPECT_EQ(rec.events, (Events{"A shutdown()", "A release"}));
    EXPECT_FALSE(plugin_is_active());
}

TEST_F(PluginHostTest, ConfigureAndAboutReachOnlyAnActivePluginThatHasThem)
{
    EXPECT_EQ(plugin_command(4098), 0);
    EXPECT_EQ(plugin_command(4099), 0);
    EXPECT_EQ(rec.events, Events{});

    activate();
    EXPECT_EQ(plugin_command(4098), 0);
    EXPECT_EQ(plugin_command(4099), 0);
    EXPECT_EQ(rec.events, (Events{"A configuration()", "A about()"}));

    empty_slot();
    fake('A').exports[FAKE_CONFIGURATION] = false;
    activate();
    EXPECT_FALSE(plugin_has_configuration());
    EXPECT_EQ(plugin_command(4098), 0);
    EXPECT_EQ(rec.events, Events{});
}

TEST_F(PluginHostTest, ActivateCommandNeedsARememberedPath)
{
    EXPECT_EQ(plugin_command(4095), 0);
    activate();
    plugin_command(4097);
    rec.events.clear();
    EXPECT_EQ(plugin_command(4095), 0) << "the unload forgot the path";
    EXPECT_EQ(rec.events, Events{});
}

// The remembered path exists only while the plug-in is active, so 4095
// activates the file again over the plug-in the slot holds.
TEST_F(PluginHostTest, ActivateCommandWhileActiveHoldsTheLibraryOnce)
{
    activate();
    plugin_command(4095);
    plugin_command(4097);
    EXPECT_EQ(fake('A').references, 0) << "events: " << testing::PrintToString(rec.events);
}

// --- Requests carried out at the timer tick -------------------------------------

TEST_F(PluginHostTest, TimerTickCarriesOutTheRestartThenTheUnloadRequest)
{
    const Events restart = {"A shutdown()", "A release", "A load", "A init"};
    const Events unload = {"A shutdown()", "A release"};
    struct Case {
        const char* name;
        std::vector<unsigned> requests;
        int shutdown_result;
        Events events;
        char active;
    } cases[] = {
        {"none", {}, 1, {}, 'A'},
        {"restart", {HOST_CMD_REQUEST_RESTART}, 1, restart, 'A'},
        // Loading the still-active plug-in again would initialise it twice.
        {"restart refused", {HOST_CMD_REQUEST_RESTART}, 0, {"A shutdown()"}, 'A'},
        {"unload", {HOST_CMD_REQUEST_UNLOAD}, 1, unload, '-'},
        {"unload refused", {HOST_CMD_REQUEST_UNLOAD}, 0, {"A shutdown()"}, 'A'},
        {"both", {HOST_CMD_REQUEST_UNLOAD, HOST_CMD_REQUEST_RESTART}, 1,
         {"A shutdown()", "A release", "A load", "A init", "A shutdown()", "A release"}, '-'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        empty_slot();
        fake_reset();
        activate();
        fake('A').results[FAKE_SHUTDOWN] = c.shutdown_result;
        for (unsigned request : c.requests)
            EXPECT_EQ(host_of('A')(request, nullptr, nullptr), 1);
        EXPECT_EQ(rec.events, Events{}) << "nothing before the tick";
        plugin_timer_tick();
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(active_tag(), c.active);
        rec.events.clear();
        plugin_timer_tick();
        EXPECT_EQ(rec.events, Events{}) << "the requests were cleared";
    }
}

TEST_F(PluginHostTest, RestartAskedFromAnEntryLoadsTheRememberedFileAgain)
{
    // The slot keeps its own copy of the path it was given.
    std::string path = fake('A').path;
    ASSERT_EQ(activate_plugin(path.c_str()), 1);
    path.assign(fake('B').path);
    ledger_add_task("Mail", 60);
    fake('A').during[FAKE_TASKSTARTED] = [] { host_of('A')(HOST_CMD_REQUEST_RESTART, nullptr, nullptr); };
    rec.events.clear();
    EXPECT_EQ(notify_task_started(0, 1), 1);
    plugin_timer_tick();
    EXPECT_EQ(rec.events, (Events{"A taskstarted('Mail', 60, 1)", "A taskstarted returns", "A shutdown()",
                                  "A release", "A load", "A init"}));
    EXPECT_EQ(host_of('A'), &plugin_host_callback);
    EXPECT_EQ(active_tag(), 'A');
}

// --- Releases asked for while an entry point runs --------------------------------

// The plug-in shows a box; its message loop lets the user, a timer tick or the
// end of the program unload it. The library must outlive the entry point, but
// the slot lets go of the plug-in at once.
TEST_F(PluginHostTest, ReleaseDuringAnEntryWaitsForTheOutermostReturn)
{
    struct Case {
        const char* name;
        FakeEntry outer;
        std::function<void()> call;
        std::function<void()> nested;
        Events events;
        char active;
    } cases[] = {
        {"unload from the tray during the about box", FAKE_ABOUT, [] { plugin_command(4099); },
         [] {
             g_recorder.answers = {ANSWER_YES};
             plugin_command(4096);
             record_nested_autosave();
         },
         {"A about()", UNLOAD_QUESTION, "A shutdown()", "nested autosave 2031", "A about returns", "A release"},
         '-'},
        {"a tick carries out an unload request during the configuration", FAKE_CONFIGURATION,
         [] { plugin_command(4098); },
         [] {
             host_of('A')(HOST_CMD_REQUEST_UNLOAD, nullptr, nullptr);
             plugin_timer_tick();
             record_nested_autosave();
         },
         {"A configuration()", "A shutdown()", "nested autosave 2031", "A configuration returns", "A release"},
         '-'},
        {"a tick restarts the plug-in during its add-task entry", FAKE_ADDTASK, [] { notify_add_task(); },
         [] {
             host_of('A')(HOST_CMD_REQUEST_RESTART, nullptr, nullptr);
             plugin_timer_tick();
         },
         {"A addtask(zeroed)", "A shutdown()", "A load", "A init", "A addtask returns", "A release"}, 'A'},
        {"the program ends during the task-started box", FAKE_TASKSTARTED, [] { notify_task_started(0, 1); },
         [] {
             plugin_shutdown();
             record_nested_autosave();
         },
         {"A taskstarted('Mail', 60, 1)", "A shutdown()", "nested autosave 2031", "A taskstarted returns",
          "A release"},
         '-'},
        {"another plug-in is loaded during the about box", FAKE_ABOUT, [] { plugin_command(4099); },
         [] {
             g_recorder.answers = {ANSWER_YES};
             g_chosen_plugin = fake('B').path;
             plugin_command(4094);
         },
         {"A about()", UNLOAD_QUESTION, "A shutdown()", "choose_plugin './plugins'", "B load", "B init",
          "A about returns", "A release"},
         'B'},
        {"unloaded inside the configuration inside the about box", FAKE_ABOUT, [] { plugin_command(4099); },
         [] {
             fake('A').during[FAKE_CONFIGURATION] = [] {
                 g_recorder.answers = {ANSWER_YES};
                 plugin_command(4096);
             };
             plugin_command(4098);
         },
         {"A about()", "A configuration()", UNLOAD_QUESTION, "A shutdown()", "A configuration returns",
          "A about returns", "A release"},
         '-'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        empty_slot();
        fake_reset();
        ledger_clear();
        ledger_add_task("Mail", 60);
        activate();
        fake('A').during[c.outer] = c.nested;
        c.call();
        EXPECT_EQ(rec.events, c.events);
        clear_actions();
        EXPECT_EQ(active_tag(), c.active);
    }
}

// The restart and unload requests and the end of the program can come while
// the plug-in's init runs (the logon dialog of a plug-in, say). The plug-in
// is not active yet; once released, it must not count as active, nor make
// the next plug-in active before that one's init has returned.
TEST_F(PluginHostTest, UnloadDuringInitLeavesNoActivePlugin)
{
    fake('A').during[FAKE_INIT] = [] {
        host_of('A')(HOST_CMD_REQUEST_UNLOAD, nullptr, nullptr);
        plugin_timer_tick();
    };
    activate_plugin(fake('A').path.c_str());
    EXPECT_EQ(rec.events, (Events{"A load", "A init", "A init returns", "A release"}));
    EXPECT_FALSE(plugin_is_active());

    rec.events.clear();
    fake('B').during[FAKE_INIT] = record_nested_autosave;
    activate_plugin(fake('B').path.c_str());
    EXPECT_EQ(rec.events, (Events{"B load", "B init", "nested autosave 2031", "B init returns"}));
}

// A plug-in being initialised is not active: the load command does not ask
// to stop it, and so loads a second library over the first.
TEST_F(PluginHostTest, LoadCommandDuringInitHoldsOneLibrary)
{
    fake('A').during[FAKE_INIT] = [] {
        g_chosen_plugin = fake('B').path;
        plugin_command(4094);
    };
    activate_plugin(fake('A').path.c_str());
    plugin_command(4097);
    EXPECT_EQ(fake('A').references + fake('B').references, 0)
        << "events: " << testing::PrintToString(rec.events);
}

// --- Notifiers ------------------------------------------------------------------

TEST_F(PluginHostTest, NotifiersPassTheTaskAndReturnThePluginsResult)
{
    two_tasks();
    activate();
    for (int entry = 0; entry < FAKE_ENTRY_COUNT; ++entry)
        fake('A').results[entry] = 5;
    struct Case {
        int32_t (*call)();
        int32_t result;
        Events events;
    } cases[] = {
        {[] { return notify_task_started(0, 1); }, 5, {"A taskstarted('Client A', 3725, 1)"}},
        {[] { return notify_task_started(7, -1); }, 5, {"A taskstarted((none), 0, -1)"}},
        {[] { return notify_task_stopped(1, 1); }, 5, {"A taskstopped('Mail', 60, 1)"}},
        // No task: the plug-in hears of it, its answer is ignored.
        {[] { return notify_task_stopped(7, 1); }, 1, {"A taskstopped((none), 0, 0)"}},
        {[] { return notify_remove_task(1); }, 5, {"A removetask('Mail', 60)"}},
        // No task to remove: a veto, without asking the plug-in.
        {[] { return notify_remove_task(7); }, 0, {}},
        {[] { return notify_remove_task(-1); }, 0, {}},
        {[] { return notify_reset_task(0); }, 5, {"A resettask('Client A', 3725)"}},
        {[] { return notify_reset_task(-1); }, 5, {"A resettask((none), 0)"}},
        {[] { return notify_task_added("Mail", 0); }, 5, {"A taskadded('Mail', 0)"}},
        // The former index as text, not the name.
        {[] { return notify_task_removed(0, 1); }, 5, {"A taskremoved('0', 1)"}},
        {[] { return notify_task_removed(12, 0); }, 5, {"A taskremoved('12', 0)"}},
        {[] { return notify_autosave(); }, 5, {"A autosave(['Client A' 3725 1, 'Mail' 60 0], 2)"}},
        {[] { return notify_save_report(); }, 5, {"A savereport(['Client A' 3725 1, 'Mail' 60 0], 2)"}},
    };
    for (const Case& c : cases) {
        rec.events.clear();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(rec.events, c.events);
    }
    EXPECT_EQ(ledger_text(), "'Client A' 3725+, 'Mail' 60, current=0") << "notifying changes nothing";
}

TEST_F(PluginHostTest, SummariesListTheTasksInLedgerOrderSkippingEmptySlots)
{
    activate();
    ledger_add_task("Bravo", 0);
    ledger_add_task("alpha", 7);
    ledger_add_task("Charlie", 0);
    ledger_remove_task(ledger_find_task("Bravo"));
    ledger_start_task(ledger_find_task("Charlie"));
    clock.advance(5);
    EXPECT_EQ(notify_autosave(), 1);
    ledger_clear();
    EXPECT_EQ(notify_save_report(), 1);
    EXPECT_EQ(rec.events, (Events{"A autosave(['alpha' 7 0, 'Charlie' 5 1], 2)", "A savereport(null, 0)"}));
}

// Out of memory while gathering, the plug-in gets the records gathered so far,
// never a count larger than the array.
TEST_F(PluginHostTest, SummariesOutOfMemoryPassTheRecordsGatheredSoFar)
{
    const std::string long_name = "C" + std::string(75, 'c');  // a copy of 77 bytes
    struct Case {
        const char* name;
        size_t failing_size;
        std::string line;
    } cases[] = {
        {"the third name copy", long_name.size() + 1, "A autosave(['Alpha' 0 0, 'Bravo' 0 0], 2)"},
        {"the array", 3 * sizeof(TaskSummary), "A autosave(null, 0)"},
    };
    activate();
    ledger_add_task("Bravo", 0);
    ledger_add_task(long_name.c_str(), 0);
    ledger_add_task("Alpha", 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rec.events.clear();
        failing_new_arm(c.failing_size);
        EXPECT_EQ(notify_autosave(), 1);
        EXPECT_TRUE(failing_new_disarm()) << "the allocation was made";
        EXPECT_EQ(rec.events, Events{c.line});
    }
}

TEST_F(PluginHostTest, AutosaveGuardKeepsANestedAutosaveOutOfThePlugin)
{
    activate();
    fake('A').results[FAKE_AUTOSAVE] = 0;
    fake('A').during[FAKE_AUTOSAVE] = record_nested_autosave;
    EXPECT_EQ(notify_autosave(), 0);
    EXPECT_EQ(rec.events, (Events{"A autosave(null, 0)", "nested autosave 1", "A autosave returns"}));

    rec.events.clear();
    fake('A').during[FAKE_AUTOSAVE] = nullptr;
    EXPECT_EQ(notify_autosave(), 0);
    EXPECT_EQ(rec.events, Events{"A autosave(null, 0)"}) << "the guard is down again";
}

TEST_F(PluginHostTest, AddTaskNotifierAddsTheNameThePluginLeft)
{
    const std::string full(VORN_ADDTASK_BUFFER_SIZE - 1, 'x');
    const std::string failed = "error 0 'Echec de l'ajout de la tâche.'";
    struct Case {
        const char* name;
        std::string left;  // in the buffer
        bool fill = false;
        int result = 1;
        bool taskadded = true;
        int taskadded_result = 1;
        bool ledger_fails = false;
        Events events;
        std::string ledger;
    } cases[] = {
        {"a new name", "Client B", false, 3, true, 1, false,
         {"A addtask(zeroed)", "A taskadded('Client B', 1)"}, "'Client B' 0, 'Mail' 60, current=-1"},
        {"nothing left", "", false, 0, true, 1, false, {"A addtask(zeroed)"}, "'Mail' 60, current=-1"},
        {"a name already there", "Mail", false, 1, true, 1, false, {"A addtask(zeroed)", "A taskadded('Mail', 1)"},
         "'Mail' 60, current=-1"},
        {"the plug-in answers 0", "Client B", false, 1, true, 0, false,
         {"A addtask(zeroed)", "A taskadded('Client B', 1)", failed}, "'Client B' 0, 'Mail' 60, current=-1"},
        {"no taskadded", "Client B", false, 1, false, 1, false, {"A addtask(zeroed)"},
         "'Client B' 0, 'Mail' 60, current=-1"},
        {"the ledger fails", "Client B", false, 1, true, 1, true, {"A addtask(zeroed)", "A taskadded('Client B', 0)"},
         "'Mail' 60, current=-1"},
        {"the ledger fails, no taskadded", "Client B", false, 1, false, 1, true, {"A addtask(zeroed)", failed},
         "'Mail' 60, current=-1"},
        // No NUL in the buffer: the host ends the name at its last byte.
        {"a full buffer", "", true, 1, true, 1, false, {"A addtask(zeroed)", "A taskadded('" + full + "', 1)"},
         "'Mail' 60, '" + full + "' 0, current=-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        empty_slot();
        fake_reset();
        ledger_clear();
        ledger_add_task("Mail", 60);
        fake('A').exports[FAKE_TASKADDED] = c.taskadded;
        activate();
        fake('A').addtask_name = c.left;
        fake('A').fill_buffer = c.fill;
        fake('A').results[FAKE_ADDTASK] = c.result;
        fake('A').results[FAKE_TASKADDED] = c.taskadded_result;
        if (c.ledger_fails)
            failing_new_arm(sizeof(Plorvin));
        EXPECT_EQ(notify_add_task(), c.result);
        EXPECT_EQ(failing_new_disarm(), c.ledger_fails);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ledger_text(), c.ledger);
    }
}

// --- The HostCallback ----------------------------------------------------------

TEST_F(PluginHostTest, HostCallbackCommandsActOnTheLedgerAndTellTheProgram)
{
    const std::string before = "'Client A' 3600+, 'Mail' 60, current=0";
    const Events changed = {CHANGED};
    struct Case {
        unsigned code;
        const char* name;
        std::optional<int> value;
        int result;
        std::string ledger;
        Events events;
        bool nothing_runs = false;
    } cases[] = {
        {HOST_CMD_ADD_TASK, "New", {}, 1, "'Client A' 3600+, 'Mail' 60, 'New' 0, current=0", changed},
        {HOST_CMD_ADD_TASK, "Mail", {}, 1, before, changed},
        {HOST_CMD_REMOVE_TASK, "Mail", {}, 1, "'Client A' 3600+, -, current=0", changed},
        // The current task: the current index is forgotten.
        {HOST_CMD_REMOVE_TASK, "Client A", {}, 1, "-, 'Mail' 60, current=-1", changed},
        {HOST_CMD_REMOVE_TASK, "client a", {}, 0, before, {}},
        {HOST_CMD_REMOVE_TASK, nullptr, {}, 0, before, {}},
        {HOST_CMD_SET_TASK_SECONDS, "Mail", 10, 1, "'Client A' 3600+, 'Mail' 10, current=0", changed},
        {HOST_CMD_SET_TASK_SECONDS, "Mail", -5, 1, before, changed},
        {HOST_CMD_SET_TASK_SECONDS, "Nobody", 10, 0, before, {}},
        {HOST_CMD_SET_TASK_SECONDS, "Mail", {}, 0, before, {}},
        {HOST_CMD_START_TASK, "Mail", {}, 1, "'Client A' 3600, 'Mail' 60+, current=1", changed},
        {HOST_CMD_START_TASK, "Nobody", {}, 0, before, {}},
        {HOST_CMD_STOP_CURRENT_TASK, nullptr, {}, 1, "'Client A' 3600, 'Mail' 60, current=-1", changed},
        {HOST_CMD_STOP_CURRENT_TASK, nullptr, {}, 0, "'Client A' 3600, 'Mail' 60, current=-1", {}, true},
        {HOST_CMD_STOP_TASK, "Client A", {}, 1, "'Client A' 3600, 'Mail' 60, current=-1", changed},
        {HOST_CMD_STOP_TASK, "Mail", {}, 0, before, {}},
        {HOST_CMD_CLEAR_TASKS, nullptr, {}, 1, "current=-1", changed},
        {HOST_CMD_REQUEST_RESTART, nullptr, {}, 1, before, {}},
        {HOST_CMD_REQUEST_UNLOAD, nullptr, {}, 1, before, {}},
        {99, "Mail", 10, 0, before, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << (c.name ? c.name : "(none)"));
        ledger_clear();
        ledger_add_task("Client A", 3600);
        ledger_add_task("Mail", 60);
        if (!c.nothing_runs)
            ledger_start_task(0);
        rec.events.clear();
        int value = c.value.value_or(0);
        EXPECT_EQ(plugin_host_callback(c.code, c.name, c.value ? &value : nullptr), c.result);
        EXPECT_EQ(ledger_text(), c.ledger);
        EXPECT_EQ(rec.events, c.events);
        plugin_timer_tick();  // drops a request: no plug-in to act on
    }
}

// The HostCallback runs inside the plug-in's code: memory running out in the
// program's part of a command must not unwind through the plug-in.
TEST_F(PluginHostTest, HostCallbackOutOfMemoryFailsWithAMessage)
{
    g_hook_throws = true;
    int result = -1;
    EXPECT_NO_THROW(result = plugin_host_callback(HOST_CMD_ADD_TASK, "Mail", nullptr));
    EXPECT_EQ(result, 1) << "the task was added";
    EXPECT_EQ(rec.events, (Events{CHANGED, "error 8 (none)"}));
    EXPECT_EQ(ledger_text(), "'Mail' 0, current=-1") << "the ledger keeps what it holds";
}

}  // namespace
