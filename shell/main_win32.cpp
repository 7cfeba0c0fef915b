// ZentrikWin: the entry point, the hidden main window and the message loop.
#include <windows.h>

#include "pluginhost/notify.h"
#include "shell/commands.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/taskmanager.h"
#include "shell/tray.h"
#include "shell/window.h"

static const UINT_PTR MAIN_TIMER_ID = 666;
static const UINT MAIN_TIMER_PERIOD = 20000;

// Broadcast by the shell when the notification area (re)starts; icons added
// before are gone then ("Taskbar Creation Notification", Shell_NotifyIcon
// documentation).
static UINT g_taskbar_created = 0;

static int open_task_manager(HINSTANCE instance, HWND window, UINT message, WPARAM wparam,
                             LPARAM lparam, int user_value)
{
    return OpenTaskManager(instance, window, message, wparam, lparam, user_value);
}

static void paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    DrawTextA(dc, "Quelvix", -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    EndPaint(window, &paint);
}

static void destroy(HWND)
{
    plugin_shutdown();
    TrayRemove();
    PostQuitMessage(0);
}

static LRESULT main_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED)
            ShowWindow(window, SW_HIDE);
        return 0;
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_COMMAND:
        DispatchCommand(LOWORD(wparam), window, message, wparam, lparam);
        return 0;
    case WM_TIMER:
        shell_timer_tick();
        return 0;
    case WM_ENDSESSION:
        // The session ends without WM_DESTROY: the process is ended after this
        // message, so save now as the exit does.
        if (wparam)
            shell_save_profile();
        return 0;
    case WM_DESTROY:
        destroy(window);
        return 0;
    case WM_TRAY_CALLBACK:
        if (TrayDispatch(window, message, wparam, lparam) != 0)
            return DefWindowProcA(window, message, wparam, lparam);
        return 0;
    }
    if (message == g_taskbar_created && message != 0) {
        TrayRestore();
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// No exception may unwind through the system's code that calls the
// procedure: it would end the program without its exit save.
static LRESULT CALLBACK main_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    LRESULT result = 0;
    shell_guard([&] { result = main_window_message(window, message, wparam, lparam); });
    return result;
}

static bool register_main_class(HINSTANCE instance)
{
    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    window_class.hIconSm = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_COG), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "ZentrikMainFrame";
    return RegisterClassExA(&window_class) != 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int)
{
    // Only one copy: the mutex stays open for the life of the process.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Zentrik for Windows");
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr, "L'application Zentrik a déjà été démarrée !", ZENTRIK_CAPTION,
                    MB_ICONWARNING);
        return -1;
    }
    g_shell.instance = instance;
    shell_set_window(&shell_win32_window);
    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
    if (!previous && !register_main_class(instance))
        return 1;
    HWND window = CreateWindowExA(0, "ZentrikMainFrame", ZENTRIK_TITLE,
                                  WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    // Without its window the program could show nothing and never be quit.
    if (!window)
        return 1;
    g_shell.main_window = window;
    g_taskbar_created = RegisterWindowMessageA("TaskbarCreated");

    shell_open_profile();
    TrayInit(window, instance);
    TrayAdd(ZENTRIK_TITLE, IDI_IDLE);
    TrayRegisterHandler(WM_LBUTTONUP, ShowTrayMenu, 0);
    TrayRegisterHandler(WM_RBUTTONUP, ShowTrayMenu, 0);
    TrayRegisterHandler(WM_RBUTTONDBLCLK, open_task_manager, 0);
    TrayRegisterHandler(WM_LBUTTONDBLCLK, open_task_manager, 0);
    shell_apply_command_line(command_line);
    SetTimer(window, MAIN_TIMER_ID, MAIN_TIMER_PERIOD, nullptr);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    shell_exit();
    return 0;
}
