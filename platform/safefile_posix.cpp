#include "platform/safefile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static void* create_file(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

static int fd_of(void* file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

static int write_file(void* file, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd_of(file), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 1;
}

static int flush_file(void* file)
{
    return fsync(fd_of(file)) == 0;
}

static int close_file(void* file)
{
    return close(fd_of(file)) == 0;
}

// The directory entry must reach the disk too, or a crash right after the
// rename can bring back the old name (fsync(2): "Calling fsync() does not
// necessarily ensure that the entry in the directory ... has also reached
// disk").
static void sync_directory_of(const char* path)
{
    std::string dir(path);
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

static int replace_file(const char* from, const char* to)
{
    // The new file keeps the old one's permissions. rename() goes over a
    // file without write permission: refuse that here.
    struct stat old;
    if (stat(to, &old) == 0) {
        if (S_ISREG(old.st_mode) && (old.st_mode & 0222) == 0) {
            errno = EACCES;
            return 0;
        }
        chmod(from, old.st_mode & 07777);
    }
    if (rename(from, to) != 0)
        return 0;
    sync_directory_of(to);
    return 1;
}

static void remove_file(const char* path)
{
    unlink(path);
}

static int last_error()
{
    return errno;
}

const SafeFileOps safefile_system_ops = {create_file,  write_file,  flush_file, close_file,
                                         replace_file, remove_file, last_error};
