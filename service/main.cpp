// zentrik-service: the web service of the desktop plug-in.
//   zentrik-service [--port N] [--database FILE|postgresql://URL] [--config FILE] ...
//   zentrik-service user add LOGIN --display NAME [--admin] [--restricted] --database ...
//   zentrik-service catalogue add LOGIN TASK... --database ...
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "service/auth.h"
#include "service/server.h"
#include "service/service.h"
#include "service/text.h"

static const char usage[] =
    "Usage:\n"
    "  zentrik-service [OPTIONS]\n"
    "      Serves the plug-in's scripts and the web page until SIGTERM or SIGINT.\n"
    "  zentrik-service user add LOGIN [--display NAME] [--admin] [--restricted] [OPTIONS]\n"
    "      Adds a user; the password is read from standard input (one line).\n"
    "  zentrik-service catalogue add LOGIN TASK... [OPTIONS]\n"
    "      Adds task names to the list the user's task chooser offers.\n"
    "\n"
    "Options (each setting of the configuration file is also an option, with '-'\n"
    "in place of '_'):\n"
    "  --config FILE         read settings from FILE first (see zentrik-service.conf)\n"
    "  --port N              TCP port (8080)\n"
    "  --listen ADDRESS      127.0.0.1 or * for every address (*)\n"
    "  --database DB         SQLite file (zentrik.db in the current directory) or\n"
    "                        postgresql://user@host:port/name\n"
    "  --admin-login LOGIN   administrator created at first start (admin)\n"
    "  --admin-password PW   its password (default: a random one, printed once)\n"
    "  --http-login L, --http-password P\n"
    "                        Basic authorisation the plug-in must send (none)\n"
    "  --session-idle-seconds N  idle time after which a plug-in session ends (1209600)\n"
    "  --web-session-idle-seconds N  idle time after which a page sign-in ends (28800)\n"
    "  --cookie-secure yes   mark the page's cookie Secure (behind a TLS proxy)\n"
    "  --help                this text\n";

struct CommandLine {
    std::vector<std::string> words;  // everything that is not an option
    std::string display;
    bool admin = false;
    bool restricted = false;
};

static int fail(const std::string& message, int code = 1)
{
    std::cerr << "zentrik-service: " << message << "\n";
    return code;
}

// Reads the options into *config and *line; returns false with a message.
static bool parse_arguments(int argc, char** argv, ServiceConfig* config, CommandLine* line,
                            std::string* error)
{
    // The file first, so that options override it.
    for (int i = 1; i + 1 < argc; i++)
        if (strcmp(argv[i], "--config") == 0 && !config_load_file(argv[i + 1], config, error))
            return false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            line->words.push_back(arg);
            continue;
        }
        std::string key = arg.substr(2);
        if (key == "admin" || key == "restricted") {
            (key == "admin" ? line->admin : line->restricted) = true;
            continue;
        }
        if (key == "fixed-route") {
            config->fixed_route = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = arg + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        if (key == "config")
            continue;
        if (key == "display") {
            line->display = value;
            continue;
        }
        for (char& c : key)
            if (c == '-')
                c = '_';
        if (!config_set(config, key, value, error))
            return false;
    }
    return true;
}

static bool open_service(Service* service, std::string* error)
{
    if (!auth_init()) {
        *error = "libsodium cannot start";
        return false;
    }
    service->now_ms = service_clock_ms;
    service->store = store_open(service->config.database, error);
    return service->store != nullptr;
}

