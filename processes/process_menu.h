// The window side of the process list: the process submenu of the tray menu
// and the operating system's process sources.
#pragma once

#include <windows.h>

#include "processes/process_list.h"

// The process status library (PSAPI.DLL) and the Toolhelp snapshot of
// KERNEL32.DLL, both bound at run time.
extern const ProcessSources process_list_system_sources;

// Where the process items go in the caller's menu: before the item whose
// command id is `before` (which stays; the caller removes it), entry k with
// the command id `first` + k.
struct ProcessMenuIds {
    UINT before;
    UINT first;
};

// Sorts the list and inserts one item per entry before item `ids.before`,
// which `popup` or one of its submenus holds.
void process_list_insert_sorted(HMENU popup, ProcessMenuIds ids);

// process_list_refresh, then process_list_insert_sorted.
void process_list_fill_menu(HMENU popup, ProcessMenuIds ids);
