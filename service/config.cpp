#include "service/config.h"

#include <cstdlib>
#include <fstream>

static bool set_int(const std::string& value, long long min, long long max, long long* out)
{
    if (value.empty())
        return false;
    char* end = nullptr;
    long long parsed = std::strtoll(value.c_str(), &end, 10);
    if (*end != '\0' || parsed < min || parsed > max)
        return false;
    *out = parsed;
    return true;
}

static bool set_bool(const std::string& value, bool* out)
{
    if (value == "yes" || value == "true" || value == "1") {
        *out = true;
        return true;
    }
    if (value == "no" || value == "false" || value == "0") {
        *out = false;
        return true;
    }
    return false;
}

// A path that starts and ends with '/'.
static bool set_path(const std::string& value, std::string* out)
{
    if (value.empty() || value.front() != '/')
        return false;
    *out = value.back() == '/' ? value : value + "/";
    return true;
}

bool config_set(ServiceConfig* config, const std::string& key, const std::string& value,
                std::string* error)
{
    long long number = 0;
    bool ok = true;
    if (key == "port") {
        ok = set_int(value, 0, 65535, &number);
        config->port = static_cast<int>(number);
    } else if (key == "listen") {
        ok = value == "127.0.0.1" || value == "*";
        config->loopback_only = value == "127.0.0.1";
    } else if (key == "database") {
        ok = !value.empty();
        config->database = value;
    } else if (key == "base_path") {
        ok = set_path(value, &config->base_path);
    } else if (key == "tools_path") {
        ok = set_path(value, &config->tools_path);
    } else if (key == "script_connect") {
        ok = !value.empty();
        config->script_connect = value;
    } else if (key == "script_get_tasks") {
        ok = !value.empty();
        config->script_get_tasks = value;
    } else if (key == "script_manage") {
        ok = !value.empty();
        config->script_manage = value;
    } else if (key == "http_login") {
        config->http_login = value;
    } else if (key == "http_password") {
        config->http_password = value;
    } else if (key == "session_idle_seconds") {
        ok = set_int(value, 1, 10LL * 365 * 24 * 3600, &number);
        config->session_idle_seconds = number;
    } else if (key == "failures_per_minute") {
        ok = set_int(value, 1, 1000000, &number);
        config->failures_per_minute = static_cast<int>(number);
    } else if (key == "admin_login") {
        ok = !value.empty();
        config->admin_login = value;
    } else if (key == "admin_password") {
        config->admin_password = value;
    } else if (key == "password_cost") {
        ok = value == "interactive" || value == "minimal";
        config->password_cost = value;
    } else if (key == "welcome") {
        config->welcome = value;
    } else if (key == "fixed_route") {
        ok = set_bool(value, &config->fixed_route);
    } else if (key == "connection_timeout_seconds") {
        ok = set_int(value, 1, 3600, &number);
        config->connection_timeout_seconds = static_cast<int>(number);
    } else if (key == "request_seconds") {
        ok = set_int(value, 1, 3600, &number);
        config->request_seconds = static_cast<int>(number);
    } else if (key == "per_address_connections") {
        ok = set_int(value, 1, 100000, &number);
        config->per_address_connections = static_cast<int>(number);
    } else if (key == "total_connections") {
        ok = set_int(value, 1, 100000, &number);
        config->total_connections = static_cast<int>(number);
    } else if (key == "max_body_bytes") {
        ok = set_int(value, 1024, 1LL << 30, &number);
        config->max_body_bytes = number;
    } else if (key == "web_session_idle_seconds") {
        ok = set_int(value, 1, 365LL * 24 * 3600, &number);
        config->web_session_idle_seconds = number;
    } else if (key == "cookie_secure") {
        ok = set_bool(value, &config->cookie_secure);
    } else {
        *error = "unknown setting '" + key + "'";
        return false;
    }
    if (!ok)
        *error = "bad value '" + value + "' for " + key;
    return ok;
}

static std::string trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool config_load_file(const std::string& path, ServiceConfig* config, std::string* error)
{
    std::ifstream file(path);
    if (!file) {
        *error = path + ": cannot be read";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        number++;
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        size_t eq = line.find('=');
        std::string reason = "expected 'key = value'";
        if (eq != std::string::npos &&
            config_set(config, trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)), &reason))
            continue;
        *error = path + ":" + std::to_string(number) + ": " + reason;
        return false;
    }
    return true;
}

std::string config_database_shown(const std::string& database)
{
    size_t scheme = database.find("://");
    if (scheme == std::string::npos)
        return database;
    std::string shown = database;
    size_t host = shown.find_first_of("/?", scheme + 3);
    size_t at = shown.rfind('@', host == std::string::npos ? std::string::npos : host);
    if (at != std::string::npos && at > scheme) {
        size_t colon = shown.find(':', scheme + 3);
        if (colon != std::string::npos && colon < at)
            shown.replace(colon + 1, at - colon - 1, "***");
    }
    for (size_t key = shown.find("password=", scheme); key != std::string::npos;
         key = shown.find("password=", key + 1)) {
        if (shown[key - 1] != '?' && shown[key - 1] != '&')
            continue;
        size_t value = key + 9, end = shown.find('&', value);
        shown.replace(value, (end == std::string::npos ? shown.size() : end) - value, "***");
    }
    return shown;
}
