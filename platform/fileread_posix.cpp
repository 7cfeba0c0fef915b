#include "platform/fileread.h"

#include <cerrno>
#include <climits>
#include <cstdint>

#include <fcntl.h>
#include <unistd.h>

static int fd_of(void* file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

void* fileread_open(const char* path, int* error)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

bool fileread_missing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

long fileread_read(void* file, char* buffer, size_t size, int* error)
{
    if (size > LONG_MAX)
        size = LONG_MAX;
    for (;;) {
        ssize_t got = read(fd_of(file), buffer, size);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR) {
            *error = errno;  // EISDIR for a directory, which opens here
            return -1;
        }
    }
}

bool fileread_rewind(void* file, int* error)
{
    if (lseek(fd_of(file), 0, SEEK_SET) == 0)
        return true;
    *error = errno;
    return false;
}

void fileread_close(void* file)
{
    close(fd_of(file));
}
