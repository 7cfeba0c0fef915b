// The shell's window side on Win32: boxes, dialogs and pickers, and the
// record of window-side operations that the program hands to the shell's
// logic at start-up (shell/shell_ui.h).
#pragma once

#include <cstdint>

#include "shell/shell_ui.h"

// The Win32 operations, for shell_set_window.
extern const ShellWindow shell_win32_window;

// Shows a modal message box captioned "Zentrik for Windows", owned by
// `owner` (nullptr for none). Returns the id of the button pressed.
int ShowMessage(void* owner, const char* text, unsigned flags);
// Runs the add-task dialog modally, owned by `owner`.
void ShowAddTaskDialog(void* owner);
// Runs the about box modally, without owner.
void ShowAboutBox();
// Runs the save (`save`) or open picker, owned by the active window, with the
// double-NUL-terminated `filter` (its first pair selected), starting in
// `folder`, with the OFN_* `flags`. Returns the chosen path as a new[]
// string that the caller delete[]s, or nullptr when nothing was chosen; a
// relative name is made absolute from the folder the picker left current.
// The current directory is restored afterwards.
char* RunFilePicker(bool save, const char* filter, const char* folder, unsigned long flags);
// The save picker of the time report, over text files.
char* ChooseTextFile(const char* folder);
// The open picker over `filter`, for an existing file.
char* ChooseExistingFile(const char* filter, const char* folder);
// Shows `text` (may be nullptr) joined with the system's message for `code`
// (0: none) in an information box. Never throws: without memory for the
// joined text, the text alone is shown.
void ShowErrorBox(int code, const char* text);
int ShowErrorQuestion(int code, const char* text, const char* question);
// Destroys the window: the main window's destruction ends the program.
void DestroyShellWindow(void* window);
// Runs the task manager dialog modally, owned by `owner`.
void RunTaskManagerDialog(void* owner);
