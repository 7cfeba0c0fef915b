// A scripted HTTP server on 127.0.0.1 for tests, on a thread of the test
// program (BSD sockets natively, Winsock in the Windows build). It takes one
// connection at a time, reads one request (the header block, ended by an
// empty line with LF or CR LF ends, and a Content-Length body), plays back
// the next scripted reply, then records every byte the client sent until the
// client closes the connection, so the recorded request is exact (the extra
// "\n" after a POST body included).
//
//   ScriptServer server;                      // listening, port from the OS
//   server.queue({"HTTP/1.0 200 OK\r\n\r\n--Start--True;ok--End--\r\n"});
//   ... the client connects to server.port() ...
//   EXPECT_EQ(server.request(0), "GET /x HTTP/1.0\n...");
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ServerReply {
    enum Mode {
        ANSWER,         // send `bytes`, then close the sending side
        CLOSE_AT_ONCE,  // close the connection as soon as it is accepted
        SILENT,         // send `bytes` (may be none), then nothing more, never closing
        ENDLESS,        // send `bytes` over and over until the client goes
    };
    std::string bytes;
    Mode mode = ANSWER;
    size_t chunk = 0;  // send in pieces of this many bytes (0: all at once)
    int pause_ms = 0;  // between pieces
};

struct ScriptServer {
    ScriptServer();   // starts listening and serving
    ~ScriptServer();  // stops; a connection still open is dropped
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    int port() const { return port_; }

    // Replies in the order of the connections. Without a queued reply the
    // handler answers; without a handler, an empty 404 reply.
    void queue(ServerReply reply);
    // Called on the server thread with the request read so far.
    void set_handler(std::function<ServerReply(const std::string& request)> handler);

    // The bytes the client sent on connection `index` (from 0), waiting up to
    // `timeout_ms` for that connection to end; "<none>" when it did not.
    std::string request(size_t index, int timeout_ms = 5000);
    // Number of connections accepted so far.
    size_t connections();

private:
    void serve();
    void serve_one(intptr_t client);
    ServerReply next_reply(const std::string& request);

    intptr_t listener_ = -1;
    int port_ = 0;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ServerReply> replies_;
    std::function<ServerReply(const std::string&)> handler_;
    std::vector<std::string> requests_;  // complete connections
    size_t accepted_ = 0;
    std::thread thread_;
};
