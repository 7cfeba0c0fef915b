#include "ledger/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "ledger/ledger.h"
#include "tests/support/failing_ops.h"
#include "tests/support/manual_clock.h"
#include "tests/support/tempdir.h"

using namespace std::string_literals;

namespace {

// The tasks of the ledger in slot order, empty slots left out.
using Rows = std::vector<std::pair<std::string, int32_t>>;

Rows ledger_rows()
{
    Rows rows;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        if (const Plorvin* task = ledger_task_at(i))
            rows.emplace_back(task->name, task_elapsed(task));
    }
    return rows;
}

bool any_running()
{
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (task && task_is_running(task))
            return true;
    }
    return false;
}

const std::string HEADER =
    "# Plorvin - UserProfile (DO NOT EDIT)\r\r\n# " + std::string(39, '-') + "\r\r\n\r\r\n";
const std::string FOOTER = "\r\r\n\r\r\n# " + std::string(26, '-') + "\r\r\n";

// 'Client A' 3725 s, running, and 'Mail' 60 s.
const std::string EXAMPLE =
    "# Plorvin - UserProfile (DO NOT EDIT)\r\r\n# ---------------------------------------\r\r\n"
    "\r\r\n0\tClient_A\t3725\r\r\n1\tMail\t60\r\r\n\r\r\n\r\r\n# --------------------------\r\r\n";

const Rows EXAMPLE_ROWS = {{"Client A", 3725}, {"Mail", 60}};

const FailAt FAILING_STEPS[] = {FailAt::Create, FailAt::Write, FailAt::Flush, FailAt::Close,
                                FailAt::Replace};

struct ProfileTest : testing::Test {
    void SetUp() override { ledger_clear(); }
    void TearDown() override { ledger_clear(); }

    // Loads `bytes` from memory and, written to a file, from disk: both must
    // succeed and give the same ledger, which is returned, and the same count
    // of lines that gave no task, which goes to *unread when given.
    Rows load_both_ways(const std::string& bytes, int32_t* unread = nullptr)
    {
        int32_t unread_in_memory = -1;
        EXPECT_EQ(profile_load_bytes(bytes.data(), bytes.size(), &unread_in_memory), 1);
        EXPECT_EQ(ledger_slot_count(), ledger_task_count()) << "a load leaves no empty slot";
        Rows from_memory = ledger_rows();
        ledger_clear();
        write_bytes(path, bytes);
        ProfileLoad load;
        EXPECT_EQ(profile_read(path.c_str(), load), 1);
        EXPECT_EQ(ledger_rows(), from_memory) << "disk and memory disagree";
        EXPECT_EQ(load.unread_lines, unread_in_memory) << "disk and memory disagree";
        // The file as it was is kept exactly when a save would lose some of it.
        EXPECT_EQ(load.original, load.unread_lines > 0 ? bytes : "");
        if (unread)
            *unread = unread_in_memory;
        return from_memory;
    }

    TempDir dir;
    std::string path = dir.file("Zentrik.cnf");
};

}  // namespace

TEST_F(ProfileTest, SavesTheExampleWithTheLiveTimeOfTheRunningTask)
{
    ManualClock clock(1000000);
    ASSERT_EQ(ledger_add_task("Client A", 3700), 0);
    ASSERT_EQ(ledger_start_task(0), 1);
    clock.advance(25);
    ASSERT_EQ(ledger_add_task("Mail", 60), 1);

    ASSERT_EQ(profile_save(path.c_str()), 1);
    EXPECT_EQ(read_bytes(path), EXAMPLE);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // Saving does not stop the run nor fold it into the closed seconds.
    EXPECT_EQ(ledger_current_index(), 0);
    EXPECT_TRUE(task_is_running(ledger_task_at(0)));
    clock.advance(5);
    EXPECT_EQ(task_elapsed(ledger_task_at(0)), 3730);
}

TEST_F(ProfileTest, SavesAnEmptyLedgerAsHeaderAndFooter)
{
    ASSERT_EQ(profile_save(path.c_str()), 1);
    EXPECT_EQ(read_bytes(path), HEADER + FOOTER);
}

TEST_F(ProfileTest, SavesSlotIndexesWithTheGapsOfRemovedTasks)
{
    ledger_add_task("a", 1);
    ledger_add_task("b", 2);
    ledger_add_task("c d", 3);
    ASSERT_EQ(ledger_remove_task_named("b"), 0);
    ASSERT_EQ(profile_save(path.c_str()), 1);
    EXPECT_EQ(read_bytes(path), HEADER + "0\ta\t1\r\r\n2\tc_d\t3\r\r\n" + FOOTER);
}

