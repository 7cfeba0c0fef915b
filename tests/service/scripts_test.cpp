// The plug-in's three scripts over real sockets, with the plug-in's bytes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "tests/service/service_fixture.h"

class ScriptsTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        start();
        login_ = fresh_login("marie");
        user_id_ = add_user(login_, "s3cret");
    }
    std::string login_;
    int64_t user_id_ = 0;
};

TEST_F(ScriptsTest, LogonGivesAFreshSessionEachTime)
{
    std::string reply = raw_exchange(port_, plugin_post(script("plg_connect.asp"), "l=" + login_ + "&p=s3cret"));
    EXPECT_NE(std::string::npos, reply.find("Connection: close")) << reply;
    // The plug-in drops the last byte: the frame must survive that.
    ASSERT_GE(reply.size(), 9u);
    EXPECT_EQ("\r\n--End--\r\n", reply.substr(reply.size() - 11));
    PluginReply parsed = parse_reply(reply);
    EXPECT_NE(std::string::npos, parsed.status_line.find("200 OK"));
    int32_t first = atoi(parsed.body.c_str());
    EXPECT_GT(first, 0);
    EXPECT_EQ(std::to_string(first) + ";Marie Dupont;Bon travail !", parsed.body);

    int32_t second = logon(login_, "s3cret");
    EXPECT_GT(second, 0);
    EXPECT_NE(first, second);
}

TEST_F(ScriptsTest, LogonRefusals)
{
    const struct {
        const char* params;
        const char* body;
    } cases[] = {
        {"l=&p=s3cret", "0;Identifiant ou mot de passe manquant"},
        {"p=s3cret", "0;Identifiant ou mot de passe manquant"},
        {"l=nobody&p=s3cret", "0;Identifiant ou mot de passe incorrect"},
        {"l=LOGIN&p=wrong", "0;Identifiant ou mot de passe incorrect"},
        {"l=LOGIN&p=s3cre%7", "0;Identifiant ou mot de passe incorrect"},
        {"l=LOGIN\x81&p=s3cret", "0;Identifiant ou mot de passe incorrect"},
        {"l=' OR 1=1 --&p=' OR '1'='1", "0;Identifiant ou mot de passe incorrect"},
    };
    for (const auto& c : cases) {
        std::string params = c.params;
        size_t at = params.find("LOGIN");
        if (at != std::string::npos)
            params.replace(at, 5, login_);
        EXPECT_EQ(c.body, post("plg_connect.asp", params).body) << params;
    }
    PluginReply by_get = get("plg_connect.asp", "l=" + login_ + "&p=s3cret");
    EXPECT_NE(std::string::npos, by_get.status_line.find("405")) << by_get.status_line;
}

// Our plug-in percent-encodes the login and password; older ones send them
// as typed. Both log on.
TEST_F(ScriptsTest, LogonFieldsEncodedOrAsTyped)
{
    std::string login = fresh_login("andr\xc3\xa9");
    add_user(login, "\xc3\xa9t\xc3\xa9 & 100% +");  // "été & 100% +" in UTF-8
    std::string narrow_login = login;
    narrow_login.replace(narrow_login.find("\xc3\xa9"), 2, "\xe9");
    std::string encoded_login = login;
    encoded_login.replace(encoded_login.find("\xc3\xa9"), 2, "%e9");
    EXPECT_GT(logon(encoded_login, "%e9t%e9%20%26%20100%25%20%2b"), 0);
    EXPECT_GT(logon(narrow_login, "%e9t%e9%20%26%20100%25%20%2b"), 0);
    EXPECT_EQ(0, logon(encoded_login, "%e9t%e9"));

    std::string plain = fresh_login("paul");
    add_user(plain, "\xc3\xa9 a+b%41");
    EXPECT_GT(logon(plain, "\xe9 a+b%41"), 0);          // as typed
    EXPECT_GT(logon(plain, "%e9%20a%2bb%2541"), 0);     // encoded
    EXPECT_EQ(0, logon(plain, "\xe9 a b%41"));
}

TEST_F(ScriptsTest, TaskListsInWindows1252)
{
    add_catalogue(user_id_, "R\xc3\xa9union \xc3\xa9quipe");
    add_catalogue(user_id_, "Admin");
    int32_t uid = logon(login_, "s3cret");
    EXPECT_EQ("", get("plg_getTasks.asp", "uid=" + std::to_string(uid) + "&date=20260315").body);
    EXPECT_EQ("Admin\r\nR\xe9union \xe9quipe", get("plg_getTasks.asp", "uid=" + std::to_string(uid)).body);

    EXPECT_EQ("True;ok", manage(uid, 3, "R%e9union%20%e9quipe", 0));
    EXPECT_EQ("True;ok", manage(uid, 0, "R%26D%20100%25", 3600));
    PluginReply list = get("plg_getTasks.asp", "uid=" + std::to_string(uid) + "&date=20260315");
    EXPECT_TRUE(list.has_body);
    EXPECT_EQ("R\xe9union \xe9quipe;0;0\r\nR&D 100%;3600;1", list.body);
    // Stored as UTF-8, for the web page.
    EXPECT_NE(std::string::npos, snapshot(user_id_).find("task R\xc3\xa9union \xc3\xa9quipe 0\n"));
}

