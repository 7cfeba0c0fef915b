// The socket calls of the HTTP client, behind a seam: Windows Sockets 1.1
// (wsock32) in the Windows build, BSD sockets elsewhere. Tests may put their
// own calls in place of the system's.
#pragma once

#include <cstddef>
#include <cstdint>

// A socket handle; NET_NO_SOCKET when there is none.
typedef int NetSocket;
#define NET_NO_SOCKET (-1)

struct NetOps {
    // Starts the socket layer (Windows Sockets 1.1). Returns 1, or 0.
    int (*startup)();
    // Resolves a host name or dotted address to its first IPv4 address in
    // network byte order. Returns 1, or 0 when it does not resolve.
    int (*resolve)(const char* host, uint32_t* address);
    // Creates a TCP stream socket. Returns it, or NET_NO_SOCKET.
    NetSocket (*open)();
    // Connects `socket` to `address` (network order) and `port` (host
    // order), waiting at most `timeout_ms`. Returns 1 when connected, 0 on
    // failure or time-out (the socket is then unusable; the caller closes
    // it). The socket is left blocking.
    int (*connect)(NetSocket socket, uint32_t address, int port, int timeout_ms);
    // Sends all `size` bytes. Returns 1, or 0 on failure.
    int (*send)(NetSocket socket, const char* data, size_t size);
    // Waits at most `timeout_ms` for `socket` to have data or an end to
    // read. Returns 1 when readable, 0 on time-out, -1 on error.
    int (*wait_readable)(NetSocket socket, int timeout_ms);
    // Receives at most `size` bytes. Returns their count, 0 when the peer
    // closed the connection, -1 on error.
    int (*recv)(NetSocket socket, char* buffer, size_t size);
    // Closes `socket`.
    void (*close)(NetSocket socket);
    // Returns the system's code for the last failure of these calls
    // (WSAGetLastError on Windows, errno elsewhere).
    int (*last_error)();
};

// The platform's own calls.
extern const NetOps net_system_ops;

// The system's code of a time-out (WSAETIMEDOUT, ETIMEDOUT), reported by
// last_error after a connect or a wait that timed out.
extern const int NET_TIMED_OUT;
