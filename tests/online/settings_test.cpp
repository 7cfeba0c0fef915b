#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugins/online/profile_store.h"
#include "plugins/online/settings.h"
#include "tests/support/recording_plugin_ui.h"
#include "tests/support/tempdir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct SettingsTest : ::testing::Test {
    void SetUp() override
    {
        plugin_ui_reset();
        g_plugin_settings = PluginSettings{};
    }
    void TearDown() override { g_plugin_settings = PluginSettings{}; }

    // Loads the settings from a file holding `bytes`.
    const PluginSettings& load(const std::string& bytes)
    {
        write_bytes(ini, bytes);
        EXPECT_EQ(load_plugin_settings(ini.c_str()), 1);
        return g_plugin_settings;
    }

    TempDir dir;
    std::string ini = dir.file("vorn_KovReport.ini");
};

TEST_F(SettingsTest, NoFileGivesTheDefaults)
{
    g_plugin_settings.HTTPPort = 1;
    ASSERT_EQ(load_plugin_settings(dir.file("missing.ini").c_str()), 1);
    const PluginSettings& s = g_plugin_settings;
    EXPECT_STREQ(s.HTTPHost, "127.0.0.1");
    EXPECT_EQ(s.HTTPPort, 80);
    EXPECT_STREQ(s.HTTPPathConfig, "/KOVReport/");
    EXPECT_STREQ(s.HTTPPathTools, "/KOVReport/PluginTools/");
    EXPECT_STREQ(s.HTTPSCRIPT_CONNECT, "plg_connect.asp");
    EXPECT_STREQ(s.HTTPSCRIPT_GETTASK, "plg_getTasks.asp");
    EXPECT_STREQ(s.HTTPSCRIPT_MGRTASK, "plg_mgrTasks.asp");
    EXPECT_STREQ(s.HTTPLogin, "");
    EXPECT_STREQ(s.HTTPPassword, "");
    EXPECT_STREQ(s.KOVLogin, "");
    EXPECT_STREQ(s.KOVPassword, "");
    const int* first = &s.PRGM_UserListClear;
    for (const int* on = first; on <= &s.DEBUG_dispStopFailed; ++on)
        EXPECT_EQ(*on, on == &s.DEBUG_dispHTTPMessage ? 0 : 1) << "switch " << (on - first);
}

TEST_F(SettingsTest, SwitchIsOnOnlyWhenTheValueStartsWithOne)
{
    const struct {
        const char* value;
        int welcome;  // default 1
        int message;  // default 0
    } cases[] = {
        {"0", 0, 0}, {"", 1, 0}, {"true", 0, 0}, {"yes", 0, 0}, {"on", 0, 0},
        {"10", 1, 1}, {"1abc", 1, 1}, {"  1  ", 1, 1}, {"\"1\"", 1, 1}, {"-1", 0, 0},
    };
    for (const auto& c : cases) {
        std::string v = c.value;
        const PluginSettings& s = load("[GENERAL_CONFIGURATION]\r\nDEBUG_dispWelcome=" + v +
                                       "\r\nDEBUG_dispHTTPMessage=" + v + "\r\n");
        EXPECT_EQ(s.DEBUG_dispWelcome, c.welcome) << v;
        EXPECT_EQ(s.DEBUG_dispHTTPMessage, c.message) << v;
    }
}

TEST_F(SettingsTest, PortReadsLikeAtoi)
{
    const struct {
        const char* line;
        int port;
    } cases[] = {
        {"HTTPPort=8080x", 8080}, {"HTTPPort=", 80}, {"HTTPPort=abc", 0},
        {"HTTPPort= -5", -5}, {"HTTPPort=+81", 81}, {"", 80},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load(std::string("[WEBSERVICE]\r\n") + c.line + "\r\n").HTTPPort, c.port) << c.line;
}

TEST_F(SettingsTest, TextsAreCutToTheirFieldAndEmptyValuesKeepTheDefault)
{
    const PluginSettings& s = load("[WEBSERVICE]\r\nHTTPHost=" + std::string(60, 'h') +
                                   "\r\nHTTPPathTools=" + std::string(300, 'p') +
                                   "\r\nHTTPSCRIPT_CONNECT=\r\nHTTPLogin=" + std::string(70, 'l') +
                                   "\r\n[USERSERVICE]\r\nKOVLogin=" + std::string(55, 'k') + "\r\n");
    EXPECT_EQ(std::string(s.HTTPHost), std::string(49, 'h'));
    EXPECT_EQ(std::string(s.HTTPPathTools), std::string(254, 'p'));
    EXPECT_EQ(std::string(s.HTTPLogin), std::string(50, 'l'));
    EXPECT_EQ(std::string(s.KOVLogin), std::string(49, 'k'));
    EXPECT_STREQ(s.HTTPSCRIPT_CONNECT, "plg_connect.asp");
}

