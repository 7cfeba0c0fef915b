// Fake plug-in libraries for the plug-in host's tests, behind the slot's
// PluginLibraryOps seam: three "libraries" A, B and C whose exports are
// C-callable functions defined here, each configurable per test.
//
// Every load, release and entry call appends one line to the recorder's
// event log (tests/support/recorder.h), so that the boxes
// the host shows and the plug-in's calls interleave in one log:
//   A load  /  load '<path>'  (no such library)  /  A release
//   A init  /  A shutdown()  /  A addtask(zeroed|dirty)
//   A removetask('<name>', <seconds>)  /  A resettask(...)
//   A autosave(['<name>' <seconds> <running>, ...], <count>)  /  (null, 0)
//   A taskstarted('<name>', <seconds>, <started>)  /  A taskstopped(...)
//   A taskadded('<name>', <ok>)  /  A taskremoved('<index text>', <ok>)
// A null name shows as (none). An entry given something to do while it runs
// (a nested message loop) logs "A <entry> returns" once that is done.
//
// The fakes fail the test when the host calls into a library it released, or
// releases a library while one of its entry points runs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pluginhost/plugin_host.h"

enum FakeEntry : int {
    FAKE_INIT,
    FAKE_SHUTDOWN,
    FAKE_CONFIGURATION,
    FAKE_ABOUT,
    FAKE_ADDTASK,
    FAKE_REMOVETASK,
    FAKE_RESETTASK,
    FAKE_AUTOSAVE,
    FAKE_SAVEREPORT,
    FAKE_TASKSTARTED,
    FAKE_TASKSTOPPED,
    FAKE_TASKADDED,
    FAKE_TASKREMOVED,
    FAKE_ENTRY_COUNT
};

// The exported names, by FakeEntry.
extern const char* const FAKE_EXPORT_NAMES[FAKE_ENTRY_COUNT];

struct FakeLibrary {
    char tag = 'A';    // names the library in the log
    std::string path;  // the file it is loaded from
    bool exports[FAKE_ENTRY_COUNT];  // all true at first
    int results[FAKE_ENTRY_COUNT];   // what each entry returns, all 1 at first
    int load_error = 0;     // non-zero: loading fails with this system code
    int release_error = 0;  // non-zero: releasing fails with this code
    // What _vorn_addtask leaves in the buffer; `fill_buffer` writes all 512
    // bytes with 'x' and no NUL instead.
    std::string addtask_name;
    bool fill_buffer = false;
    // Run inside the entry, as if it showed a box whose message loop did it.
    std::function<void()> during[FAKE_ENTRY_COUNT];

    HostCallback host = nullptr;       // what _vorn_init received
    int references = 0;                // loads minus releases
    int running = 0;                   // its entry calls in progress
    std::vector<std::string> lookups;  // the names asked for, in order
};

// A at "plugins/vorn_a.dll", B at "plugins/vorn_b.dll", C at
// "plugins/vorn_c.dll".
extern FakeLibrary g_fake[3];
FakeLibrary& fake(char tag);

// The seam's calls over the fakes.
extern const PluginLibraryOps fake_library_ops;

// The host's hooks over the recorder: "warn '<text>'", "ask '<question>'"
// (answered from the recorder's answers), "error <code> '<text>'",
// "choose_plugin '<folder>'" and "ledger changed".
extern const PluginHostHooks recording_hooks;
constexpr int ANSWER_YES = 6, ANSWER_NO = 7;

// What the picker hook returns; nothing is a cancelled picker.
extern std::optional<std::string> g_chosen_plugin;
// Makes the ledger-changed hook throw std::bad_alloc after logging, as the
// program's side would when memory runs out there.
extern bool g_hook_throws;

// Makes the three fakes as new, unloaded, and cancels the picker.
void fake_reset();
