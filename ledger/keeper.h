// The rules that keep the user's profile from harm over the life of the
// process: a file that could not be read at start-up is never replaced; a
// file some of whose lines were not read is kept as it was, beside the
// profile, before the first save replaces it; and a failing save is told
// apart from one that failed before it.
#pragma once

#include <cstdint>

// What keeper_open found.
struct KeeperOpen {
    // 1 read; 0 no such file; -1 the file exists but could not be read: it
    // will not be replaced, and keeper_save saves nothing.
    int32_t result;
    // The system's code when the result is -1 (0 when there is none).
    int error;
    // Lines of the file that gave no task; the file as it was goes to the
    // backup (keeper_backup_path) before the first save.
    int32_t unread_lines;
};

// Loads the profile at `path` into the ledger and remembers the path for
// keeper_save. Forgets what an earlier keeper_open remembered.
KeeperOpen keeper_open(const char* path);

// The path of the copy of the file as it was: the profile's path + ".bak".
// Borrowed, valid until the next keeper_open; "" before the first.
const char* keeper_backup_path();

// What keeper_save did.
struct KeeperSave {
    // 1 saved; 0 failed, the old file untouched; -1 nothing written, because
    // the file could not be read at start-up (or keeper_open never ran).
    int32_t result;
    // The system's code of the failed step (0 when there is none).
    int error;
    // The save before this one failed too (the user was told then).
    bool failed_before;
};

// Saves the ledger to the profile, after writing the backup when one is due.
// A backup that cannot be written fails the save.
KeeperSave keeper_save();

// Forgets the path, the backup and the failures, as before keeper_open.
void keeper_close();
