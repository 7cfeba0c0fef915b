// The window-side operations that the shell's logic calls: boxes, dialogs,
// the tray icon. The program implements them with Win32; tests put a
// recording stand-in in their place.
#pragma once

#include <cstdint>

// Message box flags and answers, with the values Win32 gives them.
enum : unsigned {
    SHELL_MB_OK = 0x0,
    SHELL_MB_YESNO = 0x4,
    SHELL_MB_ICONQUESTION = 0x20,
    SHELL_MB_ICONWARNING = 0x30,
    SHELL_MB_ICONINFORMATION = 0x40,
    SHELL_MB_DEFBUTTON2 = 0x100,
    SHELL_MB_TOPMOST = 0x40000,
    // Every Yes/No question of the program: No is the default button.
    SHELL_QUESTION = SHELL_MB_YESNO | SHELL_MB_ICONQUESTION | SHELL_MB_DEFBUTTON2,
};
enum : int { SHELL_IDOK = 1, SHELL_IDYES = 6, SHELL_IDNO = 7 };

// Shows a modal message box captioned "Zentrik for Windows", owned by
// `owner` (nullptr for none). Returns the id of the button pressed.
int ShowMessage(void* owner, const char* text, unsigned flags);

// Sets the tray icon's tip (at most 63 characters are kept).
void TraySetTip(const char* text);
// Shows icon resource `icon_id` in the tray.
void TraySetIcon(int icon_id);

// Runs the add-task dialog modally, owned by `owner`.
void ShowAddTaskDialog(void* owner);
// Runs the about box modally, without owner.
void ShowAboutBox();
// Runs the save picker for a text file, starting in `folder`. Returns the
// chosen path as a new[] string that the caller delete[]s, or nullptr when the
// user cancelled. The current directory is restored afterwards.
char* ChooseTextFile(const char* folder);
// Shows `text` (may be nullptr) joined with the system's message for `code`
// (0: none) in an information box.
void ShowErrorBox(int code, const char* text);
// As ShowErrorBox, then `question` on a line of its own, as a Yes/No
// question (No the default). Returns SHELL_IDYES or SHELL_IDNO.
int ShowErrorQuestion(int code, const char* text, const char* question);
// Destroys the window: the main window's destruction ends the program.
void DestroyShellWindow(void* window);
// Runs the task manager dialog modally, owned by `owner`.
void RunTaskManagerDialog(void* owner);
