#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "plugins/online/http_client.h"
#include "plugins/online/settings.h"
#include "tests/pluginhost/failing_new.h"
#include "tests/support/recording_plugin_ui.h"
#include "tests/support/script_server.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#define UA "User-Agent: [Talvenu plug-in v1.02]\nVORN-PLUGIN: [Talvenu plug-in v1.02]\n"

struct Exchange {
    int connect_status = 0;
    int status = 0;
    std::string reply = "<null>";
    size_t length = 0;
    double seconds = 0;
};

struct HttpClientTest : ::testing::Test {
    void SetUp() override
    {
        plugin_ui_reset();
        g_plugin_settings = PluginSettings{};
        g_plugin_settings.HTTPPort = server.port();
        g_http_limits = HttpLimits{};
    }
    void TearDown() override
    {
        g_http_limits = HttpLimits{};
        g_plugin_settings = PluginSettings{};
        http_set_net_ops(nullptr);
    }

    // One whole request, as the web-service layer makes it.
    Exchange run(const char* path, const char* params, int use_get, const char* login = "",
                 const char* password = "")
    {
        Exchange result;
        auto start = std::chrono::steady_clock::now();
        NetSocket socket;
        result.connect_status = http_connect(&socket, "127.0.0.1", server.port());
        if (result.connect_status == HTTP_OK) {
            char* reply = nullptr;
            result.status = http_exchange(socket, &reply, &result.length, path, params, login, password, use_get);
            if (reply)
                result.reply = reply;
            delete[] reply;
        }
        EXPECT_EQ(http_close(&socket), HTTP_OK);
        EXPECT_EQ(socket, NET_NO_SOCKET);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    }

    std::string host() { return "Host: 127.0.0.1:" + std::to_string(server.port()) + "\n"; }

    ScriptServer server;
};

TEST_F(HttpClientTest, GetSendsExactlyItsLinesWithLfEnds)
{
    server.queue({"HTTP/1.0 200 OK\r\n\r\nok\n"});
    server.queue({"HTTP/1.0 200 OK\r\n\r\nok\n"});
    Exchange with_params = run("/p/s.asp", "a=1&b=%20", 1);
    Exchange without = run("/p/s.asp", "", 1, "user", "");
    EXPECT_EQ(with_params.status, HTTP_OK);
    EXPECT_EQ(with_params.reply, "HTTP/1.0 200 OK\r\n\r\nok");
    EXPECT_EQ(server.request(0), "GET /p/s.asp?a=1&b=%20 HTTP/1.0\n" UA + host() + "\n");
    EXPECT_EQ(without.status, HTTP_OK);
    EXPECT_EQ(server.request(1), "GET /p/s.asp HTTP/1.0\n" UA + host() + "\n");
}

TEST_F(HttpClientTest, PostSendsTheBodyThenOneMoreLineFeed)
{
    g_plugin_settings.HTTPPort = 80;  // the Host header names the settings, not the socket
    server.queue({"HTTP/1.0 200 OK\r\n\r\nok\n"});
    Exchange post = run("/x", "a=b", 0, "user", "pass");
    EXPECT_EQ(post.status, HTTP_OK);
    EXPECT_EQ(server.request(0),
              "POST /x HTTP/1.0\nContent-Type:application/x-www-form-urlencoded;\n" UA
              "Host: 127.0.0.1:80\nAuthorization: Basic dXNlcjpwYXNz\nContent-Length: 3\n\na=b\n");
}

TEST_F(HttpClientTest, AuthorizationOnlyWithLoginAndPassword)
{
    const char* pairs[][2] = {{"user", ""}, {"", "pass"}, {nullptr, "pass"}, {"user", nullptr}};
    for (const auto& pair : pairs) {
        server.queue({"HTTP/1.0 200 OK\r\n\r\nok\n"});
        run("/x", "", 1, pair[0], pair[1]);
    }
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(server.request(i).find("Authorization"), std::string::npos) << i;
}

