#include "plugins/online/http_client.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "plugins/online/plugin_ui.h"
#include "plugins/online/settings.h"
#include "plugins/online/text.h"

HttpLimits g_http_limits;

static const NetOps* g_ops = &net_system_ops;
static int g_last_error = 0;

enum : size_t {
    LINE_SIZE = 1024,     // one request line or header piece
    CREDENTIAL_SIZE = 256,
    CHUNK_SIZE = 512,     // one receive
};

void http_set_net_ops(const NetOps* ops)
{
    g_ops = ops ? ops : &net_system_ops;
}

int http_last_error()
{
    return g_last_error;
}

static int fail(int status)
{
    g_last_error = g_ops->last_error();
    return status;
}

int http_connect(NetSocket* socket_out, const char* host, int port)
{
    *socket_out = NET_NO_SOCKET;
    g_last_error = 0;
    if (!g_ops->startup())
        return fail(HTTP_ERR_STARTUP);
    uint32_t address = 0;
    if (!host || !g_ops->resolve(host, &address))
        return fail(HTTP_ERR_RESOLVE);
    NetSocket socket = g_ops->open();
    if (socket == NET_NO_SOCKET)
        return fail(HTTP_ERR_SOCKET);
    if (!g_ops->connect(socket, address, port, g_http_limits.connect_timeout_ms)) {
        fail(0);
        g_ops->close(socket);
        return HTTP_ERR_CONNECT;
    }
    *socket_out = socket;
    return HTTP_OK;
}

int http_close(NetSocket* socket)
{
    if (*socket != NET_NO_SOCKET) {
        g_ops->close(*socket);
        *socket = NET_NO_SOCKET;
    }
    return HTTP_OK;
}

static bool send_text(NetSocket socket, const char* text, size_t size)
{
    return g_ops->send(socket, text, size) != 0;
}

// Formats one piece into the line buffer (cut to 1023 characters) and sends
// it.
template <typename... Args>
static bool send_piece(NetSocket socket, const char* format, Args... args)
{
    char line[LINE_SIZE];
    int length = snprintf(line, sizeof line, format, args...);
    if (length < 0)
        return false;
    size_t size = static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1;
    return send_text(socket, line, size);
}

static bool send_authorization(NetSocket socket, const char* login, const char* password)
{
    char credentials[CREDENTIAL_SIZE];
    int length = snprintf(credentials, sizeof credentials, "%s:%s", login, password);
    size_t size = static_cast<size_t>(length) < sizeof credentials ? static_cast<size_t>(length)
                                                                   : sizeof credentials - 1;
    char* encoded = base64_encode(reinterpret_cast<const unsigned char*>(credentials), size);
    // Without memory for the encoded text the request goes out without
    // authorisation; the server then refuses it.
    if (!encoded)
        return true;
    bool sent = send_piece(socket, "Authorization: Basic %s\n", encoded);
    delete[] encoded;
    return sent;
}

int http_send_request(NetSocket socket, const char* path, const char* params, const char* login,
                      const char* password, int use_get)
{
    if (!path)
        path = "";
    if (!params)
        params = "";
    bool sent;
    if (use_get) {
        sent = send_piece(socket, "GET %s%s%s HTTP/1.0\n", path, *params ? "?" : "", params);
    } else {
        sent = send_piece(socket, "POST %s HTTP/1.0\nContent-Type:application/x-www-form-urlencoded;\n",
                          path);
    }
    sent = sent &&
           send_piece(socket, "%s", "User-Agent: " PLUGIN_TITLE "\nVORN-PLUGIN: " PLUGIN_TITLE "\n") &&
           send_piece(socket, "Host: %s:%d\n", g_plugin_settings.HTTPHost, g_plugin_settings.HTTPPort);
    if (sent && login && *login && password && *password)
        sent = send_authorization(socket, login, password);
    if (sent && !use_get) {
        size_t length = strlen(params);
        sent = send_piece(socket, "Content-Length: %d\n\n", static_cast<int>(length)) &&
               (length == 0 || send_text(socket, params, length));
    }
    sent = sent && send_text(socket, "\n", 1);
    return sent ? HTTP_OK : fail(HTTP_ERR_SEND);
}

// The reply as it grows: capacity doubles, so a long reply costs few copies.
struct ReplyBlock {
    char* bytes = nullptr;
    size_t capacity = 0;
};

static bool reply_append(ReplyBlock* block, size_t held, const char* chunk, size_t count)
{
    if (held + count > block->capacity) {
        size_t capacity = block->capacity ? block->capacity * 2 : 4 * CHUNK_SIZE;
        while (capacity < held + count)
            capacity *= 2;
        char* grown = new (std::nothrow) char[capacity];
        if (!grown)
            return false;
        if (held)
            memcpy(grown, block->bytes, held);
        delete[] block->bytes;
        block->bytes = grown;
        block->capacity = capacity;
    }
    memcpy(block->bytes + held, chunk, count);
    return true;
}

// Reads until the server closes the connection. Returns HTTP_OK (the bytes
// are in *block and *total), or the status of an abandoned reply.
static int read_reply(NetSocket socket, ReplyBlock* block, bool keep, size_t* total)
{
    char chunk[CHUNK_SIZE];
    for (;;) {
        int ready = g_ops->wait_readable(socket, g_http_limits.read_timeout_ms);
        if (ready == 0)
            return fail(HTTP_ERR_TIMEOUT);
        int count = ready < 0 ? -1 : g_ops->recv(socket, chunk, sizeof chunk);
        if (count == 0)
            return HTTP_OK;
        if (count < 0) {
            // A broken connection ends the reply: what came before it counts.
            fail(0);
            return HTTP_OK;
        }
        size_t n = static_cast<size_t>(count);
        if (*total + n > g_http_limits.max_reply_bytes) {
            g_last_error = 0;
            return HTTP_ERR_TOO_LARGE;
        }
        if (keep && !reply_append(block, *total, chunk, n)) {
            g_last_error = 0;
            show_error_box(0, "Erreur Reply !", nullptr);
            return HTTP_ERR_MEMORY;
        }
        *total += n;
    }
}

int http_exchange(NetSocket socket, char** reply_out, size_t* length_out, const char* path,
                  const char* params, const char* login, const char* password, int use_get)
{
    if (reply_out)
        *reply_out = nullptr;
    if (length_out)
        *length_out = 0;
    int status = http_send_request(socket, path, params, login, password, use_get);
    if (status != HTTP_OK)
        return status;
    ReplyBlock block;
    size_t total = 0;
    status = read_reply(socket, &block, reply_out != nullptr, &total);
    if (length_out)
        *length_out = total;
    if (status != HTTP_OK) {
        delete[] block.bytes;
        return status;
    }
    if (total == 0)
        return HTTP_ERR_EMPTY_REPLY;
    if (reply_out) {
        // The terminator takes the place of the last byte received: replies
        // end with a line break, which nothing reads.
        block.bytes[total - 1] = '\0';
        *reply_out = block.bytes;
    }
    return HTTP_OK;
}
