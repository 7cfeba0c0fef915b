#include "platform/safefile.h"

#include <windows.h>

static void* create_file(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

static int write_file(void* file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(file, data, chunk, &done, nullptr) || done == 0)
            return 0;
        data += done;
        size -= done;
    }
    return 1;
}

static int flush_file(void* file)
{
    return FlushFileBuffers(file) != 0;
}

static int close_file(void* file)
{
    return CloseHandle(file) != 0;
}

static int replace_file(const char* from, const char* to)
{
    // Windows refuses to replace a read-only file, but Wine's MoveFileEx goes
    // over it (and the new file is writable): check first, on both.
    DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    // MOVEFILE_WRITE_THROUGH: the call returns only once the move is on the
    // disk (MoveFileEx documentation).
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

static void remove_file(const char* path)
{
    DeleteFileA(path);
}

static int last_error()
{
    return static_cast<int>(GetLastError());
}

const SafeFileOps safefile_system_ops = {create_file,  write_file,  flush_file, close_file,
                                         replace_file, remove_file, last_error};
