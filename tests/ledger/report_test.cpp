#include "ledger/report.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ledger/ledger.h"
#include "tests/support/failing_ops.h"
#include "tests/support/manual_clock.h"
#include "tests/support/tempdir.h"

namespace {

// Escapes, not 'â', so that the test holds in a build without the
// Windows-1252 execution character set.
const std::string HEADING = " Zentrik Report\r\r\n" + std::string(55, '-') +
                            "\r\r\n\r\r\nListe des t\xE2" "ches - ";

// Fri 5 Jul 2002 13:05:10, local time.
time_t example_time()
{
    struct tm local = {};
    local.tm_year = 2002 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 5;
    local.tm_hour = 13;
    local.tm_min = 5;
    local.tm_sec = 10;
    local.tm_isdst = -1;
    return mktime(&local);
}

struct ReportTest : testing::Test {
    void SetUp() override { ledger_clear(); }
    void TearDown() override { ledger_clear(); }

    // Writes the report and returns its task lines and its total line,
    // without line ends.
    std::vector<std::string> written_lines()
    {
        EXPECT_EQ(report_write(path.c_str()), 0);
        std::string text = read_bytes(path);
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            size_t stop = end;
            while (stop > at && text[stop - 1] == '\r')
                --stop;
            lines.push_back(text.substr(at, stop - at));
            at = end + 1;
        }
        // Heading (5 lines), tasks, blank line, total.
        EXPECT_GE(lines.size(), 7u);
        if (lines.size() < 7)
            return {};
        return std::vector<std::string>(lines.begin() + 5, lines.end());
    }

    TempDir dir;
    std::string path = dir.file("report.txt");
};

}  // namespace

TEST_F(ReportTest, WritesTheExampleAndLeavesTheTaskRunning)
{
    const time_t now = example_time();
    ASSERT_NE(now, static_cast<time_t>(-1));
    ManualClock clock(now - 25);
    ASSERT_EQ(ledger_add_task("Client A", 3700), 0);
    ASSERT_EQ(ledger_start_task(0), 1);
    ASSERT_EQ(ledger_add_task("Mail", 60), 1);
    clock.set(now);

    ASSERT_EQ(report_write(path.c_str()), 0);
    EXPECT_EQ(read_bytes(path),
              HEADING + "Fri Jul 05 13:05:10 2002\r\n"
                        "\r\r\n"
                        " +   1 | Client A                       | 1h 2m 5s.\r\n"
                        " -   2 | Mail                           | 0h 1m 0s.\r\n"
                        "\r\r\n"
                        "       | Total time                     | 1h 3m 5s.\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(ledger_current_index(), 0);
    EXPECT_TRUE(task_is_running(ledger_task_at(0)));
    clock.advance(5);
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 3730);
}

