#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "tests/support/manual_clock.h"

namespace {

struct LedgerTest : ::testing::Test {
    void SetUp() override { ledger_clear(); }
    void TearDown() override { ledger_clear(); }

    // The slot table as text: names in slot order, "-" for an empty slot.
    static std::string slots()
    {
        std::string all;
        for (int32_t i = 0; i < ledger_slot_count(); ++i) {
            if (!all.empty())
                all += ',';
            const Plorvin* task = ledger_task_at(i);
            all += task ? task_name(task) : "-";
        }
        return all;
    }
    static std::string name_at(int32_t index) { return task_name(ledger_task_at(index)); }

    ManualClock clock{1000000};
};

int sign(int value)
{
    return (value > 0) - (value < 0);
}

}  // namespace

TEST(NameOrder, ComparesFoldedBytes)
{
    struct Case {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"apple", "Banana", -1},  // folded, 'A' < 'B'
        {"Zed", "_x", -1},        // '_' (0x5F) is above 'Z'
        {"abc", "ABC", 0},        // equal in order, though different names
        {"ab", "abc", -1},        // a prefix first
        {"", "a", -1},
        {"\xe9t\xe9", "zoo", 1},  // accented bytes compare unsigned, unfolded
        {"\xc9", "\xe9", -1},
        {"a[", "AZ", 1},          // '[' is above 'Z' and stays so
        {"a`", "A`", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(ledger_compare_names(c.a, c.b)), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(ledger_compare_names(c.b, c.a)), -c.order) << c.b << " vs " << c.a;
    }
}

TEST_F(LedgerTest, AddsInNameOrder)
{
    for (const char* name : {"beta", "Alpha", "alpha2", "_misc"})
        EXPECT_GE(ledger_add_task(name, 0), 0);
    EXPECT_EQ(slots(), "Alpha,alpha2,beta,_misc");
    EXPECT_EQ(ledger_task_count(), 4);
    EXPECT_EQ(ledger_find_task("beta"), 2);
    EXPECT_EQ(ledger_add_task("Zulu", 0), 3);  // returns where the task now stands
}

TEST_F(LedgerTest, AddingAnExistingNameChangesNothing)
{
    ledger_add_task("Mail", 60);
    ledger_add_task("Client A", 5);
    EXPECT_EQ(ledger_add_task("Mail", 999), 1);
    EXPECT_EQ(ledger_task_count(), 2);
    EXPECT_EQ(task_elapsed(ledger_task_at(1)), 60);
}

TEST_F(LedgerTest, NamesDifferingInCaseAreTwoTasksSideBySide)
{
    ledger_add_task("Foo", 0);
    ledger_add_task("bar", 0);
    ledger_add_task("foo", 0);
    EXPECT_EQ(slots(), "bar,Foo,foo");
    EXPECT_EQ(ledger_find_task("foo"), 2);
    EXPECT_EQ(ledger_find_task("FOO"), -1);
    EXPECT_EQ(ledger_find_task(nullptr), -1);
}

TEST_F(LedgerTest, EmptyNamesGetDefaultNamesWithIdsThatNeverRestart)
{
    int32_t first = ledger_add_task("", 0);
    int32_t second = ledger_add_task(nullptr, 0);
    int first_id = ledger_task_at(first)->id;
    EXPECT_EQ(ledger_task_at(second)->id, first_id + 1);
    EXPECT_EQ(ledger_task_count(), 2);
    ledger_clear();
    EXPECT_GT(ledger_task_at(ledger_add_task("", -5))->id, first_id + 1);
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 0);
}

TEST_F(LedgerTest, RemovalLeavesAnEmptySlotThatTheNextAdditionFills)
{
    for (const char* name : {"a", "b", "c"})
        ledger_add_task(name, 0);
    EXPECT_EQ(ledger_remove_task(1), 0);
    EXPECT_EQ(slots(), "a,-,c");
    EXPECT_EQ(ledger_task_count(), 2);
    EXPECT_EQ(ledger_remove_task(1), -2);
    EXPECT_EQ(ledger_remove_task(3), -1);
    EXPECT_EQ(ledger_remove_task(-1), -1);
    EXPECT_EQ(ledger_add_task("d", 0), 2);
    EXPECT_EQ(slots(), "a,c,d");
}

