// BSD sockets, for the native build and its tests.
#include "plugins/online/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

const int NET_TIMED_OUT = ETIMEDOUT;

static int net_startup()
{
    return 1;
}

static int net_resolve(const char* host, uint32_t* address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found)
        return 0;
    *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return 1;
}

static NetSocket net_open()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd < 0 ? NET_NO_SOCKET : fd;
}

static int wait_for(NetSocket socket, short events, int timeout_ms)
{
    pollfd entry{socket, events, 0};
    int ready;
    do
        ready = poll(&entry, 1, timeout_ms);
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        errno = ETIMEDOUT;
    return ready;
}

// A blocking connect can wait minutes for an address that does not answer:
// connect without blocking and wait at most the time-out.
static int net_connect(NetSocket socket, uint32_t address, int port, int timeout_ms)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr.s_addr = address;
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0)
        return 0;
    if (connect(socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS)
            return 0;
        if (wait_for(socket, POLLOUT, timeout_ms) <= 0)
            return 0;
        int failure = 0;
        socklen_t size = sizeof failure;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &failure, &size) != 0)
            return 0;
        if (failure != 0) {
            errno = failure;
            return 0;
        }
    }
    return fcntl(socket, F_SETFL, flags) == 0 ? 1 : 0;
}

static int net_send(NetSocket socket, const char* data, size_t size)
{
    while (size > 0) {
        // A server that closed early must give an error, not SIGPIPE.
        ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return 0;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return 1;
}

static int net_wait_readable(NetSocket socket, int timeout_ms)
{
    int ready = wait_for(socket, POLLIN, timeout_ms);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

static int net_recv(NetSocket socket, char* buffer, size_t size)
{
    ssize_t received;
    do
        received = recv(socket, buffer, size, 0);
    while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

static void net_close(NetSocket socket)
{
    close(socket);
}

static int net_last_error()
{
    return errno;
}

const NetOps net_system_ops = {net_startup, net_resolve, net_open, net_connect, net_send,
                               net_wait_readable, net_recv, net_close, net_last_error};
