// The window-side operations that the plug-in's logic calls: message boxes
// and the service message shown on a thread of its own. The library
// implements them with Win32; tests put a recording stand-in in their place.
#pragma once

#define PLUGIN_TITLE "[Talvenu plug-in v1.02]"

// Message box flags and answers, with the values Win32 gives them.
enum : unsigned {
    PLUGIN_MB_OK = 0x0,
    PLUGIN_MB_YESNO = 0x4,
    PLUGIN_MB_ICONQUESTION = 0x20,
    PLUGIN_MB_ICONINFORMATION = 0x40,
    PLUGIN_MB_DEFBUTTON2 = 0x100,
    PLUGIN_MB_SYSTEMMODAL = 0x1000,
    PLUGIN_MB_SETFOREGROUND = 0x10000,
    PLUGIN_MB_TOPMOST = 0x40000,
    // The plug-in's Yes/No questions: No is the default, always on top.
    PLUGIN_QUESTION = PLUGIN_MB_YESNO | PLUGIN_MB_ICONQUESTION | PLUGIN_MB_DEFBUTTON2 | PLUGIN_MB_TOPMOST,
};
enum : int { PLUGIN_IDOK = 1, PLUGIN_IDYES = 6, PLUGIN_IDNO = 7 };

// Shows `text` in a modal message box titled PLUGIN_TITLE with `flags`,
// owned by `owner` (an HWND, nullptr for none). Returns the id of the button
// pressed.
int show_plugin_box(void* owner, const char* text, unsigned flags);

// Shows an information box titled PLUGIN_TITLE, always on top, owned by
// `owner`: `text` alone when `code` is 0; otherwise `text`, "\n" and the
// system's message for `code` ("Error n°<code>" when it has none), or that
// message alone when `text` is nullptr.
void show_error_box(int code, const char* text, void* owner);

// Shows the system's message for `code` (or "Error n°<code>") in an
// information box titled "Error Logon", without owner, always on top.
void show_logon_error(int code);

// Shows `text` in a box titled "External Message - [Talvenu plug-in v1.02]"
// on a thread of its own, and returns at once. The text is copied first;
// when no copy can be made nothing is shown.
void show_message_async(const char* text);
