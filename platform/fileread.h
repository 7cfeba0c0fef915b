// Reading a file in chunks, with the system's code for what went wrong, so
// that a file that exists but cannot be read is told apart from a missing one.
#pragma once

#include <cstddef>

// Opens `path` for reading, letting other programs read and write it too.
// Returns a handle for fileread_close, or nullptr with the system's code
// (GetLastError on Windows, errno elsewhere) in *error.
void* fileread_open(const char* path, int* error);

// Returns true when `error`, from fileread_open, says the file does not exist.
bool fileread_missing(int error);

// Reads up to `size` bytes at the current position. Returns the count, 0 at
// the end of the file, or -1 with the system's code in *error.
long fileread_read(void* file, char* buffer, size_t size, int* error);

// Goes back to the first byte. Returns true, or false with *error set.
bool fileread_rewind(void* file, int* error);

void fileread_close(void* file);
