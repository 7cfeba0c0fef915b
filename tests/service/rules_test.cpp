// The rules the service keeps, seen through the scripts and the store.
#include <atomic>
#include <thread>

#include "service/sheet.h"
#include "tests/service/service_fixture.h"

class RulesTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        start();
        login_ = fresh_login("paul");
        user_id_ = add_user(login_, "pw");
        uid_ = logon(login_, "pw");
        ASSERT_GT(uid_, 0);
    }
    std::vector<StoreJournalEntry> journal()
    {
        std::vector<StoreJournalEntry> entries;
        EXPECT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
            return store_journal_between(tx, user_id_, 0, INT64_MAX, 0, 0, &entries);
        }));
        return entries;
    }
    std::string sync(const std::string& table)
    {
        return post("plg_mgrTasks.asp", "uid=" + std::to_string(uid_) + "&fct=5&date=20260315&" + table).body;
    }
    size_t journal_size(int64_t id)
    {
        std::vector<StoreJournalEntry> entries;
        EXPECT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
            return store_journal_between(tx, id, 0, INT64_MAX, 1u << JOURNAL_START | 1u << JOURNAL_STOP, 0, &entries);
        }));
        return entries.size();
    }
    std::string login_;
    int64_t user_id_ = 0;
    int32_t uid_ = 0;
};

TEST_F(RulesTest, AStartStopsTheRunningTaskAndJournalsBoth)
{
    ASSERT_EQ("True;ok", manage(uid_, 0, "A", 100));
    int64_t a_started = test_clock_ms;
    test_clock_ms += 60 * 1000;
    ASSERT_EQ("True;ok", manage(uid_, 0, "B", 50));
    EXPECT_EQ("task A 160\ntask B 50 running\n"
              "journal add A 100\njournal start A 100\n"
              "journal add B 50\njournal stop A 160\njournal start B 50\n",
              snapshot(user_id_));
    std::vector<StoreJournalEntry> entries = journal();
    ASSERT_EQ(5u, entries.size());
    EXPECT_EQ(a_started, entries[3].run_started_ms);
    EXPECT_EQ(test_clock_ms, entries[3].utc_ms);
    EXPECT_EQ("20260315", entries[3].date_stamp);

    test_clock_ms += 30 * 1000;
    ASSERT_EQ("True;ok", manage(uid_, 1, "B", 80));
    ASSERT_EQ("True;ok", manage(uid_, 4, "A", 160));
    EXPECT_EQ("task B 80\n", snapshot(user_id_).substr(0, 10));
    EXPECT_EQ(JOURNAL_REMOVE, journal().back().kind);
}

TEST_F(RulesTest, AStartWithoutTheStopCountsOnlyWhatTheLastSaveHadNot)
{
    // A runs from 100 s; the autosave 30 s later brings 130 s; a start of B
    // 30 s after that, whose stop of A never came, leaves A at 160 s.
    ASSERT_EQ("True;ok", manage(uid_, 0, "A", 100));
    test_clock_ms += 30 * 1000;
    ASSERT_EQ("True;ok", sync("count=1&task1=A&time1=130&status1=1"));
    test_clock_ms += 30 * 1000;
    ASSERT_EQ("True;ok", manage(uid_, 0, "B", 0));
    const std::string tasks = "task A 160\ntask B 0 running\n";
    EXPECT_EQ(tasks, snapshot(user_id_).substr(0, tasks.size()));
}

TEST_F(RulesTest, RestrictedUsersTrackCatalogueTasksOnly)
{
    StoreUser u = user(user_id_);
    u.restricted = true;
    ASSERT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) { return store_user_update(tx, u); }));
    add_catalogue(user_id_, "Projet");
    std::string before = snapshot(user_id_);
    EXPECT_EQ("False;T\xe2" "che hors du catalogue", manage(uid_, 3, "Autre", 0));
    EXPECT_EQ("False;T\xe2" "che hors du catalogue", manage(uid_, 0, "Autre", 5));
    EXPECT_EQ(before, snapshot(user_id_));
    EXPECT_EQ("True;ok", manage(uid_, 0, "Projet", 5));
}

TEST_F(RulesTest, SynchronisationNeverLowersSecondsSilently)
{
    ASSERT_EQ("True;ok", sync("count=2&task1=A&time1=3600&status1=0&task2=B&time2=10&status2=1"));
    ASSERT_EQ("True;ok", sync("count=2&task1=A&time1=100&status1=1&task2=B&time2=20&status2=0"));
    EXPECT_EQ("task A 100 running\ntask B 20\n", snapshot(user_id_).substr(0, 29));
    bool lowered = false;
    for (const StoreJournalEntry& e : journal())
        if (e.kind == JOURNAL_LOWERED) {
            lowered = true;
            EXPECT_EQ("A", e.task);
            EXPECT_EQ(100, e.seconds);
            EXPECT_EQ(3600, e.previous_seconds);
        }
    EXPECT_TRUE(lowered);
    EXPECT_EQ(JOURNAL_AUTOSAVE, journal().back().kind);
}