TEST_F(ScriptsTest, UnknownAndExpiredSessions)
{
    const std::string unknown = "False;Session inconnue ou expir\xe9" "e : reconnectez-vous";
    EXPECT_EQ(unknown, get("plg_getTasks.asp", "uid=12345&date=20260315").body);
    EXPECT_EQ(unknown, manage(12345, 0, "Projet", 10));

    int32_t uid = logon(login_, "s3cret");
    EXPECT_EQ("True;ok", manage(uid, 0, "Projet", 10));
    // Used within the idle time, the session lasts.
    test_clock_ms += config_.session_idle_seconds * 1000 - 1000;
    EXPECT_EQ("True;ok", manage(uid, 1, "Projet", 20));
    test_clock_ms += config_.session_idle_seconds * 1000 + 1000;
    std::string before = snapshot(user_id_);
    EXPECT_EQ(unknown, manage(uid, 0, "Projet", 30));
    EXPECT_EQ(unknown, get("plg_getTasks.asp", "uid=" + std::to_string(uid)).body);
    EXPECT_EQ(before, snapshot(user_id_));
}

TEST_F(ScriptsTest, SessionsSurviveARestart)
{
    int32_t uid = logon(login_, "s3cret");
    stop();
    start();
    EXPECT_EQ("True;ok", manage(uid, 3, "Projet", 0));
}

// Each bad request gets a framed refusal or an HTTP error, and changes
// nothing.
TEST_F(ScriptsTest, BadTaskRequestsChangeNothing)
{
    int32_t uid = logon(login_, "s3cret");
    ASSERT_EQ("True;ok", manage(uid, 0, "Projet", 100));
    const std::string u = "uid=" + std::to_string(uid);
    const char* const cases[] = {
        "uid=12x&fct=0&task=A&time=1&date=20260315",
        "uid=-5&fct=0&task=A&time=1&date=20260315",
        "uid=99999999999&fct=0&task=A&time=1&date=20260315",
        "UID&fct=9&task=A&time=1&date=20260315",
        "UID&fct=2&task=A&time=1&date=20260315",
        "UID&fct=&task=A&time=1&date=20260315",
        "UID&fct=0&task=A&time=abc&date=20260315",
        "UID&fct=0&task=A&time=-1&date=20260315",
        "UID&fct=0&task=A&time=1e3&date=20260315",
        "UID&fct=0&task=A&time=1&date=2026031",
        "UID&fct=0&task=A&time=1&date=20261315",
        "UID&fct=0&task=A&time=1",
        "UID&fct=0&time=1&date=20260315",
        "UID&fct=0&task=A&date=20260315",
        "UID&fct=0&task=&time=1&date=20260315",
        "UID&fct=0&task=%zz&time=1&date=20260315",
        "UID&fct=0&task=A%e&time=1&date=20260315",
        "UID&fct=0&task=A%81&time=1&date=20260315",
        "UID&fct=0&task=A%00B&time=1&date=20260315",
        "UID&fct=0&task=A%0aB&time=1&date=20260315",
        "UID&fct=0&task=Robert%27)%3b%20DROP%20TABLE%20tasks%3b--&time=1&date=20260315",
        "UID&fct=1&task=Projet&time=99999999999&date=20260315",
    };
    std::string before = snapshot(user_id_);
    for (const char* c : cases) {
        std::string params = c;
        if (params.rfind("UID", 0) == 0)
            params.replace(0, 3, u);
        PluginReply reply = get("plg_mgrTasks.asp", params);
        bool refused = reply.body.rfind("False;", 0) == 0 || reply.status_line.find("200 OK") == std::string::npos;
        EXPECT_TRUE(refused) << params << " -> " << reply.status_line << " " << reply.body;
    }
    EXPECT_EQ(before, snapshot(user_id_));
}

TEST_F(ScriptsTest, SqlMetacharactersAreOnlyText)
{
    int32_t uid = logon(login_, "s3cret");
    // The name is: O'Brien "x" -- %_ and a backslash.
    EXPECT_EQ("True;ok", manage(uid, 3, "O%27Brien%20%22x%22%20--%20%25_%20%5c", 0));
    EXPECT_EQ("O'Brien \"x\" -- %_ \\;0;0",
              get("plg_getTasks.asp", "uid=" + std::to_string(uid) + "&date=20260315").body);
}