TEST_F(SettingsTest, NamesMatchWithoutCaseAndValuesLoseBlanksAndQuotes)
{
    const PluginSettings& s = load(
        "[GENERAL_CONFIGURATION]\nDEBUG_dispWelcome=0\n"  // LF line ends
        "[ webservice ]\r\n  httphost =  \"srv.local\"  \r\nHTTPPort=81\r\nHTTPPort=82\r\n"
        "HTTPSCRIPT_GETTASK = 'list.asp'\r\n"
        "[USERSERVICE]\r\nKOVLogin=\tbob \r\n"
        "[WEBSERVICE]\r\nHTTPPathConfig=/second/\r\n");  // a second section of a name does not count
    EXPECT_EQ(s.DEBUG_dispWelcome, 0);
    EXPECT_STREQ(s.HTTPHost, "srv.local");
    EXPECT_EQ(s.HTTPPort, 81);
    EXPECT_STREQ(s.HTTPSCRIPT_GETTASK, "list.asp");
    EXPECT_STREQ(s.KOVLogin, "bob");
    EXPECT_STREQ(s.HTTPPathConfig, "/KOVReport/");
}

TEST_F(SettingsTest, ReadProfileValueGivesNothingForMissingOrEmpty)
{
    write_bytes(ini, "[S]\r\na=x y\r\nb=\r\n");
    std::unique_ptr<char[]> a(read_profile_value("S", "a", ini.c_str()));
    ASSERT_TRUE(a);
    EXPECT_STREQ(a.get(), "x y");
    EXPECT_EQ(read_profile_value("S", "b", ini.c_str()), nullptr);
    EXPECT_EQ(read_profile_value("S", "c", ini.c_str()), nullptr);
    EXPECT_EQ(read_profile_value("T", "a", ini.c_str()), nullptr);
    write_bytes(ini, "[S]\r\nlong=" + std::string(2000, 'v') + "\r\n");
    std::unique_ptr<char[]> cut(read_profile_value("S", "long", ini.c_str()));
    ASSERT_TRUE(cut);
    EXPECT_EQ(strlen(cut.get()), 1023u);
}

TEST(Scramble, ShiftsEachByteByLengthAndPosition)
{
    char text[] = "abc";
    scramble_password(text);
    EXPECT_STREQ(text, "dfh");
    unscramble_password(text);
    EXPECT_STREQ(text, "abc");
    // Wrap-around at 256 both ways.
    char high[] = "\xfd\xfe";
    scramble_password(high);
    EXPECT_STREQ(high, "\xff\x01");
    unscramble_password(high);
    EXPECT_STREQ(high, "\xfd\xfe");
}

// The password that scrambles to `scrambled` (of the same length).
static std::string password_for(const std::string& scrambled)
{
    std::string password = scrambled;
    size_t n = password.size();
    for (size_t i = 0; i < n; ++i)
        password[i] = static_cast<char>(static_cast<unsigned char>(password[i]) - n - i);
    return password;
}

// Saves the credentials, loads the settings again and unscrambles: what the
// next logon dialog would offer.
static std::string offered_after_save(const std::string& ini, const std::string& password)
{
    std::vector<char> buffer(password.begin(), password.end());
    buffer.push_back('\0');
    EXPECT_EQ(save_user_credentials(ini.c_str(), "bob", buffer.data()), 1);
    load_plugin_settings(ini.c_str());
    unscramble_password(g_plugin_settings.KOVPassword);
    return g_plugin_settings.KOVPassword;
}

TEST_F(SettingsTest, RememberedLogonIsWrittenScrambledAndReadsBack)
{
    char password[] = "abc";
    ASSERT_EQ(save_user_credentials(ini.c_str(), "bob", password), 1);
    EXPECT_STREQ(password, "dfh");  // the caller's buffer holds the scrambled form
    EXPECT_EQ(read_bytes(ini), "[USERSERVICE]\r\nKOVLogin=bob\r\nKOVPassword=dfh\r\n");
    EXPECT_EQ(offered_after_save(ini, "p@ss w0rd;=è"), "p@ss w0rd;=è");
    EXPECT_STREQ(g_plugin_settings.KOVLogin, "bob");
    EXPECT_TRUE(g_plugin_ui.events.empty());
}

