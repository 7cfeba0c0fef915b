// Replacing a file so that, at every instant, the disk holds either the old
// complete file or the new complete one: the new bytes go to "<path>.tmp",
// are flushed to the disk, and the temporary file is renamed over the old one.
#pragma once

#include <cstddef>

// The operating-system calls behind safefile_write, a seam for tests.
struct SafeFileOps {
    // Creates or truncates `path` for writing. Returns a handle, or nullptr.
    void* (*create)(const char* path);
    // Writes all `size` bytes. Returns 1, or 0 on failure.
    int (*write)(void* file, const char* data, size_t size);
    // Forces the written bytes to the disk. Returns 1, or 0 on failure.
    int (*flush)(void* file);
    // Closes the handle, always releasing it. Returns 1, or 0 on failure.
    int (*close)(void* file);
    // Renames `from` over `to` in one step, durably. Returns 1, or 0; also 0
    // when `to` is marked read-only, which the user meant to keep as it is.
    int (*replace)(const char* from, const char* to);
    // Deletes `path`, ignoring failure.
    void (*remove)(const char* path);
    // Returns the system's code for the call that failed last (GetLastError
    // on Windows, errno elsewhere).
    int (*last_error)();
};

// The platform's own calls.
extern const SafeFileOps safefile_system_ops;

// Makes safefile_write use `ops`; nullptr restores safefile_system_ops.
// `ops` is borrowed and must outlive its use.
void safefile_set_ops(const SafeFileOps* ops);

// Writes `size` bytes as the new content of `path`. Returns 1, or 0 when any
// step fails; then the old file is untouched, no temporary file is left, and
// *error (when `error` is given) holds the system's code of the failed step,
// or 0 when there is none (no path, no memory).
int safefile_write(const char* path, const char* data, size_t size, int* error = nullptr);