TEST_F(RulesTest, AnAdministratorsMessageIsDeliveredOnce)
{
    StoreUser u = user(user_id_);
    u.message = "R\xc3\xa9union \xc3\xa0 14 h;\nsalle 2";
    ASSERT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) { return store_user_update(tx, u); }));
    EXPECT_EQ("True;ok;R\xe9union \xe0 14 h;\nsalle 2", sync("count=1&task1=A&time1=1&status1=0"));
    EXPECT_EQ("True;ok", sync("count=1&task1=A&time1=2&status1=0"));
    EXPECT_EQ("", user(user_id_).message);
}

// Two plug-ins of one user starting tasks at the same moment on two
// connections: never two running tasks.
TEST_F(RulesTest, RacingStartsLeaveOneTaskRunning)
{
    for (int round = 0; round < 20; round++) {
        std::string a = "A" + std::to_string(round), b = "B" + std::to_string(round);
        std::string reply_a, reply_b;
        std::thread first([&] { reply_a = manage(uid_, 0, a, 1); });
        std::thread second([&] { reply_b = manage(uid_, 0, b, 1); });
        first.join();
        second.join();
        EXPECT_EQ("True;ok", reply_a);
        EXPECT_EQ("True;ok", reply_b);
        std::vector<StoreTask> tasks;
        ASSERT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
            return store_task_list(tx, user_id_, &tasks);
        }));
        int running = 0;
        for (const StoreTask& t : tasks)
            running += t.running;
        ASSERT_EQ(1, running) << "round " << round;
    }
}

// The database itself refuses a second running task, whatever the code
// above it does.
TEST_F(RulesTest, TheDatabaseRefusesTwoRunningTasks)
{
    StoreResult result = store_write_with(service_.store, [&](StoreTx* tx) {
        StoreTask first, second;
        first.user_id = second.user_id = user_id_;
        first.name = "X";
        second.name = "Y";
        first.running = second.running = true;
        StoreResult r = store_task_insert(tx, &first);
        return r == STORE_OK ? store_task_insert(tx, &second) : r;
    });
    EXPECT_EQ(STORE_EXISTS, result);
    EXPECT_EQ("", snapshot(user_id_));
}

// Many clients at once: every write is answered after its commit, none is
// refused because the database is busy.
TEST_F(RulesTest, ConcurrentWritersAllSucceed)
{
    const int clients = 50, each = 10;
    std::vector<int32_t> uids;
    std::vector<int64_t> ids;
    for (int c = 0; c < clients; c++) {
        std::string login = fresh_login("load");
        ids.push_back(add_user(login, "pw"));
        uids.push_back(logon(login, "pw"));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; c++)
        threads.emplace_back([&, c] {
            for (int i = 0; i < each; i++)
                if (manage(uids[c], i % 2, "T" + std::to_string(i / 2), i) != "True;ok")
                    failures++;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(0, failures.load());
    for (int c = 0; c < clients; c++)
        EXPECT_EQ(static_cast<size_t>(each), journal_size(ids[c]));
}

TEST_F(RulesTest, HoursPerLocalDayCutAtLocalMidnight)
{
    StoreUser u = user(user_id_);
    u.has_utc_offset = true;
    u.utc_offset_minutes = 120;
    ASSERT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) { return store_user_update(tx, u); }));
    // 21:30 UTC is 23:30 at +2: one hour runs 30 minutes on each local day.
    const int64_t day = 20527;  // 2026-03-15
    test_clock_ms = day * 86400000LL + (21 * 60 + 30) * 60000LL;
    ASSERT_EQ("True;ok", manage(uid_, 0, "Nuit", 0));
    test_clock_ms += 3600 * 1000;
    ASSERT_EQ("True;ok", manage(uid_, 1, "Nuit", 3600));
    std::vector<SheetDayHours> hours;
    ASSERT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
        return sheet_hours_per_day(tx, user_id_, day - 1, 5, &hours);
    }));
    ASSERT_EQ(2u, hours.size());
    EXPECT_EQ(day, hours[0].local_day);
    EXPECT_EQ(1800, hours[0].seconds);
    EXPECT_EQ(day + 1, hours[1].local_day);
    EXPECT_EQ(1800, hours[1].seconds);
    EXPECT_EQ(120, journal().back().utc_offset_minutes);
}
