// The storage primitives on the database of the run (a SQLite file, or
// ZENTRIK_TEST_DATABASE): the rules every backend must keep alike, above all
// where databases differ by nature (a refused row inside a transaction,
// text order, NULL, concurrent writers on one database).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "service/store.h"
#include "tests/service/service_fixture.h"
#include "tests/support/tempdir.h"

namespace {

class StoreBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        database_ = test_database(dir_);
        std::string error;
        store_ = store_open(database_, &error);
        ASSERT_TRUE(store_) << error;
    }
    void TearDown() override { store_close(store_); }

    int64_t add_user(const std::string& login)
    {
        StoreUser user;
        user.login = login;
        user.display_name = "Marie";
        user.password_hash = "x";
        EXPECT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
            return store_user_insert(tx, &user);
        }));
        return user.id;
    }

    TempDir dir_;
    std::string database_;
    Store* store_ = nullptr;
};

// A unique rule that refuses a row answers STORE_EXISTS and leaves the
// transaction usable: the caller's other writes are kept.
TEST_F(StoreBackendTest, RefusedRowKeepsTheRestOfTheTransaction)
{
    const std::string login = fresh_login("refused");
    int64_t id = add_user(login);
    const std::string other_login = fresh_login("refused-other");
    StoreResult results[6];
    int32_t uid = 0;
    StoreTask a, b;
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
        StoreUser twin;
        twin.login = login;
        twin.display_name = "twin";
        twin.password_hash = "y";
        results[0] = store_user_insert(tx, &twin);
        results[1] = store_catalogue_add(tx, id, "Projet");
        results[2] = store_catalogue_add(tx, id, "Projet");
        // A uid another session may hold: the first free one is kept.
        for (uid = 1000; store_session_insert(tx, uid, id, 1) != STORE_OK; uid++)
            if (uid > 100000)
                return STORE_ERROR;
        results[3] = store_session_insert(tx, uid, id, 2);
        a.user_id = b.user_id = id;
        a.name = "A";
        a.running = true;
        a.started_ms = 5;
        b.name = "B";
        if (store_task_insert(tx, &a) != STORE_OK || store_task_insert(tx, &b) != STORE_OK)
            return STORE_ERROR;
        b.running = true;
        results[4] = store_task_update(tx, b);
        StoreTask c = b;
        c.name = "C";
        results[5] = store_task_insert(tx, &c);
        StoreUser other;
        other.login = other_login;
        other.display_name = "after";
        other.password_hash = "z";
        return store_user_insert(tx, &other);
    }));
    const StoreResult expected[6] = {STORE_EXISTS, STORE_OK,     STORE_EXISTS,
                                     STORE_EXISTS, STORE_EXISTS, STORE_EXISTS};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(expected[i], results[i]) << "step " << i;

    std::vector<StoreTask> tasks;
    int64_t session_user = 0, last_seen = 0;
    StoreUser other;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        StoreResult r = store_task_list(tx, id, &tasks);
        if (r == STORE_OK)
            r = store_session_get(tx, uid, &session_user, &last_seen);
        return r == STORE_OK ? store_user_by_login(tx, other_login, &other) : r;
    }));
    ASSERT_EQ(2u, tasks.size());
    EXPECT_TRUE(tasks[0].running);
    EXPECT_FALSE(tasks[1].running);
    EXPECT_EQ(id, session_user);
    EXPECT_EQ(1, last_seen);
    EXPECT_EQ("after", other.display_name);
}

// Any result but STORE_OK from the caller keeps nothing, even after
// successful writes.
TEST_F(StoreBackendTest, RefusedTransactionKeepsNothing)
{
    const std::string login = fresh_login("dropped");
    EXPECT_EQ(STORE_REFUSED, store_write_with(store_, [&](StoreTx* tx) {
        StoreUser user;
        user.login = login;
        user.display_name = "d";
        user.password_hash = "h";
        StoreResult r = store_user_insert(tx, &user);
        return r == STORE_OK ? STORE_REFUSED : STORE_ERROR;
    }));
    StoreUser found;
    EXPECT_EQ(STORE_NOT_FOUND, store_read_with(store_, [&](StoreTx* tx) {
        return store_user_by_login(tx, login, &found);
    }));
}

