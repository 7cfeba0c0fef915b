// The task manager dialog: copies the view of shell/taskmanager.h into its
// controls after every action.
#include <windows.h>

#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "shell/taskmanager.h"

static const UINT_PTR TIMER_ID = 397;

static_assert(TASKMANAGER_SELECTION_CHANGED == LBN_SELCHANGE && TASKMANAGER_DOUBLE_CLICK == LBN_DBLCLK,
              "the list's notifications are Win32's");

// The view and what of it the controls show now.
struct TaskManagerDialog {
    TaskManagerView view;
    TaskManagerView shown;
};

static void show_text(HWND dialog, int id, const std::string& text, std::string& shown)
{
    if (text != shown) {
        shown = text;
        SetDlgItemTextA(dialog, id, text.c_str());
    }
}

// Copies what changed into the controls. Only what changed: setting an edit
// control's text sends the dialog a WM_COMMAND (EN_CHANGE), which would
// come back here.
static void show(HWND dialog, TaskManagerDialog& data)
{
    const TaskManagerView& view = data.view;
    TaskManagerView& shown = data.shown;
    if (shown.list_version != view.list_version) {
        shown.list_version = view.list_version;
        HWND list = GetDlgItem(dialog, IDC_TM_LIST);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        for (const std::string& item : view.items)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    if (shown.task_buttons != view.task_buttons) {
        shown.task_buttons = view.task_buttons;
        for (int button : {IDC_TM_TOGGLE, IDC_TM_RESET, IDC_TM_DELETE})
            EnableWindow(GetDlgItem(dialog, button), view.task_buttons);
    }
    show_text(dialog, IDC_TM_TASK_TIME, view.task_time, shown.task_time);
    show_text(dialog, IDC_TM_TOTAL_TIME, view.total_time, shown.total_time);
}

// The text of the list's selected item, "" when none.
static std::string selected_item(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_TM_LIST);
    LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char text[512] = "";
    if (item != LB_ERR && SendMessageA(list, LB_GETTEXTLEN, item, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

static void on_command(HWND dialog, TaskManagerView& view, WPARAM wparam)
{
    std::string item;
    if (LOWORD(wparam) == IDC_TM_LIST && HIWORD(wparam) == LBN_SELCHANGE)
        item = selected_item(dialog);
    taskmanager_command(view, LOWORD(wparam), HIWORD(wparam), item.c_str(), dialog);
}

static INT_PTR CALLBACK task_manager_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    auto* data = reinterpret_cast<TaskManagerDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!data)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        // The buttons start enabled in the template.
        data->shown.task_buttons = true;
        taskmanager_open(data->view);
        SetTimer(dialog, TIMER_ID, 1000, nullptr);
        break;
    case WM_TIMER:
        taskmanager_tick(data->view);
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDC_TM_CLOSE) {
            KillTimer(dialog, TIMER_ID);
            EndDialog(dialog, wparam);
            return TRUE;
        }
        if (!shell_guard([&] { on_command(dialog, data->view, wparam); }))
            return FALSE;
        break;
    default:
        return FALSE;
    }
    shell_guard([&] { show(dialog, *data); });
    return FALSE;
}

void RunTaskManagerDialog(void* owner)
{
    TaskManagerDialog data;
    DialogBoxParamA(static_cast<HINSTANCE>(g_shell.instance), MAKEINTRESOURCEA(IDD_TASK_MANAGER),
                    static_cast<HWND>(owner), task_manager_procedure,
                    reinterpret_cast<LPARAM>(&data));
}