TEST_F(ProfileTest, LoadsTheExampleStoppedAndSavesItBackUnchanged)
{
    write_bytes(path, EXAMPLE);
    ASSERT_EQ(profile_load(path.c_str()), 1);
    EXPECT_EQ(ledger_rows(), EXAMPLE_ROWS);
    EXPECT_FALSE(any_running());
    EXPECT_EQ(ledger_current_index(), -1);

    ASSERT_EQ(profile_save(path.c_str()), 1);
    EXPECT_EQ(read_bytes(path), EXAMPLE);
}

// What the reader makes of hand-written or damaged files. Each case is loaded
// from memory and from disk.
TEST_F(ProfileTest, ReadsLinesAsTheTextModeReaderDoes)
{
    // 511 bytes arrive as one line, the rest of a longer line as the next. The
    // byte before the cut is not blank, so that a cut one byte early or late
    // leaves 'B' without an index or without a name.
    std::string cut_record = "0\tA\t1" + std::string(505, ' ') + "x";
    ASSERT_EQ(cut_record.size(), 511u);
    std::string long_line = cut_record + "2\tB\t3";
    long_line += std::string(599 - long_line.size(), ' ') + "\n";
    ASSERT_EQ(long_line.size(), 600u);
    std::string long_name = "0\t" + std::string(600, 'n') + "\t5\n";

    // `unread`: the lines that were neither comments nor blank and gave no
    // task, which a save would drop.
    struct Case {
        const char* label;
        std::string bytes;
        Rows expected;
        int32_t unread = 0;
    };
    const Case cases[] = {
        {"CR CR LF line ends", "0\tA\t1\r\r\n1\tB\t2\r\r\n", {{"A", 1}, {"B", 2}}},
        {"CR LF line ends", "0\tA\t1\r\n1\tB\t2\r\n", {{"A", 1}, {"B", 2}}},
        {"LF line ends", "0\tA\t1\n1\tB\t2\n", {{"A", 1}, {"B", 2}}},
        {"no line end at the end", "0\tA\t1\n1\tB\t2", {{"A", 1}, {"B", 2}}},
        {"CR inside a line is dropped", "0\tA\t1\r2\r\n", {{"A", 12}}},
        {"empty file", "", {}},
        {"comments and blank lines",
         "#0\tA\t1\n;0\tB\t2\n\n\r\n   \n\t\n0\tC\t3\n# 1\tD\t4\n", {{"C", 3}}},
        {"a blank before the index", "  0\tA\t1\n", {{"A", 1}}},
        {"spaces and mixed blanks instead of TABs", "0 A 1\n1 \t B\v\f 2\n", {{"A", 1}, {"B", 2}}},
        {"no blank between index and name", "0A\t1\n", {{"A", 1}}},
        {"text after the seconds is ignored", "0\tA\t12abc 99\n", {{"A", 12}}},
        {"names that look like numbers", "0\t2024\t5\n1\t-\t6\n", {{"-", 6}, {"2024", 5}}},
        {"signed seconds", "0\tA\t+7\n1\tB\t-7\n2\tC\t-0\n", {{"A", 7}, {"B", 0}, {"C", 0}}},
        {"underscores become spaces", "0\ta_b\t1\n1\t__\t2\n", {{"  ", 2}, {"a b", 1}}},
        {"the first line of a name wins",
         "0\tA\t1\n1\tA\t9\n2\ta\t3\n3\tA\t0\n", {{"A", 1}, {"a", 3}}, 2},
        {"a duplicate made by underscores", "0\ta_b\t1\n1\ta_b\t9\n", {{"a b", 1}}, 1},
        {"index fields with gaps, repeats, any order",
         "7\tC\t3\n7\tA\t1\n-4\tB\t2\n0\tb\t4\n", {{"A", 1}, {"B", 2}, {"b", 4}, {"C", 3}}},
        {"numbers beyond 32 bits clamp",
         "99999999999999999999\tA\t99999999999999999999\n0\tB\t2147483648\n"
         "0\tC\t2147483647\n0\tD\t-2147483649\n0\tE\t-99999999999999999999\n",
         {{"A", INT32_MAX}, {"B", INT32_MAX}, {"C", INT32_MAX}, {"D", 0}, {"E", 0}}},
        // Every line below lacks a field; none of them shifts the next line.
        {"lines missing a field are skipped",
         "0\n"
         "0\tA\n"
         "0\tA\t\n"
         "0\tA\t-\n"
         "0\tA\tB\n"
         "0\t\t\t\n"
         "A\t1\n"
         "\tA\t1\n"
         "x0\tA\t1\n"
         "-\tA\t1\n"
         "0 -5\n"
         "0\tZ\t1\n",
         {{"Z", 1}},
         11},
        {"Ctrl-Z ends the input", "0\tA\t1\n\x1a" "1\tB\t2\n# end\n", {{"A", 1}}, 1},
        {"Ctrl-Z at the end, as old editors write", "0\tA\t1\r\n\x1a", {{"A", 1}}},
        {"Ctrl-Z in a line ends it and the input", "0\tA\t12\x1a" "34\n1\tB\t2\n", {{"A", 12}}, 2},
        {"a NUL byte ends the text of its line",
         "0\tA\0B\t5\n0\tC\t6\0 junk\n\0" "0\tD\t7\n0\tE\t8\n"s, {{"C", 6}, {"E", 8}}, 2},
        {"a file of garbage", "\x01\x02garbage\n\xff\xfe\n\0\0\n", {}, 2},
        {"a 600-byte line is read as 511 bytes and the rest", long_line, {{"A", 1}, {"B", 3}}},
        {"a 600-byte name gives nothing", long_name + "0\tZ\t1\n", {{"Z", 1}}, 1},
        {"511 bytes then LF: the LF is a blank line",
         "0\tA\t1" + std::string(506, ' ') + "\n1\tB\t2\n", {{"A", 1}, {"B", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ledger_clear();
        int32_t unread = -1;
        EXPECT_EQ(load_both_ways(c.bytes, &unread), c.expected);
        EXPECT_EQ(unread, c.unread);
    }
}

// profile_load reads the file in chunks: a line cut by a chunk border,
// anywhere in it, must read as in one piece.
TEST_F(ProfileTest, ReadsLinesThatCrossTheReadChunks)
{
    const std::string line = "0\tA\t1" + std::string(505, ' ') + "x2\tB\t3\r\r\n";
    const size_t chunk = 65536;
    for (size_t before = 1; before <= line.size(); ++before) {
        // Borders among the padding spaces are all alike; a few stand for them.
        if (before > 8 && before < 505 && before % 100 != 0)
            continue;
        SCOPED_TRACE("line bytes before the border: " + std::to_string(before));
        const size_t line_at = chunk - before;
        std::string bytes;
        while (bytes.size() + 100 <= line_at)
            bytes += "#" + std::string(98, '-') + "\n";
        bytes += std::string(line_at - bytes.size(), '\n');
        bytes += line + "9\tZ\t9\r\r\n";
        ASSERT_EQ(bytes.find(line), line_at);
        ledger_clear();
        ASSERT_EQ(load_both_ways(bytes), (Rows{{"A", 1}, {"B", 3}, {"Z", 9}}));
    }
}

// A truncated file loads without error. Only the seconds can be cut short:
// a line cut before its seconds has no third field and is skipped, a line
// cut inside them is read as the text-mode reader gets it, with the digits
// that are there.
TEST_F(ProfileTest, LoadsEveryPrefixOfTheExample)
{
    struct Record {
        std::string name;
        size_t digits_at, digits_end;
    };
    std::vector<Record> records;
    for (const auto& [name, seconds] : EXAMPLE_ROWS) {
        std::string digits = std::to_string(seconds);
        size_t at = EXAMPLE.find("\t" + digits + "\r");
        ASSERT_NE(at, std::string::npos);
        records.push_back({name, at + 1, at + 1 + digits.size()});
    }
    for (size_t size = 0; size <= EXAMPLE.size(); ++size) {
        SCOPED_TRACE("prefix of " + std::to_string(size) + " bytes");
        Rows expected;
        for (const Record& r : records) {
            if (size > r.digits_at) {
                size_t end = std::min(size, r.digits_end);
                expected.emplace_back(r.name, std::stoi(EXAMPLE.substr(r.digits_at, end - r.digits_at)));
            }
        }
        ASSERT_EQ(profile_load_bytes(EXAMPLE.data(), size), 1);
        EXPECT_EQ(ledger_rows(), expected);
    }
}

TEST_F(ProfileTest, LoadingStopsEverythingAndReplacesTheLedger)
{
    ManualClock clock(1000000);
    ledger_add_task("Old", 5);
    ledger_add_task("Mail", 1);
    ASSERT_EQ(ledger_start_task_named("Mail"), 1);
    clock.advance(100);

    ASSERT_EQ(profile_load_bytes(EXAMPLE.data(), EXAMPLE.size()), 1);
    EXPECT_EQ(ledger_rows(), EXAMPLE_ROWS) << "'Mail' takes the seconds of the file";
    EXPECT_FALSE(any_running());
    EXPECT_EQ(ledger_current_index(), -1);
    clock.advance(100);
    EXPECT_EQ(ledger_rows(), EXAMPLE_ROWS);
}

TEST_F(ProfileTest, AFileThatCannotBeReadLeavesTheLedgerRunning)
{
    ManualClock clock(1000000);
    ledger_add_task("a", 5);
    ledger_add_task("b", 7);
    ASSERT_EQ(ledger_start_task(1), 1);
    clock.advance(10);

    EXPECT_EQ(profile_load(nullptr), 0);
    EXPECT_EQ(profile_load(dir.file("missing.cnf").c_str()), 0);
    EXPECT_EQ(profile_load(dir.file("missing/Zentrik.cnf").c_str()), 0);
    // Opening a directory succeeds on POSIX; reading it then fails.
    EXPECT_EQ(profile_load(dir.path.string().c_str()), 0);

    EXPECT_EQ(ledger_rows(), (Rows{{"a", 5}, {"b", 17}}));
    EXPECT_EQ(ledger_current_index(), 1);
    ASSERT_NE(ledger_task_at(1), nullptr);
    EXPECT_TRUE(task_is_running(ledger_task_at(1)));
}

TEST_F(ProfileTest, AFailedSaveLeavesTheOldFile)
{
    const std::string old = HEADER + "0\tOld\t1\r\r\n" + FOOTER;
    ledger_add_task("New", 2);
    for (FailAt step : FAILING_STEPS) {
        SCOPED_TRACE("failing step " + std::to_string(static_cast<int>(step)));
        write_bytes(path, old);
        {
            FailingOpsScope failing(step);
            int error = 0;
            EXPECT_EQ(profile_save(path.c_str(), &error), 0);
            EXPECT_EQ(error, FAILING_OPS_ERROR) << "the failed step's code";
        }
        EXPECT_EQ(read_bytes(path), old);
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    }
    {
        FailingOpsScope nothing_fails(FailAt::Nothing);
        ASSERT_EQ(profile_save(path.c_str()), 1);
    }
    EXPECT_EQ(read_bytes(path), HEADER + "0\tNew\t2\r\r\n" + FOOTER);
}

TEST_F(ProfileTest, SavingToNoPathOrAMissingDirectoryFails)
{
    ledger_add_task("a", 1);
    EXPECT_EQ(profile_save(nullptr), 0);
    EXPECT_EQ(profile_save(""), 0);
    EXPECT_EQ(profile_save(dir.file("missing/Zentrik.cnf").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

// A file marked read-only is the user's way to keep it as it is; the rename
// at the end of a save would go over it.
TEST_F(ProfileTest, AReadOnlyProfileIsNotReplaced)
{
    namespace fs = std::filesystem;
    write_bytes(path, EXAMPLE);
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ledger_add_task("New", 2);
    int error = 0;
    EXPECT_EQ(profile_save(path.c_str(), &error), 0);
    EXPECT_NE(error, 0);
    EXPECT_EQ(read_bytes(path), EXAMPLE);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(profile_save(path.c_str()), 1);
}

TEST_F(ProfileTest, NamesTheFileCannotCarryBackAreFound)
{
    ledger_add_task("a b", 1);
    ledger_add_task("Mail", 2);
    struct Case {
        const char* name;
        int32_t problem;
    } cases[] = {
        {"Client A", PROFILE_NAME_OK},
        {"", PROFILE_NAME_OK},
        {"a b", PROFILE_NAME_OK},   // the task itself: nothing is added
        {"A_B", PROFILE_NAME_OK},   // case counts
        {"a_b", PROFILE_NAME_CLASH},
        {"a b ", PROFILE_NAME_OK},
        {"Mail", PROFILE_NAME_OK},
        {"a\tb", PROFILE_NAME_BLANK},
        {"\tMail", PROFILE_NAME_BLANK},
        {"a\vb", PROFILE_NAME_BLANK},
        {"a\rb", PROFILE_NAME_BLANK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(profile_name_problem(c.name), c.problem);
    }
    ledger_add_task("x_y", 0);
    EXPECT_EQ(profile_name_problem("x y"), PROFILE_NAME_CLASH);
}
