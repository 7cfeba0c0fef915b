// Text files written the way the Windows C library writes in text mode: every
// LF reaches the disk as CR LF (so "\r\n" in the text gives CR CR LF). Done by
// hand, so that every platform writes the same bytes.
#pragma once

#include <cstddef>
#include <string>

// Writes `text` to `path` in text mode, replacing the old file only once the
// new one is complete on the disk. Returns 1, or 0 when memory runs out or
// any step fails (the old file is then untouched); then *error, when given,
// holds the system's code of the failed step, or 0 when there is none.
int textfile_write(const char* path, const std::string& text, int* error = nullptr);

// Appends the decimal form of `value` to `out`. Throws std::bad_alloc.
void textfile_append_int(std::string& out, long long value);
