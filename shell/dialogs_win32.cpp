// The small dialogs, the file pickers and the boxes, and the record of the
// window side that the shell's logic calls.
#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "processes/process_list.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/tray.h"
#include "shell/window.h"

static_assert(SHELL_MB_YESNO == MB_YESNO && SHELL_MB_ICONQUESTION == MB_ICONQUESTION &&
              SHELL_MB_ICONWARNING == MB_ICONWARNING &&
              SHELL_MB_ICONINFORMATION == MB_ICONINFORMATION &&
              SHELL_MB_DEFBUTTON2 == MB_DEFBUTTON2 && SHELL_MB_TOPMOST == MB_TOPMOST &&
              SHELL_IDYES == IDYES && SHELL_IDNO == IDNO && SHELL_IDOK == IDOK,
              "the shell's box flags are Win32's");

int ShowMessage(void* owner, const char* text, unsigned flags)
{
    return MessageBoxA(static_cast<HWND>(owner), text, ZENTRIK_CAPTION, flags);
}

void DestroyShellWindow(void* window)
{
    DestroyWindow(static_cast<HWND>(window));
}

// The name typed in the add-task dialog: at most 79 characters are taken.
static char g_new_task_name[80];

// A name the profile could not carry back keeps the dialog open, so that the
// user can mend it.
static INT_PTR add_task_ok(HWND dialog, WPARAM wparam)
{
    if (GetDlgItemTextA(dialog, IDC_ADD_NAME, g_new_task_name, sizeof g_new_task_name) == 0)
        g_new_task_name[0] = '\0';
    if (shell_add_named_task(g_new_task_name))
        EndDialog(dialog, wparam);
    return TRUE;
}

static void add_task_init(HWND dialog)
{
    HWND field = GetDlgItem(dialog, IDC_ADD_NAME);
    // The field takes no more than is kept, rather than cutting a longer name
    // without a sign.
    SendMessageA(field, EM_LIMITTEXT, sizeof g_new_task_name - 1, 0);
    SetFocus(field);
}

static INT_PTR CALLBACK add_task_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        add_task_init(dialog);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK)
            return add_task_ok(dialog, wparam);
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, wparam);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void ShowAddTaskDialog(void* owner)
{
    DialogBoxParamA(static_cast<HINSTANCE>(g_shell.instance), MAKEINTRESOURCEA(IDD_ADD_TASK),
                    static_cast<HWND>(owner), add_task_procedure, 0);
}

static INT_PTR CALLBACK about_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;  // the default button takes the focus
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

void ShowAboutBox()
{
    DialogBoxParamA(static_cast<HINSTANCE>(g_shell.instance), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                    about_procedure, 0);
}

// The current drive and directory as "X:\\dir", without a trailing backslash
// except at the root.
static std::string current_directory()
{
    char path[MAX_PATH];
    DWORD size = GetCurrentDirectoryA(sizeof path, path);
    return size > 0 && size < sizeof path ? std::string(path, size) : std::string();
}

char* RunFilePicker(bool save, const char* filter, const char* folder, unsigned long flags)
{
    const std::string previous = current_directory();
    char file[256] = "";
    char title[256] = "";
    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = GetActiveWindow();
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.lpstrFileTitle = title;
    request.nMaxFileTitle = sizeof title;
    request.lpstrInitialDir = folder;
    request.Flags = flags;
    // The result is not examined: after a cancel or a failure the name
    // buffer is still empty.
    if (save)
        GetSaveFileNameA(&request);
    else
        GetOpenFileNameA(&request);

    std::string chosen;
    if (file[1] == ':') {
        chosen = file;
    } else if (file[0] != '\0') {
        // A relative name is taken from the folder the picker left current.
        chosen = current_directory();
        if (chosen.empty() || chosen.back() != '\\')
            chosen += '\\';
        chosen += file;
    }
    // The picker may have changed the current directory; the relative names
    // of the profile and the plug-in's settings must keep pointing where the
    // program started.
    if (!previous.empty())
        SetCurrentDirectoryA(previous.c_str());
    if (chosen.empty())
        return nullptr;
    char* result = new (std::nothrow) char[chosen.size() + 1];
    if (result)
        memcpy(result, chosen.c_str(), chosen.size() + 1);
    return result;
}

char* ChooseTextFile(const char* folder)
{
    return RunFilePicker(true, "Text Files (*.txt)\0*.txt\0All (*.*)\0*.*\0", folder,
                         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT |
                             OFN_NOREADONLYRETURN);
}

char* ChooseExistingFile(const char* filter, const char* folder)
{
    return RunFilePicker(false, filter, folder, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
}

// Writes `text` joined with the system's message for `code` into `box`, as
// ShowErrorBox shows them. A fixed buffer rather than a string: this box
// also tells that memory ran out.
static void error_text(char* box, size_t size, int code, const char* text)
{
    char digits[12];
    char* message = nullptr;
    const char* system_text = "";
    if (code != 0) {
        DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                      nullptr, static_cast<DWORD>(code),
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<char*>(&message), 0, nullptr);
        if (length > 0 && message) {
            system_text = message;
        } else {
            snprintf(digits, sizeof digits, "%d", code);
            system_text = digits;
        }
    }
    if (!text)
        snprintf(box, size, "%s", system_text);
    else if (code != 0)
        snprintf(box, size, "%s\n%s", text, system_text);
    else
        snprintf(box, size, "%s", text);
    if (message)
        LocalFree(message);
}

void ShowErrorBox(int code, const char* text)
{
    char box[2048];
    error_text(box, sizeof box, code, text);
    MessageBoxA(nullptr, box, ZENTRIK_CAPTION, MB_ICONINFORMATION | MB_OK);
}

int ShowErrorQuestion(int code, const char* text, const char* question)
{
    char box[2048];
    error_text(box, sizeof box, code, text);
    size_t used = strlen(box);
    // The system's messages end with a line break of their own.
    const char* separator = used > 0 && box[used - 1] != '\n' ? "\n" : "";
    snprintf(box + used, sizeof box - used, "%s%s", separator, question);
    return MessageBoxA(nullptr, box, ZENTRIK_CAPTION, SHELL_QUESTION);
}

static int terminate_process(uint32_t pid, uint32_t exit_code)
{
    return process_terminate(pid, exit_code);
}

const ShellWindow shell_win32_window = {
    ShowMessage,       TraySetTip,   TraySetIcon,        ShowAddTaskDialog,   ShowAboutBox,      ChooseTextFile,
    ChooseExistingFile, ShowErrorBox, DestroyShellWindow, RunTaskManagerDialog, terminate_process,
    ShowErrorQuestion,
};