// Fields come back as written: NULL against 0, negative numbers, SQL
// metacharacters and UTF-8; lists ordered by the texts' bytes.
TEST_F(StoreBackendTest, FieldsAndOrderRoundTrip)
{
    const std::string stem = fresh_login("round");
    StoreUser zoned;
    zoned.login = stem + "-B";
    zoned.display_name = "O'Brien \"; DROP TABLE users; --";
    zoned.password_hash = "$argon2id$v=19$m=8,t=1,p=1$abc";
    zoned.admin = true;
    zoned.has_utc_offset = true;
    zoned.utc_offset_minutes = -570;
    zoned.message = "R\xc3\xa9union \xc3\xa0 14 h\nsalle 2";  // UTF-8, as the service stores texts
    StoreUser local = zoned;
    local.login = stem + "-a";
    local.has_utc_offset = false;
    local.utc_offset_minutes = 0;
    local.restricted = true;
    local.admin = false;
    const std::vector<std::string> names = {"b", "B", "\xc3\xa9t\xc3\xa9", "a", "100% R&D"};
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
        StoreResult r = store_user_insert(tx, &zoned);
        if (r == STORE_OK)
            r = store_user_insert(tx, &local);
        for (const std::string& name : names)
            if (r == STORE_OK)
                r = store_catalogue_add(tx, local.id, name);
        for (const std::string& name : names) {
            StoreTask task;
            task.user_id = local.id;
            task.name = name;
            task.seconds = 4000000000LL;  // beyond 32 bits
            if (r == STORE_OK)
                r = store_task_insert(tx, &task);
        }
        return r;
    }));

    std::vector<StoreUser> users;
    std::vector<std::string> catalogue;
    std::vector<StoreTask> tasks;
    StoreUser read_zoned, read_local;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        StoreResult r = store_user_list(tx, &users);
        if (r == STORE_OK)
            r = store_catalogue_list(tx, local.id, &catalogue);
        if (r == STORE_OK)
            r = store_task_list(tx, local.id, &tasks);
        if (r == STORE_OK)
            r = store_user_by_id(tx, zoned.id, &read_zoned);
        return r == STORE_OK ? store_user_by_id(tx, local.id, &read_local) : r;
    }));
    EXPECT_EQ(zoned.display_name, read_zoned.display_name);
    EXPECT_EQ(zoned.password_hash, read_zoned.password_hash);
    EXPECT_EQ(zoned.message, read_zoned.message);
    EXPECT_TRUE(read_zoned.admin);
    EXPECT_FALSE(read_zoned.restricted);
    EXPECT_TRUE(read_zoned.has_utc_offset);
    EXPECT_EQ(-570, read_zoned.utc_offset_minutes);
    EXPECT_FALSE(read_local.has_utc_offset);
    EXPECT_TRUE(read_local.restricted);
    EXPECT_FALSE(read_local.admin);

    // "B" (0x42) sorts before "a" (0x61) by bytes, whatever the locale.
    std::vector<std::string> logins;
    for (const StoreUser& user : users)
        if (user.login.rfind(stem, 0) == 0)
            logins.push_back(user.login);
    EXPECT_EQ((std::vector<std::string>{stem + "-B", stem + "-a"}), logins);
    EXPECT_EQ((std::vector<std::string>{"100% R&D", "B", "a", "b", "\xc3\xa9t\xc3\xa9"}), catalogue);
    ASSERT_EQ(names.size(), tasks.size());
    for (size_t i = 0; i < names.size(); i++) {
        EXPECT_EQ(names[i], tasks[i].name) << "tasks come in the order they were added";
        EXPECT_EQ(4000000000LL, tasks[i].seconds);
    }
}

