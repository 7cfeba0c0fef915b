#include "plugins/online/settings.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "plugins/online/plugin_ui.h"
#include "plugins/online/profile_store.h"

PluginSettings g_plugin_settings;

enum : size_t { VALUE_SIZE = 1024 };

char* read_profile_value(const char* section, const char* key, const char* ini_path)
{
    char value[VALUE_SIZE];
    size_t length = profile_store_read(section, key, value, sizeof value, ini_path);
    if (length == 0)
        return nullptr;
    char* copy = new (std::nothrow) char[length + 1];
    if (!copy)
        return nullptr;
    memcpy(copy, value, length);
    copy[length] = '\0';
    return copy;
}

int read_profile_switch(const char* key, int default_value, const char* ini_path)
{
    char* value = read_profile_value("GENERAL_CONFIGURATION", key, ini_path);
    if (!value)
        return default_value;
    int on = value[0] == '1' ? 1 : 0;
    delete[] value;
    return on;
}

// Copies the value of `key`, when it has one, into `field` of `size` bytes,
// cut to fit.
static void read_text(const char* section, const char* key, char* field, size_t size,
                      const char* ini_path)
{
    char* value = read_profile_value(section, key, ini_path);
    if (!value)
        return;
    size_t length = strlen(value);
    if (length >= size)
        length = size - 1;
    memcpy(field, value, length);
    field[length] = '\0';
    delete[] value;
}

int load_plugin_settings(const char* ini_path)
{
    PluginSettings& s = g_plugin_settings;
    s = PluginSettings{};
    struct Switch {
        const char* key;
        int* field;
    };
    const Switch switches[] = {
        {"PRGM_UserListClear", &s.PRGM_UserListClear},
        {"DEBUG_dispWelcome", &s.DEBUG_dispWelcome},
        {"DEBUG_dispHTTPError", &s.DEBUG_dispHTTPError},
        {"DEBUG_dispHTTPHeader", &s.DEBUG_dispHTTPHeader},
        {"DEBUG_dispHTTPMessage", &s.DEBUG_dispHTTPMessage},
        {"DEBUG_dispAddSuccess", &s.DEBUG_dispAddSuccess},
        {"DEBUG_dispAddFailed", &s.DEBUG_dispAddFailed},
        {"DEBUG_dispRemoveSuccess", &s.DEBUG_dispRemoveSuccess},
        {"DEBUG_dispRemoveFailed", &s.DEBUG_dispRemoveFailed},
        {"DEBUG_dispStartSuccess", &s.DEBUG_dispStartSuccess},
        {"DEBUG_dispStartFailed", &s.DEBUG_dispStartFailed},
        {"DEBUG_dispStopSuccess", &s.DEBUG_dispStopSuccess},
        {"DEBUG_dispStopFailed", &s.DEBUG_dispStopFailed},
    };
    for (const Switch& entry : switches)
        *entry.field = read_profile_switch(entry.key, *entry.field, ini_path);

    const char* web = "WEBSERVICE";
    read_text(web, "HTTPHost", s.HTTPHost, sizeof s.HTTPHost, ini_path);
    if (char* port = read_profile_value(web, "HTTPPort", ini_path)) {
        s.HTTPPort = atoi(port);
        delete[] port;
    }
    read_text(web, "HTTPPathConfig", s.HTTPPathConfig, sizeof s.HTTPPathConfig, ini_path);
    read_text(web, "HTTPPathTools", s.HTTPPathTools, sizeof s.HTTPPathTools, ini_path);
    read_text(web, "HTTPSCRIPT_CONNECT", s.HTTPSCRIPT_CONNECT, sizeof s.HTTPSCRIPT_CONNECT, ini_path);
    read_text(web, "HTTPSCRIPT_GETTASK", s.HTTPSCRIPT_GETTASK, sizeof s.HTTPSCRIPT_GETTASK, ini_path);
    read_text(web, "HTTPSCRIPT_MGRTASK", s.HTTPSCRIPT_MGRTASK, sizeof s.HTTPSCRIPT_MGRTASK, ini_path);
    read_text(web, "HTTPLogin", s.HTTPLogin, sizeof s.HTTPLogin, ini_path);
    read_text(web, "HTTPPassword", s.HTTPPassword, sizeof s.HTTPPassword, ini_path);

    read_text("USERSERVICE", "KOVLogin", s.KOVLogin, sizeof s.KOVLogin, ini_path);
    read_text("USERSERVICE", "KOVPassword", s.KOVPassword, sizeof s.KOVPassword, ini_path);
    return 1;
}

void scramble_password(char* text)
{
    size_t n = strlen(text);
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<char>(static_cast<unsigned char>(text[i]) + n + i);
}

void unscramble_password(char* text)
{
    size_t n = strlen(text);
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<char>(static_cast<unsigned char>(text[i]) - n - i);
}

// The blanks that the private-profile reader strips around a value: the C
// blanks and Ctrl-Z.
static bool stripped_at_end(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1a;
}

bool password_storable(const char* password)
{
    size_t n = strlen(password);
    if (n >= SETTINGS_SHORT_FIELD)
        return false;
    unsigned char scrambled[SETTINGS_SHORT_FIELD];
    for (size_t i = 0; i < n; ++i) {
        scrambled[i] = static_cast<unsigned char>(static_cast<unsigned char>(password[i]) + n + i);
        if (scrambled[i] == 0 || scrambled[i] == '\r' || scrambled[i] == '\n')
            return false;
    }
    if (n == 0)
        return true;
    if (stripped_at_end(scrambled[0]) || stripped_at_end(scrambled[n - 1]))
        return false;
    bool quoted = n >= 2 && (scrambled[0] == '"' || scrambled[0] == '\'') && scrambled[n - 1] == scrambled[0];
    return !quoted;
}

static void write_or_show(const char* key, const char* value, const char* ini_path)
{
    int error = 0;
    if (!profile_store_write("USERSERVICE", key, value, ini_path, &error))
        show_logon_error(error);
}

int save_user_credentials(const char* ini_path, const char* login, char* password)
{
    write_or_show("KOVLogin", login, ini_path);
    bool storable = password_storable(password);
    scramble_password(password);
    // A scrambled form that would read back different is not stored: an
    // empty value replaces any older one, which would be offered wrongly.
    write_or_show("KOVPassword", storable ? password : "", ini_path);
    return 1;
}