TEST_F(SettingsTest, PasswordThatWouldReadBackDifferentIsNotStored)
{
    const struct {
        const char* what;
        std::string scrambled;
    } cases[] = {
        {"zero byte", std::string("a\0b", 3)},
        {"CR", "a\rb"},
        {"LF", "a\nb"},
        {"blank first", " ab"},
        {"blank last", "ab "},
        {"tab last", "ab\t"},
        {"Ctrl-Z first", "\x1a" "ab"},
        {"double quotes", "\"ab\""},
        {"single quotes", "'ab'"},
        {"longer than the field", std::string(50, 'x')},
    };
    for (const auto& c : cases) {
        std::string password = password_for(c.scrambled);
        EXPECT_FALSE(password_storable(password.c_str())) << c.what;
        // An older remembered password is replaced by none.
        write_bytes(ini, "[USERSERVICE]\r\nKOVLogin=old\r\nKOVPassword=dfh\r\n");
        EXPECT_EQ(offered_after_save(ini, password), "") << c.what;
        EXPECT_STREQ(g_plugin_settings.KOVLogin, "bob") << c.what;
    }
    // Inside the text, blanks and a lone quote are kept.
    for (const std::string& inner : std::vector<std::string>{"a b", "\"ab", "a'b", std::string(49, 'x')}) {
        std::string password = password_for(inner);
        EXPECT_TRUE(password_storable(password.c_str())) << inner;
        EXPECT_EQ(offered_after_save(ini, password), password) << inner;
    }
}

// Every byte at the start, in the middle and at the end of a scrambled form:
// what password_storable accepts reads back intact through the real store.
TEST_F(SettingsTest, EveryStorablePasswordReadsBackIntact)
{
    int refused = 0;
    for (int b = 1; b < 256; ++b) {
        for (int at = 0; at < 3; ++at) {
            std::string scrambled = "xyz";
            scrambled[static_cast<size_t>(at)] = static_cast<char>(b);
            std::string password = password_for(scrambled);
            if (password.find('\0') != std::string::npos)
                continue;  // no one types that
            if (!password_storable(password.c_str())) {
                ++refused;
                continue;
            }
            EXPECT_EQ(offered_after_save(ini, password), password) << "byte " << b << " at " << at;
        }
    }
    // CR and LF anywhere; tab, VT, FF, Ctrl-Z and blank at either end.
    EXPECT_EQ(refused, 2 * 3 + 5 * 2);
}

TEST_F(SettingsTest, FailedWriteShowsTheSystemErrorAndGoesOn)
{
    std::string folder = dir.file("no such folder") + "/vorn_KovReport.ini";
    char password[] = "abc";
    EXPECT_EQ(save_user_credentials(folder.c_str(), "bob", password), 1);
    ASSERT_EQ(g_plugin_ui.events.size(), 2u);
    EXPECT_NE(g_plugin_ui.events[0], "logon_error 0");
    EXPECT_EQ(g_plugin_ui.events[0].rfind("logon_error ", 0), 0u);
}

// Our reader and writer against the system's private-profile functions, on
// the same files.
#ifdef _WIN32
const char* const interop_files[] = {
    "[S]\r\nk = v \r\n",
    "[S]\r\nk=\tv\x0b\x0c\x1a\r\n",
    "[S]\r\nk=\"abc\"\r\nj='x'\r\n",
    "[S]\r\nk=\"abc\r\nj=abc'\r\n",
    "[S]\r\nk=\"\"\r\nj=\"\r\n",
    "[S]\r\nk= \"a b\" \r\nj=\" a b \"\r\n",
    "[S]\r\nk=\"a\"b\"\r\nj='a'b'\r\n",
    "[ s ]\r\n  K  =v\r\n",
    "[S]\r\nk=1\r\nk=2\r\n",
    "[S]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n",
    "[S]\r\nk\r\nj=\r\n",
    "[S]\r\n;k=1\r\n",
    "k=1\r\n[S]\r\n",
    "[S]\r\nk=a=b\r\nj=v;c #d\r\n",
    "[S] x\r\nk=1\r\n",
    "  [S]\r\nk=1\r\n",
    "[S]\nk=lf\nj=2",
    "[S]\rk=cr\rj=2\r",
    "[S]\r\nk=v\r\r\n",
    "[S]\r\nk=\xe9\x81\x8d\x90\xff\r\n",
    "[S\r\nk=v\r\n",
    "[S]]\r\nk=v\r\n[S]\r\nj=w\r\n",
    "[T]\r\nk=t\r\n[S]\r\nk=s\r\n",
    "\xef\xbb\xbf[S]\r\nk=bom\r\n",
    "",
};

