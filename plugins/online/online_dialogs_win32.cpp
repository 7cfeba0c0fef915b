// The online plug-in's dialogs and message boxes, with Win32.
#include "plugins/online/online_dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugins/online/online_resource.h"
#include "plugins/online/plugin_ui.h"

// Where the logon dialog goes, whatever the size of its frame: the width and
// height of the dialog in pixels on the screen it was drawn for.
enum { LOGON_WIDTH = 300, LOGON_HEIGHT = 165 };

// The icon's place in the logon dialog, in dialog units.
enum { LOGON_ICON_X = 7, LOGON_ICON_Y = 7, LOGON_ICON_SIZE = 20 };

// The longest text read from each field of the logon dialog.
enum { LOGON_FIELD_SIZE = 255 };

// The longest task name taken from the chooser.
enum { CHOOSER_NAME_MAX = 515 };

// The chooser marks its placeholder entry with this item data, so that a
// task whose name reads the same still counts as a choice.
enum : LRESULT { PLACEHOLDER_MARK = 1 };

// ------------------------------------------------------------------ logon

static void CentreLogonDialog(HWND dialog)
{
    int x = (GetSystemMetrics(SM_CXSCREEN) - LOGON_WIDTH) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - LOGON_HEIGHT) / 2;
    SetWindowPos(dialog, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_DRAWFRAME);
}

// Wine gives an icon control with SS_CENTERIMAGE no size at all, so the
// icon does not show: it gets back the 20 x 20 units of its template, in
// which it is centred.
static void KeepIconPlace(HWND dialog)
{
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        RECT rect;
        if ((GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !GetClientRect(control, &rect) ||
            !IsRectEmpty(&rect))
            continue;
        RECT place = {LOGON_ICON_X, LOGON_ICON_Y, LOGON_ICON_X + LOGON_ICON_SIZE, LOGON_ICON_Y + LOGON_ICON_SIZE};
        MapDialogRect(dialog, &place);
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The remembered login goes into the user field and the focus to the
// password; with the password remembered too, both are filled and the focus
// stays on the user field. Returns FALSE: the focus is set here, and TRUE
// would let the dialog manager move it back to the first field.
static BOOL InitLogonDialog(HWND dialog, const LogonDialogData* data)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    CentreLogonDialog(dialog);
    KeepIconPlace(dialog);
    int focus = IDC_LOGON_USER;
    if (data->prefill_login) {
        SetDlgItemTextA(dialog, IDC_LOGON_USER, data->prefill_login);
        focus = IDC_LOGON_PASSWORD;
    }
    if (data->prefill_password && data->prefill_password[0]) {
        SetDlgItemTextA(dialog, IDC_LOGON_PASSWORD, data->prefill_password);
        if (data->prefill_login)
            focus = IDC_LOGON_USER;
    }
    SetFocus(GetDlgItem(dialog, focus));
    return FALSE;
}

static void LogonOk(HWND dialog)
{
    const LogonDialogData* data =
        reinterpret_cast<const LogonDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
    char login[LOGON_FIELD_SIZE] = "";
    char password[LOGON_FIELD_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_LOGON_USER, login, sizeof login);
    GetDlgItemTextA(dialog, IDC_LOGON_PASSWORD, password, sizeof password);
    int remember = IsDlgButtonChecked(dialog, IDC_LOGON_REMEMBER) == BST_CHECKED ? 1 : 0;
    if (data && data->handler && data->handler(dialog, login, password, remember) == 1)
        EndDialog(dialog, 1);
    SecureZeroMemory(password, sizeof password);
}

static INT_PTR CALLBACK LogonProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitLogonDialog(dialog, reinterpret_cast<const LogonDialogData*>(lparam));
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            LogonOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int ShowLogonDialog(HINSTANCE instance, const LogonDialogData& data)
{
    if (!instance)
        return 0;
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LOGON), nullptr, LogonProc,
                                     reinterpret_cast<LPARAM>(&data));
    if (result == -1) {
        DWORD code = GetLastError();
        if (code != 0)
            show_logon_error(static_cast<int>(code));
    }
    return static_cast<int>(result);
}

// ---------------------------------------------------------------- chooser

static void AddChooserEntry(HWND combo, const char* text, LRESULT mark)
{
    LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index >= 0)
        SendMessageA(combo, CB_SETITEMDATA, index, mark);
}

// Each line of the borrowed list becomes an entry: its "\r" is made the end
// of the text for the one CB_ADDSTRING and put back right after.
static void AddChooserLines(HWND combo, char* list)
{
    char* line = list;
    for (char* separator; (separator = strstr(line, "\r\n")) != nullptr; line = separator + 2) {
        *separator = '\0';
        AddChooserEntry(combo, line, 0);
        *separator = '\r';
    }
    AddChooserEntry(combo, line, 0);
}

static void SelectPlaceholder(HWND combo)
{
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageA(combo, CB_GETITEMDATA, i, 0) == PLACEHOLDER_MARK) {
            SendMessageA(combo, CB_SETCURSEL, i, 0);
            return;
        }
    }
}

static BOOL InitChooser(HWND dialog, ChooserData* data)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    HWND combo = GetDlgItem(dialog, IDC_CHOOSER_LIST);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    AddChooserEntry(combo, CHOOSER_PLACEHOLDER, PLACEHOLDER_MARK);
    if (data->list)
        AddChooserLines(combo, data->list);
    SelectPlaceholder(combo);
    data->chosen = nullptr;
    return TRUE;
}

// The selected entry as a new text, or null for the placeholder or no
// selection (or no memory).
static char* SelectedTask(HWND combo)
{
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index < 0 || SendMessageA(combo, CB_GETITEMDATA, index, 0) == PLACEHOLDER_MARK)
        return nullptr;
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length < 0)
        return nullptr;
    char* text = new (std::nothrow) char[length + 1];
    if (!text)
        return nullptr;
    text[0] = '\0';
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    if (length > CHOOSER_NAME_MAX)
        text[CHOOSER_NAME_MAX] = '\0';
    return text;
}

static void ChooserOk(HWND dialog)
{
    ChooserData* data = reinterpret_cast<ChooserData*>(GetWindowLongPtrA(dialog, DWLP_USER));
    data->chosen = SelectedTask(GetDlgItem(dialog, IDC_CHOOSER_LIST));
    EndDialog(dialog, IDOK);
}

static INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitChooser(dialog, reinterpret_cast<ChooserData*>(lparam));
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            ChooserOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int ShowTaskChooser(HINSTANCE instance, ChooserData& data)
{
    data.chosen = nullptr;
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSER), nullptr,
                                            ChooserProc, reinterpret_cast<LPARAM>(&data)));
}

// ------------------------------------------------------------------ about

static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int ShowPluginAbout(HINSTANCE instance)
{
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc, 0));
}
