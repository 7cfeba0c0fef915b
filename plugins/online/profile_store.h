// Reading and writing one value of an INI file. In the Windows build these
// are the private-profile functions; elsewhere ini_file_read and
// ini_file_write, written to give the same results.
#pragma once

#include <cstddef>

// Copies the value of `key` in `section` of the file `path` into `buffer`
// (`size` bytes, size >= 1), cut to size - 1 characters, the empty text when
// the file, section or key is missing. Returns the number of characters
// copied.
size_t profile_store_read(const char* section, const char* key, char* buffer, size_t size,
                          const char* path);

// Sets `key` = `value` in `section` of `path`, creating the file, the section
// or the key as needed. Returns 1, or 0 with the system's error code in
// *error.
int profile_store_write(const char* section, const char* key, const char* value,
                        const char* path, int* error);

// Our own INI reader and writer, with the same contract as the two above:
// section and key names match without regard to letter case and to blanks
// around them; a value loses its surrounding blanks and one pair of
// surrounding quotes; the first matching section and key count; lines may
// end with CR LF or LF. Writing keeps every other line as it was and ends
// the lines it writes with CR LF.
size_t ini_file_read(const char* section, const char* key, char* buffer, size_t size,
                     const char* path);
int ini_file_write(const char* section, const char* key, const char* value, const char* path,
                   int* error);
