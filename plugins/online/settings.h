// The plug-in's settings file "./vorn_KovReport.ini": where the web service
// is, which account authenticates the HTTP requests, which messages are
// shown, and the remembered user. Read once at initialisation into
// g_plugin_settings; only the remembered user is ever written back.
#pragma once

#define PLUGIN_SETTINGS_FILE "./vorn_KovReport.ini"

// Field widths, terminating zero included.
enum : int {
    SETTINGS_SHORT_FIELD = 50,   // HTTPHost, HTTPSCRIPT_*, KOVLogin, KOVPassword
    SETTINGS_ACCOUNT_FIELD = 51, // HTTPLogin, HTTPPassword
    SETTINGS_PATH_FIELD = 255,   // HTTPPathConfig, HTTPPathTools
};

// The fields bear the names of the file's keys. Switches hold 0 or 1.
struct PluginSettings {
    // [GENERAL_CONFIGURATION]
    int PRGM_UserListClear = 1;
    int DEBUG_dispWelcome = 1;
    int DEBUG_dispHTTPError = 1;
    int DEBUG_dispHTTPHeader = 1;
    int DEBUG_dispHTTPMessage = 0;  // read and kept; nothing depends on it
    int DEBUG_dispAddSuccess = 1;
    int DEBUG_dispAddFailed = 1;
    int DEBUG_dispRemoveSuccess = 1;
    int DEBUG_dispRemoveFailed = 1;
    int DEBUG_dispStartSuccess = 1;
    int DEBUG_dispStartFailed = 1;
    int DEBUG_dispStopSuccess = 1;
    int DEBUG_dispStopFailed = 1;
    // [WEBSERVICE]
    char HTTPHost[SETTINGS_SHORT_FIELD] = "127.0.0.1";
    int HTTPPort = 80;
    char HTTPPathConfig[SETTINGS_PATH_FIELD] = "/KOVReport/";
    char HTTPPathTools[SETTINGS_PATH_FIELD] = "/KOVReport/PluginTools/";
    char HTTPSCRIPT_CONNECT[SETTINGS_SHORT_FIELD] = "plg_connect.asp";
    char HTTPSCRIPT_GETTASK[SETTINGS_SHORT_FIELD] = "plg_getTasks.asp";
    char HTTPSCRIPT_MGRTASK[SETTINGS_SHORT_FIELD] = "plg_mgrTasks.asp";
    char HTTPLogin[SETTINGS_ACCOUNT_FIELD] = "";
    char HTTPPassword[SETTINGS_ACCOUNT_FIELD] = "";
    // [USERSERVICE]
    char KOVLogin[SETTINGS_SHORT_FIELD] = "";
    char KOVPassword[SETTINGS_SHORT_FIELD] = "";  // scrambled as stored, until unscrambled
};

// One per loaded library.
extern PluginSettings g_plugin_settings;

// Resets g_plugin_settings to the defaults, then reads every key of the file
// at `ini_path` in turn: a key with a non-empty value replaces its default
// (texts cut to their field, HTTPPort read as atoi reads), a missing key or
// empty value keeps it. A missing file leaves every default. Returns 1.
int load_plugin_settings(const char* ini_path);

// Returns the value of `key` in `section` (at most 1023 characters) as a
// new[] text that the caller delete[]s, or nullptr when the key is missing
// or its value empty.
char* read_profile_value(const char* section, const char* key, const char* ini_path);

// Returns the switch `key` of GENERAL_CONFIGURATION: `default_value` when it
// has no value, else 1 when its first character is '1' and 0 otherwise.
int read_profile_switch(const char* key, int default_value, const char* ini_path);

// Writes KOVLogin = `login` and KOVPassword = the scrambled `password` into
// USERSERVICE of `ini_path`. Scrambles `password` in place (the caller's
// buffer holds the scrambled form afterwards). A scrambled form that would
// not read back intact (see password_storable) is not stored: an empty
// KOVPassword is written instead, so that no stale password is offered. A
// failed write shows show_logon_error with the system's code and goes on.
// Returns 1.
int save_user_credentials(const char* ini_path, const char* login, char* password);

// Whether `password`, once scrambled, reads back byte for byte from the
// settings file: its scrambled form holds no zero byte (it would end the
// text), no CR or LF, no blank or tab at either end, is not wrapped in a pair
// of quotes (the private-profile functions strip these), and fits the
// KOVPassword field.
bool password_storable(const char* password);

// Byte i of the n bytes of `text` becomes (byte + n + i) mod 256, in place.
void scramble_password(char* text);
// The inverse: byte i becomes (byte - n - i) mod 256, n the text's length.
void unscramble_password(char* text);
