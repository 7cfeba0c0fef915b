// The operating system's process sources, the process submenu and termination.
#include "processes/process_menu.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

// Windows 95, 98 and Me have no PSAPI.DLL but have the Toolhelp functions;
// NT 4 has PSAPI.DLL (redistributable) but no Toolhelp functions. Binding
// both at run time lets one program list processes on either.
typedef BOOL(WINAPI* EnumProcessesFn)(DWORD*, DWORD, DWORD*);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* GetModuleBaseNameAFn)(HANDLE, HMODULE, LPSTR, DWORD);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* Process32Fn)(HANDLE, PROCESSENTRY32*);

static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32) == 296,
              "the 32-bit program hands Toolhelp the 296-byte ANSI record");
static_assert(sizeof PROCESSENTRY32::szExeFile == sizeof ProcItemStruct::name);

// Looks up `name` in `module` as a function of type Fn. Returns false when the
// module lacks it.
template <typename Fn>
static bool bind_function(HMODULE module, const char* name, Fn& function)
{
    // Through void (*)(), the one cast that -Wcast-function-type accepts.
    function = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Appends the process `id` when it can be opened and its first module, the
// executable, listed; the name is "" when it cannot be read.
static void add_psapi_process(DWORD id, EnumProcessModulesFn enum_modules,
                              GetModuleBaseNameAFn base_name, std::vector<ProcItemStruct>& found)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process)
        return;
    HMODULE first = nullptr;
    DWORD needed = 0;
    // A buffer of one handle: the call still succeeds when the process has
    // more modules, and the first one is the executable.
    if (enum_modules(process, &first, sizeof first, &needed)) {
        ProcItemStruct record;
        if (!base_name(process, first, record.name, sizeof record.name))
            record.name[0] = '\0';
        // A name that fills the buffer may come back without its NUL.
        record.name[sizeof record.name - 1] = '\0';
        record.pid = id;
        found.push_back(record);
    }
    CloseHandle(process);
}

static ProcessSourceStatus list_by_psapi(std::vector<ProcItemStruct>& found, size_t limit)
{
    HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    if (!psapi)
        return PROCESS_SOURCE_MISSING;
    ProcessSourceStatus status = PROCESS_SOURCE_FAILED;
    EnumProcessModulesFn enum_modules;
    EnumProcessesFn enum_processes;
    GetModuleBaseNameAFn base_name;
    DWORD ids[PROCESS_LIST_PSAPI_MAX];
    DWORD bytes = 0;
    if (bind_function(psapi, "EnumProcessModules", enum_modules) &&
        bind_function(psapi, "EnumProcesses", enum_processes) &&
        bind_function(psapi, "GetModuleBaseNameA", base_name) &&
        enum_processes(ids, sizeof ids, &bytes)) {
        size_t count = std::min<size_t>(bytes / sizeof ids[0], limit);
        for (size_t i = 0; i < count; ++i)
            add_psapi_process(ids[i], enum_modules, base_name, found);
        status = PROCESS_SOURCE_OK;
    }
    FreeLibrary(psapi);
    return status;
}

static ProcessSourceStatus list_by_toolhelp(std::vector<ProcItemStruct>& found, size_t limit)
{
    HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
    CreateToolhelp32SnapshotFn take_snapshot;
    Process32Fn first, next;
    if (!kernel32 || !bind_function(kernel32, "CreateToolhelp32Snapshot", take_snapshot) ||
        !bind_function(kernel32, "Process32First", first) ||
        !bind_function(kernel32, "Process32Next", next))
        return PROCESS_SOURCE_FAILED;
    HANDLE snapshot = take_snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return PROCESS_SOURCE_FAILED;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = first(snapshot, &entry); more && found.size() < limit;
         more = next(snapshot, &entry)) {
        ProcItemStruct record;
        memcpy(record.name, entry.szExeFile, sizeof record.name);
        record.name[sizeof record.name - 1] = '\0';
        record.pid = entry.th32ProcessID;
        found.push_back(record);
    }
    CloseHandle(snapshot);
    return PROCESS_SOURCE_OK;
}

const ProcessSources process_list_system_sources = {list_by_psapi, list_by_toolhelp};

void process_list_refresh()
{
    process_list_refresh_from(process_list_system_sources);
}

void process_list_insert_sorted(HMENU popup, ProcessMenuIds ids)
{
    process_list_sort();
    for (int32_t k = 0; k < process_list_count(); ++k) {
        ProcessMenuItem item = process_list_menu_item(k, ids.first);
        UINT flags = MF_BYCOMMAND | MF_STRING;
        if (item.bar_break)
            flags |= MF_MENUBARBREAK;
        InsertMenuA(popup, ids.before, flags, item.id, item.text);
    }
}

void process_list_fill_menu(HMENU popup, ProcessMenuIds ids)
{
    process_list_refresh();
    process_list_insert_sorted(popup, ids);
}

int process_terminate(uint32_t pid, uint32_t exit_code)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!process)
        return 0;
    BOOL done = TerminateProcess(process, exit_code);
    CloseHandle(process);
    return done != 0;
}
