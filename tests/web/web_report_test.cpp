#include "service/web_report.h"

#include <gtest/gtest.h>

static const int64_t HOUR_MS = 3600000;

// 2026-03-29 00:00 UTC: Paris leaves UTC+1 for UTC+2 at 01:00 UTC that day.
static const int64_t MARCH_29_MS = 1774742400000LL;
static const int64_t MARCH_29 = MARCH_29_MS / 86400000;

TEST(WebReport, LocalDaysAndClocks)
{
    struct Case {
        int64_t utc_ms;
        int offset;
        const char* local;
    } cases[] = {
        {0, 0, "1970-01-01 00:00:00"},
        {0, -60, "1969-12-31 23:00:00"},
        {-1, 0, "1969-12-31 23:59:59"},
        {MARCH_29_MS - HOUR_MS / 2, 60, "2026-03-29 00:30:00"},
        {MARCH_29_MS + 22 * HOUR_MS + 30 * 60000, 120, "2026-03-30 00:30:00"},
        {951782400000LL, 0, "2000-02-29 00:00:00"},
        {MARCH_29_MS, -570, "2026-03-28 14:30:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(web_clock_text(c.utc_ms, c.offset, true), c.local) << c.utc_ms << " " << c.offset;
        EXPECT_EQ(web_day_text(web_local_day(c.utc_ms, c.offset)), std::string(c.local, 10));
    }
    EXPECT_EQ(web_clock_text(MARCH_29_MS + 5 * 3600000 + 7 * 60000 + 9000, 0, false), "05:07:09");
    EXPECT_EQ(web_offset_text(120), "+02:00");
    EXPECT_EQ(web_offset_text(-570), "-09:30");
    EXPECT_EQ(web_offset_text(0), "+00:00");
}

static StoreJournalEntry entry(int64_t utc_ms, int offset, const char* task)
{
    StoreJournalEntry e;
    e.utc_ms = utc_ms;
    e.utc_offset_minutes = offset;
    e.task = task;
    return e;
}

// Each event belongs to the day of the offset it was recorded with: one
// offset for the whole day would take the last event of the day before
// (23:30 at UTC+1 reads 00:30 at UTC+2) or lose the first one.
TEST(WebReport, DayOfJournalAcrossDaylightSavingChange)
{
    std::vector<StoreJournalEntry> entries = {
        entry(MARCH_29_MS - 90 * 60000, 60, "eve"),          // 28th 23:30 +1
        entry(MARCH_29_MS - 30 * 60000, 60, "first"),        // 29th 00:30 +1
        entry(MARCH_29_MS + 90 * 60000, 120, "after change"),  // 29th 03:30 +2
        entry(MARCH_29_MS + 21 * HOUR_MS + 30 * 60000, 120, "last"),  // 29th 23:30 +2
        entry(MARCH_29_MS + 22 * HOUR_MS + 30 * 60000, 120, "next day"),  // 30th 00:30 +2
    };
    std::vector<std::string> tasks;
    for (const StoreJournalEntry& e : web_entries_of_day(entries, MARCH_29))
        tasks.push_back(e.task);
    EXPECT_EQ(tasks, (std::vector<std::string>{"first", "after change", "last"}));

    int64_t from_ms, to_ms;
    web_day_window(MARCH_29, &from_ms, &to_ms);
    for (const StoreJournalEntry& e : entries) {
        if (web_local_day(e.utc_ms, e.utc_offset_minutes) == MARCH_29) {
            EXPECT_TRUE(e.utc_ms >= from_ms && e.utc_ms < to_ms) << e.task;
        }
    }
    // The ends of the window: UTC+14 and UTC-12.
    EXPECT_EQ(web_local_day(from_ms, 14 * 60), MARCH_29);
    EXPECT_EQ(web_local_day(to_ms - 1, -12 * 60), MARCH_29);
}

TEST(WebReport, RunUnderWayIsCutAtLocalMidnightsAndClipped)
{
    std::vector<SheetDayHours> rows = {{"Projet", MARCH_29 - 1, 100}, {"Zeta", MARCH_29, 5}};
    // 22:00 on the 28th to 02:00 on the 30th, local UTC+2; only the 28th and
    // 29th are asked for.
    int64_t start = MARCH_29_MS - 2 * HOUR_MS - 2 * HOUR_MS;
    web_add_run(&rows, "Projet", start, start + 28 * HOUR_MS, 120, MARCH_29 - 1, 2);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].task, "Projet");
    EXPECT_EQ(rows[0].local_day, MARCH_29 - 1);
    EXPECT_EQ(rows[0].seconds, 100 + 2 * 3600);
    EXPECT_EQ(rows[1].task, "Projet");
    EXPECT_EQ(rows[1].local_day, MARCH_29);
    EXPECT_EQ(rows[1].seconds, 24 * 3600);
    EXPECT_EQ(rows[2].task, "Zeta");

    std::vector<SheetDayHours> none;
    web_add_run(&none, "Projet", start, start, 120, MARCH_29 - 1, 2);
    EXPECT_TRUE(none.empty());
}

TEST(WebReport, JsonStringsAreAlwaysValidAndInert)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", "\"\""},
        {"R\xC3\xA9union \"A\" \\", "\"R\xC3\xA9union \\\"A\\\" \\\\\""},
        {"a\nb\x01", "\"a\\u000ab\\u0001\""},
        {"</script><b>&", "\"\\u003c/script\\u003e\\u003cb\\u003e\\u0026\""},
        {"caf\xE9", "\"caf\\ufffd\""},                  // Windows-1252, not UTF-8
        {"\xC0\xAF", "\"\\ufffd\\ufffd\""},              // overlong '/'
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // a surrogate
        {"\xE2\x82", "\"\\ufffd\\ufffd\""},              // cut short
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(web_json_string(c.in), c.out) << c.in;
}

TEST(WebReport, TimesheetCsvQuotesWhatItMust)
{
    std::vector<SheetDayHours> rows = {
        {"Projet A", MARCH_29, 5400},
        {"R\xC3\xA9union, \"\xC3\xA9quipe\"", MARCH_29, 1},
        {"deux\nlignes", MARCH_29 + 1, 36000},
        {" blanc", MARCH_29 + 1, 0},
    };
    EXPECT_EQ(web_timesheet_csv(rows),
              "\xEF\xBB\xBFjour,t\xC3\xA2" "che,secondes,heures\r\n"
              "2026-03-29,Projet A,5400,1.50\r\n"
              "2026-03-29,\"R\xC3\xA9union, \"\"\xC3\xA9quipe\"\"\",1,0.00\r\n"
              "2026-03-30,\"deux\nlignes\",36000,10.00\r\n"
              "2026-03-30,\" blanc\",0,0.00\r\n");
    EXPECT_EQ(web_timesheet_csv({}), "\xEF\xBB\xBFjour,t\xC3\xA2" "che,secondes,heures\r\n");
}
