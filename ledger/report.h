// The time report: every task with its time in hours, minutes and seconds,
// the running one marked, and the total, as Windows text.
#pragma once

#include <cstdint>
#include <ctime>

// Writes the report of the ledger, dated now (local time), to `path`.
// Returns 0 when written; -1 when the path is absent or empty or any step
// fails, and then an old file of that name is untouched.
int32_t report_write(const char* path);

// Writes the date text of `when` into `out`: "Fri Jul 05 13:05:10 2002\n" (the
// day with a leading zero, not a space). Returns the number of bytes written
// without the NUL, or 0 when the fields are out of range.
size_t report_date_text(const struct tm& when, char (&out)[64]);
