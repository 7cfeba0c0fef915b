// What the page shows, as plain functions of the journal: local days and
// clock times in the user's offset, the journal of one local day, and the
// texts the page downloads (JSON strings, the CSV time sheet).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/sheet.h"
#include "service/store.h"

// The local day (days since 1970-01-01) of the instant utc_ms for a user
// offset_minutes ahead of UTC; days before 1970 are negative.
int64_t web_local_day(int64_t utc_ms, int offset_minutes);

// "YYYY-MM-DD" for a local day.
std::string web_day_text(int64_t local_day);

// "+HH:MM" or "-HH:MM".
std::string web_offset_text(int offset_minutes);

// "HH:MM:SS" of utc_ms in a user's local time; "YYYY-MM-DD HH:MM:SS" when
// with_date is set.
std::string web_clock_text(int64_t utc_ms, int offset_minutes, bool with_date);

// The UTC instants [*from_ms, *to_ms) that hold every entry of local_day,
// whatever offset (UTC-12 to UTC+14) each entry was recorded with.
void web_day_window(int64_t local_day, int64_t* from_ms, int64_t* to_ms);

// Keeps the entries that fall in local_day by the offset each was recorded
// with, so that a day across a daylight-saving change keeps all of its
// events and none of its neighbours'.
std::vector<StoreJournalEntry> web_entries_of_day(const std::vector<StoreJournalEntry>& entries,
                                                  int64_t local_day);

// Adds the run [start_ms, end_ms) of task to rows (kept sorted by day then
// task), cut at the local midnights of offset_minutes, counting only the
// days [first_day, first_day + days). Used for the run still under way.
void web_add_run(std::vector<SheetDayHours>* rows, const std::string& task, int64_t start_ms,
                 int64_t end_ms, int offset_minutes, int64_t first_day, int days);

// text as a JSON string, quotes included. Bytes that are not valid UTF-8
// become U+FFFD, so the result is always valid JSON; '<', '>' and '&' are
// escaped too, so the text is inert even if a browser sniffs it as HTML.
std::string web_json_string(const std::string& text);

// The time sheet as CSV (RFC 4180, CRLF line ends, UTF-8 with a byte order
// mark so that spreadsheets read the accents): a header line, then one line
// per task per day with the day, the task, the seconds and the hours.
std::string web_timesheet_csv(const std::vector<SheetDayHours>& rows);