TEST_F(HttpClientTest, ReplyLosesItsLastByteAndReportsEveryByte)
{
    const struct {
        const char* what;
        ServerReply reply;
    } cases[] = {
        {"ten bytes", {"0123456789"}},
        {"one byte", {"x"}},
        {"byte by byte", {"HTTP/1.0 200 OK\r\n\r\n--Start--True;ok--End--\r\n", ServerReply::ANSWER, 1, 1}},
        {"in odd pieces", {"HTTP/1.0 200 OK\r\n\r\nabcdefghij", ServerReply::ANSWER, 7, 2}},
    };
    for (const auto& c : cases) {
        server.queue(c.reply);
        Exchange e = run("/x", "", 1);
        EXPECT_EQ(e.status, HTTP_OK) << c.what;
        EXPECT_EQ(e.reply, c.reply.bytes.substr(0, c.reply.bytes.size() - 1)) << c.what;
        EXPECT_EQ(e.length, c.reply.bytes.size()) << c.what;
    }
}

TEST_F(HttpClientTest, LongReplyComesWhole)
{
    std::string big;
    for (int i = 0; big.size() < 300000; ++i)
        big += std::to_string(i) + ",";
    server.queue({big});
    Exchange e = run("/x", "", 1);
    EXPECT_EQ(e.status, HTTP_OK);
    EXPECT_EQ(e.length, big.size());
    EXPECT_TRUE(e.reply == big.substr(0, big.size() - 1));
}

TEST_F(HttpClientTest, ServerThatClosesAtOnceGivesAnEmptyReply)
{
    server.queue({"", ServerReply::CLOSE_AT_ONCE});
    Exchange e = run("/x", "a=b", 0);
    EXPECT_EQ(e.connect_status, HTTP_OK);
    EXPECT_TRUE(e.status == HTTP_ERR_EMPTY_REPLY || e.status == HTTP_ERR_SEND) << e.status;
    EXPECT_EQ(e.reply, "<null>");
}

TEST_F(HttpClientTest, SilentServerTimesOut)
{
    g_http_limits.read_timeout_ms = 300;
    server.queue({"", ServerReply::SILENT});
    server.queue({"HTTP/1.0 200 OK\r\n\r\n--Start--", ServerReply::SILENT});  // stops mid-reply
    for (int i = 0; i < 2; ++i) {
        Exchange e = run("/x", "", 1);
        EXPECT_EQ(e.status, HTTP_ERR_TIMEOUT) << i;
        EXPECT_EQ(e.reply, "<null>") << i;
        EXPECT_GE(e.seconds, 0.25) << i;
        EXPECT_LT(e.seconds, 3.0) << i;
        EXPECT_NE(http_last_error(), 0) << i;
        // The request went out whole all the same.
        EXPECT_EQ(server.request(static_cast<size_t>(i)), "GET /x HTTP/1.0\n" UA + host() + "\n");
    }
}

TEST_F(HttpClientTest, ReplySizeIsBounded)
{
    g_http_limits.max_reply_bytes = 65536;
    std::string exact(65536, 'a');
    server.queue({exact});
    server.queue({exact + "b"});
    server.queue({"HTTP/1.0 200 OK\r\n\r\n0123456789", ServerReply::ENDLESS});
    Exchange at_limit = run("/x", "", 1);
    EXPECT_EQ(at_limit.status, HTTP_OK);
    EXPECT_EQ(at_limit.length, 65536u);
    for (int i = 0; i < 2; ++i) {
        Exchange over = run("/x", "", 1);
        EXPECT_EQ(over.status, HTTP_ERR_TOO_LARGE) << i;
        EXPECT_EQ(over.reply, "<null>") << i;
    }
}

TEST_F(HttpClientTest, ReplyBlockThatCannotGrowFailsTheExchange)
{
    server.queue({std::string(5000, 'r')});
    // The block grows 2048, 4096, 8192 bytes: the third growth fails.
    failing_new_arm(8192);
    Exchange e = run("/x", "", 1);
    EXPECT_TRUE(failing_new_disarm());
    EXPECT_EQ(e.status, HTTP_ERR_MEMORY);
    EXPECT_EQ(e.reply, "<null>");
    ASSERT_EQ(g_plugin_ui.events.size(), 1u);
    EXPECT_EQ(g_plugin_ui.events[0], "error 0 'Erreur Reply !' owner=none");
}

TEST_F(HttpClientTest, RefusedConnectionLeavesNoSocket)
{
    int port;
    {
        ScriptServer gone;
        port = gone.port();
    }
    NetSocket socket = 5;
    EXPECT_EQ(http_connect(&socket, "127.0.0.1", port), HTTP_ERR_CONNECT);
    EXPECT_EQ(socket, NET_NO_SOCKET);
    EXPECT_NE(http_last_error(), 0);
}