// A text is stored whole or refused, never cut at a NUL byte.
TEST_F(StoreBackendTest, TextWithNulIsNotCutShort)
{
    int64_t id = add_user(fresh_login("nul"));
    const std::string name("ab\0cd", 5);
    StoreResult written = store_write_with(store_, [&](StoreTx* tx) {
        return store_catalogue_add(tx, id, name);
    });
    std::vector<std::string> catalogue;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        return store_catalogue_list(tx, id, &catalogue);
    }));
    if (written == STORE_OK)
        EXPECT_EQ(std::vector<std::string>{name}, catalogue);
    else
        EXPECT_TRUE(catalogue.empty());
}

TEST_F(StoreBackendTest, JournalBetweenBoundsKindsAndLimit)
{
    int64_t id = add_user(fresh_login("journal"));
    const int kinds[] = {JOURNAL_START, JOURNAL_STOP, JOURNAL_START, JOURNAL_AUTOSAVE, JOURNAL_STOP};
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
        for (int i = 0; i < 5; i++) {
            StoreJournalEntry entry;
            entry.user_id = id;
            entry.kind = kinds[i];
            entry.task = "T" + std::to_string(i);
            entry.seconds = i;
            entry.run_started_ms = i == 1 ? 123 : 0;
            entry.date_stamp = "20260315";
            entry.utc_ms = 1000 * (5 - i);  // written newest first
            entry.utc_offset_minutes = 60;
            StoreResult r = store_journal_add(tx, &entry);
            if (r != STORE_OK)
                return r;
        }
        return STORE_OK;
    }));
    struct Case {
        int64_t from, to;
        unsigned mask;
        int64_t limit;
        std::string tasks;  // oldest first
    } cases[] = {
        {0, INT64_MAX, 0, 0, "T4 T3 T2 T1 T0"},
        {2000, 4000, 0, 0, "T3 T2"},  // from included, to excluded
        {0, INT64_MAX, 1u << JOURNAL_STOP, 0, "T4 T1"},
        {0, INT64_MAX, (1u << JOURNAL_START) | (1u << JOURNAL_AUTOSAVE), 2, "T3 T2"},
        {6000, 9000, 0, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<StoreJournalEntry> entries;
        ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
            return store_journal_between(tx, id, c.from, c.to, c.mask, c.limit, &entries);
        }));
        std::string tasks;
        for (const StoreJournalEntry& entry : entries)
            tasks += (tasks.empty() ? "" : " ") + entry.task;
        EXPECT_EQ(c.tasks, tasks) << c.from << ".." << c.to << " mask " << c.mask;
    }
    std::vector<StoreJournalEntry> one;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        return store_journal_between(tx, id, 4000, 4001, 0, 0, &one);
    }));
    ASSERT_EQ(1u, one.size());
    EXPECT_EQ(JOURNAL_STOP, one[0].kind);
    EXPECT_EQ(123, one[0].run_started_ms);
    EXPECT_EQ("20260315", one[0].date_stamp);
    EXPECT_EQ(60, one[0].utc_offset_minutes);
    EXPECT_EQ(1, one[0].seconds);
}

TEST_F(StoreBackendTest, DeletingAUserRemovesEverythingOfTheirs)
{
    int64_t id = add_user(fresh_login("gone"));
    int32_t uid = 0;
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
        for (uid = 2000; store_session_insert(tx, uid, id, 1) != STORE_OK; uid++)
            if (uid > 100000)
                return STORE_ERROR;
        StoreTask task;
        task.user_id = id;
        task.name = "T";
        StoreJournalEntry entry;
        entry.user_id = id;
        entry.utc_ms = 1;
        StoreResult r = store_task_insert(tx, &task);
        if (r == STORE_OK)
            r = store_catalogue_add(tx, id, "T");
        return r == STORE_OK ? store_journal_add(tx, &entry) : r;
    }));
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) { return store_user_delete(tx, id); }));
    EXPECT_EQ(STORE_NOT_FOUND, store_write_with(store_, [&](StoreTx* tx) {
        return store_user_delete(tx, id);
    }));
    std::vector<StoreTask> tasks;
    std::vector<std::string> catalogue;
    std::vector<StoreJournalEntry> entries;
    int64_t user_id, seen;
    StoreResult session = STORE_ERROR;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        session = store_session_get(tx, uid, &user_id, &seen);
        StoreResult r = store_task_list(tx, id, &tasks);
        if (r == STORE_OK)
            r = store_catalogue_list(tx, id, &catalogue);
        return r == STORE_OK ? store_journal_between(tx, id, 0, INT64_MAX, 0, 0, &entries) : r;
    }));
    EXPECT_EQ(STORE_NOT_FOUND, session);
    EXPECT_TRUE(tasks.empty());
    EXPECT_TRUE(catalogue.empty());
    EXPECT_TRUE(entries.empty());
}

