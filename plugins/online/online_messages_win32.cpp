// The plug-in's message boxes with Win32: the boxes its logic asks for, the
// two error boxes that join a text with the system's message for a code,
// and the service message shown on a thread of its own.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "plugins/online/plugin_ui.h"

static const char LOGON_ERROR_TITLE[] = "Error Logon";
static const char EXTERNAL_TITLE[] = "External Message - " PLUGIN_TITLE;

// "Error n°" and a code fit in this, terminator included.
enum { FALLBACK_SIZE = 19 };

int show_plugin_box(void* owner, const char* text, unsigned flags)
{
    return MessageBoxA(static_cast<HWND>(owner), text ? text : "", PLUGIN_TITLE, flags);
}

// The system's message for `code`, or "Error n°<code>" when it has none.
static std::string SystemText(int code)
{
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text;
    if (message && length > 0)
        text.assign(message, length);
    if (message)
        LocalFree(message);
    if (text.empty()) {
        char fallback[FALLBACK_SIZE];
        snprintf(fallback, sizeof fallback, "Error n°%d", code);
        text = fallback;
    }
    return text;
}

void show_error_box(int code, const char* text, void* owner)
{
    std::string shown;
    if (code == 0)
        shown = text ? text : "";
    else if (!text)
        shown = SystemText(code);
    else
        shown = std::string(text) + "\n" + SystemText(code);
    MessageBoxA(static_cast<HWND>(owner), shown.c_str(), PLUGIN_TITLE, MB_ICONINFORMATION | MB_TOPMOST);
}

void show_logon_error(int code)
{
    MessageBoxA(nullptr, SystemText(code).c_str(), LOGON_ERROR_TITLE, MB_ICONINFORMATION | MB_TOPMOST);
}

// What a message thread owns: its text and its own reference to this
// library.
struct MessageThreadData {
    HMODULE library;
    char* text;
};

// The thread's code lives in this library, which the host may release while
// the box is up (unload, restart, quit): the thread holds its own reference
// and drops it with FreeLibraryAndExitThread, which never returns here.
static DWORD WINAPI MessageThread(LPVOID parameter)
{
    MessageThreadData* data = static_cast<MessageThreadData*>(parameter);
    MessageBoxA(nullptr, data->text, EXTERNAL_TITLE,
                MB_ICONINFORMATION | MB_TOPMOST | MB_SYSTEMMODAL);
    HMODULE library = data->library;
    delete[] data->text;
    delete data;
    FreeLibraryAndExitThread(library, 0);
}

void show_message_async(const char* text)
{
    MessageThreadData* data = new (std::nothrow) MessageThreadData{nullptr, nullptr};
    size_t length = text ? strlen(text) : 0;
    if (data)
        data->text = new (std::nothrow) char[length + 1];
    if (!data || !data->text) {
        delete data;
        return;
    }
    memcpy(data->text, text ? text : "", length + 1);
    // A reference to the module that holds MessageThread: the DLL, or the
    // test program that links the same code.
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&MessageThread), &data->library)) {
        delete[] data->text;
        delete data;
        return;
    }
    HANDLE thread = CreateThread(nullptr, 0, MessageThread, data, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        FreeLibrary(data->library);
        delete[] data->text;
        delete data;
        return;
    }
    ResumeThread(thread);
    CloseHandle(thread);
}
