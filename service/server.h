// The HTTP server of the web service (libmicrohttpd) and its routes.
//
// Handlers are plain functions registered by path prefix before the server
// starts. Each request runs its handler on a thread of its own (one thread
// per connection), so a handler may block on the database; it never runs on
// the server's listening thread. Every reply goes out with
// "Connection: close".
//
// To add pages: write `void my_handler(const HttpRequest&, HttpResponse*,
// void* context)` and call server_add_route(server, "GET", "/KOVReport/x",
// my_handler, context) from a registration function called by main.cpp
// (service_register_routes in service.cpp) before server_start().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct Server;

struct HttpRequest {
    std::string method;          // "GET", "POST", ...
    std::string path;            // the path as sent, without the query
    std::string query;           // the raw text after '?', "" when none
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    std::vector<std::pair<std::string, std::string>> cookies;
    std::string body;            // the raw body (at most the server's bound)
    std::string client_address;  // "127.0.0.1"
};

struct HttpResponse {
    int status = 200;
    std::string content_type = "text/plain; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;  // extra headers
    std::string body;
};

typedef void (*HttpHandler)(const HttpRequest& request, HttpResponse* response, void* context);

struct ServerLimits {
    int connection_timeout_seconds = 15;  // idle time before a connection is dropped
    int request_seconds = 30;             // whole-request bound (slow senders)
    int per_address_connections = 64;
    int total_connections = 1024;
    size_t connection_memory = 32 * 1024; // headers and buffers per connection
    size_t max_body = 1024 * 1024;        // larger bodies get 413
    size_t thread_stack = 512 * 1024;
};

// Returns a new server with no routes (server_free() frees it).
Server* server_new(const ServerLimits& limits);

// Adds a route: requests whose method equals method ("*" for any) and whose
// path equals path_prefix, or starts with it when it ends with '/', go to
// handler with context. The longest matching prefix wins; the first route
// added wins between equal ones. No route: 404. Call before server_start().
void server_add_route(Server* server, const char* method, const char* path_prefix,
                      HttpHandler handler, void* context);

// Starts listening on 127.0.0.1 (loopback_only) or on every address, on port
// (0: a free port, see server_port()). Returns false with a reason in *error.
bool server_start(Server* server, int port, bool loopback_only, std::string* error);

// The port the server listens on, 0 before it starts.
int server_port(const Server* server);

// Stops accepting, waits for the requests under way, and frees the server.
// Null is harmless.
void server_free(Server* server);

// The value of the first header named name (any letter case), or null.
const std::string* http_header(const HttpRequest& request, const char* name);

// The value of the first cookie named name, or null.
const std::string* http_cookie(const HttpRequest& request, const char* name);
