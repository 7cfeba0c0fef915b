#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugins/online/http_client.h"
#include "plugins/online/plugin_clock.h"
#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "plugins/online/ws.h"
#include "tests/support/recording_plugin_ui.h"
#include "tests/support/script_server.h"

namespace {

using Events = std::vector<std::string>;

#define UA "User-Agent: [Talvenu plug-in v1.02]\nVORN-PLUGIN: [Talvenu plug-in v1.02]\n"
#define CONNECTION_TEXT "Une erreur s'est produite lors de la connexion.\nMerci de réessayer ultérieurement."
#define TOOLS "/KOVReport/PluginTools/"

// 15 March 2026 at noon, local time.
static time_t march_15()
{
    tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 2;
    day.tm_mday = 15;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    return mktime(&day);
}

static std::string take(char* text)
{
    std::unique_ptr<char[]> owned(text);
    return text ? std::string(text) : "<null>";
}

// A reply from the service, its body between the markers.
static ServerReply marked(const std::string& body, const char* status = "HTTP/1.1 200 OK")
{
    return {std::string(status) + "\r\nContent-Type: text/plain\r\n\r\n--Start--\r\n" + body + "\r\n--End--\r\n"};
}

struct WsTest : ::testing::Test {
    void SetUp() override
    {
        plugin_ui_reset();
        g_plugin_settings = PluginSettings{};
        g_plugin_settings.HTTPPort = server.port();
        g_session = OnlineSession{};
        g_session.uid = 17;
        g_http_limits = HttpLimits{};
        plugin_clock_set_source(march_15);
    }
    void TearDown() override
    {
        plugin_clock_set_source(nullptr);
        g_http_limits = HttpLimits{};
        g_session = OnlineSession{};
        g_plugin_settings = PluginSettings{};
    }

    std::string get(const std::string& target)
    {
        return "GET " + target + " HTTP/1.0\n" UA "Host: 127.0.0.1:" + std::to_string(server.port()) + "\n\n";
    }
    std::string post(const std::string& path, const std::string& body)
    {
        return "POST " + path + " HTTP/1.0\nContent-Type:application/x-www-form-urlencoded;\n" UA
               "Host: 127.0.0.1:" + std::to_string(server.port()) + "\nContent-Length: " +
               std::to_string(body.size()) + "\n\n" + body + "\n";
    }
    // The port of a server that is gone: connections are refused.
    static int refused_port()
    {
        ScriptServer gone;
        return gone.port();
    }

    Events& events = g_plugin_ui.events;
    ScriptServer server;
};

TEST(WsSplit, FieldsAsTheServiceSendsThem)
{
    const struct {
        const char* text;
        bool ok;
        const char* f1;
        const char* f2;
        const char* f3;
    } cases[] = {
        {"True", false, nullptr, nullptr, nullptr},
        {";x", false, nullptr, nullptr, nullptr},
        {"", false, nullptr, nullptr, nullptr},
        {"True;", true, "True", nullptr, nullptr},
        {"a;b;c;d", true, "a", "b", "c;d"},
        {"True;;", true, "True", ";", nullptr},
        {"True;;x;y", true, "True", ";x;y", nullptr},
        {"a;b;", true, "a", "b", nullptr},
        {"a;b", true, "a", "b", nullptr},
        {"5;Nom;ligne 1\r\nligne; 2", true, "5", "Nom", "ligne 1\r\nligne; 2"},
    };
    for (const auto& c : cases) {
        char* f[3] = {reinterpret_cast<char*>(1), reinterpret_cast<char*>(1), reinterpret_cast<char*>(1)};
        EXPECT_EQ(ws_split_fields(c.text, &f[0], &f[1], &f[2]), c.ok) << c.text;
        const char* want[3] = {c.f1, c.f2, c.f3};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(take(f[i]), want[i] ? want[i] : "<null>") << c.text << " field " << i + 1;
    }
    // Fields not asked for are not made.
    char* third = nullptr;
    EXPECT_TRUE(ws_split_fields("a;b;c", nullptr, nullptr, &third));
    EXPECT_EQ(take(third), "c");
    EXPECT_FALSE(ws_split_fields(nullptr, nullptr, nullptr, nullptr));
}

TEST(WsTaskLine, NameSecondsAndFlag)
{
    const struct {
        const char* line;
        bool ok;
        const char* name;
        int seconds;
        int running;
    } cases[] = {
        {"Projet;3600;1", true, "Projet", 3600, 1},
        {"Projet;3600;0", true, "Projet", 3600, 0},
        {"Projet;3600;", true, "Projet", 3600, 1},
        {"Projet;3600;01", true, "Projet", 3600, 0},
        {"Projet;abc;0", true, "Projet", 0, 0},
        {"Projet; -12x;0", true, "Projet", -12, 0},
        {";5;0", true, "", 5, 0},
        {"Projet;3600", false, nullptr, 0, 0},
        {"", false, nullptr, 0, 0},
    };
    for (const auto& c : cases) {
        TaskLine line{};
        ASSERT_EQ(ws_parse_task_line(c.line, &line), c.ok) << c.line;
        if (!c.ok)
            continue;
        EXPECT_EQ(take(line.name), c.name) << c.line;
        EXPECT_EQ(line.seconds, c.seconds) << c.line;
        EXPECT_EQ(line.running, c.running) << c.line;
    }
}

TEST(WsLines, CrLfSeparatesAndTheRestIsALine)
{
    std::vector<std::string> lines;
    const char* next = "A\r\nB\nC\r\n";
    while (next) {
        const char* line = next;
        lines.emplace_back(line, ws_line_length(line, &next));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"A", "B\nC", ""}));
}

