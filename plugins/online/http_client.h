// A small HTTP/1.0 client: one TCP connection per request, the request
// written piece by piece with LF line ends, the whole reply read until the
// server closes the connection. Order of use for one request: http_connect;
// on HTTP_OK, http_exchange; then http_close whatever the exchange gave.
#pragma once

#include <cstddef>

#include "plugins/online/net.h"

// Status codes, the result of every client operation.
enum : int {
    HTTP_OK = 0x900,
    HTTP_ERR_SOCKET = 0x910,       // the TCP socket could not be created
    HTTP_ERR_STARTUP = 0x911,      // the socket layer could not be started
    HTTP_ERR_RESOLVE = 0x912,      // the host name did not resolve
    HTTP_ERR_CONNECT = 0x913,      // the connection could not be made (or timed out)
    HTTP_ERR_SEND = 0x914,         // a piece of the request could not be sent
    HTTP_ERR_EMPTY_REPLY = 0x915,  // the request went out but no byte came back
    HTTP_ERR_TIMEOUT = 0x916,      // the server stayed silent too long mid-reply
    HTTP_ERR_TOO_LARGE = 0x917,    // the reply exceeded HttpLimits::max_reply_bytes
    HTTP_ERR_MEMORY = 0x918,       // the reply block could not be grown
};

// Bounds of one exchange, so that a silent or endless server cannot hold the
// caller (the host's only user-interface thread) for ever.
struct HttpLimits {
    int connect_timeout_ms = 5000;          // to establish the connection
    int read_timeout_ms = 30000;            // of silence while waiting for reply bytes
    size_t max_reply_bytes = 4 * 1024 * 1024;
};

// The limits in force; tests shorten them.
extern HttpLimits g_http_limits;

// Makes the client use `ops`; nullptr restores net_system_ops. `ops` is
// borrowed and must outlive its use.
void http_set_net_ops(const NetOps* ops);

// Returns the system's error code of the last failed client step (connect,
// resolve, send, receive, time-out), for the message shown to the user; 0
// when the failure had no system code.
int http_last_error();

// Connects to `host` (name or dotted address) at `port`. Sets *socket_out to
// NET_NO_SOCKET first, then to the connected socket on success. Returns
// HTTP_OK, HTTP_ERR_STARTUP, HTTP_ERR_RESOLVE, HTTP_ERR_SOCKET or
// HTTP_ERR_CONNECT (also when the connect takes longer than the limit); on
// failure *socket_out stays NET_NO_SOCKET.
int http_connect(NetSocket* socket_out, const char* host, int port);

// Closes *socket unless it is NET_NO_SOCKET, then sets it to NET_NO_SOCKET.
// Always returns HTTP_OK; calling it twice is harmless.
int http_close(NetSocket* socket);

// Sends one request on `socket`: GET (use_get non-zero, `params` after "?"
// when present and non-empty) or POST (`params` as the form body), with the
// Host header from the settings (HTTPHost:HTTPPort) and Basic authorisation
// when `login` and `password` are both present and non-empty. `path` holds
// the script name; `params` is already URL-encoded. Returns HTTP_OK, or
// HTTP_ERR_SEND at the first piece that could not be sent (nothing more is
// sent).
int http_send_request(NetSocket socket, const char* path, const char* params,
                      const char* login, const char* password, int use_get);

// Sends the request (http_send_request), then reads the whole reply until the
// server closes the connection. When `reply_out` is given it receives a new[]
// block that the caller delete[]s, holding the reply as a text whose last
// received byte is replaced by the terminating zero, or nullptr when nothing
// was received or the exchange failed. When `length_out` is given it
// receives the number of bytes received (the dropped last byte included).
// Returns HTTP_OK when at least one byte came and the reply ended normally
// (the server closed the connection, or a receive error after some bytes);
// the send status on a send failure; HTTP_ERR_EMPTY_REPLY when no byte came;
// HTTP_ERR_TIMEOUT, HTTP_ERR_TOO_LARGE or HTTP_ERR_MEMORY when the reply was
// abandoned (no reply is then handed back). HTTP_ERR_MEMORY also shows the
// box "Erreur Reply !".
int http_exchange(NetSocket socket, char** reply_out, size_t* length_out, const char* path,
                  const char* params, const char* login, const char* password, int use_get);
