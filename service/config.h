// Settings of the web service: embedded defaults, then the configuration
// file, then the command line. The file format ("key = value" lines, '#'
// comments) and every key are listed in service/zentrik-service.conf.
#pragma once

#include <cstdint>
#include <string>

struct ServiceConfig {
    int port = 8080;
    bool loopback_only = false;          // listen = 127.0.0.1
    std::string database = "zentrik.db"; // a SQLite file, or postgresql://...
    std::string base_path = "/KOVReport/";
    std::string tools_path = "/KOVReport/PluginTools/";
    std::string script_connect = "plg_connect.asp";
    std::string script_get_tasks = "plg_getTasks.asp";
    std::string script_manage = "plg_mgrTasks.asp";
    // Basic authorisation the plug-in must send (its HTTPLogin and
    // HTTPPassword); both empty: none required.
    std::string http_login;
    std::string http_password;
    int64_t session_idle_seconds = 14 * 24 * 3600;
    // Failed logons and unknown uids allowed per address and minute.
    int failures_per_minute = 20;
    // The administrator created at first start; "" prints a random password.
    std::string admin_login = "admin";
    std::string admin_password;
    // "interactive" (default) or "minimal" (tests: fast, weak).
    std::string password_cost = "interactive";
    // Welcome text added to the plug-in's welcome box, "" for none.
    std::string welcome = "Bon travail !";
    // A hidden route answering a fixed text without database work, for
    // comparing the server's speed with and without the database.
    bool fixed_route = false;
    int connection_timeout_seconds = 15;
    int request_seconds = 30;
    int per_address_connections = 64;
    int total_connections = 1024;
    int64_t max_body_bytes = 1024 * 1024;
    // The web page's sign-in: idle time after which it ends, and whether its
    // cookie is marked Secure (set it when a TLS proxy serves the page).
    int64_t web_session_idle_seconds = 8 * 3600;
    bool cookie_secure = false;
};

// Reads the configuration file at path into *config (keys not in the file
// keep their values). Returns false with "path:line: reason" in *error on an
// unknown key, a bad value or an unreadable file.
bool config_load_file(const std::string& path, ServiceConfig* config, std::string* error);

// Sets one key from its text (the file's keys; also used for options).
// Returns false with a reason in *error.
bool config_set(ServiceConfig* config, const std::string& key, const std::string& value,
                std::string* error);

// The database setting as it may be shown (on the console, in a log): a
// password in a postgresql:// URL, in its user part or as a password=
// parameter, is replaced by "***". A SQLite file name comes back unchanged.
std::string config_database_shown(const std::string& database);