static std::string system_read(const std::string& path, const char* section, const char* key)
{
    char buffer[1024];
    DWORD n = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path.c_str());
    return std::string(buffer, n);
}

static std::string our_read(const std::string& path, const char* section, const char* key)
{
    char buffer[1024];
    size_t n = ini_file_read(section, key, buffer, sizeof buffer, path.c_str());
    return std::string(buffer, n);
}

TEST_F(SettingsTest, OurReaderGivesWhatTheSystemGives)
{
    const char* keys[][2] = {{"S", "k"}, {"S", "j"}, {"S", ";k"}, {"S]", "k"}, {"T", "k"}, {"s", "K"}};
    for (const char* bytes : interop_files) {
        write_bytes(ini, bytes);
        for (const auto& key : keys)
            EXPECT_EQ(our_read(ini, key[0], key[1]), system_read(ini, key[0], key[1]))
                << "[" << key[0] << "] " << key[1] << " in '" << bytes << "'";
    }
    // A zero byte ends its line's value; the lines after it still count.
    write_bytes(ini, std::string("[S]\r\nk=a\0b\r\nj=2\r\n", 17));
    EXPECT_EQ(our_read(ini, "S", "k"), system_read(ini, "S", "k"));
    EXPECT_EQ(our_read(ini, "S", "j"), system_read(ini, "S", "j"));
    // Cut to the buffer.
    write_bytes(ini, "[S]\r\nk=\"abcdef\"\r\n");
    char small[4];
    char system_small[4];
    EXPECT_EQ(ini_file_read("S", "k", small, sizeof small, ini.c_str()),
              GetPrivateProfileStringA("S", "k", "", system_small, sizeof system_small, ini.c_str()));
    EXPECT_STREQ(small, system_small);
}

TEST_F(SettingsTest, OurWriterLeavesWhatTheSystemsLeaves)
{
    const struct {
        const char* before;  // nullptr: no file
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {nullptr, "USERSERVICE", "KOVLogin", "bob"},
        {"[USERSERVICE]\r\nKOVLogin=old\r\n", "USERSERVICE", "KOVLogin", "new"},
        {"[A]\r\nx = 1\r\n\r\n;c\r\n[USERSERVICE]\r\nKOVLogin = old \r\nz=2\r\n", "USERSERVICE", "KOVLogin", "new"},
        {"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n", "A", "k", "v"},
        {"[A]\nx=1\n", "B", "k", "v"},
        {"[A]\r\nx=1", "A", "k", "v"},
        {"[a]\r\nK=1\r\n", "A", "k", "v"},
        {"[A]\r\nk=1\r\nk=2\r\n", "A", "k", "3"},
        {"[A]\r\nk=1\r\n", "A", "k", ""},
        {"[A]\r\nk=1\r\n", "A", "k", "a;b=c\"d"},
        {"", "A", "k", "v"},
    };
    const char* keys[][2] = {{"A", "k"}, {"A", "x"}, {"B", "k"}, {"B", "y"}, {"USERSERVICE", "KOVLogin"},
                             {"USERSERVICE", "z"}};
    std::string theirs = dir.file("system.ini");
    for (const auto& c : cases) {
        std::remove(ini.c_str());
        std::remove(theirs.c_str());
        if (c.before) {
            write_bytes(ini, c.before);
            write_bytes(theirs, c.before);
        }
        int error = 0;
        ASSERT_EQ(ini_file_write(c.section, c.key, c.value, ini.c_str(), &error), 1);
        ASSERT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, theirs.c_str()));
        for (const auto& key : keys) {
            std::string expected = system_read(theirs, key[0], key[1]);
            EXPECT_EQ(system_read(ini, key[0], key[1]), expected) << key[1] << " after " << c.key;
            EXPECT_EQ(our_read(ini, key[0], key[1]), expected) << key[1] << " after " << c.key;
            EXPECT_EQ(our_read(theirs, key[0], key[1]), expected) << key[1] << " after " << c.key;
        }
    }
}
#endif

}  // namespace
