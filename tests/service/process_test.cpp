// The zentrik-service program itself: its command line, a clean stop, and
// kill -9 during bursts of requests.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "service/store.h"
#include "tests/service/service_fixture.h"

#ifndef ZENTRIK_SERVICE_BINARY
#error "ZENTRIK_SERVICE_BINARY must name the zentrik-service program"
#endif

struct Child {
    pid_t pid = -1;
    int out = -1;  // its standard output
};

// Starts the program with args; its standard input is input (then closed).
static Child spawn(const std::vector<std::string>& args, const std::string& input = "")
{
    int in_pipe[2], out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0)
        return Child();
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        close(in_pipe[1]);
        close(out_pipe[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZENTRIK_SERVICE_BINARY));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZENTRIK_SERVICE_BINARY, argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    if (!input.empty() && write(in_pipe[1], input.data(), input.size()) < 0)
        perror("write");
    close(in_pipe[1]);
    child.out = out_pipe[0];
    return child;
}

// Waits for the child; returns its exit code, or 128 + signal.
static int wait_child(Child* child)
{
    int status = 0;
    waitpid(child->pid, &status, 0);
    close(child->out);
    child->pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

static int run(const std::vector<std::string>& args, const std::string& input = "")
{
    Child child = spawn(args, input);
    return wait_child(&child);
}

static int free_port()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

// Waits until the server accepts connections (at most 10 s).
static bool wait_listening(int port)
{
    for (int i = 0; i < 200; i++) {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool up = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(s);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

static std::string read_line(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

static std::vector<std::string> serve_args(const std::string& database, int port)
{
    return {"--port", std::to_string(port), "--listen", "127.0.0.1", "--database", database,
            "--password-cost", "minimal"};
}

static int32_t logon(int port, const std::string& login, const std::string& password)
{
    std::string reply = raw_exchange(
        port, plugin_post("/KOVReport/PluginTools/plg_connect.asp", "l=" + login + "&p=" + password));
    return atoi(parse_reply(reply).body.c_str());
}

TEST(ServiceProgram, CommandLine)
{
    TempDir dir;
    std::string database = test_database(dir);
    std::string login = fresh_login("cli");
    EXPECT_EQ(0, run({"--help"}));
    EXPECT_EQ(2, run({"--port", "x"}));
    EXPECT_EQ(2, run({"frobnicate"}));
    EXPECT_EQ(0, run({"user", "add", login, "--display", "Lu", "--database", database,
                      "--password-cost", "minimal"}, "mot de passe\n"));
    EXPECT_EQ(1, run({"user", "add", login, "--database", database, "--password-cost", "minimal"}, "x\n"));
    EXPECT_EQ(2, run({"user", "add", fresh_login("cli"), "--database", database}, ""));
    EXPECT_EQ(2, run({"user", "add", "a\tb", "--database", database}, "pw\n"));
    EXPECT_EQ(2, run({"user", "add", "\xe4\xb8\xad", "--database", database}, "pw\n"));
    EXPECT_EQ(0, run({"catalogue", "add", login, "R\xc3\xa9union", "Admin", "--database", database}));
    EXPECT_EQ(2, run({"catalogue", "add", login, "a;b", "--database", database}));
    EXPECT_EQ(1, run({"catalogue", "add", "nobody-at-all", "Admin", "--database", database}));
    // The documented configuration file reads; a wrong one stops everything.
    EXPECT_EQ(1, run({"catalogue", "add", "nobody-at-all", "Admin", "--config",
                      ZENTRIK_SOURCE_DIR "/service/zentrik-service.conf", "--database", database}));
    write_bytes(dir.file("bad.conf"), "port = 8080\nnonsense = 1\n");
    EXPECT_EQ(2, run({"--config", dir.file("bad.conf")}));

    int port = free_port();
    Child server = spawn(serve_args(database, port));
    ASSERT_TRUE(wait_listening(port));
    int32_t uid = logon(port, login, "mot de passe");
    EXPECT_GT(uid, 0);
    std::string list = raw_exchange(port, plugin_get("/KOVReport/PluginTools/plg_getTasks.asp",
                                                     "uid=" + std::to_string(uid)));
    EXPECT_EQ("Admin\r\nR\xe9union", parse_reply(list).body);
    kill(server.pid, SIGTERM);
    EXPECT_EQ(0, wait_child(&server));
}

TEST(ServiceProgram, FirstStartCreatesTheAdministrator)
{
    TempDir dir;
    std::string database = test_database(dir);
    if (!test_database_is_sqlite(database))
        GTEST_SKIP() << "needs an empty database";
    int port = free_port();
    Child server = spawn(serve_args(database, port));
    std::string line = read_line(server.out);
    const std::string head = "Administrator account 'admin' created with the password: ";
    ASSERT_EQ(0u, line.rfind(head, 0)) << line;
    ASSERT_TRUE(wait_listening(port));
    EXPECT_GT(logon(port, "admin", line.substr(head.size())), 0);
    kill(server.pid, SIGINT);
    EXPECT_EQ(0, wait_child(&server));
}

// kill -9 during bursts of additions, round after round: every addition the
// server confirmed is in the database afterwards, and the database is sound.
TEST(ServiceProgram, ConfirmedRequestsSurviveKill9)
{
    TempDir dir;
    std::string database = test_database(dir);
    std::string login = fresh_login("crash");
    ASSERT_EQ(0, run({"user", "add", login, "--database", database, "--password-cost", "minimal"}, "pw\n"));
    const char* rounds_text = getenv("ZENTRIK_CRASH_ROUNDS");
    int rounds = rounds_text ? atoi(rounds_text) : 20;
    std::mt19937 random(12345);
    std::set<std::string> confirmed;
    std::mutex confirmed_lock;
    int32_t uid = 0;
    for (int round = 0; round < rounds; round++) {
        int port = free_port();
        Child server = spawn(serve_args(database, port));
        ASSERT_TRUE(wait_listening(port));
        if (uid == 0)
            uid = logon(port, login, "pw");  // the session outlives the kills
        ASSERT_GT(uid, 0);
        std::atomic<bool> stop{false};
        std::vector<std::thread> clients;
        for (int c = 0; c < 8; c++)
            clients.emplace_back([&, c] {
                for (int n = 0; !stop; n++) {
                    std::string name = "r" + std::to_string(round) + "c" + std::to_string(c) + "n" + std::to_string(n);
                    std::string reply = raw_exchange(port, plugin_get("/KOVReport/PluginTools/plg_mgrTasks.asp",
                        "uid=" + std::to_string(uid) + "&fct=3&task=" + name + "&time=0&date=20260315"), 5000);
                    if (parse_reply(reply).body == "True;ok") {
                        std::lock_guard<std::mutex> guard(confirmed_lock);
                        confirmed.insert(name);
                    } else if (reply.empty()) {
                        break;  // the server is gone
                    }
                }
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 250));
        kill(server.pid, SIGKILL);
        stop = true;
        for (std::thread& t : clients)
            t.join();
        EXPECT_EQ(128 + SIGKILL, wait_child(&server));
    }
    EXPECT_GT(confirmed.size(), static_cast<size_t>(rounds));

    std::string error;
    Store* store = store_open(database, &error);
    ASSERT_TRUE(store) << error;
    std::set<std::string> present;
    ASSERT_EQ(STORE_OK, store_read_with(store, [&](StoreTx* tx) {
        StoreUser user;
        std::vector<StoreTask> tasks;
        StoreResult r = store_user_by_login(tx, login, &user);
        if (r == STORE_OK)
            r = store_task_list(tx, user.id, &tasks);
        for (const StoreTask& t : tasks)
            present.insert(t.name);
        return r;
    }));
    store_close(store);
    for (const std::string& name : confirmed)
        EXPECT_TRUE(present.count(name)) << name << " was confirmed but is lost";

    if (test_database_is_sqlite(database)) {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(database.c_str(), &db));
        sqlite3_stmt* check = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr));
        ASSERT_EQ(SQLITE_ROW, sqlite3_step(check));
        EXPECT_STREQ("ok", reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
        sqlite3_finalize(check);
        sqlite3_close(db);
    }
}

// The command line writing to the database while the service is under
// write load: both wait their turn, neither fails with a locked database.
TEST(ServiceProgram, AnotherProcessWritesMeanwhile)
{
    TempDir dir;
    std::string database = test_database(dir);
    std::string login = fresh_login("busy");
    ASSERT_EQ(0, run({"user", "add", login, "--database", database, "--password-cost", "minimal"}, "pw\n"));
    int port = free_port();
    Child server = spawn(serve_args(database, port));
    ASSERT_TRUE(wait_listening(port));
    int32_t uid = logon(port, login, "pw");
    ASSERT_GT(uid, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, refused{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 8; c++)
        clients.emplace_back([&, c] {
            for (int n = 0; !stop; n++) {
                std::string reply = raw_exchange(port, plugin_get("/KOVReport/PluginTools/plg_mgrTasks.asp",
                    "uid=" + std::to_string(uid) + "&fct=" + std::to_string(n % 2) + "&task=c" +
                    std::to_string(c) + "&time=" + std::to_string(n) + "&date=20260315"));
                (parse_reply(reply).body == "True;ok" ? answered : refused)++;
            }
        });
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(0, run({"catalogue", "add", login, "Projet " + std::to_string(i), "--database", database}));
    stop = true;
    for (std::thread& t : clients)
        t.join();
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(0, refused.load());
    kill(server.pid, SIGTERM);
    EXPECT_EQ(0, wait_child(&server));
}
