#include "ledger/keeper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ledger/ledger.h"
#include "tests/support/failing_ops.h"
#include "tests/support/tempdir.h"

namespace {

const std::string HEADER =
    "# Plorvin - UserProfile (DO NOT EDIT)\r\r\n# " + std::string(39, '-') + "\r\r\n\r\r\n";
const std::string FOOTER = "\r\r\n\r\r\n# " + std::string(26, '-') + "\r\r\n";

struct KeeperTest : testing::Test {
    void SetUp() override { ledger_clear(); }
    void TearDown() override
    {
        keeper_close();
        ledger_clear();
    }

    TempDir dir;
    std::string path = dir.file("Zentrik.cnf");
};

}  // namespace

TEST_F(KeeperTest, AMissingFileIsNoFailureAndTheFirstSaveMakesIt)
{
    KeeperOpen opened = keeper_open(path.c_str());
    EXPECT_EQ(opened.result, 0);
    EXPECT_EQ(opened.error, 0);
    ledger_add_task("a", 1);
    EXPECT_EQ(keeper_save().result, 1);
    EXPECT_EQ(read_bytes(path), HEADER + "0\ta\t1\r\r\n" + FOOTER);
    EXPECT_FALSE(std::filesystem::exists(keeper_backup_path()));
}

// A directory in the profile's place stands for any file that exists but
// cannot be read: the session's saves leave it alone.
TEST_F(KeeperTest, AFileThatCouldNotBeReadIsNeverReplaced)
{
    std::filesystem::create_directory(path);
    std::filesystem::path inside = std::filesystem::path(path) / "kept";
    write_bytes(inside.string(), "x");
    KeeperOpen opened = keeper_open(path.c_str());
    EXPECT_EQ(opened.result, -1);
    EXPECT_NE(opened.error, 0) << "the system's code for the box";
    ledger_add_task("a", 1);
    KeeperSave saved = keeper_save();
    EXPECT_EQ(saved.result, -1);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(read_bytes(inside.string()), "x");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(KeeperTest, TheFileAsItWasIsKeptBeforeTheFirstSaveDropsItsUnreadLines)
{
    const std::string damaged = HEADER + "0\tA\t5\r\r\n1\tA\t9\r\r\n2\tB\tx\r\r\n" + FOOTER;
    write_bytes(path, damaged);
    KeeperOpen opened = keeper_open(path.c_str());
    EXPECT_EQ(opened.result, 1);
    EXPECT_EQ(opened.unread_lines, 2);
    EXPECT_EQ(std::string(keeper_backup_path()), path + ".bak");
    EXPECT_FALSE(std::filesystem::exists(keeper_backup_path())) << "nothing is written before a save";

    // A backup that cannot be written stops the save: the lines stay in the
    // profile.
    {
        FailingOpsScope failing(FailAt::Create);
        KeeperSave saved = keeper_save();
        EXPECT_EQ(saved.result, 0);
        EXPECT_EQ(saved.error, FAILING_OPS_ERROR);
    }
    EXPECT_EQ(read_bytes(path), damaged);

    EXPECT_EQ(keeper_save().result, 1);
    EXPECT_EQ(read_bytes(keeper_backup_path()), damaged);
    EXPECT_EQ(read_bytes(path), HEADER + "0\tA\t5\r\r\n" + FOOTER);
    // Once kept, the copy is left alone by the later saves.
    write_bytes(keeper_backup_path(), "edited by the user");
    EXPECT_EQ(keeper_save().result, 1);
    EXPECT_EQ(read_bytes(keeper_backup_path()), "edited by the user");
}

TEST_F(KeeperTest, EachSaveSaysWhetherThePreviousOneFailedToo)
{
    keeper_open(path.c_str());
    ledger_add_task("a", 1);
    struct Step {
        FailAt fail;
        int32_t result;
        bool failed_before;
    } steps[] = {
        {FailAt::Write, 0, false}, {FailAt::Replace, 0, true}, {FailAt::Nothing, 1, true},
        {FailAt::Nothing, 1, false}, {FailAt::Flush, 0, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.fail));
        FailingOpsScope failing(step.fail);
        KeeperSave saved = keeper_save();
        EXPECT_EQ(saved.result, step.result);
        EXPECT_EQ(saved.error, step.result ? 0 : FAILING_OPS_ERROR);
        EXPECT_EQ(saved.failed_before, step.failed_before);
    }
}
