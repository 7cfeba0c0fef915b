// The profile file: the task list with each task's seconds, as Windows text.
//
// On disk: a header, one line "index<TAB>name<TAB>seconds" per task in slot
// order (spaces in names written as underscores), a footer; every line ends in
// CR CR LF, as text-mode writing of "\r\n" gives on Windows. The same bytes
// are written on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

// Replaces the whole ledger with the tasks of the file; every task comes back
// stopped. Returns 1 when the file was read; 0 when the path is absent or the
// file cannot be opened or read (the ledger is then left as it was).
int32_t profile_load(const char* path);

// As profile_load, from `size` bytes of file content in memory. Returns 1, or
// 0 when memory runs out (the ledger is then left as it was).
int32_t profile_load_bytes(const char* data, size_t size);

// Writes the ledger to `path`, replacing the old file only once the new one is
// complete on the disk. Returns 1 when written; 0 when the path is absent or
// any step fails, and then the old file is untouched.
int32_t profile_save(const char* path);
