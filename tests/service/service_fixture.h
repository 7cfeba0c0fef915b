// A real zentrik-service in the test's process, on a loopback port, over a
// real database: a SQLite file in a temporary folder, or the database named
// by ZENTRIK_TEST_DATABASE (for instance a PostgreSQL URL). Tests talk to it
// over sockets with the plug-in's exact request bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "service/config.h"
#include "service/server.h"
#include "service/service.h"
#include "tests/support/tempdir.h"

// The database the tests use: ZENTRIK_TEST_DATABASE, or a file in dir.
std::string test_database(const TempDir& dir);

// True when the tests run on SQLite.
bool test_database_is_sqlite(const std::string& database);

// A login nobody else has used on the database ("marie-<random>").
std::string fresh_login(const char* stem);

// Sends bytes to 127.0.0.1:port and returns everything the server sends
// back until it closes (or timeout_ms passes: then what came so far).
std::string raw_exchange(int port, const std::string& bytes, int timeout_ms = 10000);

// The plug-in's requests, byte for byte (LF line ends, its headers, the LF
// after a POST body). authorization: "" or the base64 of "login:password".
std::string plugin_get(const std::string& path, const std::string& params,
                       const std::string& authorization = "");
std::string plugin_post(const std::string& path, const std::string& params,
                        const std::string& authorization = "");

// A reply split as the plug-in splits it.
struct PluginReply {
    std::string status_line;   // before the first CR LF
    bool has_body = false;
    std::string body;          // between the markers, blanks trimmed
};
PluginReply parse_reply(const std::string& reply);

// The clock of the in-process services, moved by the tests.
extern int64_t test_clock_ms;

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts (or restarts) the service with config_ changed by the test.
    void start();
    void stop();

    // Adds a user (minimal password cost); returns its id.
    int64_t add_user(const std::string& login, const std::string& password,
                     bool restricted = false);
    void add_catalogue(int64_t user_id, const std::string& name);

    // Logs on through the script; returns the uid, or 0.
    int32_t logon(const std::string& login, const std::string& password);

    // The script's path and one exchange with it.
    std::string script(const std::string& name) const;
    PluginReply get(const std::string& script_name, const std::string& params);
    PluginReply post(const std::string& script_name, const std::string& params);
    // Starts, stops... through plg_mgrTasks.asp; the body.
    std::string manage(int32_t uid, int fct, const std::string& encoded_task, int64_t seconds);

    // The user's tasks and journal as one text, to compare before and after.
    std::string snapshot(int64_t user_id);
    StoreUser user(int64_t id);

    TempDir dir_;
    ServiceConfig config_;
    Service service_;
    Server* server_ = nullptr;
    int port_ = 0;
};
