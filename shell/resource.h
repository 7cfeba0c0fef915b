// Resource and control ids of ZentrikWin, shared by the resource script and
// the code. Plain #defines: windres reads this file too.
#pragma once

// Icons (32 x 32, 16 colours, loaded at the small-icon size).
#define IDI_COG 100        // main window class
#define IDI_RUNNING 110    // alarm clock: a task runs
#define IDI_IDLE 120       // red stopwatch: no task runs
#define IDI_SAVING 130     // floppy disk with a blue arrow: writing the report

// Menus.
#define IDM_TRAY 10000
#define IDM_FILE 20000

// Tray menu commands.
#define IDC_PROCESS_MENU 1000
#define IDC_PROCESS_HEADING 1001
#define IDC_PROCESS_EMPTY 1002
#define IDC_PROCESS_FIRST 1003
#define IDC_PLUGIN_MENU 4093
#define IDC_PLUGIN_LOAD 4094
#define IDC_PLUGIN_UNLOAD 4096
#define IDC_PLUGIN_CONFIGURE 4098
#define IDC_PLUGIN_ABOUT 4099
#define IDC_TASK_MANAGER 10980
#define IDC_ABOUT 10990
#define IDC_TASK_MENU 10999
#define IDC_ADD_TASK 11000
#define IDC_NO_TASK 11001
#define IDC_TASK_FIRST 11002
#define IDC_TASK_LAST 11999   // the next id is IDC_STOP
#define IDC_STOP 12000
#define IDC_RESET_ALL 13000
#define IDC_REPORT 14000
#define IDC_QUIT 15000
#define IDC_FILE_QUIT 24010

// Task manager dialog.
#define IDD_TASK_MANAGER 400
#define IDC_TM_LIST 401
#define IDC_TM_ADD 402
#define IDC_TM_TOGGLE 403
#define IDC_TM_RESET 404
#define IDC_TM_DELETE 405
#define IDC_TM_TASK_TIME 406
#define IDC_TM_TOTAL_TIME 407
#define IDC_TM_CLOSE 8

// Add-task dialog.
#define IDD_ADD_TASK 500
#define IDC_ADD_NAME 501

// About box.
#define IDD_ABOUT 510
