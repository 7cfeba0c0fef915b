// The online plug-in's own dialogs: the logon dialog, the task chooser and
// the about box, all modal, without owner, built from the library's
// resources (`instance`).
#pragma once

#include <windows.h>

// Called when the user presses OK in the logon dialog, with the dialog, the
// texts typed (at most 254 characters each; the password buffer may be
// changed by the handler) and 1 when "Save this password" is ticked.
// Returns 1 when the logon succeeded, which closes the dialog; any other
// value keeps it open (the handler has shown its own messages).
typedef int (*LogonHandler)(HWND dialog, const char* login, char* password, int remember);

// What the logon dialog starts with: the remembered login and password, or
// null (an empty text counts as none for the password).
struct LogonDialogData {
    LogonHandler handler;
    const char* prefill_login;
    const char* prefill_password;
};

// Runs the logon dialog until a logon succeeds or the user presses "Exit".
// Returns 1 after a successful logon, 0 after "Exit" or without an instance,
// -1 when the dialog could not be created (after showing the system's reason
// in the "Error Logon" box).
int ShowLogonDialog(HINSTANCE instance, const LogonDialogData& data);

// In: `list`, the service's task names separated by "\r\n", borrowed (it is
// cut while the entries are added and restored before the dialog shows).
// Out: `chosen`, a new[] text with the name the user picked, or null
// when the user cancelled or left the placeholder selected; the caller
// delete[]s it.
struct ChooserData {
    char* list;
    char* chosen;
};

// Runs the task chooser. Returns the id of the button that closed it (IDOK
// or IDCANCEL), or -1 when it could not be created.
int ShowTaskChooser(HINSTANCE instance, ChooserData& data);

// Shows the about box. Returns IDOK or IDCANCEL, or -1.
int ShowPluginAbout(HINSTANCE instance);

// The placeholder the chooser lists before the service's tasks.
#define CHOOSER_PLACEHOLDER "-- Choisir une tâche --"