// Two stores on one database (two service instances) adding to the same
// task's seconds at once: a read, then a write of the read value plus one.
// Every increment must count: a backend that lets two writers read the same
// value loses one.
TEST_F(StoreBackendTest, ConcurrentWritersLoseNoUpdate)
{
    int64_t id = add_user(fresh_login("counter"));
    StoreTask task;
    task.user_id = id;
    task.name = "Compteur";
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) { return store_task_insert(tx, &task); }));
    std::string error;
    Store* second = store_open(database_, &error);
    ASSERT_TRUE(second) << error;

    const int threads = 6, increments = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; t++)
        workers.emplace_back([&, t] {
            Store* store = t % 2 ? second : store_;
            for (int i = 0; i < increments; i++) {
                StoreResult r = store_write_with(store, [&](StoreTx* tx) {
                    StoreTask current;
                    StoreResult got = store_task_get(tx, id, "Compteur", &current);
                    if (got != STORE_OK)
                        return got;
                    current.seconds++;
                    return store_task_update(tx, current);
                });
                if (r != STORE_OK)
                    failures++;
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    store_close(second);
    EXPECT_EQ(0, failures.load());
    StoreTask final;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) {
        return store_task_get(tx, id, "Compteur", &final);
    }));
    EXPECT_EQ(threads * increments, final.seconds);
}

// Starts on two stores at once, each stopping whatever runs and starting its
// own task, the way a start is written: every one succeeds, and one task runs
// afterwards. Unlike the plug-in's requests these read no session or user
// first, so nothing but the store orders them.
TEST_F(StoreBackendTest, ConcurrentStartsAllSucceed)
{
    int64_t id = add_user(fresh_login("starts"));
    ASSERT_EQ(STORE_OK, store_write_with(store_, [&](StoreTx* tx) {
        for (int i = 0; i < 4; i++) {
            StoreTask task;
            task.user_id = id;
            task.name = "T" + std::to_string(i);
            StoreResult r = store_task_insert(tx, &task);
            if (r != STORE_OK)
                return r;
        }
        return STORE_OK;
    }));
    std::string error;
    Store* second = store_open(database_, &error);
    ASSERT_TRUE(second) << error;

    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; t++)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 30; i++) {
                std::string name = "T" + std::to_string((t + i) % 4);
                StoreResult r = store_write_with(t % 2 ? second : store_, [&](StoreTx* tx) {
                    StoreTask running, task;
                    StoreResult got = store_task_running(tx, id, &running);
                    if (got == STORE_OK && running.name != name) {
                        running.running = false;
                        got = store_task_update(tx, running);
                    }
                    if (got != STORE_OK && got != STORE_NOT_FOUND)
                        return got;
                    got = store_task_get(tx, id, name, &task);
                    if (got != STORE_OK)
                        return got;
                    task.running = true;
                    return store_task_update(tx, task);
                });
                if (r != STORE_OK)
                    failures++;
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    store_close(second);
    EXPECT_EQ(0, failures.load());
    std::vector<StoreTask> tasks;
    ASSERT_EQ(STORE_OK, store_read_with(store_, [&](StoreTx* tx) { return store_task_list(tx, id, &tasks); }));
    int running = 0;
    for (const StoreTask& task : tasks)
        running += task.running;
    EXPECT_EQ(1, running);
}

}  // namespace
