#include "tests/support/script_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET RawSocket;
typedef int SockLen;
static void close_raw(RawSocket s) { closesocket(s); }
static const int SEND_FLAGS = 0;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
typedef int RawSocket;
typedef socklen_t SockLen;
static void close_raw(RawSocket s) { close(s); }
static const int SEND_FLAGS = MSG_NOSIGNAL;
#endif

static RawSocket raw(intptr_t s)
{
    return static_cast<RawSocket>(s);
}

// Waits up to `ms` for `s` to be readable. Returns true when it is.
static bool readable(RawSocket s, int ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) > 0;
}

ScriptServer::ScriptServer()
{
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    RawSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(s, 16);
    SockLen size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listener_ = static_cast<intptr_t>(s);
    thread_ = std::thread([this] { serve(); });
}

ScriptServer::~ScriptServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    thread_.join();
    close_raw(raw(listener_));
}

void ScriptServer::queue(ServerReply reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(reply));
}

void ScriptServer::set_handler(std::function<ServerReply(const std::string&)> handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

std::string ScriptServer::request(size_t index, int timeout_ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return requests_.size() > index; });
    return requests_.size() > index ? requests_[index] : "<none>";
}

size_t ScriptServer::connections()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

ServerReply ScriptServer::next_reply(const std::string& request)
{
    std::function<ServerReply(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!replies_.empty()) {
            ServerReply reply = std::move(replies_.front());
            replies_.pop_front();
            return reply;
        }
        handler = handler_;
    }
    if (handler)
        return handler(request);
    return ServerReply{"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
}

void ScriptServer::serve()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                return;
        }
        if (!readable(raw(listener_), 20))
            continue;
        RawSocket client = accept(raw(listener_), nullptr, nullptr);
        if (client == static_cast<RawSocket>(-1))
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++accepted_;
        }
        serve_one(static_cast<intptr_t>(client));
    }
}

// Whether `request` holds a whole header block and its Content-Length body.
static bool request_complete(const std::string& request)
{
    size_t end = request.find("\r\n\r\n");
    size_t header_end = end == std::string::npos ? std::string::npos : end + 4;
    size_t lf = request.find("\n\n");
    if (lf != std::string::npos && (header_end == std::string::npos || lf + 2 < header_end))
        header_end = lf + 2;
    if (header_end == std::string::npos)
        return false;
    size_t body = 0;
    std::string head = request.substr(0, header_end);
    for (char& c : head)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t field = head.find("content-length:");
    if (field != std::string::npos)
        body = strtoul(head.c_str() + field + 15, nullptr, 10);
    return request.size() >= header_end + body;
}

void ScriptServer::serve_one(intptr_t handle)
{
    RawSocket client = raw(handle);
    int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    auto stopping = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    };
    std::string received;
    bool client_gone = false;
    // Reads what is there (waiting up to `ms`); false when the client closed.
    auto read_some = [&](int ms) {
        if (!readable(client, ms))
            return true;
        char buffer[4096];
        int n = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
        if (n <= 0)
            return false;
        received.append(buffer, static_cast<size_t>(n));
        return true;
    };

    ServerReply reply;
    bool have_reply = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!replies_.empty() && replies_.front().mode == ServerReply::CLOSE_AT_ONCE) {
            replies_.pop_front();
            have_reply = true;
        }
    }
    if (have_reply) {
        close_raw(client);
    } else {
        while (!client_gone && !request_complete(received) && !stopping())
            client_gone = !read_some(20);
        reply = next_reply(received);
        if (reply.mode == ServerReply::CLOSE_AT_ONCE) {
            close_raw(client);
            have_reply = true;
        }
    }
    if (!have_reply) {
        auto send_all = [&](const char* data, size_t size) {
            while (size > 0) {
                int n = static_cast<int>(send(client, data, static_cast<int>(size), SEND_FLAGS));
                if (n <= 0)
                    return false;
                data += n;
                size -= static_cast<size_t>(n);
            }
            return true;
        };
        if (reply.mode == ServerReply::ANSWER || reply.mode == ServerReply::SILENT) {
            size_t step = reply.chunk ? reply.chunk : reply.bytes.size();
            for (size_t at = 0; at < reply.bytes.size() && !stopping(); at += step) {
                if (!send_all(reply.bytes.data() + at, std::min(step, reply.bytes.size() - at)))
                    break;
                if (reply.pause_ms)
                    std::this_thread::sleep_for(std::chrono::milliseconds(reply.pause_ms));
            }
        } else if (reply.mode == ServerReply::ENDLESS) {
            while (!stopping() && send_all(reply.bytes.data(), reply.bytes.size())) {
            }
        }
        if (reply.mode != ServerReply::SILENT) {
#ifdef _WIN32
            shutdown(client, SD_SEND);
#else
            shutdown(client, SHUT_WR);
#endif
        }
        // Everything the client still sends belongs to the request, up to its
        // close (which also keeps the close from resetting the connection).
        while (!client_gone && !stopping())
            client_gone = !read_some(20);
        close_raw(client);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(received);
    changed_.notify_all();
}
