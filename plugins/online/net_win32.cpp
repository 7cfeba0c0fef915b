// Windows Sockets 1.1 (wsock32): every call here exists in version 1.1.
#include "plugins/online/net.h"

#include <winsock.h>

#include <cstring>

const int NET_TIMED_OUT = WSAETIMEDOUT;

static int net_startup()
{
    // Started for every connection and never cleaned up: the count Windows
    // keeps only grows by one per request, and the library may be unloaded
    // while another part of the process still uses sockets.
    WSADATA data;
    return WSAStartup(0x0101, &data) == 0 ? 1 : 0;
}

static int net_resolve(const char* host, uint32_t* address)
{
    hostent* found = gethostbyname(host);
    if (!found || found->h_addrtype != AF_INET || !found->h_addr_list || !found->h_addr_list[0])
        return 0;
    memcpy(address, found->h_addr_list[0], sizeof *address);
    return 1;
}

static NetSocket net_open()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    // Socket handles are kernel handles, whose significant bits fit in 32
    // on 64-bit Windows too.
    return s == INVALID_SOCKET ? NET_NO_SOCKET : static_cast<NetSocket>(s);
}

static SOCKET as_socket(NetSocket socket)
{
    return static_cast<SOCKET>(static_cast<unsigned>(socket));
}

// A blocking connect waits about twenty seconds for an address that does not
// answer: connect without blocking and wait at most the time-out. A failed
// non-blocking connect shows in the exception set of select.
static int net_connect(NetSocket socket, uint32_t address, int port, int timeout_ms)
{
    SOCKET s = as_socket(socket);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(port));
    peer.sin_addr.s_addr = address;
    u_long non_blocking = 1;
    if (ioctlsocket(s, FIONBIO, &non_blocking) != 0)
        return 0;
    if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return 0;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
        int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == 0)
            WSASetLastError(WSAETIMEDOUT);
        if (ready <= 0)
            return 0;
        if (FD_ISSET(s, &failed)) {
            int failure = 0;
            int size = sizeof failure;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &size);
            WSASetLastError(failure ? failure : WSAECONNREFUSED);
            return 0;
        }
    }
    u_long blocking = 0;
    return ioctlsocket(s, FIONBIO, &blocking) == 0 ? 1 : 0;
}

static int net_send(NetSocket socket, const char* data, size_t size)
{
    while (size > 0) {
        int piece = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
        int sent = send(as_socket(socket), data, piece, 0);
        if (sent == SOCKET_ERROR || sent == 0)
            return 0;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return 1;
}

static int net_wait_readable(NetSocket socket, int timeout_ms)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(as_socket(socket), &readable);
    timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0)
        WSASetLastError(WSAETIMEDOUT);
    return ready == SOCKET_ERROR ? -1 : ready > 0 ? 1 : 0;
}

static int net_recv(NetSocket socket, char* buffer, size_t size)
{
    int received = recv(as_socket(socket), buffer, static_cast<int>(size), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

static void net_close(NetSocket socket)
{
    closesocket(as_socket(socket));
}

static int net_last_error()
{
    return WSAGetLastError();
}

const NetOps net_system_ops = {net_startup, net_resolve, net_open, net_connect, net_send,
                               net_wait_readable, net_recv, net_close, net_last_error};