TEST_F(WsTest, ReplyFraming)
{
    const struct {
        const char* what;
        ServerReply reply;
        const char* status_line;
        const char* body;
    } cases[] = {
        {"stripped body", {"HTTP/1.1 200 OK\r\n\r\n--Start--\r\n  True;ok \r\n--End--\r\n"}, "HTTP/1.1 200 OK", "True;ok"},
        {"two starts", {"HTTP/1.1 200 OK\r\n\r\n--Start--A--Start--B--End--C--End--\r\n"}, "HTTP/1.1 200 OK", "A--Start--B"},
        {"no end marker", {"HTTP/1.1 200 OK\r\n\r\n--Start-- abc def!"}, "HTTP/1.1 200 OK", "abc def"},
        {"no markers", {"HTTP/1.1 200 OK\r\n\r\nTrue;ok\r\n"}, "HTTP/1.1 200 OK", "<null>"},
        {"empty body", {"HTTP/1.1 200 OK\r\n\r\n--Start----End--\r\n"}, "HTTP/1.1 200 OK", ""},
        {"marker in a header", {"HTTP/1.1 200 OK\r\nX: --Start--h\r\n\r\n--End--\r\n"}, "HTTP/1.1 200 OK", "h"},
        {"long status line", {"HTTP/1.1 200 " + std::string(60, 'x') + "\r\n\r\n--Start--a--End--\r\n"},
         "HTTP/1.1 200 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "a"},
        {"no CR LF at all", {"HTTP/1.1 200 OK --Start--True;ok--End--\n"}, "", "<null>"},
        {"LF only", {"HTTP/1.1 200 OK\n\n--Start--True;ok--End--\n"}, "", "<null>"},
        {"status line only", {"HTTP/1.1 200 OK\r\n"}, "", "<null>"},  // its last byte is dropped
        {"empty reply", {"", ServerReply::CLOSE_AT_ONCE}, "", "<null>"},
    };
    for (const auto& c : cases) {
        server.queue(c.reply);
        char status_line[WS_STATUS_LINE_SIZE] = "";
        EXPECT_EQ(take(ws_call("s.asp", "a=1", status_line, 1, 1)), c.body) << c.what;
        EXPECT_STREQ(status_line, c.status_line) << c.what;
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(WsTest, CallWithoutScriptMakesNoConnection)
{
    char status_line[WS_STATUS_LINE_SIZE] = "";
    EXPECT_EQ(take(ws_call("", "a=1", status_line, 1, 1)), "<null>");
    EXPECT_STREQ(status_line, "404.1 No file specified");
    status_line[0] = '\0';
    EXPECT_EQ(take(ws_call(nullptr, "a=1", status_line, 1, 1)), "<null>");
    EXPECT_STREQ(status_line, "404.1 No file specified");
    EXPECT_EQ(server.connections(), 0u);
    EXPECT_TRUE(events.empty());
}

TEST_F(WsTest, TaskEventsSendTheirExactRequests)
{
    const std::string tail = "&date=20260315";
    server.set_handler([](const std::string&) { return marked("True;ok"); });
    g_plugin_settings.DEBUG_dispStartSuccess = 0;
    EXPECT_TRUE(ws_set_task_running("Projet A", 3600, 1));
    EXPECT_TRUE(ws_set_task_running("Projet A", 3700, 0));
    EXPECT_TRUE(ws_add_task("R&D 100%"));
    EXPECT_TRUE(ws_remove_task("é", 5));
    EXPECT_EQ(server.request(0), get(TOOLS "plg_mgrTasks.asp?uid=17&fct=0&task=Projet%20A&time=3600" + tail));
    EXPECT_EQ(server.request(1), get(TOOLS "plg_mgrTasks.asp?uid=17&fct=1&task=Projet%20A&time=3700" + tail));
    EXPECT_EQ(server.request(2), get(TOOLS "plg_mgrTasks.asp?uid=17&fct=3&task=R%26D%20100%25&time=0" + tail));
    EXPECT_EQ(server.request(3), get(TOOLS "plg_mgrTasks.asp?uid=17&fct=4&task=%e9&time=5" + tail));
    EXPECT_STREQ(g_session.date_stamp, "20260315");
    EXPECT_EQ(events, (Events{
                          "error 0 'La tâche Projet A a bien été stoppée.' owner=none",
                          "error 0 'La tâche R&D 100% a bien été ajoutée.' owner=none",
                          "error 0 'La tâche é a bien été supprimée.' owner=none",
                      }));
}

TEST_F(WsTest, TaskEventWithoutNameSendsNothing)
{
    EXPECT_FALSE(ws_set_task_running(nullptr, 0, 1));
    EXPECT_FALSE(ws_add_task(nullptr));
    EXPECT_FALSE(ws_remove_task(nullptr, 0));
    EXPECT_EQ(server.connections(), 0u);
    EXPECT_TRUE(events.empty());
}

TEST_F(WsTest, AuthorizationFromTheSettingsAndPathsFromTheSettings)
{
    strcpy(g_plugin_settings.HTTPLogin, "svc");
    strcpy(g_plugin_settings.HTTPPassword, "pw");
    strcpy(g_plugin_settings.HTTPPathTools, "/t/");
    strcpy(g_plugin_settings.HTTPSCRIPT_GETTASK, "g.php");
    server.queue(marked("A\r\nB"));
    EXPECT_EQ(take(ws_get_tasks(0)), "A\r\nB");
    EXPECT_EQ(server.request(0), "GET /t/g.php?uid=17 HTTP/1.0\n" UA "Host: 127.0.0.1:" +
                                     std::to_string(server.port()) + "\nAuthorization: Basic c3ZjOnB3\n\n");
}

// What the user sees when a start goes wrong, as the settings allow.
TEST_F(WsTest, FailuresOfATaskEventAndTheirMessages)
{
    const std::string failed = "box owner=none '" CONNECTION_TEXT;
    const std::string flags = " flags=0x40040";
    const struct {
        const char* what;
        ServerReply reply;
        Events seen;
        bool done;
    } cases[] = {
        {"status not 200", marked("True;ok", "HTTP/1.1 404 Not Found"),
         {failed + "\n[HTTP/1.1 404 Not Found]'" + flags}, false},
        {"no start marker", {"HTTP/1.1 200 OK\r\n\r\nTrue;ok\r\n"}, {failed + "\n[HTTP/1.1 200 OK]'" + flags}, false},
        {"no byte", {"", ServerReply::CLOSE_AT_ONCE}, {failed + "\n[]'" + flags}, false},
        {"no CR LF", {"True;ok"}, {failed + "\n[]'" + flags}, false},
        {"never answers", {"", ServerReply::SILENT}, {failed + "\n[]'" + flags}, false},
        {"sends without end", {"HTTP/1.1 200 OK\r\n\r\n--Start--True;", ServerReply::ENDLESS}, {failed + "\n[]'" + flags}, false},
        {"no first field", marked("True"), {"error 0 'Mauvais format du message de retour.' owner=none"}, false},
        {"empty body", marked(""), {"error 0 'Mauvais format du message de retour.' owner=none"}, false},
        {"refused", marked("False;Tâche inconnue"),
         {"error 0 'Echec lors du démarrage de la tâche Projet A.\nTâche inconnue' owner=none"}, false},
        {"refused without reason", marked("False;"),
         {"error 0 'Echec lors du démarrage de la tâche Projet A.\n' owner=none"}, false},
        {"neither true nor false", marked("Vrai;ok"), {"error 0 'Mauvais format du message de retour.' owner=none"}, false},
        {"true", marked("true;ok"), {"error 0 'La tâche Projet A a bien été démarrée.' owner=none"}, true},
        {"TRUE", marked("TRUE;"), {"error 0 'La tâche Projet A a bien été démarrée.' owner=none"}, true},
    };
    g_http_limits.read_timeout_ms = 200;
    g_http_limits.max_reply_bytes = 100000;
    for (const auto& c : cases) {
        events.clear();
        server.queue(c.reply);
        EXPECT_EQ(ws_set_task_running("Projet A", 60, 1), c.done) << c.what;
        EXPECT_EQ(events, c.seen) << c.what;
    }
}

TEST_F(WsTest, SwitchesSilenceTheOutcomeMessages)
{
    PluginSettings& s = g_plugin_settings;
    s.DEBUG_dispStartSuccess = s.DEBUG_dispStartFailed = 0;
    s.DEBUG_dispHTTPHeader = 0;
    for (const char* body : {"True;ok", "False;non", "Vrai;x", "x"}) {
        server.queue(marked(body));
        ws_set_task_running("T", 1, 1);
    }
    EXPECT_TRUE(events.empty());
    server.queue(marked("x", "HTTP/1.1 500 Oops"));
    EXPECT_FALSE(ws_set_task_running("T", 1, 1));
    EXPECT_EQ(events, (Events{"box owner=none '" CONNECTION_TEXT "' flags=0x40040"}));
}

TEST_F(WsTest, UnreachableServiceAndEmptyScript)
{
    g_plugin_settings.HTTPPort = refused_port();
    EXPECT_FALSE(ws_add_task("T"));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("error ", 0), 0u);
    EXPECT_NE(events[0].rfind("error 0 ", 0), 0u);  // the system's code
    EXPECT_NE(events[0].find("'Connexion to WebService' owner=none"), std::string::npos);
    EXPECT_EQ(events[1], "box owner=none '" CONNECTION_TEXT "\n[500 No Server Found]' flags=0x40040");

    events.clear();
    g_plugin_settings.DEBUG_dispHTTPError = 0;
    EXPECT_FALSE(ws_remove_task("T", 1));
    EXPECT_EQ(events, (Events{"box owner=none '" CONNECTION_TEXT "\n[500 No Server Found]' flags=0x40040"}));

    events.clear();
    g_plugin_settings.HTTPSCRIPT_MGRTASK[0] = '\0';
    EXPECT_FALSE(ws_set_task_running("T", 1, 0));
    EXPECT_EQ(events, (Events{"box owner=none '" CONNECTION_TEXT "\n[404.1 No file specified]' flags=0x40040"}));
}

TEST_F(WsTest, LogonSendsBothFieldsEncoded)
{
    server.queue(marked("17;Atelier;Bon travail"));
    EXPECT_TRUE(ws_logon(RECORDED_PLUGIN_DIALOG, "a&b=c", "p w+%"));
    EXPECT_EQ(server.request(0), post(TOOLS "plg_connect.asp", "l=a%26b%3dc&p=p%20w%2b%25"));
    EXPECT_EQ(g_session.uid, 17);
    EXPECT_STREQ(g_session.display_name, "Atelier");
    EXPECT_EQ(events, (Events{"box owner=dialog 'Bienvenue Atelier sur Talvenu-OnLine\nBon travail' flags=0x41040"}));
}

TEST_F(WsTest, LogonReplies)
{
    const struct {
        const char* body;
        bool ok;
        int uid;
        const char* name;
        Events seen;
    } cases[] = {
        {"5;", true, 5, "A. Nonymous", {"box owner=dialog 'Bienvenue A. Nonymous sur Talvenu-OnLine' flags=0x41040"}},
        {"5", false, -1, "", {"error 0 'Mauvais format du message de retour.' owner=dialog"}},
        {"-1;x;y", false, -1, "", {"error 0 'x' owner=dialog"}},
        {"0;", false, 0, "", {"error 0 'Echec de l'identification au service Web.' owner=dialog"}},
        {"0;Mot de passe incorrect", false, 0, "", {"error 0 'Mot de passe incorrect' owner=dialog"}},
        {"abc;Nom", false, 0, "", {"error 0 'Nom' owner=dialog"}},
    };
    for (const auto& c : cases) {
        g_session = OnlineSession{};
        events.clear();
        server.queue(marked(c.body));
        EXPECT_EQ(ws_logon(RECORDED_PLUGIN_DIALOG, "bob", "pw"), c.ok) << c.body;
        EXPECT_EQ(g_session.uid, c.uid) << c.body;
        EXPECT_STREQ(g_session.display_name, c.name) << c.body;
        EXPECT_EQ(events, c.seen) << c.body;
    }
    // A name longer than the field is cut; no welcome when switched off.
    g_plugin_settings.DEBUG_dispWelcome = 0;
    events.clear();
    server.queue(marked("3;" + std::string(300, 'n')));
    EXPECT_TRUE(ws_logon(nullptr, "bob", ""));
    EXPECT_EQ(std::string(g_session.display_name), std::string(254, 'n'));
    EXPECT_TRUE(events.empty());
}

TEST_F(WsTest, LogonWithoutLoginSendsNothing)
{
    g_session.uid = -1;
    EXPECT_FALSE(ws_logon(RECORDED_PLUGIN_DIALOG, "", "pw"));
    EXPECT_FALSE(ws_logon(RECORDED_PLUGIN_DIALOG, nullptr, "pw"));
    EXPECT_EQ(server.connections(), 0u);
    EXPECT_EQ(g_session.uid, -1);
    EXPECT_TRUE(events.empty());
}

TEST_F(WsTest, TaskListAtLogonSkipsTheStatusCheck)
{
    server.queue(marked("A;1;0\r\nB;2;1", "HTTP/1.1 404 Not Found"));
    EXPECT_EQ(take(ws_get_tasks(1)), "A;1;0\r\nB;2;1");
    EXPECT_EQ(server.request(0), get(TOOLS "plg_getTasks.asp?uid=17&date=20260315"));
    server.queue({"HTTP/1.1 200 OK\r\n\r\nnothing\r\n"});
    EXPECT_EQ(take(ws_get_tasks(1)), "<null>");
    EXPECT_TRUE(events.empty());

    // For the chooser the status counts.
    server.queue(marked("A", "HTTP/1.1 404 Not Found"));
    EXPECT_EQ(take(ws_get_tasks(0)), "<null>");
    EXPECT_EQ(server.request(2), get(TOOLS "plg_getTasks.asp?uid=17"));
    EXPECT_EQ(events, (Events{"box owner=none '" CONNECTION_TEXT "\n[HTTP/1.1 404 Not Found]' flags=0x40040"}));
}

TEST_F(WsTest, SyncPostsTheWholeTable)
{
    const TaskSummary table[] = {{"Projet A", 3600, 1}, {"Admin", 120, 0}};
    server.queue(marked("True;;Votre message"));
    EXPECT_EQ(ws_sync_tasks(table, 2, 5), 1);
    EXPECT_EQ(server.request(0),
              post(TOOLS "plg_mgrTasks.asp", "uid=17&fct=5&date=20260315&count=2&task1=Projet%20A&time1=3600"
                                             "&status1=1&task2=Admin&time2=120&status2=0"));
    // ";;" keeps the message in field 2, so nothing is shown.
    EXPECT_TRUE(events.empty());

    const TaskSummary gap[] = {{nullptr, 5, 0}, {"R&D", 7, 1}};
    server.queue(marked("True;ok;Bonne journée"));
    EXPECT_EQ(ws_sync_tasks(gap, 2, 6), 1);
    EXPECT_EQ(server.request(1),
              post(TOOLS "plg_mgrTasks.asp", "uid=17&fct=6&date=20260315&count=2&task2=R%26D&time2=7&status2=1"));
    EXPECT_EQ(events, (Events{"async 'Bonne journée'"}));
}

TEST_F(WsTest, SyncResults)
{
    const TaskSummary one[] = {{"T", 1, 0}};
    EXPECT_EQ(ws_sync_tasks(one, 0, 5), 1);
    EXPECT_EQ(ws_sync_tasks(nullptr, 3, 5), 1);
    EXPECT_EQ(server.connections(), 0u);

    server.queue(marked("pas de champ"));
    EXPECT_EQ(ws_sync_tasks(one, 1, 5), 0);
    EXPECT_EQ(events, (Events{"error 0 'Mauvais format du message de retour.' owner=none"}));

    events.clear();
    server.queue(marked("x", "HTTP/1.1 500 Oops"));  // the status is not examined
    EXPECT_EQ(ws_sync_tasks(one, 1, 5), 0);
    server.queue({"HTTP/1.1 200 OK\r\n\r\nno markers\r\n"});
    EXPECT_EQ(ws_sync_tasks(one, 1, 5), 1);
    g_plugin_settings.HTTPPort = refused_port();
    events.clear();
    EXPECT_EQ(ws_sync_tasks(one, 1, 5), 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("'Connexion to WebService'"), std::string::npos);
}

TEST(WsDate, TodayStampIsTheLocalDate)
{
    plugin_clock_set_source(march_15);
    char stamp[SESSION_DATE_SIZE];
    today_stamp(stamp);
    EXPECT_STREQ(stamp, "20260315");
    plugin_clock_set_source(nullptr);
}

}  // namespace
