// What only the PostgreSQL store has: a shared schema created by whichever
// instance starts first, a connection pool, and a database server that may
// restart under the service. Each test gets a database of its own on the
// server of ZENTRIK_TEST_DATABASE (its user may create databases).
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <random>
#include <thread>

#include "service/store.h"
#include "tests/service/service_fixture.h"

namespace {

// Runs one statement on a connection to url; false with the reason logged.
bool exec_sql(const std::string& url, const std::string& sql)
{
    PGconn* conn = PQconnectdb(url.c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    if (!ok)
        ADD_FAILURE() << sql << ": " << PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
    return ok;
}

// The first value of a query's first row, "" when there is none.
std::string query_value(const std::string& url, const std::string& sql)
{
    PGconn* conn = PQconnectdb(url.c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    std::string value = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0
                            ? PQgetvalue(result, 0, 0) : "";
    PQclear(result);
    PQfinish(conn);
    return value;
}

class StorePgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_url_ = test_database(dir_);
        if (test_database_is_sqlite(server_url_))
            GTEST_SKIP() << "needs a PostgreSQL server (ZENTRIK_TEST_DATABASE)";
        name_ = "zentrik_t" + std::to_string(std::random_device()() % 1000000000);
        ASSERT_TRUE(exec_sql(server_url_, "CREATE DATABASE " + name_));
        size_t slash = server_url_.rfind('/');
        size_t query = server_url_.find('?', slash);
        url_ = server_url_.substr(0, slash + 1) + name_ +
               (query == std::string::npos ? "" : server_url_.substr(query));
    }
    void TearDown() override
    {
        if (!name_.empty())
            exec_sql(server_url_, "DROP DATABASE " + name_ + " WITH (FORCE)");
    }

    // Ends every other session on the test's database, as a server restart
    // or an administrator would.
    void cut_connections()
    {
        ASSERT_TRUE(exec_sql(url_,
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
            " WHERE datname = current_database() AND pid <> pg_backend_pid()"));
        // Termination is asynchronous: wait until the sessions are gone.
        for (int i = 0; i < 100 && query_value(url_,
                 "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
                 " AND pid <> pg_backend_pid()") != "0"; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    TempDir dir_;
    std::string server_url_, name_, url_;
};

int64_t insert_user(Store* store, const std::string& login)
{
    StoreUser user;
    user.login = login;
    user.display_name = login;
    user.password_hash = "h";
    StoreResult result = store_write_with(store, [&](StoreTx* tx) { return store_user_insert(tx, &user); });
    return result == STORE_OK ? user.id : 0;
}

TEST_F(StorePgTest, InstancesStartingTogetherCreateTheSchemaOnce)
{
    Store* stores[4] = {};
    std::string errors[4];
    std::vector<std::thread> starts;
    for (int i = 0; i < 4; i++)
        starts.emplace_back([&, i] { stores[i] = store_open(url_, &errors[i]); });
    for (std::thread& start : starts)
        start.join();
    for (int i = 0; i < 4; i++) {
        EXPECT_TRUE(stores[i]) << errors[i];
        if (stores[i]) {
            EXPECT_GT(insert_user(stores[i], "u" + std::to_string(i)), 0);
        }
        store_close(stores[i]);
    }
    EXPECT_EQ("1", query_value(url_, "SELECT count(*) FROM schema_version"));
    EXPECT_EQ("4", query_value(url_, "SELECT count(*) FROM users"));
}

TEST_F(StorePgTest, DatabaseOfANewerServiceIsRefused)
{
    std::string error;
    Store* store = store_open(url_, &error);
    ASSERT_TRUE(store) << error;
    store_close(store);
    ASSERT_TRUE(exec_sql(url_, "UPDATE schema_version SET version = 99"));
    EXPECT_EQ(nullptr, store_open(url_, &error));
    EXPECT_NE(std::string::npos, error.find("version 99")) << error;
}

TEST_F(StorePgTest, OpeningFailsWithAReason)
{
    const std::string bad[] = {
        url_ + "?pool_size=0",
        url_ + "?pool_size=many",
        "postgresql://zentrik@127.0.0.1:1/zentrik",  // nobody listens there
        url_ + "?no_such_setting=1",
    };
    for (const std::string& url : bad) {
        std::string error;
        Store* store = store_open(url, &error);
        EXPECT_EQ(nullptr, store) << url;
        EXPECT_FALSE(error.empty()) << url;
        store_close(store);
    }
}

// A server restart or an administrator ends the pool's sessions: the next
// requests get fresh connections instead of errors.
TEST_F(StorePgTest, LostConnectionsAreReplaced)
{
    std::string error;
    Store* store = store_open(url_ + "?pool_size=3", &error);
    ASSERT_TRUE(store) << error;
    std::vector<std::thread> warm;
    for (int i = 0; i < 3; i++)
        warm.emplace_back([&, i] { EXPECT_GT(insert_user(store, "avant" + std::to_string(i)), 0); });
    for (std::thread& thread : warm)
        thread.join();
    cut_connections();
    EXPECT_GT(insert_user(store, "apres"), 0);
    std::vector<StoreUser> users;
    EXPECT_EQ(STORE_OK, store_read_with(store, [&](StoreTx* tx) { return store_user_list(tx, &users); }));
    EXPECT_EQ(4u, users.size());
    store_close(store);
}

// More writers than connections wait their turn; none fails.
TEST_F(StorePgTest, SmallPoolQueuesItsCallers)
{
    std::string error;
    Store* store = store_open(url_ + "?sslmode=disable&pool_size=1", &error);
    ASSERT_TRUE(store) << error;
    std::atomic<int> added{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; i++)
        writers.emplace_back([&, i] {
            for (int j = 0; j < 5; j++)
                if (insert_user(store, "w" + std::to_string(i) + "-" + std::to_string(j)) > 0)
                    added++;
        });
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(40, added.load());
    EXPECT_EQ("1", query_value(url_,
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
        " AND application_name = 'zentrik-service'"));
    store_close(store);
}

}  // namespace
