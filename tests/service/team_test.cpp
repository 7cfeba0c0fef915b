// A team's set-up: several service instances behind one address, on one
// PostgreSQL database (ZENTRIK_TEST_DATABASE). Each instance has its own
// store, connection pool and HTTP server, as separate processes would; the
// plug-in may reach any of them with each request.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>

#include "service/auth.h"
#include "service/limit.h"
#include "service/server.h"
#include "service/service.h"
#include "tests/service/service_fixture.h"

namespace {

struct Instance {
    Service service;
    Server* server = nullptr;
    int port = 0;
};

class TeamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(auth_init());
        config_.database = test_database(dir_);
        if (test_database_is_sqlite(config_.database))
            GTEST_SKIP() << "several instances need a PostgreSQL database (ZENTRIK_TEST_DATABASE)";
        config_.password_cost = "minimal";
        config_.loopback_only = true;
        test_clock_ms = 1773568800000;
        for (Instance& instance : instances_)
            start(&instance);
    }
    void TearDown() override
    {
        for (Instance& instance : instances_)
            stop(&instance);
    }

    void start(Instance* instance)
    {
        instance->service.config = config_;
        instance->service.now_ms = [] { return test_clock_ms; };
        std::string error;
        instance->service.store = store_open(config_.database, &error);
        ASSERT_TRUE(instance->service.store) << error;
        instance->service.limiter = limit_new(config_.failures_per_minute);
        instance->server = server_new(ServerLimits());
        service_register_routes(&instance->service, instance->server);
        ASSERT_TRUE(server_start(instance->server, 0, true, &error)) << error;
        instance->port = server_port(instance->server);
    }
    void stop(Instance* instance)
    {
        server_free(instance->server);
        instance->server = nullptr;
        store_close(instance->service.store);
        instance->service.store = nullptr;
        limit_free(instance->service.limiter);
        instance->service.limiter = nullptr;
    }

    int64_t add_user(const std::string& login)
    {
        StoreUser user;
        user.login = login;
        user.display_name = "\xc3\x89quipe";  // UTF-8
        EXPECT_TRUE(auth_hash_password("secret", "minimal", &user.password_hash));
        EXPECT_EQ(STORE_OK, store_write_with(instances_[0].service.store, [&](StoreTx* tx) {
            return store_user_insert(tx, &user);
        }));
        return user.id;
    }
    std::string script(const char* name) const { return config_.tools_path + name; }
    int32_t logon(const Instance& instance, const std::string& login)
    {
        PluginReply reply = parse_reply(
            raw_exchange(instance.port, plugin_post(script("plg_connect.asp"), "l=" + login + "&p=secret")));
        return static_cast<int32_t>(atol(reply.body.c_str()));
    }
    std::string manage(const Instance& instance, int32_t uid, int fct, const std::string& task)
    {
        std::string params = "uid=" + std::to_string(uid) + "&fct=" + std::to_string(fct) +
                             "&task=" + task + "&time=60&date=20260315";
        return parse_reply(raw_exchange(instance.port, plugin_get(script("plg_mgrTasks.asp"), params)))
            .body;
    }
    std::vector<StoreTask> tasks(int64_t user_id)
    {
        std::vector<StoreTask> out;
        EXPECT_EQ(STORE_OK, store_read_with(instances_[1].service.store, [&](StoreTx* tx) {
            return store_task_list(tx, user_id, &out);
        }));
        return out;
    }

    TempDir dir_;
    ServiceConfig config_;
    Instance instances_[2];
};

TEST_F(TeamTest, SessionsHoldOnEveryInstanceAndAcrossRestarts)
{
    const std::string login = fresh_login("equipe");
    add_user(login);
    int32_t uid = logon(instances_[0], login);
    ASSERT_GT(uid, 0);
    EXPECT_EQ(0u, manage(instances_[1], uid, 3, "Projet").rfind("True;", 0));

    stop(&instances_[0]);
    stop(&instances_[1]);
    start(&instances_[0]);
    start(&instances_[1]);
    EXPECT_EQ(0u, manage(instances_[0], uid, 0, "Projet").rfind("True;", 0));
    EXPECT_EQ(0u, manage(instances_[1], uid, 1, "Projet").rfind("True;", 0));

    int32_t second = logon(instances_[1], login);
    ASSERT_GT(second, 0);
    EXPECT_EQ(0u, manage(instances_[0], second, 0, "Projet").rfind("True;", 0));
}

