// The running service: its settings, its store and its clock, shared by every
// handler (read-only once the server runs, apart from the rate limiter,
// which locks itself).
#pragma once

#include <cstdint>
#include <string>

#include "service/config.h"
#include "service/limit.h"
#include "service/server.h"
#include "service/store.h"

struct Service {
    ServiceConfig config;
    Store* store = nullptr;
    RateLimiter* limiter = nullptr;
    // The clock, milliseconds since 1970 UTC; replaced in tests.
    int64_t (*now_ms)() = nullptr;
};

// The system clock in milliseconds since 1970 UTC.
int64_t service_clock_ms();

// The user's offset from UTC in minutes at the instant now_ms: their fixed
// offset when they have one, else the server's local zone's at that instant.
int service_user_offset(const StoreUser& user, int64_t now_ms);

// The server's limits as the settings give them.
ServerLimits service_server_limits(const ServiceConfig& config);

// Registers every route of the service (the plug-in's scripts, the page) on
// server, with service as their context.
void service_register_routes(Service* service, Server* server);

// Creates the administrator account when the store has no user: login
// config.admin_login, password config.admin_password or a random one, which
// is written to *printed_password ("" when none was created or it was given).
// Returns false with a reason in *error.
bool service_ensure_admin(Service* service, std::string* printed_password, std::string* error);
