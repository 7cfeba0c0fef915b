#include "tests/e2e/driver.h"

#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/resource.h"

static std::string g_program;

std::string e2e_windows_path(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

void e2e_set_program(const char* path)
{
    g_program = e2e_windows_path(path ? path : "");
}

const std::string& e2e_program()
{
    return g_program;
}

std::string e2e_argument(int n)
{
    // gtest_main keeps argv to itself; MinGW's C runtime keeps a copy.
    int seen = -1;
    for (int i = 1; i < __argc; ++i) {
        if (strncmp(__argv[i], "--gtest", 7) != 0 && ++seen == n)
            return __argv[i];
    }
    return "";
}

bool e2e_program_from_command_line()
{
    std::string program = e2e_argument(0);
    if (program.empty())
        return false;
    e2e_set_program(program.c_str());
    return true;
}

static const char X11_KEY[] = "Software\\Wine\\X11 Driver";

static void remove_managed_value()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, X11_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Managed");
        RegCloseKey(key);
    }
}

static NOTIFYICONDATAA g_tray_keeper;

static void remove_tray_keeper()
{
    Shell_NotifyIconA(NIM_DELETE, &g_tray_keeper);
    DestroyWindow(g_tray_keeper.hWnd);
}

static void keep_tray_shown()
{
    g_tray_keeper.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_tray_keeper.hWnd = CreateWindowExA(0, "STATIC", "e2e tray keeper", 0, 0, 0, 0, 0, nullptr,
                                         nullptr, nullptr, nullptr);
    g_tray_keeper.uID = 1;
    g_tray_keeper.uFlags = NIF_ICON | NIF_TIP;
    g_tray_keeper.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    strcpy(g_tray_keeper.szTip, "e2e_tests");
    if (g_tray_keeper.hWnd && Shell_NotifyIconA(NIM_ADD, &g_tray_keeper))
        atexit(remove_tray_keeper);
}

static void set_unmanaged_windows()
{
    HKEY key;
    // Volatile when it is made here: gone with the Wine server even if this
    // program is killed before its exit handler runs.
    if (RegCreateKeyExA(HKEY_CURRENT_USER, X11_KEY, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExA(key, "Managed", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS &&
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2) == ERROR_SUCCESS)
        atexit(remove_managed_value);
    RegCloseKey(key);
}

void e2e_prepare_wine()
{
    static bool done = false;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (done || !ntdll || !GetProcAddress(ntdll, "wine_get_version"))
        return;
    done = true;
    set_unmanaged_windows();
    keep_tray_shown();
}

bool e2e_poll(const std::function<bool()>& condition, DWORD timeout_ms)
{
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return condition();
        Sleep(10);
    }
}

// ---- Text: Windows-1252 bytes on this side, UTF-16 across processes.