// Two starts of different tasks for one user, sent at the same moment to the
// two instances: both are accepted (the later one stops the earlier), one
// task runs afterwards, and the journal tells every run's end.
TEST_F(TeamTest, RacingStartsOnTwoInstancesLeaveOneRunningTask)
{
    const std::string login = fresh_login("course");
    int64_t user_id = add_user(login);
    int32_t uid = logon(instances_[0], login);
    ASSERT_GT(uid, 0);

    const int rounds = 30;
    std::barrier meet(2);
    std::atomic<int> refused{0};
    auto racer = [&](int side) {
        for (int round = 0; round < rounds; round++) {
            meet.arrive_and_wait();
            std::string task = "T" + std::to_string(side) + "-" + std::to_string(round % 3);
            std::string reply = manage(instances_[side], uid, 0, task);
            if (reply.rfind("True;", 0) != 0) {
                refused++;
                ADD_FAILURE() << "start of " << task << " on instance " << side << ": " << reply;
            }
        }
    };
    std::thread a(racer, 0), b(racer, 1);
    a.join();
    b.join();
    EXPECT_EQ(0, refused.load());

    int running = 0;
    std::string running_name;
    for (const StoreTask& task : tasks(user_id))
        if (task.running) {
            running++;
            running_name = task.name;
        }
    EXPECT_EQ(1, running);

    // Replayed in order, every start finds the previous task stopped.
    std::vector<StoreJournalEntry> entries;
    ASSERT_EQ(STORE_OK, store_read_with(instances_[0].service.store, [&](StoreTx* tx) {
        return store_journal_between(tx, user_id, 0, INT64_MAX,
                                     (1u << JOURNAL_START) | (1u << JOURNAL_STOP), 0, &entries);
    }));
    std::sort(entries.begin(), entries.end(),
              [](const StoreJournalEntry& x, const StoreJournalEntry& y) { return x.id < y.id; });
    std::string current;
    for (const StoreJournalEntry& entry : entries) {
        if (entry.kind == JOURNAL_START) {
            EXPECT_TRUE(current.empty() || current == entry.task)
                << "start of " << entry.task << " while " << current << " runs (entry " << entry.id << ")";
            current = entry.task;
        } else if (entry.task == current) {
            current.clear();
        }
    }
    EXPECT_EQ(running_name, current);
}

TEST_F(TeamTest, OnlyTheInstanceThatMadeTheAdministratorPrintsItsPassword)
{
    for (int round = 0; round < 10; ++round) {
        // An empty database, as at a team's first start of two instances.
        ASSERT_EQ(STORE_OK, store_write_with(instances_[0].service.store, [&](StoreTx* tx) {
            std::vector<StoreUser> users;
            StoreResult r = store_user_list(tx, &users);
            for (size_t i = 0; r == STORE_OK && i < users.size(); ++i)
                r = store_user_delete(tx, users[i].id);
            return r;
        }));
        std::string printed[2], error[2];
        bool ok[2] = {false, false};
        std::barrier together(2);
        std::thread threads[2];
        for (int i = 0; i < 2; ++i)
            threads[i] = std::thread([&, i] {
                together.arrive_and_wait();
                ok[i] = service_ensure_admin(&instances_[i].service, &printed[i], &error[i]);
            });
        for (std::thread& thread : threads)
            thread.join();
        ASSERT_TRUE(ok[0] && ok[1]) << error[0] << error[1];
        StoreUser admin;
        ASSERT_EQ(STORE_OK, store_read_with(instances_[0].service.store, [&](StoreTx* tx) {
            return store_user_by_login(tx, config_.admin_login, &admin);
        }));
        int shown = 0;
        for (const std::string& password : printed)
            if (!password.empty()) {
                shown++;
                EXPECT_TRUE(auth_check_password(admin.password_hash, password)) << "round " << round;
            }
        EXPECT_EQ(1, shown) << "round " << round;
    }
}

}  // namespace
