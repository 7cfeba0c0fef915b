// The process list through stand-in sources: which source fills it, the
// names it keeps, its order and its menu items.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "processes/process_list.h"
#include "tests/processes/fake_sources.h"

namespace {

struct ProcessListTest : ::testing::Test {
    void SetUp() override { fake_sources_reset(); }
    void TearDown() override { process_list_clear(); }

    static std::vector<std::string> names()
    {
        std::vector<std::string> names;
        for (int32_t k = 0; k < process_list_count(); ++k)
            names.push_back(process_list_entry(k)->name);
        return names;
    }
    static std::vector<uint32_t> pids()
    {
        std::vector<uint32_t> pids;
        for (int32_t k = 0; k < process_list_count(); ++k)
            pids.push_back(process_list_entry(k)->pid);
        return pids;
    }
};

TEST_F(ProcessListTest, SortsByTheLedgersNameOrder)
{
    g_fake_psapi.processes = {{1, "svchost.exe"}, {2, "Explorer.EXE"}, {3, "acrobat.exe"}};
    process_list_refresh_from(fake_sources);
    EXPECT_EQ(names(), (std::vector<std::string>{"svchost.exe", "Explorer.EXE", "acrobat.exe"}))
        << "the list keeps the source's order until sorted";
    process_list_sort();
    EXPECT_EQ(names(), (std::vector<std::string>{"acrobat.exe", "Explorer.EXE", "svchost.exe"}));
    EXPECT_EQ(pids(), (std::vector<uint32_t>{3, 2, 1}));
}

TEST_F(ProcessListTest, SortFoldsOnlyLettersAndPutsAPrefixFirst)
{
    // Plain byte order would put 'Alpha.exe' and '_tool.exe' before 'alpha';
    // folding to lower case would put '_tool.exe' first. 0xE9 sorts by value.
    g_fake_psapi.processes = {
        {1, "_tool.exe"}, {2, "\xE9t\xE9.exe"}, {3, "zeta.exe"}, {4, "Alpha.exe"}, {5, "alpha"}};
    process_list_refresh_from(fake_sources);
    process_list_sort();
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha", "Alpha.exe", "zeta.exe", "_tool.exe",
                                                 "\xE9t\xE9.exe"}));
}

TEST_F(ProcessListTest, SameNamesAreAllListedWithTheirOwnPids)
{
    g_fake_psapi.processes = {{40, "svchost.exe"}, {7, "cmd.exe"}, {12, "svchost.exe"}};
    process_list_refresh_from(fake_sources);
    process_list_sort();
    ASSERT_EQ(names(), (std::vector<std::string>{"cmd.exe", "svchost.exe", "svchost.exe"}));
    std::vector<uint32_t> svchost = {process_list_entry(1)->pid, process_list_entry(2)->pid};
    std::sort(svchost.begin(), svchost.end());
    EXPECT_EQ(svchost, (std::vector<uint32_t>{12, 40}));
}

TEST_F(ProcessListTest, SixtyProcessesMakeThreeColumns)
{
    g_fake_psapi.processes = numbered_processes(60);
    process_list_refresh_from(fake_sources);
    process_list_sort();
    ASSERT_EQ(process_list_count(), 60);
    std::vector<int32_t> breaks;
    for (int32_t k = 0; k < 60; ++k) {
        ProcessMenuItem item = process_list_menu_item(k, 1003);
        EXPECT_EQ(item.id, 1003u + static_cast<uint32_t>(k));
        EXPECT_EQ(item.text, process_list_entry(k)->name) << "the entry's own name, borrowed";
        if (item.bar_break)
            breaks.push_back(k);
    }
    // 24 processes below the title and the separator, then 25, then 11.
    EXPECT_EQ(breaks, (std::vector<int32_t>{24, 49}));
    // The shell maps command id 1012 back to entry 9.
    EXPECT_STREQ(process_list_entry(1012 - 1003)->name, "p09");
    EXPECT_EQ(process_list_entry(1012 - 1003)->pid, 109u);
}

// How each source's raw names become list names.
TEST_F(ProcessListTest, Names)
{
    const std::string longest(259, 'n');
    struct Case {
        bool snapshot;
        std::string raw;
        std::string shown;
    } cases[] = {
        {false, "notepad.exe", "notepad.exe"},
        {false, "", "unknown"},  // the base name could not be read
        {false, longest, longest},
        {true, "C:\\WINDOWS\\system32\\svchost.exe", "svchost.exe"},
        {true, "\\??\\C:\\WINDOWS\\system32\\smss.exe", "smss.exe"},
        {true, "System", "System"},
        {true, "[System Process]", "[System Process]"},
        {true, longest, longest},
    };
    for (const Case& c : cases) {
        fake_sources_reset();
        FakeSource& source = c.snapshot ? g_fake_toolhelp : g_fake_psapi;
        source.processes = {{77, c.raw}};
        if (c.snapshot)
            g_fake_psapi.status = PROCESS_SOURCE_MISSING;
        process_list_refresh_from(fake_sources);
        ASSERT_EQ(process_list_count(), 1) << c.raw;
        EXPECT_EQ(process_list_entry(0)->name, c.shown) << c.raw;
        EXPECT_EQ(process_list_entry(0)->pid, 77u);
    }
}

