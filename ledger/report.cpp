#include "ledger/report.h"

#include <climits>
#include <cstdio>
#include <new>
#include <string>

#include "ledger/clock.h"
#include "ledger/ledger.h"
#include "ledger/textfile.h"

size_t report_date_text(const struct tm& when, char (&out)[64])
{
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // tm_sec reaches 60 in a leap second; the year must not overflow when 1900
    // is added.
    if (when.tm_wday < 0 || when.tm_wday > 6 || when.tm_mon < 0 || when.tm_mon > 11 ||
        when.tm_mday < 1 || when.tm_mday > 31 || when.tm_hour < 0 || when.tm_hour > 23 ||
        when.tm_min < 0 || when.tm_min > 59 || when.tm_sec < 0 || when.tm_sec > 60 ||
        when.tm_year > INT_MAX - 1900)
        return 0;
    int n = snprintf(out, sizeof out, "%s %s %02d %02d:%02d:%02d %d\n", DAYS[when.tm_wday],
                     MONTHS[when.tm_mon], when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec,
                     when.tm_year + 1900);
    return n > 0 && static_cast<size_t>(n) < sizeof out ? static_cast<size_t>(n) : 0;
}

// Pads to `width` columns; a longer text is written whole.
static void append_padded(std::string& out, const std::string& text, size_t width, bool left)
{
    if (!left && text.size() < width)
        out.append(width - text.size(), ' ');
    out += text;
    if (left && text.size() < width)
        out.append(width - text.size(), ' ');
}

// " | <h>h <m>m <s>s.\n": hours are not reduced modulo 24.
static void append_time(std::string& out, int64_t seconds)
{
    int64_t h = seconds / 3600, m = (seconds - 3600 * h) / 60, s = seconds - 3600 * h - 60 * m;
    out += " | ";
    textfile_append_int(out, h);
    out += "h ";
    textfile_append_int(out, m);
    out += "m ";
    textfile_append_int(out, s);
    out += "s.\n";
}

// The report as " %c %3d | %-30s | %dh %dm %ds.\n" lines between a heading
// and a total line.
static bool build_report(std::string& text, time_t now)
{
    const struct tm* local = localtime(&now);
    char date[64];
    if (!local || report_date_text(*local, date) == 0)
        return false;
    text += " Zentrik Report\r\n-------------------------------------------------------\r\n\r\n"
            "Liste des tâches - ";
    text += date;
    text += "\r\n";
    int64_t total = 0;
    std::string number;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (!task)
            continue;
        int32_t elapsed = task_elapsed(task);
        total += elapsed;
        text += ' ';
        text += task_is_running(task) ? '+' : '-';
        text += ' ';
        number.clear();
        textfile_append_int(number, i + 1);
        append_padded(text, number, 3, false);
        text += " | ";
        append_padded(text, task->name, 30, true);
        append_time(text, elapsed);
    }
    text += "\r\n       | ";
    append_padded(text, "Total time", 30, true);
    append_time(text, total);
    return true;
}

int32_t report_write(const char* path)
{
    if (!path || !*path)
        return -1;
    std::string text;
    try {
        text.reserve(256 + 64 * static_cast<size_t>(ledger_task_count()));
        if (!build_report(text, clock_now()))
            return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return textfile_write(path, text) ? 0 : -1;
}
