#include "service/web_report.h"

#include <algorithm>
#include <cstdio>

static const int64_t DAY_MS = 86400000;
static const int64_t MINUTE_MS = 60000;

// Division rounding towards minus infinity: instants before 1970 (and west
// of UTC just after it) must not land on the day after.
static int64_t floor_div(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t web_local_day(int64_t utc_ms, int offset_minutes)
{
    return floor_div(utc_ms + offset_minutes * MINUTE_MS, DAY_MS);
}

// Year, month and day of a count of days since 1970-01-01 (the proleptic
// Gregorian calendar, by eras of 400 years).
static void civil_from_days(int64_t days, int* year, int* month, int* day)
{
    days += 719468;
    int64_t era = floor_div(days, 146097);
    int64_t doe = days - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    *day = int(doy - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

std::string web_day_text(int64_t local_day)
{
    int y, m, d;
    civil_from_days(local_day, &y, &m, &d);
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

std::string web_offset_text(int offset_minutes)
{
    char text[16];
    int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    snprintf(text, sizeof text, "%c%02d:%02d", offset_minutes < 0 ? '-' : '+', magnitude / 60,
             magnitude % 60);
    return text;
}

std::string web_clock_text(int64_t utc_ms, int offset_minutes, bool with_date)
{
    int64_t local_ms = utc_ms + offset_minutes * MINUTE_MS;
    int64_t day = floor_div(local_ms, DAY_MS);
    int64_t second = (local_ms - day * DAY_MS) / 1000;
    char text[48];
    snprintf(text, sizeof text, "%02d:%02d:%02d", int(second / 3600), int(second / 60 % 60),
             int(second % 60));
    return with_date ? web_day_text(day) + " " + text : std::string(text);
}

void web_day_window(int64_t local_day, int64_t* from_ms, int64_t* to_ms)
{
    // local = utc + offset, with offsets from -12 h to +14 h.
    *from_ms = local_day * DAY_MS - 14 * 60 * MINUTE_MS;
    *to_ms = (local_day + 1) * DAY_MS + 12 * 60 * MINUTE_MS;
}

std::vector<StoreJournalEntry> web_entries_of_day(const std::vector<StoreJournalEntry>& entries,
                                                  int64_t local_day)
{
    std::vector<StoreJournalEntry> kept;
    for (const StoreJournalEntry& entry : entries)
        if (web_local_day(entry.utc_ms, entry.utc_offset_minutes) == local_day)
            kept.push_back(entry);
    return kept;
}

void web_add_run(std::vector<SheetDayHours>* rows, const std::string& task, int64_t start_ms,
                 int64_t end_ms, int offset_minutes, int64_t first_day, int days)
{
    int64_t offset_ms = offset_minutes * MINUTE_MS;
    for (int64_t day = web_local_day(start_ms, offset_minutes); end_ms > start_ms; ++day) {
        int64_t midnight = (day + 1) * DAY_MS - offset_ms;
        int64_t piece_end = std::min(end_ms, midnight);
        if (day >= first_day && day < first_day + days) {
            int64_t seconds = (piece_end - start_ms) / 1000;
            auto at = std::find_if(rows->begin(), rows->end(), [&](const SheetDayHours& row) {
                return row.local_day > day || (row.local_day == day && row.task >= task);
            });
            if (at != rows->end() && at->local_day == day && at->task == task)
                at->seconds += seconds;
            else
                rows->insert(at, SheetDayHours{task, day, seconds});
        }
        start_ms = piece_end;
    }
}

// Length of the UTF-8 sequence at text[i], or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF included).
static size_t utf8_sequence(const std::string& text, size_t i)
{
    unsigned char c = text[i];
    if (c < 0x80)
        return 1;
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size())
        return 0;
    unsigned value = c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = text[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (next & 0x3F);
    }
    if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    return length;
}

std::string web_json_string(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        size_t length = utf8_sequence(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
        i += length;
    }
    return out + "\"";
}

// One CSV field: quoted when it holds a comma, a quote, a line break or
// blanks at either end, with its quotes doubled.
static std::string csv_field(const std::string& text)
{
    bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                 (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string web_timesheet_csv(const std::vector<SheetDayHours>& rows)
{
    // u8 literals stay UTF-8 whatever the compiler's execution character set.
    std::string out = "\xEF\xBB\xBF" + std::string(reinterpret_cast<const char*>(
                                           u8"jour,tâche,secondes,heures\r\n"));
    for (const SheetDayHours& row : rows) {
        char numbers[64];
        snprintf(numbers, sizeof numbers, ",%lld,%.2f\r\n", (long long)row.seconds,
                 row.seconds / 3600.0);
        out += web_day_text(row.local_day) + "," + csv_field(row.task) + numbers;
    }
    return out;
}
