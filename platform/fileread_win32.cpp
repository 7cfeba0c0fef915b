#include "platform/fileread.h"

#include <windows.h>

void* fileread_open(const char* path, int* error)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // ERROR_ACCESS_DENIED also for a directory of that name: CreateFile
        // opens directories only with FILE_FLAG_BACKUP_SEMANTICS.
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    return file;
}

bool fileread_missing(int error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

long fileread_read(void* file, char* buffer, size_t size, int* error)
{
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, buffer, chunk, &got, nullptr)) {
        *error = static_cast<int>(GetLastError());
        return -1;
    }
    return static_cast<long>(got);
}

bool fileread_rewind(void* file, int* error)
{
    LARGE_INTEGER zero = {};
    if (SetFilePointerEx(file, zero, nullptr, FILE_BEGIN))
        return true;
    *error = static_cast<int>(GetLastError());
    return false;
}

void fileread_close(void* file)
{
    CloseHandle(file);
}
