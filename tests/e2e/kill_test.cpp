// A kill of the program at any moment of its saves: "Zentrik.cnf" is always
// the old or the new complete profile, never a damaged or empty one.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "shell/resource.h"
#include "tests/e2e/fixture.h"

// When the file was last written, in 100-ns units. Every save writes a new
// file (its inode number may be an old one again: file systems reuse them).
static unsigned long long written_at(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

// Where two byte strings first differ: a message shorter than two files of
// tens of kilobytes.
static std::string first_difference(const std::string& actual, const std::string& expected)
{
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return "sizes " + std::to_string(actual.size()) + " / " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(at) + ": '" + actual.substr(at, 40) +
           "' instead of '" + expected.substr(at, 40) + "'";
}

TEST_F(E2e, KillDuringSavesNeverLeavesADamagedProfile)
{
    const int TASKS = 2000;
    // The slot of the task that runs: the menu's task commands 11002 + slot
    // stop at 11999.
    const int RUNNING = 500;
    const int ROUNDS = 25;
    std::vector<E2eTask> tasks;
    for (int i = 0; i < TASKS; ++i) {
        char name[16];
        snprintf(name, sizeof name, "task %04d", i);
        tasks.push_back(e2e_task(i, name, i * 7));
    }
    seed(tasks);

    const unsigned seed_value = static_cast<unsigned>(GetTickCount64());
    std::mt19937 random(seed_value);
    // A save of this ledger takes a few milliseconds under Wine; the kill
    // lands anywhere in a stream of them.
    std::uniform_int_distribution<int> delay_ms(0, 150);
    int kills_in_a_save = 0;
    int saves = 0;
    const std::filesystem::path leftover = dir.path / "Zentrik.cnf.tmp";

    for (int round = 0; round < ROUNDS; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", random seed " + std::to_string(seed_value));
        ASSERT_TRUE(e2e_start(app, folder()));
        const long long before = e2e_profile_seconds(profile(), tasks[RUNNING]);
        const unsigned long long written = written_at(profile_path());
        ASSERT_GE(before, 0);
        E2eSpan started{time(nullptr), 0};
        ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + RUNNING));
        ASSERT_TRUE(e2e_tick(app));  // from now on every tick saves

        std::atomic<bool> stop{false};
        std::atomic<int> ticks{0};
        std::thread ticker([&] {
            while (!stop && e2e_tick(app))
                ++ticks;
        });
        // The random moment is the point of this test: nothing to poll for.
        Sleep(delay_ms(random));
        TerminateProcess(app.handle, 9);
        WaitForSingleObject(app.handle, E2E_WAIT);
        stop = true;
        ticker.join();
        started.after = time(nullptr);
        saves += ticks;
        // A tick that returned saved: the file was replaced.
        if (ticks > 0) {
            ASSERT_GT(written_at(profile_path()), written) << ticks << " ticks, no save";
        }
        kills_in_a_save += std::filesystem::exists(leftover);

        const std::string bytes = profile();
        tasks[RUNNING].low = static_cast<int>(before);
        tasks[RUNNING].high = static_cast<int>(before + (started.after - started.before));
        const std::string expected = e2e_expected_profile(bytes, tasks);
        ASSERT_TRUE(bytes == expected) << first_difference(bytes, expected);
        e2e_end(app);
    }
    printf("[ kills    ] %d rounds, %d saves, %d kills inside a save (a .tmp left), seed %u\n", ROUNDS,
           saves, kills_in_a_save, seed_value);

    // The last file loads whole: quitting saves every task again.
    ASSERT_TRUE(e2e_start(app, folder()));
    ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
    ASSERT_EQ(e2e_answer_box(app.pid, "Êtes-vous sûr de vouloir quitter ?", app.window, IDYES), "");
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code));
    tasks[RUNNING].low = tasks[RUNNING].high = static_cast<int>(e2e_profile_seconds(profile(), tasks[RUNNING]));
    const std::string bytes = profile();
    EXPECT_TRUE(bytes == e2e_profile_bytes(tasks)) << first_difference(bytes, e2e_profile_bytes(tasks));
    EXPECT_FALSE(std::filesystem::exists(leftover));
}