// Which source fills the list, starting from a list that holds 'old.exe'.
TEST_F(ProcessListTest, TheSnapshotIsAskedOnlyWhenTheStatusLibraryIsMissing)
{
    using Names = std::vector<std::string>;
    const Names kept = {"old.exe"};
    struct Case {
        const char* what;
        ProcessSourceStatus psapi;
        std::vector<std::pair<uint32_t, std::string>> psapi_processes;
        ProcessSourceStatus toolhelp;
        std::vector<std::pair<uint32_t, std::string>> toolhelp_processes;
        int toolhelp_calls;
        Names listed;
    } cases[] = {
        {"library works", PROCESS_SOURCE_OK, {{5, "a.exe"}}, PROCESS_SOURCE_OK, {{6, "b.exe"}}, 0,
         {"a.exe"}},
        {"library works, no process could be opened", PROCESS_SOURCE_OK, {}, PROCESS_SOURCE_OK,
         {{6, "b.exe"}}, 0, {}},
        {"library fails", PROCESS_SOURCE_FAILED, {}, PROCESS_SOURCE_OK, {{6, "b.exe"}}, 0, kept},
        {"library missing", PROCESS_SOURCE_MISSING, {}, PROCESS_SOURCE_OK, {{6, "b.exe"}}, 1,
         {"b.exe"}},
        {"library missing, snapshot fails", PROCESS_SOURCE_MISSING, {}, PROCESS_SOURCE_FAILED,
         {{6, "b.exe"}}, 1, kept},
        {"library missing, snapshot missing", PROCESS_SOURCE_MISSING, {}, PROCESS_SOURCE_MISSING,
         {}, 1, kept},
        {"library missing, snapshot empty", PROCESS_SOURCE_MISSING, {}, PROCESS_SOURCE_OK, {}, 1,
         kept},
    };
    for (const Case& c : cases) {
        fake_sources_reset();
        g_fake_psapi.processes = {{1, "old.exe"}};
        process_list_refresh_from(fake_sources);
        ASSERT_EQ(names(), kept);
        g_fake_psapi = {c.psapi, c.psapi_processes};
        g_fake_toolhelp = {c.toolhelp, c.toolhelp_processes};
        process_list_refresh_from(fake_sources);
        EXPECT_EQ(g_fake_psapi.calls, 1) << c.what;
        EXPECT_EQ(g_fake_toolhelp.calls, c.toolhelp_calls) << c.what;
        EXPECT_EQ(names(), c.listed) << c.what;
    }
}

TEST_F(ProcessListTest, EachSourceHasItsLimit)
{
    g_fake_psapi.processes = numbered_processes(1100);
    process_list_refresh_from(fake_sources);
    EXPECT_EQ(g_fake_psapi.limit, 1024u);
    EXPECT_EQ(process_list_count(), 1024);

    g_fake_psapi = {PROCESS_SOURCE_MISSING, {}};
    g_fake_toolhelp.processes = numbered_processes(300);
    process_list_refresh_from(fake_sources);
    EXPECT_EQ(g_fake_toolhelp.limit, 256u);
    EXPECT_EQ(process_list_count(), 256);
}

TEST_F(ProcessListTest, ClearEmptiesTheListAndBadIndexesGiveNothing)
{
    g_fake_psapi.processes = numbered_processes(3);
    process_list_refresh_from(fake_sources);
    ASSERT_EQ(process_list_count(), 3);
    for (int32_t k : {-1, 3, 1 << 30})
        EXPECT_EQ(process_list_entry(k), nullptr) << k;
    EXPECT_EQ(process_list_menu_item(3, 1003).text, nullptr);

    process_list_clear();
    EXPECT_EQ(process_list_count(), 0);
    EXPECT_EQ(process_list_entry(0), nullptr);
    EXPECT_EQ(process_list_menu_item(0, 1003).text, nullptr);
    // The next showing fills it afresh.
    process_list_refresh_from(fake_sources);
    EXPECT_EQ(process_list_count(), 3);
}

}  // namespace
