// The notification-area icon, its mouse table and its popup menu.
#include "shell/tray.h"

#include <shellapi.h>

#include <cstring>
#include <new>

#include "pluginhost/notify.h"
#include "processes/process_list.h"
#include "processes/process_menu.h"
#include "shell/commands.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/traymenu.h"

// The version-1 record: the first 88 bytes of NOTIFYICONDATAA, which every
// version of the shell accepts (NOTIFYICONDATAA_V1_SIZE).
static NOTIFYICONDATAA g_icon;
static bool g_ready = false;
static HINSTANCE g_instance = nullptr;
// What the menu last built shows of the ledger: its task items name tasks.
static TrayMenuPlan g_plan;

struct TraySlot {
    int message;
    TrayHandler handler;
    int user_value;
};

static TraySlot g_mouse_table[] = {
    {WM_LBUTTONDBLCLK, nullptr, 0}, {WM_LBUTTONDOWN, nullptr, 0},  {WM_LBUTTONUP, nullptr, 0},
    {WM_MBUTTONDBLCLK, nullptr, 0}, {WM_MBUTTONDOWN, nullptr, 0},  {WM_MBUTTONUP, nullptr, 0},
    {WM_MOUSEACTIVATE, nullptr, 0}, {WM_MOUSEMOVE, nullptr, 0},    {WM_MOUSEWHEEL, nullptr, 0},
    {WM_RBUTTONDBLCLK, nullptr, 0}, {WM_RBUTTONDOWN, nullptr, 0},  {WM_RBUTTONUP, nullptr, 0},
    {-1, nullptr, 0},
};

static HICON load_small_icon(int icon_id)
{
    return static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(icon_id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

static void set_tip(const char* text)
{
    // At most 63 characters and a NUL; the rest of the field is zeroed.
    memset(g_icon.szTip, 0, sizeof g_icon.szTip);
    strncpy(g_icon.szTip, text ? text : "", 63);
}

// Shows icon resource `icon_id` from now on. Returns false, keeping the
// icon shown, when it cannot be loaded: a blank icon would leave the user
// nothing to click.
static bool replace_icon(int icon_id)
{
    HICON icon = load_small_icon(icon_id);
    if (!icon)
        return false;
    // Icons from LoadImageA without LR_SHARED are the caller's to destroy.
    if (g_icon.hIcon)
        DestroyIcon(g_icon.hIcon);
    g_icon.hIcon = icon;
    return true;
}

void TrayInit(HWND window, HINSTANCE instance)
{
    g_icon.hWnd = window;
    g_instance = instance;
    g_ready = true;
}

int TrayAdd(const char* tip, int icon_id)
{
    if (!g_ready)
        return 0;
    g_icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_icon.uID = 0;
    g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_icon.uCallbackMessage = WM_TRAY_CALLBACK;
    set_tip(tip);
    if (icon_id != 0)
        replace_icon(icon_id);
    return Shell_NotifyIconA(NIM_ADD, &g_icon);
}

void TrayRestore()
{
    if (g_ready)
        Shell_NotifyIconA(NIM_ADD, &g_icon);
}

HICON TrayIcon()
{
    return g_icon.hIcon;
}

void TraySetTip(const char* text)
{
    set_tip(text);
    Shell_NotifyIconA(NIM_MODIFY, &g_icon);
}

void TraySetIcon(int icon_id)
{
    if (replace_icon(icon_id))
        Shell_NotifyIconA(NIM_MODIFY, &g_icon);
}

void TrayRemove()
{
    Shell_NotifyIconA(NIM_DELETE, &g_icon);
}

int TrayRegisterHandler(int mouse_message, TrayHandler handler, int user_value)
{
    for (TraySlot* slot = g_mouse_table; slot->message != -1; ++slot) {
        if (slot->message == mouse_message) {
            slot->handler = handler;
            slot->user_value = user_value;
            return 1;
        }
    }
    return 0;
}

int TrayDispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_TRAY_CALLBACK)
        return -1;
    for (const TraySlot* slot = g_mouse_table; slot->message != -1; ++slot) {
        if (slot->message == static_cast<int>(lparam) && slot->handler)
            return slot->handler(g_instance, window, message, wparam, lparam, slot->user_value);
    }
    return 0;
}

static void grey(HMENU menu, UINT id)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
}

HMENU BuildTrayMenu(HMENU* popup)
{
    HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDM_TRAY));
    if (!menu)
        return nullptr;
    *popup = GetSubMenu(menu, 0);
    TrayMenuPlan plan;
    try {
        plan = traymenu_plan();
    } catch (const std::bad_alloc&) {
        // Without memory for the labels the menu shows no task.
    }
    g_plan = std::move(plan);
    for (const TrayMenuTask& task : g_plan.tasks) {
        UINT flags = MF_BYCOMMAND | MF_STRING;
        if (task.checked)
            flags |= MF_CHECKED;
        if (task.column_break)
            flags |= MF_MENUBARBREAK;
        InsertMenuA(*popup, IDC_NO_TASK, flags, task.id, task.label.c_str());
    }
    if (g_plan.no_slots)
        grey(*popup, IDC_NO_TASK);
    else
        RemoveMenu(*popup, IDC_NO_TASK, MF_BYCOMMAND);
    // The process list comes with the process list option only; it lives
    // until the chosen command was carried out (ShowTrayMenu clears it).
    if (g_shell.process_list_option) {
        process_list_fill_menu(*popup, {IDC_PROCESS_EMPTY, IDC_PROCESS_FIRST});
        RemoveMenu(*popup, IDC_PROCESS_EMPTY, MF_BYCOMMAND);
    } else {
        RemoveMenu(*popup, IDC_PROCESS_MENU, MF_BYCOMMAND);
    }
    update_plugin_menu(*popup);
    if (!g_plan.stop_enabled)
        grey(*popup, IDC_STOP);
    if (!g_plan.tasks_enabled) {
        grey(*popup, IDC_RESET_ALL);
        grey(*popup, IDC_REPORT);
    }
    return menu;
}

int ShowTrayMenu(HINSTANCE, HWND window, UINT message, WPARAM wparam, LPARAM lparam, int)
{
    if (g_shell.busy)
        return -1;
    POINT cursor;
    GetCursorPos(&cursor);
    HMENU popup = nullptr;
    HMENU menu = BuildTrayMenu(&popup);
    if (!menu)
        return 0;
    // Without the foreground, the menu would not close when the user clicks
    // elsewhere (TrackPopupMenu documentation, Remarks).
    SetForegroundWindow(window);
    UINT id = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                             window, nullptr);
    DispatchCommand(traymenu_command_now(g_plan, id), window, message, wparam, lparam);
    // ...and the next click would not open it again without this message.
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (g_shell.process_list_option)
        process_list_clear();
    return 0;
}