static int serve(Service* service)
{
    // Only the main thread takes the signals, and only in sigwait: the
    // threads started from here inherit the blocked mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Each connection takes two descriptors (the server's and the
    // watchdog's copy): the usual soft limit of 1024 is too low.
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    std::string error, password;
    if (!open_service(service, &error))
        return fail(error);
    if (!service_ensure_admin(service, &password, &error)) {
        store_close(service->store);
        return fail(error);
    }
    if (!password.empty())
        std::cout << "Administrator account '" << service->config.admin_login
                  << "' created with the password: " << password << std::endl;
    service->limiter = limit_new(service->config.failures_per_minute);

    const ServiceConfig& config = service->config;
    Server* server = server_new(service_server_limits(config));
    service_register_routes(service, server);
    if (!server_start(server, config.port, config.loopback_only, &error)) {
        server_free(server);
        store_close(service->store);
        limit_free(service->limiter);
        return fail(error);
    }
    std::cout << "zentrik-service: listening on port " << server_port(server) << ", database "
              << config_database_shown(config.database) << std::endl;

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    std::cout << "zentrik-service: stopping" << std::endl;
    server_free(server);
    store_close(service->store);
    limit_free(service->limiter);
    return 0;
}

static bool login_ok(const std::string& login)
{
    std::string narrow;
    if (login.empty() || login.size() > 100 || !text_utf8_to_cp1252(login, &narrow))
        return false;
    for (unsigned char c : narrow)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

static int add_user(Service* service, const CommandLine& line)
{
    if (line.words.size() != 3)
        return fail("user add takes one LOGIN", 2);
    StoreUser user;
    user.login = line.words[2];
    user.display_name = line.display.empty() ? user.login : line.display;
    user.admin = line.admin;
    user.restricted = line.restricted;
    // The plug-in sends the login in Windows-1252.
    if (!login_ok(user.login))
        return fail("the login must be 1 to 100 characters of Windows-1252, without control characters", 2);
    std::string password;
    if (!std::getline(std::cin, password))
        return fail("no password on standard input", 2);
    while (!password.empty() && (password.back() == '\r' || password.back() == '\n'))
        password.pop_back();
    if (password.empty())
        return fail("the password is empty", 2);
    std::string error;
    if (!open_service(service, &error))
        return fail(error);
    StoreResult result = STORE_ERROR;
    if (auth_hash_password(password, service->config.password_cost, &user.password_hash))
        result = store_write_with(service->store, [&](StoreTx* tx) { return store_user_insert(tx, &user); });
    store_close(service->store);
    if (result == STORE_EXISTS)
        return fail("the user " + user.login + " exists already");
    if (result != STORE_OK)
        return fail("the user could not be added");
    return 0;
}

static int add_catalogue(Service* service, const CommandLine& line)
{
    if (line.words.size() < 4)
        return fail("catalogue add takes a LOGIN and at least one TASK", 2);
    for (size_t i = 3; i < line.words.size(); i++)
        if (!text_task_name_ok(line.words[i]))
            return fail("'" + line.words[i] + "' is no usable task name (Windows-1252, no ';')", 2);
    std::string error;
    if (!open_service(service, &error))
        return fail(error);
    StoreResult result = store_write_with(service->store, [&](StoreTx* tx) {
        StoreUser user;
        StoreResult r = store_user_by_login(tx, line.words[2], &user);
        for (size_t i = 3; r == STORE_OK && i < line.words.size(); i++) {
            r = store_catalogue_add(tx, user.id, line.words[i]);
            if (r == STORE_EXISTS)
                r = STORE_OK;
        }
        return r;
    });
    store_close(service->store);
    if (result == STORE_NOT_FOUND)
        return fail("no user " + line.words[2]);
    if (result != STORE_OK)
        return fail("the catalogue could not be changed");
    return 0;
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            std::cout << usage;
            return 0;
        }
    Service service;
    CommandLine line;
    std::string error;
    if (!parse_arguments(argc, argv, &service.config, &line, &error))
        return fail(error + " (see --help)", 2);
    if (line.words.empty())
        return serve(&service);
    if (line.words.size() >= 2 && line.words[0] == "user" && line.words[1] == "add")
        return add_user(&service, line);
    if (line.words.size() >= 2 && line.words[0] == "catalogue" && line.words[1] == "add")
        return add_catalogue(&service, line);
    return fail("unknown command '" + line.words[0] + "' (see --help)", 2);
}