static std::string narrow(const wchar_t* text, int length)
{
    if (length <= 0)
        return "";
    int size = WideCharToMultiByte(1252, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(1252, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

static std::wstring widen(const std::string& text)
{
    if (text.empty())
        return L"";
    int length = static_cast<int>(text.size());
    int size = MultiByteToWideChar(1252, 0, text.data(), length, nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(1252, 0, text.data(), length, result.data(), size);
    return result;
}

static LRESULT send_wide(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, E2E_WAIT, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::string e2e_text(HWND window)
{
    LRESULT length = send_wide(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0)
        return "";
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = send_wide(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return narrow(buffer.c_str(), copied > 0 ? static_cast<int>(copied) : 0);
}

std::string e2e_control_text(HWND dialog, int id)
{
    return e2e_text(GetDlgItem(dialog, id));
}

void e2e_set_control_text(HWND dialog, int id, const std::string& text)
{
    std::wstring wide = widen(text);
    send_wide(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string e2e_box_text(HWND box)
{
    return e2e_control_text(box, 0xFFFF);
}

std::vector<std::string> e2e_list_items(HWND dialog, int list_id)
{
    HWND list = GetDlgItem(dialog, list_id);
    std::vector<std::string> items;
    LRESULT count = send_wide(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = send_wide(list, LB_GETTEXTLEN, i, 0);
        std::wstring buffer(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
        LRESULT copied = send_wide(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
        items.push_back(narrow(buffer.c_str(), copied > 0 ? static_cast<int>(copied) : 0));
    }
    return items;
}

void e2e_select_item(HWND dialog, int list_id, int index)
{
    HWND list = GetDlgItem(dialog, list_id);
    // LB_SETCURSEL notifies no one: the click's LBN_SELCHANGE comes separately.
    send_wide(list, LB_SETCURSEL, index, 0);
    e2e_list_notify(dialog, list_id, LBN_SELCHANGE);
}

void e2e_list_notify(HWND dialog, int list_id, int notification)
{
    HWND list = GetDlgItem(dialog, list_id);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(list_id, notification), reinterpret_cast<LPARAM>(list));
}

void e2e_click(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool e2e_enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void e2e_keys(HWND window, const std::vector<WPARAM>& keys)
{
    for (WPARAM key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 1);
        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    }
}

// ---- Windows of a process.

struct WindowSearch {
    DWORD pid;
    const char* class_name;
    const char* caption;
    bool visible_only;
    std::vector<HWND> found;
};

static BOOL CALLBACK collect_window(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.pid || (search.visible_only && !IsWindowVisible(window)))
        return TRUE;
    char class_name[64] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if (strcmp(class_name, search.class_name) != 0)
        return TRUE;
    if (search.caption) {
        // A top-level caption is read without a message to its owner.
        wchar_t caption[256] = L"";
        int length = GetWindowTextW(window, caption, 256);
        if (narrow(caption, length) != search.caption)
            return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

static std::vector<HWND> find_windows(DWORD pid, const char* class_name, const char* caption,
                                      bool visible_only)
{
    WindowSearch search{pid, class_name, caption, visible_only, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND e2e_find_window(DWORD pid, const char* class_name, const char* caption)
{
    std::vector<HWND> found = find_windows(pid, class_name, caption, true);
    return found.empty() ? nullptr : found.front();
}

HWND e2e_wait_window(DWORD pid, const char* class_name, const char* caption, DWORD timeout_ms)
{
    HWND window = nullptr;
    e2e_poll([&] { return (window = e2e_find_window(pid, class_name, caption)) != nullptr; },
             timeout_ms);
    return window;
}

int e2e_count_windows(DWORD pid, const char* class_name, const char* caption)
{
    return static_cast<int>(find_windows(pid, class_name, caption, true).size());
}

bool e2e_wait_closed(HWND window, DWORD timeout_ms)
{
    return e2e_poll([&] { return !IsWindow(window); }, timeout_ms);
}

HWND e2e_wait_box(DWORD pid, DWORD timeout_ms)
{
    return e2e_wait_window(pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION, timeout_ms);
}

std::string e2e_answer_box(DWORD pid, const std::string& text, HWND owner, int button)
{
    HWND box = e2e_wait_box(pid);
    if (!box)
        return "no box appeared (expected '" + text + "')";
    std::string shown = e2e_box_text(box);
    HWND shown_owner = GetWindow(box, GW_OWNER);
    // Answered even when wrong, so that the program does not stay blocked.
    e2e_click(box, button);
    if (!e2e_wait_closed(box))
        return "the box stayed open after the click";
    if (shown != text)
        return "the box said '" + shown + "', expected '" + text + "'";
    if (shown_owner != owner)
        return "the box '" + text + "' has the wrong owner window";
    return "";
}

// ---- The process.

bool e2e_launch(E2eProcess& process, const std::string& folder, const std::string& arguments)
{
    std::string command_line = "\"" + g_program + "\"";
    if (!arguments.empty())
        command_line += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(g_program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process.handle = info.hProcess;
    process.pid = info.dwProcessId;
    process.window = nullptr;
    return true;
}

bool e2e_start(E2eProcess& process, const std::string& folder, const std::string& arguments)
{
    if (!e2e_launch(process, folder, arguments))
        return false;
    // The window exists before the profile is loaded; the loop runs once the
    // program first waits for input.
    WaitForInputIdle(process.handle, E2E_WAIT);
    return e2e_poll([&] {
        std::vector<HWND> found = find_windows(process.pid, "ZentrikMainFrame", nullptr, false);
        process.window = found.empty() ? nullptr : found.front();
        return process.window != nullptr || !e2e_alive(process);
    }) && process.window != nullptr;
}

bool e2e_alive(const E2eProcess& process)
{
    return process.handle && WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT;
}

bool e2e_wait_exit(E2eProcess& process, int* code, DWORD timeout_ms)
{
    if (!process.handle || WaitForSingleObject(process.handle, timeout_ms) != WAIT_OBJECT_0)
        return false;
    DWORD exit_code = 0;
    GetExitCodeProcess(process.handle, &exit_code);
    if (code)
        *code = static_cast<int>(exit_code);
    return true;
}

void e2e_end(E2eProcess& process)
{
    if (!process.handle)
        return;
    if (e2e_alive(process)) {
        TerminateProcess(process.handle, 99);
        WaitForSingleObject(process.handle, E2E_WAIT);
    }
    CloseHandle(process.handle);
    process = E2eProcess{};
}

// ---- Messages to the main window.

bool e2e_send(const E2eProcess& process, UINT message, WPARAM wparam, LPARAM lparam, DWORD timeout_ms)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(process.window, message, wparam, lparam, SMTO_NORMAL, timeout_ms,
                               &result) != 0;
}

bool e2e_tick(const E2eProcess& process)
{
    return e2e_send(process, WM_TIMER, E2E_MAIN_TIMER, 0);
}

bool e2e_command(const E2eProcess& process, UINT id)
{
    return e2e_send(process, WM_COMMAND, id, 0);
}

bool e2e_post_command(const E2eProcess& process, UINT id)
{
    return PostMessageA(process.window, WM_COMMAND, id, 0) != 0;
}

bool e2e_settle(const E2eProcess& process)
{
    if (!PostMessageA(process.window, WM_COMMAND, IDC_ADD_TASK, 0))
        return false;
    HWND dialog = e2e_wait_window(process.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    if (!dialog)
        return false;
    e2e_click(dialog, IDCANCEL);
    return e2e_wait_closed(dialog);
}

bool e2e_tray(const E2eProcess& process, UINT mouse_message)
{
    return PostMessageA(process.window, E2E_TRAY_CALLBACK, 0, mouse_message) != 0;
}

// ---- Expected files.

static const char EOL[] = "\r\r\n";  // "\r\n" written in text mode

static std::string file_name(std::string name)
{
    for (char& c : name) {
        if (c == ' ')
            c = '_';
    }
    return name;
}

static std::string profile_record(const E2eTask& task, int seconds)
{
    return std::to_string(task.slot) + "\t" + file_name(task.name) + "\t" + std::to_string(seconds) + EOL;
}

static std::string profile_with(const std::vector<E2eTask>& tasks, const std::vector<int>& seconds)
{
    std::string bytes = std::string("# Plorvin - UserProfile (DO NOT EDIT)") + EOL + "# " +
                        std::string(39, '-') + EOL + EOL;
    for (size_t i = 0; i < tasks.size(); ++i)
        bytes += profile_record(tasks[i], seconds[i]);
    return bytes + EOL + EOL + "# " + std::string(26, '-') + EOL;
}

std::string e2e_profile_bytes(const std::vector<E2eTask>& tasks)
{
    std::vector<int> seconds;
    for (const E2eTask& task : tasks)
        seconds.push_back(task.low);
    return profile_with(tasks, seconds);
}

// Reads the decimal number at `at` in `text`; -1 when there is none.
static long long number_at(const std::string& text, size_t at, size_t* end)
{
    long long value = 0;
    size_t i = at;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - at < 12)
        value = value * 10 + (text[i++] - '0');
    *end = i;
    return i == at ? -1 : value;
}

// The task's seconds where `actual` shows them in the task's range, else its
// `low`.
static int seconds_in_range(const E2eTask& task, long long shown)
{
    return shown >= task.low && shown <= task.high ? static_cast<int>(shown) : task.low;
}

long long e2e_profile_seconds(const std::string& profile, const E2eTask& task)
{
    std::string prefix = "\n" + std::to_string(task.slot) + "\t" + file_name(task.name) + "\t";
    size_t at = profile.find(prefix);
    size_t end = 0;
    return at == std::string::npos ? -1 : number_at(profile, at + prefix.size(), &end);
}

std::string e2e_expected_profile(const std::string& actual, const std::vector<E2eTask>& tasks)
{
    std::vector<int> seconds;
    for (const E2eTask& task : tasks)
        seconds.push_back(seconds_in_range(task, e2e_profile_seconds(actual, task)));
    return profile_with(tasks, seconds);
}

static std::string duration(long long seconds)
{
    char text[64];
    snprintf(text, sizeof text, "%lldh %lldm %llds.", seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

static std::string report_line_start(const E2eTask& task)
{
    char text[600];
    snprintf(text, sizeof text, " %c %3d | %-30s | ", task.running ? '+' : '-', task.slot + 1,
             task.name.c_str());
    return text;
}

static std::string local_date(time_t when)
{
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const struct tm* local = localtime(&when);
    if (!local)
        return "?";
    char text[64];
    snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d", DAYS[local->tm_wday],
             MONTHS[local->tm_mon], local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
             local->tm_year + 1900);
    return text;
}

std::string e2e_expected_report(const std::string& actual, const std::vector<E2eTask>& tasks,
                                time_t from, time_t to)
{
    static const std::string DATE_LINE = "Liste des tâches - ";
    std::string date = local_date(from);
    for (time_t t = from; t <= to; ++t) {
        if (actual.find(DATE_LINE + local_date(t) + "\r\n") != std::string::npos) {
            date = local_date(t);
            break;
        }
    }
    std::string bytes = std::string(" Zentrik Report") + EOL + std::string(55, '-') + EOL + EOL +
                        DATE_LINE + date + "\r\n" + EOL;
    long long total = 0;
    for (const E2eTask& task : tasks) {
        std::string start = report_line_start(task);
        long long shown = -1;
        size_t at = actual.find(start);
        if (at != std::string::npos) {
            // "<h>h <m>m <s>s."
            size_t end = 0;
            long long hours = number_at(actual, at + start.size(), &end);
            long long minutes = number_at(actual, end + 2, &end);
            long long rest = number_at(actual, end + 2, &end);
            if (hours >= 0 && minutes >= 0 && rest >= 0)
                shown = hours * 3600 + minutes * 60 + rest;
        }
        int seconds = seconds_in_range(task, shown);
        total += seconds;
        bytes += start + duration(seconds) + "\r\n";
    }
    return bytes + EOL + "       | Total time                     | " + duration(total) + "\r\n";
}

// ---- Figures.

double e2e_cpu_ms(const E2eProcess& process)
{
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process.handle, &created, &ended, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

size_t e2e_peak_working_set(const E2eProcess& process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.handle, &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

bool e2e_module_loaded(const E2eProcess& process, const char* name)
{
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!EnumProcessModules(process.handle, modules, sizeof modules, &needed))
        return false;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
        char base[MAX_PATH] = "";
        if (GetModuleBaseNameA(process.handle, modules[i], base, sizeof base) && _stricmp(base, name) == 0)
            return true;
    }
    return false;
}

bool e2e_matches(const std::string& text, const std::string& pattern)
{
    size_t at = 0;
    for (size_t p = 0; p < pattern.size();) {
        if (pattern[p] != '{') {
            if (at >= text.size() || text[at] != pattern[p])
                return false;
            ++at;
            ++p;
            continue;
        }
        long low = 0, high = 0;
        size_t close = pattern.find('}', p);
        if (close == std::string::npos || sscanf(pattern.c_str() + p, "{%ld-%ld}", &low, &high) != 2)
            return false;
        size_t digits = at;
        while (digits < text.size() && isdigit(static_cast<unsigned char>(text[digits])))
            ++digits;
        if (digits == at)
            return false;
        long value = strtol(text.substr(at, digits - at).c_str(), nullptr, 10);
        if (value < low || value > high)
            return false;
        at = digits;
        p = close + 1;
    }
    return at == text.size();
}

bool e2e_settle_by_tray(const E2eProcess& process)
{
    if (!e2e_tray(process, WM_LBUTTONUP))
        return false;
    HWND menu = e2e_wait_window(process.pid, E2E_MENU_CLASS, nullptr);
    if (!menu)
        return false;
    e2e_keys(menu, {VK_ESCAPE});
    return e2e_poll([&] { return !e2e_find_window(process.pid, E2E_MENU_CLASS, nullptr); });
}
