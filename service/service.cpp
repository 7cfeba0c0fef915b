#include "service/service.h"

#include <chrono>
#include <ctime>

#include "service/auth.h"
#include "service/plg.h"
#include "service/server.h"

// The web page registers its own routes when it is part of the build.
#if __has_include("service/web.h")
#include "service/web.h"
#define ZENTRIK_SERVICE_HAS_WEB 1
#endif

int64_t service_clock_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int service_user_offset(const StoreUser& user, int64_t now_ms)
{
    if (user.has_utc_offset)
        return user.utc_offset_minutes;
    time_t seconds = static_cast<time_t>(now_ms / 1000);
    struct tm local;
    if (!localtime_r(&seconds, &local))
        return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
}

ServerLimits service_server_limits(const ServiceConfig& config)
{
    ServerLimits limits;
    limits.connection_timeout_seconds = config.connection_timeout_seconds;
    limits.request_seconds = config.request_seconds;
    limits.per_address_connections = config.per_address_connections;
    limits.total_connections = config.total_connections;
    limits.max_body = static_cast<size_t>(config.max_body_bytes);
    return limits;
}

void service_register_routes(Service* service, Server* server)
{
    plg_register_routes(service, server);
#ifdef ZENTRIK_SERVICE_HAS_WEB
    web_register_routes(service, server);
#endif
}

bool service_ensure_admin(Service* service, std::string* printed_password, std::string* error)
{
    printed_password->clear();
    const ServiceConfig& config = service->config;
    bool empty = false;
    StoreResult result = store_read_with(service->store, [&](StoreTx* tx) {
        std::vector<StoreUser> users;
        StoreResult r = store_user_list(tx, &users);
        empty = users.empty();
        return r;
    });
    if (result != STORE_OK) {
        *error = "cannot read the users";
        return false;
    }
    if (!empty)
        return true;
    StoreUser admin;
    admin.login = config.admin_login;
    admin.display_name = "Administrateur";
    admin.admin = true;
    std::string password = config.admin_password.empty() ? auth_random_password() : config.admin_password;
    if (!auth_hash_password(password, config.password_cost, &admin.password_hash)) {
        *error = "cannot hash the password";
        return false;
    }
    bool made_here = false;
    result = store_write_with(service->store, [&](StoreTx* tx) {
        // Another instance may have made it meanwhile: then its password,
        // not this one, is the administrator's, and this one is not printed.
        StoreResult r = store_user_insert(tx, &admin);
        made_here = r == STORE_OK;
        return r == STORE_EXISTS ? STORE_OK : r;
    });
    if (result != STORE_OK) {
        *error = "cannot create the administrator";
        return false;
    }
    if (made_here && config.admin_password.empty())
        *printed_password = password;
    return true;
}
