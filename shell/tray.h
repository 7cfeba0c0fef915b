// The notification-area icon, the routing of its mouse events, and its menu.
#pragma once

#include <windows.h>

// Tray mouse events arrive at the main window as this message; lParam is the
// mouse message (version-1 protocol).
#define WM_TRAY_CALLBACK (WM_USER + 29)

// A tray mouse handler: returns 0 when it handled the event, -1 when it
// refused because a modal window is up.
typedef int (*TrayHandler)(HINSTANCE instance, HWND window, UINT message, WPARAM wparam,
                           LPARAM lparam, int user_value);

// Remembers the main window and the instance; until then TrayAdd does nothing.
void TrayInit(HWND window, HINSTANCE instance);
// Adds the icon with `tip` and icon resource `icon_id` (0: none). Returns
// Shell_NotifyIconA's result, 0 before TrayInit.
int TrayAdd(const char* tip, int icon_id);
// Adds the icon again as it was last shown, after the notification area
// restarted (the shell broadcasts "TaskbarCreated").
void TrayRestore();
// Removes the icon.
void TrayRemove();
// Returns the icon shown (the tray's own), nullptr before the first.
HICON TrayIcon();
// Sets the icon's tip (at most 63 characters are kept).
void TraySetTip(const char* text);
// Shows icon resource `icon_id`. When it cannot be loaded, the icon shown
// stays.
void TraySetIcon(int icon_id);
// Routes mouse message `mouse_message` to `handler`. Returns 1, or 0 when the
// message has no slot.
int TrayRegisterHandler(int mouse_message, TrayHandler handler, int user_value);
// Calls the handler of the tray event in lParam. Returns -1 for any message
// but the tray callback, 0 when no handler is set, else the handler's result.
int TrayDispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Builds the tray menu from resource 10000 and the ledger. Returns the loaded
// menu (the caller DestroyMenu()s it) and its popup in `popup`, or nullptr.
HMENU BuildTrayMenu(HMENU* popup);
// The tray click handler: shows the menu at the cursor and carries out the
// chosen command. Returns 0, or -1 while a modal window is up.
int ShowTrayMenu(HINSTANCE instance, HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                 int user_value);
