// The profile file: the task list with each task's seconds, as Windows text.
//
// On disk: a header, one line "index<TAB>name<TAB>seconds" per task in slot
// order (spaces in names written as underscores), a footer; every line ends in
// CR CR LF, as text-mode writing of "\r\n" gives on Windows. The same bytes
// are written on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What profile_read found.
struct ProfileLoad {
    // 1 read; 0 no such file (or no path); -1 the file exists but could not
    // be read, or memory ran out.
    int32_t result = 0;
    // The system's code when the result is -1; 0 when there is none.
    int error = 0;
    // Lines that were neither comments nor blank and gave no task (a field
    // missing or unreadable, a name seen before, text after a Ctrl-Z, a line
    // over the length limit): a save drops them.
    int32_t unread_lines = 0;
    // The file's bytes as they were, kept only when unread_lines > 0.
    std::string original;
};

// Replaces the whole ledger with the tasks of the file; every task comes back
// stopped. Returns load.result; on 0 or -1 the ledger is left as it was.
int32_t profile_read(const char* path, ProfileLoad& load);

// As profile_read. Returns 1 when the file was read; 0 when the path is
// absent or the file cannot be opened or read.
int32_t profile_load(const char* path);

// As profile_load, from `size` bytes of file content in memory. Returns 1, or
// 0 when memory runs out (the ledger is then left as it was). Gives the count
// of lines that gave no task in *unread_lines when that is not nullptr.
int32_t profile_load_bytes(const char* data, size_t size, int32_t* unread_lines = nullptr);

// Writes the ledger to `path`, replacing the old file only once the new one is
// complete on the disk. Returns 1 when written; 0 when the path is absent or
// any step fails, and then the old file is untouched and *error (when given)
// holds the system's code of the failed step, or 0 when there is none.
int32_t profile_save(const char* path, int* error = nullptr);

// Why the profile could not carry a task name back as it is.
enum : int32_t {
    PROFILE_NAME_OK = 0,
    // A TAB or another blank than the space: it ends the name in the file.
    PROFILE_NAME_BLANK = 1,
    // Written like the name of another task of the ledger (spaces are written
    // as underscores), so one of the two would be dropped at the next load.
    PROFILE_NAME_CLASH = 2,
};

// Returns PROFILE_NAME_OK when `name` may be added: it comes back from the
// file as the same task, or it is the name of a task already there.
int32_t profile_name_problem(const char* name);