#ifdef _WIN32
typedef SOCKET RawSocket;
static void close_raw(RawSocket s) { closesocket(s); }
#else
typedef int RawSocket;
static void close_raw(RawSocket s) { close(s); }
#endif

// A listener that accepts nothing and whose queue is full: further
// connections are never answered.
TEST_F(HttpClientTest, ConnectionThatIsNeverAnsweredTimesOut)
{
    RawSocket listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
#ifdef _WIN32
    int size = sizeof address;
#else
    socklen_t size = sizeof address;
#endif
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    int port = ntohs(address.sin_port);
    g_http_limits.connect_timeout_ms = 100;
    NetSocket fillers[8];
    for (NetSocket& filler : fillers)
        http_connect(&filler, "127.0.0.1", port);
    g_http_limits.connect_timeout_ms = 500;
    auto start = std::chrono::steady_clock::now();
    NetSocket socket;
    int status = http_connect(&socket, "127.0.0.1", port);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(status, HTTP_ERR_CONNECT);
    EXPECT_EQ(socket, NET_NO_SOCKET);
    EXPECT_EQ(http_last_error(), NET_TIMED_OUT);
    EXPECT_GE(seconds, 0.4);
    EXPECT_LT(seconds, 3.0);
    for (NetSocket& filler : fillers)
        http_close(&filler);
    close_raw(listener);
}

// Socket calls that fail where a test says, and record what is sent.
struct FakeNet {
    int fail_step = 0;  // 1 startup, 2 resolve, 3 open, 4 connect
    int fail_send = 0;  // the n-th send fails (0: none)
    int sends = 0;
    int closes = 0;
    std::string sent;
};
FakeNet g_fake;

const NetOps fake_ops = {
    [] { return g_fake.fail_step == 1 ? 0 : 1; },
    [](const char*, uint32_t* address) {
        *address = 0;
        return g_fake.fail_step == 2 ? 0 : 1;
    },
    []() -> NetSocket { return g_fake.fail_step == 3 ? NET_NO_SOCKET : 7; },
    [](NetSocket, uint32_t, int, int) { return g_fake.fail_step == 4 ? 0 : 1; },
    [](NetSocket, const char* data, size_t size) {
        if (++g_fake.sends == g_fake.fail_send)
            return 0;
        g_fake.sent.append(data, size);
        return 1;
    },
    [](NetSocket, int) { return 1; },
    [](NetSocket, char*, size_t) { return 0; },
    [](NetSocket) { ++g_fake.closes; },
    [] { return 42; },
};

TEST(HttpClientSteps, EachFailedConnectionStepHasItsStatus)
{
    http_set_net_ops(&fake_ops);
    const int expected[] = {HTTP_OK, HTTP_ERR_STARTUP, HTTP_ERR_RESOLVE, HTTP_ERR_SOCKET, HTTP_ERR_CONNECT};
    for (int step = 0; step <= 4; ++step) {
        g_fake = FakeNet{};
        g_fake.fail_step = step;
        NetSocket socket = 3;
        EXPECT_EQ(http_connect(&socket, "host", 80), expected[step]) << step;
        EXPECT_EQ(socket, step == 0 ? 7 : NET_NO_SOCKET) << step;
        // Only a socket that was opened is closed, once.
        EXPECT_EQ(g_fake.closes, step == 4 ? 1 : 0) << step;
        if (step != 0) {
            EXPECT_EQ(http_last_error(), 42) << step;
        }
        http_close(&socket);
        http_close(&socket);
        EXPECT_EQ(g_fake.closes, step == 4 || step == 0 ? 1 : 0) << step;
    }
    http_set_net_ops(nullptr);
}

TEST(HttpClientSteps, FirstFailedSendEndsTheRequest)
{
    http_set_net_ops(&fake_ops);
    // Request line, User-Agent, Host, Authorization, Content-Length, body, "\n".
    for (int fail = 1; fail <= 8; ++fail) {
        g_fake = FakeNet{};
        g_fake.fail_send = fail;
        char* reply = reinterpret_cast<char*>(1);
        int status = http_exchange(7, &reply, nullptr, "/x", "a=b", "u", "p", 0);
        EXPECT_EQ(status, fail <= 7 ? HTTP_ERR_SEND : HTTP_ERR_EMPTY_REPLY) << fail;
        EXPECT_EQ(g_fake.sends, fail <= 7 ? fail : 7) << fail;
        EXPECT_EQ(reply, nullptr) << fail;
    }
    http_set_net_ops(nullptr);
}

}  // namespace