TEST_F(ScriptsTest, SynchronisationChecksItsTable)
{
    int32_t uid = logon(login_, "s3cret");
    const std::string head = "uid=" + std::to_string(uid) + "&fct=5&date=20260315&count=";
    // The plug-in's own example, and a table with a gap the plug-in leaves
    // for a name it could not send.
    EXPECT_EQ("True;ok", post("plg_mgrTasks.asp", head + "2&task1=Projet%20A&time1=3600&status1=1"
                                                         "&task2=Admin&time2=120&status2=0").body);
    EXPECT_EQ("True;ok", post("plg_mgrTasks.asp", head + "3&task1=Projet%20A&time1=3700&status1=1"
                                                         "&task3=Admin&time3=130&status3=0").body);
    std::string before = snapshot(user_id_);
    const char* const bad[] = {
        "1&task1=A&time1=1&status1=0&task2=B&time2=1&status2=0",  // more than count
        "2&task1=A&time1=1&status1=0&task02=B&time02=1&status02=0",
        "1&task1=A&status1=0",
        "1&task1=A&time1=1",
        "1&task1=A&time1=x&status1=0",
        "1&task1=A&time1=1&status1=2",
        "1&task1=%zz&time1=1&status1=0",
        "1&task1=A%9d&time1=1&status1=0",
        "x&task1=A&time1=1&status1=0",
        "99999&task1=A&time1=1&status1=0",
    };
    for (const char* b : bad)
        EXPECT_EQ(0u, post("plg_mgrTasks.asp", head + b).body.rfind("False;", 0)) << b;
    EXPECT_EQ(0u, post("plg_mgrTasks.asp", "uid=" + std::to_string(uid) + "&fct=5&count=0").body.rfind("False;", 0));
    EXPECT_EQ(before, snapshot(user_id_));
}

TEST_F(ScriptsTest, OversizedAndSlowRequests)
{
    int32_t uid = logon(login_, "s3cret");
    std::string before = snapshot(user_id_);
    std::string huge = "uid=" + std::to_string(uid) + "&fct=5&date=20260315&count=1&task1=" +
                       std::string(10 << 20, 'a') + "&time1=1&status1=0";
    std::string reply = raw_exchange(port_, plugin_post(script("plg_mgrTasks.asp"), huge));
    EXPECT_NE(std::string::npos, reply.find(" 413 ")) << reply.substr(0, 100);
    EXPECT_EQ(before, snapshot(user_id_));
}

TEST_F(ScriptsTest, SlowSenderIsCutOff)
{
    stop();
    config_.request_seconds = 2;
    start();
    int s = -1;
    {
        // A byte a second, never finishing its headers.
        s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(0, connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address));
    }
    std::string request = plugin_get(script("plg_getTasks.asp"), "uid=1");
    auto started = std::chrono::steady_clock::now();
    bool cut = false;
    for (size_t i = 0; i < request.size() && i < 10; i++) {
        if (send(s, &request[i], 1, MSG_NOSIGNAL) < 0) {
            cut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        char byte;
        if (recv(s, &byte, 1, MSG_DONTWAIT) == 0) {
            cut = true;
            break;
        }
    }
    close(s);
    EXPECT_TRUE(cut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    // The server still answers others.
    EXPECT_GT(logon(login_, "s3cret"), 0);
}

TEST_F(ScriptsTest, BasicAuthorisationWhenRequired)
{
    stop();
    config_.http_login = "kov";
    config_.http_password = "p\xc3\xa2ss";  // "pâss"
    start();
    std::string params = "l=" + login_ + "&p=s3cret";
    PluginReply none = parse_reply(raw_exchange(port_, plugin_post(script("plg_connect.asp"), params)));
    EXPECT_NE(std::string::npos, none.status_line.find("401"));
    PluginReply wrong = parse_reply(raw_exchange(port_, plugin_post(script("plg_connect.asp"), params, "a292OnBhc3M=")));
    EXPECT_NE(std::string::npos, wrong.status_line.find("401"));
    // base64 of "kov:p\xe2ss", the Windows-1252 bytes the plug-in encodes.
    PluginReply right = parse_reply(raw_exchange(port_, plugin_post(script("plg_connect.asp"), params, "a292OnDic3M=")));
    EXPECT_GT(atoi(right.body.c_str()), 0) << right.status_line << right.body;
}

TEST_F(ScriptsTest, FailuresAreRateLimitedPerAddress)
{
    stop();
    config_.failures_per_minute = 3;
    start();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(0, logon(login_, "wrong"));
    PluginReply refused = post("plg_connect.asp", "l=" + login_ + "&p=s3cret");
    EXPECT_NE(std::string::npos, refused.status_line.find("429"));
    EXPECT_EQ(0u, refused.body.rfind("0;", 0));
    EXPECT_NE(std::string::npos, get("plg_getTasks.asp", "uid=5").status_line.find("429"));
    test_clock_ms += 61 * 1000;
    EXPECT_GT(logon(login_, "s3cret"), 0);
}

TEST_F(ScriptsTest, ConnectionsPerAddressAreBounded)
{
    stop();
    config_.per_address_connections = 3;
    start();
    std::vector<int> idle;
    for (int i = 0; i < 3; i++) {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(0, connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address));
        idle.push_back(s);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ("", raw_exchange(port_, plugin_get(script("plg_getTasks.asp"), "uid=1"), 3000));
    for (int s : idle)
        close(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(logon(login_, "s3cret"), 0);
}
