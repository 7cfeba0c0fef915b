#include <climits>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "ledger/task.h"
#include "tests/support/manual_clock.h"

TEST(Task, DefaultNameUsesTheIdInLowerCaseHex)
{
    Plorvin first(nullptr, 0);
    Plorvin second("", 0);
    Plorvin named("Mail", 0);
    EXPECT_EQ(second.id, first.id + 1);
    char expected[32];
    snprintf(expected, sizeof expected, "t\xe2" "che #%x", static_cast<unsigned>(first.id));
    EXPECT_STREQ(task_name(&first), expected);
    snprintf(expected, sizeof expected, "t\xe2" "che #%x", static_cast<unsigned>(second.id));
    EXPECT_STREQ(task_name(&second), expected);
    EXPECT_STREQ(task_name(&named), "Mail");
}

TEST(Task, NegativeSecondsAreStoredAsZero)
{
    Plorvin task("a", -5);
    EXPECT_EQ(task.seconds, 0);
    EXPECT_FALSE(task_is_running(&task));
}

TEST(Task, NameCopyIsAnIndependentHeapCopy)
{
    Plorvin task("R\xe9union", 0);
    std::unique_ptr<char[]> copy(task_name_copy(&task));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy.get(), "R\xe9union");
    EXPECT_NE(copy.get(), task_name(&task));
}

TEST(Task, RunsAccumulateOnStop)
{
    ManualClock clock(1000000);
    Plorvin task("a", 30);
    EXPECT_TRUE(task_start(&task));
    EXPECT_FALSE(task_start(&task));  // already running: nothing changes
    clock.advance(90);
    EXPECT_EQ(task_elapsed(&task), 120);
    EXPECT_TRUE(task_stop(&task));
    EXPECT_FALSE(task_stop(&task));
    EXPECT_EQ(task.seconds, 120);
    clock.advance(50);
    EXPECT_EQ(task_elapsed(&task), 120);  // stopped: the clock no longer counts
}

TEST(Task, SetSecondsKeepsTheRunGoing)
{
    ManualClock clock(1000000);
    Plorvin task("a", 30);
    task_start(&task);
    clock.advance(90);
    task_set_seconds(&task, 0);
    EXPECT_EQ(task_elapsed(&task), 90);
    task_set_seconds(&task, -1);  // ignored
    EXPECT_EQ(task_elapsed(&task), 90);
    EXPECT_TRUE(task_is_running(&task));
}

TEST(Task, ResetDiscardsTheRun)
{
    ManualClock clock(1000000);
    Plorvin task("a", 30);
    task_start(&task);
    clock.advance(90);
    task_reset(&task);
    EXPECT_FALSE(task_is_running(&task));
    EXPECT_EQ(task_elapsed(&task), 0);
}

TEST(Task, ClockSetBackNeverTakesTimeAway)
{
    ManualClock clock(1000000);
    Plorvin task("a", 100);
    task_start(&task);
    clock.advance(-3600);
    EXPECT_EQ(task_elapsed(&task), 100);
    EXPECT_TRUE(task_stop(&task));
    EXPECT_EQ(task.seconds, 100);
}

// The user or a time server sets the system time while a task runs: the run
// keeps its seconds, and only the date moves.
TEST(Task, SettingTheSystemTimeNeitherAddsNorTakesSeconds)
{
    ManualClock clock(1000000);
    Plorvin task("a", 0);
    task_start(&task);
    clock.advance(130);
    EXPECT_EQ(task_elapsed(&task), 130);
    clock.jump(-3600);
    EXPECT_EQ(task_elapsed(&task), 130);
    clock.advance(10);
    EXPECT_EQ(task_elapsed(&task), 140);
    clock.jump(7200);
    EXPECT_EQ(task_elapsed(&task), 140);
    EXPECT_TRUE(task_stop(&task));
    EXPECT_EQ(task.seconds, 140);
    EXPECT_EQ(clock_now(), 1000000 + 140 + 3600);
}

// The system's clocks: a run counts the seconds the wall clock shows.
TEST(Task, TheRunClockKeepsStepWithTheWallClock)
{
    int64_t run = clock_run_seconds();
    int64_t wall = clock_now();
    EXPECT_LE(run > wall ? run - wall : wall - run, 1);
}

TEST(Task, SecondsSaturateInsteadOfWrapping)
{
    ManualClock clock(1000000);
    Plorvin task("a", INT32_MAX - 10);
    task_start(&task);
    clock.advance(100);
    EXPECT_EQ(task_elapsed(&task), INT32_MAX);
    task_stop(&task);
    EXPECT_EQ(task.seconds, INT32_MAX);
}

TEST(Task, RunsPastTheYear2038)
{
    static_assert(sizeof(time_t) >= 8, "the start of a run needs more than 32 bits");
    const time_t after_2038 = static_cast<time_t>(INT32_MAX) + 1000;
    ManualClock clock(after_2038);
    Plorvin task("a", 0);
    task_start(&task);
    EXPECT_TRUE(task_is_running(&task));
    clock.advance(61);
    EXPECT_EQ(task_elapsed(&task), 61);
    task_stop(&task);
    EXPECT_FALSE(task_is_running(&task));
    EXPECT_EQ(task.seconds, 61);
}

TEST(Task, StartsEvenWithTheClockAtTheEpoch)
{
    ManualClock clock(0);
    Plorvin task("a", 0);
    EXPECT_TRUE(task_start(&task));
    EXPECT_TRUE(task_is_running(&task));
}
