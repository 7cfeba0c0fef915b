// The window-side operations that the shell's logic calls: boxes, dialogs,
// the tray icon, process termination. The program sets them once at start-up
// (Win32); tests set a recording stand-in.
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

struct ShellWindow {
    // Shows a modal message box captioned "Zentrik for Windows", owned by
    // `owner` (nullptr for none). Returns the id of the button pressed.
    int (*show_message)(void* owner, const char* text, unsigned flags);
    // Sets the tray icon's tip (at most 63 characters are kept).
    void (*tray_set_tip)(const char* text);
    // Shows icon resource `icon_id` in the tray.
    void (*tray_set_icon)(int icon_id);
    // Runs the add-task dialog modally, owned by `owner`.
    void (*show_add_task_dialog)(void* owner);
    // Runs the about box modally, without owner.
    void (*show_about_box)();
    // Runs the save picker for a text file, starting in `folder`. Returns the
    // chosen path as a new[] string that the caller delete[]s, or nullptr
    // when the user cancelled. The current directory is restored afterwards.
    char* (*choose_text_file)(const char* folder);
    // Runs the open picker over the double-NUL-terminated `filter`, starting
    // in `folder`; returns as choose_text_file does.
    char* (*choose_file)(const char* filter, const char* folder);
    // Shows `text` (may be nullptr) joined with the system's message for
    // `code` (0: none) in an information box.
    void (*show_error_box)(int code, const char* text);
    // Destroys the window: the main window's destruction ends the program.
    void (*destroy_window)(void* window);
    // Runs the task manager dialog modally, owned by `owner`.
    void (*run_task_manager_dialog)(void* owner);
    // Terminates the process with that exit code. Returns non-zero when done.
    int (*terminate_process)(uint32_t pid, uint32_t exit_code);
    // As show_error_box, then `question` on a line of its own, as a Yes/No
    // question (No the default). Returns SHELL_IDYES or SHELL_IDNO.
    int (*show_error_question)(int code, const char* text, const char* question);
};

// The window side in use, set by shell_set_window.
extern const ShellWindow* g_window;

// Makes the shell's logic use `window` (kept, not copied) and connects the
// plug-in host's hooks to it and to the tray.
void shell_set_window(const ShellWindow* window);
