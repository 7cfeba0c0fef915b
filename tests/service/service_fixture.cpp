#include "tests/service/service_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>

#include "service/auth.h"
#include "service/plg.h"

int64_t test_clock_ms = 1773568800000;  // 2026-03-15 10:00 UTC

static int64_t read_test_clock()
{
    return test_clock_ms;
}

std::string test_database(const TempDir& dir)
{
    const char* url = getenv("ZENTRIK_TEST_DATABASE");
    return url && *url ? url : dir.file("zentrik.db");
}

bool test_database_is_sqlite(const std::string& database)
{
    return database.rfind("postgres", 0) != 0;
}

std::string fresh_login(const char* stem)
{
    static std::atomic<int> counter{0};
    static const unsigned seed = std::random_device()();
    return std::string(stem) + "-" + std::to_string(seed % 100000) + "-" + std::to_string(counter++);
}

std::string raw_exchange(int port, const std::string& bytes, int timeout_ms)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        char buffer[4096];
        for (;;) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()).count());
            pollfd p{s, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                break;
            ssize_t n = recv(s, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
    }
    close(s);
    return reply;
}

static std::string common_headers(const std::string& authorization)
{
    std::string text = "User-Agent: [Talvenu plug-in v1.02]\nVORN-PLUGIN: [Talvenu plug-in v1.02]\n"
                       "Host: localhost:8080\n";
    if (!authorization.empty())
        text += "Authorization: Basic " + authorization + "\n";
    return text;
}

std::string plugin_get(const std::string& path, const std::string& params,
                       const std::string& authorization)
{
    return "GET " + path + (params.empty() ? "" : "?" + params) + " HTTP/1.0\n" +
           common_headers(authorization) + "\n";
}

std::string plugin_post(const std::string& path, const std::string& params,
                        const std::string& authorization)
{
    return "POST " + path + " HTTP/1.0\nContent-Type:application/x-www-form-urlencoded;\n" +
           common_headers(authorization) + "Content-Length: " + std::to_string(params.size()) +
           "\n\n" + params + "\n";
}

PluginReply parse_reply(const std::string& reply)
{
    PluginReply result;
    result.status_line = reply.substr(0, reply.find("\r\n"));
    size_t start = reply.find("--Start--");
    if (start == std::string::npos)
        return result;
    start += 9;
    size_t end = reply.find("--End--", start);
    std::string body = reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t first = body.find_first_not_of(" \r\n"), last = body.find_last_not_of(" \r\n");
    result.has_body = true;
    result.body = first == std::string::npos ? "" : body.substr(first, last - first + 1);
    return result;
}

void ServiceTest::SetUp()
{
    ASSERT_TRUE(auth_init());
    config_.database = test_database(dir_);
    config_.password_cost = "minimal";
    config_.port = 0;
    config_.loopback_only = true;
    test_clock_ms = 1773568800000;
}

void ServiceTest::start()
{
    service_.config = config_;
    service_.now_ms = read_test_clock;
    std::string error;
    service_.store = store_open(config_.database, &error);
    ASSERT_TRUE(service_.store) << error;
    service_.limiter = limit_new(config_.failures_per_minute);
    server_ = server_new(service_server_limits(config_));
    service_register_routes(&service_, server_);
    ASSERT_TRUE(server_start(server_, 0, true, &error)) << error;
    port_ = server_port(server_);
}

void ServiceTest::stop()
{
    server_free(server_);
    server_ = nullptr;
    store_close(service_.store);
    service_.store = nullptr;
    limit_free(service_.limiter);
    service_.limiter = nullptr;
}

void ServiceTest::TearDown()
{
    if (server_ || service_.store)
        stop();
}

int64_t ServiceTest::add_user(const std::string& login, const std::string& password, bool restricted)
{
    StoreUser user;
    user.login = login;
    user.display_name = "Marie Dupont";
    user.restricted = restricted;
    EXPECT_TRUE(auth_hash_password(password, "minimal", &user.password_hash));
    EXPECT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) {
        return store_user_insert(tx, &user);
    }));
    return user.id;
}

void ServiceTest::add_catalogue(int64_t user_id, const std::string& name)
{
    EXPECT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) {
        return store_catalogue_add(tx, user_id, name);
    }));
}

std::string ServiceTest::script(const std::string& name) const
{
    return config_.tools_path + name;
}

PluginReply ServiceTest::get(const std::string& script_name, const std::string& params)
{
    return parse_reply(raw_exchange(port_, plugin_get(script(script_name), params)));
}

PluginReply ServiceTest::post(const std::string& script_name, const std::string& params)
{
    return parse_reply(raw_exchange(port_, plugin_post(script(script_name), params)));
}

int32_t ServiceTest::logon(const std::string& login, const std::string& password)
{
    PluginReply reply = post("plg_connect.asp", "l=" + login + "&p=" + password);
    return static_cast<int32_t>(atol(reply.body.c_str()));
}

std::string ServiceTest::manage(int32_t uid, int fct, const std::string& encoded_task, int64_t seconds)
{
    return get("plg_mgrTasks.asp", "uid=" + std::to_string(uid) + "&fct=" + std::to_string(fct) +
                                       "&task=" + encoded_task + "&time=" + std::to_string(seconds) +
                                       "&date=20260315")
        .body;
}

std::string ServiceTest::snapshot(int64_t user_id)
{
    std::string text;
    EXPECT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
        text.clear();
        std::vector<StoreTask> tasks;
        std::vector<StoreJournalEntry> entries;
        std::vector<std::string> catalogue;
        StoreResult r = store_task_list(tx, user_id, &tasks);
        if (r == STORE_OK)
            r = store_journal_between(tx, user_id, 0, INT64_MAX, 0, 0, &entries);
        if (r == STORE_OK)
            r = store_catalogue_list(tx, user_id, &catalogue);
        for (const StoreTask& t : tasks)
            text += "task " + t.name + " " + std::to_string(t.seconds) + (t.running ? " running\n" : "\n");
        for (const StoreJournalEntry& e : entries)
            text += std::string("journal ") + store_journal_kind_name(e.kind) + " " + e.task + " " +
                    std::to_string(e.seconds) + "\n";
        for (const std::string& name : catalogue)
            text += "catalogue " + name + "\n";
        return r;
    }));
    return text;
}

StoreUser ServiceTest::user(int64_t id)
{
    StoreUser out;
    EXPECT_EQ(STORE_OK, store_read_with(service_.store, [&](StoreTx* tx) {
        return store_user_by_id(tx, id, &out);
    }));
    return out;
}
