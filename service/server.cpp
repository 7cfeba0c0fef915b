#include "service/server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

struct Route {
    std::string method;
    std::string prefix;
    HttpHandler handler;
    void* context;
};

// One connection as the watchdog sees it. The socket is a duplicate of the
// server's: shutting it down ends the server's connection too, and since it
// stays open until the server has let the connection go, it can never name
// a socket the system has reused for someone else.
struct Watched {
    int socket;
    std::chrono::steady_clock::time_point started;
};

struct Server {
    ServerLimits limits;
    std::vector<Route> routes;
    MHD_Daemon* daemon = nullptr;
    int port = 0;

    std::mutex lock;
    std::condition_variable wake;
    std::unordered_map<MHD_Connection*, Watched> watched;
    bool stopping = false;
    std::thread watchdog;
};

// The state of one request, from its request line to its completion.
struct RequestState {
    std::string raw_uri;
    std::string body;
    bool started = false;
    bool too_large = false;
};

Server* server_new(const ServerLimits& limits)
{
    Server* server = new Server;
    server->limits = limits;
    return server;
}

void server_add_route(Server* server, const char* method, const char* path_prefix,
                      HttpHandler handler, void* context)
{
    server->routes.push_back(Route{method, path_prefix, handler, context});
}

static const Route* find_route(const Server* server, const std::string& method,
                               const std::string& path)
{
    const Route* best = nullptr;
    for (const Route& route : server->routes) {
        if (route.method != "*" && route.method != method)
            continue;
        bool match = path == route.prefix ||
                     (!route.prefix.empty() && route.prefix.back() == '/' &&
                      path.compare(0, route.prefix.size(), route.prefix) == 0);
        if (match && (!best || route.prefix.size() > best->prefix.size()))
            best = &route;
    }
    return best;
}

const std::string* http_header(const HttpRequest& request, const char* name)
{
    for (const auto& header : request.headers)
        if (strcasecmp(header.first.c_str(), name) == 0)
            return &header.second;
    return nullptr;
}

const std::string* http_cookie(const HttpRequest& request, const char* name)
{
    for (const auto& cookie : request.cookies)
        if (cookie.first == name)
            return &cookie.second;
    return nullptr;
}

static void* on_uri(void*, const char* uri, MHD_Connection*)
{
    RequestState* state = new RequestState;
    state->raw_uri = uri ? uri : "";
    return state;
}

static void on_completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode)
{
    delete static_cast<RequestState*>(*context);
    *context = nullptr;
}

static void on_connection(void* cls, MHD_Connection* connection, void**,
                          MHD_ConnectionNotificationCode code)
{
    Server* server = static_cast<Server*>(cls);
    std::lock_guard<std::mutex> guard(server->lock);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        int copy = info ? dup(info->connect_fd) : -1;
        if (copy >= 0)
            server->watched[connection] = Watched{copy, std::chrono::steady_clock::now()};
    } else {
        auto found = server->watched.find(connection);
        if (found != server->watched.end()) {
            close(found->second.socket);
            server->watched.erase(found);
        }
    }
}

// Ends every connection older than the request bound: the connection
// time-out of the server counts idle time only, so a client sending one
// byte a second would otherwise hold its connection for ever.
static void watchdog_main(Server* server)
{
    std::unique_lock<std::mutex> guard(server->lock);
    const auto bound = std::chrono::seconds(server->limits.request_seconds);
    while (!server->stopping) {
        server->wake.wait_for(guard, std::chrono::milliseconds(500));
        auto now = std::chrono::steady_clock::now();
        for (auto& entry : server->watched)
            if (now - entry.second.started > bound)
                shutdown(entry.second.socket, SHUT_RDWR);
    }
}

static MHD_Result collect(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* list = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
    list->emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
}

static MHD_Result send_response(MHD_Connection* connection, const HttpResponse& reply)
{
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.content_type.c_str());
    for (const auto& header : reply.headers)
        MHD_add_response_header(response, header.first.c_str(), header.second.c_str());
    // The plug-in reads until the server closes the connection.
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_Result result = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return result;
}