TEST_F(LedgerTest, AdditionMovesEmptySlotsToTheFront)
{
    for (const char* name : {"a", "b", "c", "d"})
        ledger_add_task(name, 0);
    ledger_remove_task(1);
    ledger_remove_task(3);
    EXPECT_EQ(slots(), "a,-,c,-");
    EXPECT_EQ(ledger_add_task("bb", 0), 2);
    EXPECT_EQ(slots(), "-,a,bb,c");
    EXPECT_EQ(ledger_find_task("c"), 3);
}

TEST_F(LedgerTest, LastTaskOfAOneSlotTableIsReplacedInPlace)
{
    ledger_add_task("a", 0);
    ledger_remove_task(0);
    EXPECT_EQ(ledger_add_task("b", 0), 0);
    EXPECT_EQ(ledger_slot_count(), 1);
}

TEST_F(LedgerTest, StartingAnotherTaskStopsTheCurrentOne)
{
    ledger_add_task("A", 0);
    ledger_add_task("B", 0);
    EXPECT_EQ(ledger_start_task(0), 1);
    clock.advance(30);
    EXPECT_EQ(ledger_start_task(1), 1);
    EXPECT_EQ(ledger_current_index(), 1);
    EXPECT_FALSE(task_is_running(ledger_task_at(0)));
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 30);
    clock.advance(5);
    EXPECT_EQ(task_elapsed(ledger_task_at(1)), 5);
}

TEST_F(LedgerTest, RestartingTheRunningTaskClosesItsRun)
{
    ledger_add_task("A", 0);
    ledger_start_task(0);
    clock.advance(10);
    EXPECT_EQ(ledger_start_task(0), 1);
    EXPECT_EQ(ledger_task_at(0)->seconds, 10);
    EXPECT_TRUE(task_is_running(ledger_task_at(0)));
    EXPECT_EQ(ledger_current_index(), 0);
}

TEST_F(LedgerTest, StartResults)
{
    ledger_add_task("A", 0);
    ledger_add_task("B", 0);
    ledger_add_task("C", 0);
    ledger_remove_task(2);
    EXPECT_EQ(ledger_start_task(5), -1);
    EXPECT_EQ(ledger_start_task(2), -2);
    EXPECT_EQ(ledger_start_task_named("nope"), -1);

    // A current task that is not running cannot be stopped: -3, nothing changes.
    ledger_start_task(0);
    ledger_reset_task(0);
    EXPECT_EQ(ledger_start_task(1), -3);
    EXPECT_EQ(ledger_current_index(), 0);
    EXPECT_FALSE(task_is_running(ledger_task_at(1)));

    // A running task that is not current cannot be started again: 0.
    ledger_forget_current();
    ledger_start_task(1);
    ledger_forget_current();
    EXPECT_EQ(ledger_start_task(1), 0);
}

TEST_F(LedgerTest, StopResults)
{
    ledger_add_task("A", 0);
    EXPECT_EQ(ledger_stop_current(), -1);
    EXPECT_EQ(ledger_stop_task(0), 0);
    ledger_start_task(0);
    EXPECT_EQ(ledger_stop_task_named("A"), 1);
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_FALSE(ledger_has_current());
}

TEST_F(LedgerTest, StopWithinTheSameSecondCountsAsAStop)
{
    ledger_add_task("A", 7);
    ledger_start_task(0);
    EXPECT_EQ(ledger_stop_current(), 1);
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_EQ(ledger_task_at(0)->seconds, 7);
}

