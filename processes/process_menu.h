// The window side of the process list: the process submenu of the tray menu
// and the operating system's process sources.
#pragma once

#include <windows.h>

#include "processes/process_list.h"

// The process status library (PSAPI.DLL) and the Toolhelp snapshot of
// KERNEL32.DLL, both bound at run time.
extern const ProcessSources process_list_system_sources;

// Sorts the list and inserts one item per entry before the item whose command
// id is 1002 (IDC_PROCESS_EMPTY), which `popup` or one of its submenus holds.
// Item 1002 itself stays; the shell removes it.
void process_list_insert_sorted(HMENU popup);

// process_list_refresh, then process_list_insert_sorted.
void process_list_fill_menu(HMENU popup);
