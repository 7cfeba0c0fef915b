// The process list of the tray menu: the running processes, sorted by name,
// one menu item each; choosing one terminates the process. The list is filled
// when the menu is built and emptied after the chosen command has run.
//
// The operating system is reached through ProcessSources, so that the list,
// its names, order, limits and menu ids work without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One process: its executable file name without the directory, "unknown"
// when that cannot be read.
struct ProcItemStruct {
    char name[260];  // NUL-terminated, at most 259 bytes
    uint32_t pid;
};

// At most this many processes from each source: the process status library
// fills an id buffer of 4096 bytes, the snapshot walk stops at 256.
constexpr size_t PROCESS_LIST_PSAPI_MAX = 1024;
constexpr size_t PROCESS_LIST_TOOLHELP_MAX = 256;

// Each column of the process submenu after the first starts with a bar; the
// first column also holds the title and the separator.
constexpr int32_t PROCESS_MENU_COLUMN = 25;

enum ProcessSourceStatus {
    PROCESS_SOURCE_MISSING,  // the source's library cannot be loaded at all
    PROCESS_SOURCE_FAILED,   // loaded, but a function is missing or the listing failed
    PROCESS_SOURCE_OK,
};

// Where the processes come from. Each source appends at most `limit` records
// to `found`, which already has room for `limit`, so appending allocates
// nothing. Record names are NUL-terminated.
struct ProcessSources {
    // The process status library: the processes that could be opened and
    // whose first module could be listed, in the order of the listing, each
    // with its executable's base name, or "" when that could not be read.
    ProcessSourceStatus (*by_psapi)(std::vector<ProcItemStruct>& found, size_t limit);
    // The process snapshot, in snapshot order, each with the executable file
    // name as the snapshot records it (possibly with a directory).
    ProcessSourceStatus (*by_toolhelp)(std::vector<ProcItemStruct>& found, size_t limit);
};

// Replaces the list with the processes that `sources` report, unsorted. The
// snapshot is asked only when the process status library is missing. The list
// stays as it was when the library is there but fails, when the snapshot
// fails or reports nothing, and when memory runs out.
void process_list_refresh_from(const ProcessSources& sources);

// process_list_refresh_from with the operating system's sources (Windows
// build only).
void process_list_refresh();

// Sorts the list by name in the task ledger's order (ledger_compare_names);
// equal names end in any order.
void process_list_sort();

int32_t process_list_count();

// Returns entry k (0-based, in the list's current order), borrowed until the
// next refresh or clear; nullptr for a bad k.
const ProcItemStruct* process_list_entry(int32_t k);

// Frees every entry and empties the list.
void process_list_clear();

// The submenu item of entry k.
struct ProcessMenuItem {
    uint32_t id;       // first_id + k
    const char* text;  // the entry's name, borrowed like the entry
    bool bar_break;    // starts a new column with a bar: (k + 1) % 25 == 0
};

// Returns the item of entry k, whose command id is `first_id` + k; text is
// nullptr (and the id 0) for a bad k.
ProcessMenuItem process_list_menu_item(int32_t k, uint32_t first_id);

// Terminates the process with that exit code. Returns non-zero when done, 0
// when it cannot be opened for termination or the termination fails
// (Windows build only).
int process_terminate(uint32_t pid, uint32_t exit_code);