TEST(ReportDateText, NamesAndLeadingZeros)
{
    struct Case {
        int wday, mon, mday, hour, min, sec, year;
        const char* text;
    };
    // The first of each month of 2002 falls on every day of the week.
    const Case cases[] = {
        {2, 0, 1, 0, 0, 0, 2002, "Tue Jan 01 00:00:00 2002\n"},
        {5, 1, 1, 23, 59, 59, 2002, "Fri Feb 01 23:59:59 2002\n"},
        {5, 2, 1, 9, 8, 7, 2002, "Fri Mar 01 09:08:07 2002\n"},
        {1, 3, 1, 10, 10, 10, 2002, "Mon Apr 01 10:10:10 2002\n"},
        {3, 4, 1, 12, 0, 0, 2002, "Wed May 01 12:00:00 2002\n"},
        {6, 5, 1, 12, 0, 0, 2002, "Sat Jun 01 12:00:00 2002\n"},
        {1, 6, 1, 12, 0, 0, 2002, "Mon Jul 01 12:00:00 2002\n"},
        {4, 7, 1, 12, 0, 0, 2002, "Thu Aug 01 12:00:00 2002\n"},
        {0, 8, 1, 12, 0, 0, 2002, "Sun Sep 01 12:00:00 2002\n"},
        {2, 9, 1, 12, 0, 0, 2002, "Tue Oct 01 12:00:00 2002\n"},
        {5, 10, 1, 12, 0, 0, 2002, "Fri Nov 01 12:00:00 2002\n"},
        {2, 11, 31, 12, 0, 0, 2002, "Tue Dec 31 12:00:00 2002\n"},
        {5, 6, 5, 13, 5, 10, 2002, "Fri Jul 05 13:05:10 2002\n"},
        {6, 11, 31, 23, 59, 60, 2016, "Sat Dec 31 23:59:60 2016\n"},
        {1, 0, 1, 0, 0, 0, 1900, "Mon Jan 01 00:00:00 1900\n"},
        {6, 0, 1, 0, 0, 0, 10000, "Sat Jan 01 00:00:00 10000\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        struct tm when = {};
        when.tm_wday = c.wday;
        when.tm_mon = c.mon;
        when.tm_mday = c.mday;
        when.tm_hour = c.hour;
        when.tm_min = c.min;
        when.tm_sec = c.sec;
        when.tm_year = c.year - 1900;
        char out[64];
        EXPECT_EQ(report_date_text(when, out), strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
}

TEST(ReportDateText, FieldsOutOfRangeGiveNothing)
{
    struct Case {
        const char* label;
        int tm::*field;
        int value;
    };
    const Case cases[] = {
        {"weekday -1", &tm::tm_wday, -1}, {"weekday 7", &tm::tm_wday, 7},
        {"month -1", &tm::tm_mon, -1},    {"month 12", &tm::tm_mon, 12},
        {"day 0", &tm::tm_mday, 0},       {"day 32", &tm::tm_mday, 32},
        {"hour -1", &tm::tm_hour, -1},    {"hour 24", &tm::tm_hour, 24},
        {"minute -1", &tm::tm_min, -1},   {"minute 60", &tm::tm_min, 60},
        {"second -1", &tm::tm_sec, -1},   {"second 61", &tm::tm_sec, 61},
        {"year INT_MAX", &tm::tm_year, INT_MAX},
        {"year INT_MAX - 1899", &tm::tm_year, INT_MAX - 1899},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        struct tm when = {};
        when.tm_wday = 5;
        when.tm_mon = 6;
        when.tm_mday = 5;
        when.tm_year = 102;
        when.*c.field = c.value;
        char out[64];
        EXPECT_EQ(report_date_text(when, out), 0u);
    }
}

TEST_F(ReportTest, EmptyLedger)
{
    ManualClock clock(example_time());
    ASSERT_EQ(report_write(path.c_str()), 0);
    EXPECT_EQ(read_bytes(path), HEADING + "Fri Jul 05 13:05:10 2002\r\n\r\r\n\r\r\n"
                                          "       | Total time                     | 0h 0m 0s.\r\n");
}

TEST_F(ReportTest, NumbersAreSlotsSoRemovalsLeaveGaps)
{
    ledger_add_task("a", 1);
    ledger_add_task("b", 2);
    ledger_add_task("c", 3);
    ASSERT_EQ(ledger_remove_task_named("b"), 0);
    EXPECT_EQ(written_lines(), (std::vector<std::string>{
                                   " -   1 | a                              | 0h 0m 1s.",
                                   " -   3 | c                              | 0h 0m 3s.",
                                   "",
                                   "       | Total time                     | 0h 0m 4s.",
                               }));
}

TEST_F(ReportTest, NamesArePaddedToThirtyAndNeverCut)
{
    ledger_add_task("A name that is longer than thirty bytes", 0);
    ledger_add_task("B name of exactly thirty bytes", 0);
    EXPECT_EQ(written_lines(), (std::vector<std::string>{
                                   " -   1 | A name that is longer than thirty bytes | 0h 0m 0s.",
                                   " -   2 | B name of exactly thirty bytes | 0h 0m 0s.",
                                   "",
                                   "       | Total time                     | 0h 0m 0s.",
                               }));
}

TEST_F(ReportTest, NumbersAboveNineHundredNinetyNineWidenTheColumn)
{
    for (int i = 0; i <= 1000; ++i) {
        char name[16];
        snprintf(name, sizeof name, "t%04d", i);
        ASSERT_EQ(ledger_add_task(name, 1), i);
    }
    std::vector<std::string> lines = written_lines();
    ASSERT_EQ(lines.size(), 1003u);
    EXPECT_EQ(lines[998], " - 999 | t0998                          | 0h 0m 1s.");
    EXPECT_EQ(lines[999], " - 1000 | t0999                          | 0h 0m 1s.");
    EXPECT_EQ(lines[1000], " - 1001 | t1000                          | 0h 0m 1s.");
    EXPECT_EQ(lines[1002], "       | Total time                     | 0h 16m 41s.");
}

TEST_F(ReportTest, HoursMinutesAndSeconds)
{
    ledger_add_task("a", 3599);
    ledger_add_task("b", 3600);
    ledger_add_task("c", 90000);
    EXPECT_EQ(written_lines(), (std::vector<std::string>{
                                   " -   1 | a                              | 0h 59m 59s.",
                                   " -   2 | b                              | 1h 0m 0s.",
                                   " -   3 | c                              | 25h 0m 0s.",
                                   "",
                                   "       | Total time                     | 26h 59m 59s.",
                               }));
}

TEST_F(ReportTest, NoPathFails)
{
    EXPECT_EQ(report_write(nullptr), -1);
    EXPECT_EQ(report_write(""), -1);
    EXPECT_EQ(report_write(dir.file("missing/report.txt").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST_F(ReportTest, AFailedWriteLeavesTheOldFile)
{
    const std::string old = "old report\r\n";
    ledger_add_task("a", 1);
    for (FailAt step : {FailAt::Create, FailAt::Write, FailAt::Flush, FailAt::Close,
                        FailAt::Replace}) {
        SCOPED_TRACE("failing step " + std::to_string(static_cast<int>(step)));
        write_bytes(path, old);
        {
            FailingOpsScope failing(step);
            EXPECT_EQ(report_write(path.c_str()), -1);
        }
        EXPECT_EQ(read_bytes(path), old);
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    }
}