TEST_F(LedgerTest, SetSecondsAndReset)
{
    ledger_add_task("A", 30);
    ledger_start_task(0);
    clock.advance(90);
    EXPECT_EQ(ledger_set_seconds(0, 0), 1);
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 90);
    EXPECT_EQ(ledger_set_seconds_named("A", -4), 1);  // ignored, still done
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 90);
    EXPECT_EQ(ledger_set_seconds(1, 5), -1);

    EXPECT_EQ(ledger_reset_task(0), 1);
    EXPECT_FALSE(task_is_running(ledger_task_at(0)));
    EXPECT_EQ(ledger_current_index(), 0);  // until forgotten
    ledger_forget_current();
    EXPECT_EQ(ledger_current_index(), -1);
}

TEST_F(LedgerTest, ResetAllKeepsTheCurrentIndex)
{
    ledger_add_task("A", 30);
    ledger_add_task("B", 40);
    ledger_add_task("C", 50);
    ledger_remove_task(1);
    ledger_start_task(2);
    ledger_reset_all();
    EXPECT_EQ(ledger_total_seconds(), 0);
    EXPECT_EQ(ledger_current_index(), 2);
    EXPECT_FALSE(task_is_running(ledger_task_at(2)));
}

TEST_F(LedgerTest, AdditionFollowsTheRunningTask)
{
    ledger_add_task("m", 0);
    ledger_start_task(0);
    ledger_add_task("a", 0);
    EXPECT_EQ(ledger_current_index(), 1);
    EXPECT_TRUE(task_is_running(ledger_task_at(1)));

    // A current index whose task no longer runs becomes -1 at the next addition.
    ledger_reset_task(1);
    ledger_add_task("b", 0);
    EXPECT_EQ(ledger_current_index(), -1);
}

TEST_F(LedgerTest, RemoveByNameAndTotals)
{
    ledger_add_task("A", 3600);
    ledger_add_task("B", 60);
    ledger_start_task(1);
    clock.advance(5);
    EXPECT_EQ(ledger_total_seconds(), 3665);
    EXPECT_EQ(ledger_remove_task_named("A"), 0);
    EXPECT_EQ(ledger_remove_task_named("A"), -1);
    EXPECT_EQ(ledger_total_seconds(), 65);
}

TEST_F(LedgerTest, TotalSaturates)
{
    ledger_add_task("A", INT32_MAX);
    ledger_add_task("B", INT32_MAX);
    EXPECT_EQ(ledger_total_seconds(), INT32_MAX);
}

TEST_F(LedgerTest, ClearStopsAndEmptiesEverything)
{
    ledger_add_task("A", 0);
    ledger_add_task("B", 0);
    Plorvin* a = ledger_task_at(0);
    ledger_start_task(0);
    EXPECT_EQ(ledger_add_task("0", 0), 0);
    EXPECT_EQ(ledger_task_at(1), a);  // a task outlives the move to another slot
    EXPECT_EQ(ledger_clear(), 0);
    EXPECT_EQ(ledger_slot_count(), 0);
    EXPECT_EQ(ledger_task_count(), 0);
    EXPECT_EQ(ledger_current_index(), -1);
    EXPECT_EQ(ledger_task_at(0), nullptr);
    EXPECT_EQ(ledger_find_task("A"), -1);
}

TEST_F(LedgerTest, ClearForgetsACurrentTaskThatWasNotRunning)
{
    ledger_add_task("A", 0);
    ledger_start_task(0);
    ledger_reset_task(0);
    ledger_clear();
    EXPECT_EQ(ledger_current_index(), -1);
}

TEST_F(LedgerTest, ReplaceAllTakesDistinctTasksInNameOrder)
{
    ledger_add_task("old", 0);
    std::vector<std::unique_ptr<Plorvin>> tasks;
    for (const char* name : {"b", "A", "a", "B"})
        tasks.emplace_back(new Plorvin(name, 1));
    ledger_replace_all(tasks);
    EXPECT_TRUE(tasks.empty());
    EXPECT_EQ(slots(), "A,a,b,B");
    EXPECT_EQ(ledger_find_task("B"), 3);
}
