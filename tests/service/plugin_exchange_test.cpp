// The online plug-in's own exchange code against the real service: what one
// sends, the other understands, accents and refusals included.
#include <cstring>

#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "plugins/online/ws.h"
#include "tests/service/service_fixture.h"
#include "tests/support/recording_plugin_ui.h"

class PluginExchangeTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        start();
        login_ = fresh_login("marie");
        user_id_ = add_user(login_, "mot de passe \xc3\xa9t\xc3\xa9 & co");
        g_plugin_settings = PluginSettings();
        g_plugin_settings.HTTPPort = port_;
        g_session = OnlineSession();
        plugin_ui_reset();
    }
    std::string login_;
    int64_t user_id_ = 0;
};

TEST_F(PluginExchangeTest, AWorkingSession)
{
    // The plug-in's texts are Windows-1252.
    ASSERT_TRUE(ws_logon(nullptr, login_.c_str(), "mot de passe \xe9t\xe9 & co"));
    EXPECT_GT(g_session.uid, 0);
    EXPECT_STREQ("Marie Dupont", g_session.display_name);

    add_catalogue(user_id_, "R\xc3\xa9union \xc3\xa9quipe");
    char* chooser = ws_get_tasks(0);
    ASSERT_TRUE(chooser);
    EXPECT_STREQ("R\xe9union \xe9quipe", chooser);
    delete[] chooser;

    EXPECT_TRUE(ws_add_task("R\xe9union \xe9quipe"));
    EXPECT_TRUE(ws_set_task_running("R\xe9union \xe9quipe", 0, 1));
    test_clock_ms += 600 * 1000;
    EXPECT_TRUE(ws_set_task_running("R&D 100%", 40, 1));
    TaskSummary table[2] = {{"R\xe9union \xe9quipe", 600, 0}, {"R&D 100%", 45, 1}};
    EXPECT_EQ(1, ws_sync_tasks(table, 2, 5));

    char* list = ws_get_tasks(1);
    ASSERT_TRUE(list);
    EXPECT_STREQ("R\xe9union \xe9quipe;600;0\r\nR&D 100%;45;1", list);
    delete[] list;
    EXPECT_TRUE(ws_set_task_running("R&D 100%", 50, 0));
    EXPECT_TRUE(ws_remove_task("R&D 100%", 50));
    EXPECT_EQ(0u, snapshot(user_id_).rfind("task R\xc3\xa9union \xc3\xa9quipe 600\njournal", 0));

    // The administrator's message reaches the desktop once.
    StoreUser u = user(user_id_);
    u.message = "Pensez \xc3\xa0 saisir vos heures";
    ASSERT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) { return store_user_update(tx, u); }));
    EXPECT_EQ(1, ws_sync_tasks(table, 1, 6));
    EXPECT_EQ(1, ws_sync_tasks(table, 1, 5));
    int shown = 0;
    for (const std::string& event : g_plugin_ui.events)
        shown += event == "async 'Pensez \xe0 saisir vos heures'";
    EXPECT_EQ(1, shown);
}

TEST_F(PluginExchangeTest, RefusalsReachTheUser)
{
    EXPECT_FALSE(ws_logon(nullptr, login_.c_str(), "faux"));
    ASSERT_FALSE(g_plugin_ui.events.empty());
    EXPECT_NE(std::string::npos, g_plugin_ui.events.back().find("Identifiant ou mot de passe incorrect"));

    ASSERT_TRUE(ws_logon(nullptr, login_.c_str(), "mot de passe \xe9t\xe9 & co"));
    StoreUser u = user(user_id_);
    u.restricted = true;
    ASSERT_EQ(STORE_OK, store_write_with(service_.store, [&](StoreTx* tx) { return store_user_update(tx, u); }));
    plugin_ui_reset();
    EXPECT_FALSE(ws_add_task("Autre"));
    ASSERT_EQ(1u, g_plugin_ui.events.size());
    EXPECT_NE(std::string::npos, g_plugin_ui.events[0].find("T\xe2" "che hors du catalogue"))
        << g_plugin_ui.events[0];

    // A session gone stale: the plug-in is told, its start is vetoed.
    test_clock_ms += config_.session_idle_seconds * 1000 + 1000;
    EXPECT_FALSE(ws_set_task_running("Autre", 1, 1));
}