static MHD_Result send_error(MHD_Connection* connection, int status, const char* text)
{
    HttpResponse reply;
    reply.status = status;
    reply.body = text;
    return send_response(connection, reply);
}

static std::string client_address(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char text[INET6_ADDRSTRLEN] = "";
    if (info && info->client_addr) {
        const sockaddr* address = info->client_addr;
        if (address->sa_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                      sizeof text);
        else if (address->sa_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                      sizeof text);
    }
    return text;
}

static MHD_Result on_request(void* cls, MHD_Connection* connection, const char*,
                             const char* method, const char*, const char* upload_data,
                             size_t* upload_data_size, void** context)
{
    Server* server = static_cast<Server*>(cls);
    RequestState* state = static_cast<RequestState*>(*context);
    if (!state)
        return MHD_NO;
    if (!state->started) {
        state->started = true;
        // Refuse a body announced too large before it is read.
        const char* length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length && strtoull(length, nullptr, 10) > server->limits.max_body)
            return send_error(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Request body too large\n");
        return MHD_YES;
    }
    if (*upload_data_size > 0) {
        if (state->body.size() + *upload_data_size > server->limits.max_body) {
            // A body without a length that grows past the bound: drop the
            // connection rather than read on.
            return MHD_NO;
        }
        state->body.append(upload_data, *upload_data_size);
        *upload_data_size = 0;
        return MHD_YES;
    }

    HttpRequest request;
    request.method = method;
    size_t question = state->raw_uri.find('?');
    request.path = state->raw_uri.substr(0, question);
    if (question != std::string::npos)
        request.query = state->raw_uri.substr(question + 1);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collect, &request.headers);
    MHD_get_connection_values(connection, MHD_COOKIE_KIND, collect, &request.cookies);
    request.body = std::move(state->body);
    request.client_address = client_address(connection);

    const Route* route = find_route(server, request.method, request.path);
    if (!route)
        return send_error(connection, MHD_HTTP_NOT_FOUND, "Not found\n");
    HttpResponse reply;
    route->handler(request, &reply, route->context);
    return send_response(connection, reply);
}

bool server_start(Server* server, int port, bool loopback_only, std::string* error)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(loopback_only ? INADDR_LOOPBACK : INADDR_ANY);
    const ServerLimits& limits = server->limits;
    // One thread per connection: handlers wait on the database without
    // holding up other connections or the listening thread. poll() rather
    // than select(), which fails beyond 1024 descriptors.
    server->daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL |
            MHD_USE_ITC,
        static_cast<uint16_t>(port), nullptr, nullptr, on_request, server,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.connection_timeout_seconds),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(limits.per_address_connections),
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(limits.total_connections),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.connection_memory,
        MHD_OPTION_THREAD_STACK_SIZE, limits.thread_stack,
        MHD_OPTION_URI_LOG_CALLBACK, on_uri, server,
        MHD_OPTION_NOTIFY_COMPLETED, on_completed, server,
        MHD_OPTION_NOTIFY_CONNECTION, on_connection, server,
        MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u,
        MHD_OPTION_END);
    if (!server->daemon) {
        *error = "cannot listen on port " + std::to_string(port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(server->daemon, MHD_DAEMON_INFO_BIND_PORT);
    server->port = info ? info->port : port;
    server->watchdog = std::thread(watchdog_main, server);
    return true;
}

int server_port(const Server* server)
{
    return server->port;
}

void server_free(Server* server)
{
    if (!server)
        return;
    if (server->daemon) {
        // Stop accepting, let the requests under way finish (bounded), then
        // stop.
        MHD_quiesce_daemon(server->daemon);
        for (int i = 0; i < 100; i++) {
            const MHD_DaemonInfo* info =
                MHD_get_daemon_info(server->daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
            if (!info || info->num_connections == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        MHD_stop_daemon(server->daemon);
    }
    if (server->watchdog.joinable()) {
        {
            std::lock_guard<std::mutex> guard(server->lock);
            server->stopping = true;
        }
        server->wake.notify_all();
        server->watchdog.join();
    }
    for (auto& entry : server->watched)
        close(entry.second.socket);
    delete server;
}
