// The task manager dialog: copies the view of shell/taskmanager.h into its
// controls after every action.
#include <windows.h>

#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/shell_ui.h"
#include "shell/taskmanager.h"

static const UINT_PTR TIMER_ID = 397;
// Private messages: the procedure calls itself with them directly.
static const UINT WM_REFRESH_LIST = 398;
static const UINT WM_REFRESH_TIMES = 399;

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

static void on_selection(HWND dialog, TaskManagerView& view)
{
    HWND list = GetDlgItem(dialog, IDC_TM_LIST);
    LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char text[512] = "";
    if (item != LB_ERR && SendMessageA(list, LB_GETTEXTLEN, item, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    taskmanager_select(view, text);
}

static void on_command(HWND dialog, TaskManagerView& view, WPARAM wparam)
{
    switch (LOWORD(wparam)) {
    case IDC_TM_LIST:
        if (HIWORD(wparam) == LBN_SELCHANGE)
            on_selection(dialog, view);
        else if (HIWORD(wparam) == LBN_DBLCLK)
            taskmanager_toggle(view);
        break;
    case IDC_TM_ADD:
        taskmanager_add(view, dialog);
        break;
    case IDC_TM_TOGGLE:
        taskmanager_toggle(view);
        break;
    case IDC_TM_RESET:
        taskmanager_reset(view, dialog);
        break;
    case IDC_TM_DELETE:
        taskmanager_delete(view, dialog);
        break;
    }
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
        task_manager_procedure(dialog, WM_REFRESH_LIST, 0, 0);
        task_manager_procedure(dialog, WM_REFRESH_TIMES, 0, 0);
        SetTimer(dialog, TIMER_ID, 1000, nullptr);
        return FALSE;
    case WM_TIMER:
        taskmanager_timer(data->view);
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDC_TM_CLOSE) {
            KillTimer(dialog, TIMER_ID);
            EndDialog(dialog, wparam);
            return TRUE;
        }
        on_command(dialog, data->view, wparam);
        break;
    case WM_REFRESH_LIST:
        taskmanager_refresh_list(data->view);
        break;
    case WM_REFRESH_TIMES:
        taskmanager_refresh_times(data->view);
        break;
    default:
        return FALSE;
    }
    show(dialog, *data);
    return FALSE;
}

void RunTaskManagerDialog(void* owner)
{
    TaskManagerDialog data;
    DialogBoxParamA(static_cast<HINSTANCE>(g_shell.instance), MAKEINTRESOURCEA(IDD_TASK_MANAGER),
                    static_cast<HWND>(owner), task_manager_procedure,
                    reinterpret_cast<LPARAM>(&data));
}
