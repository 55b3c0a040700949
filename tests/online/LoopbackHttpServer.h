// A small HTTP server on 127.0.0.1 for the online tests, inside the test
// program itself: canned answers by path, a record of every request, and
// answers that go wrong on purpose (a connection cut in the middle of the
// body, a reset, a server that stops answering).
//
// It is bounded on every side: it listens on the loopback address only,
// serves at most kMaxConnections connections and stops by itself after
// kLifetimeMs even when nobody stops it; each connection has its own short
// time limits.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

class LoopbackHttpServer {
public:
    static constexpr int kMaxConnections = 400;
    static constexpr DWORD kLifetimeMs = 240000;

    enum class Ending {
        Complete,       // Content-Length and the whole body
        CloseEarly,     // announces 1000 bytes more than it sends, then closes
        ResetEarly,     // the same, then resets the connection
        Stall,          // sends nothing, holds the connection for stallMs
        Chunked,        // the body as two chunks and the closing chunk
        ChunkedReset,   // the first chunk only, then resets the connection
        ChunkedClose,   // the first chunk only, then closes the connection
        ChunkCutClose,  // a chunk that announces 1000 bytes more than it sends, then closes
        UntilClose,     // neither length nor chunks: the body ends where the connection closes
        UntilReset,     // the same, reset instead of closed after the body
    };

    struct Answer {
        int status = 200;
        std::string reason = "OK";
        std::string body;
        std::string extraHeaders;  // whole lines, each ended by CR LF
        Ending ending = Ending::Complete;
        DWORD stallMs = 3000;
    };

    struct Request {
        std::string target;  // as sent: path and query
        std::string path;    // without the query
        std::string userAgent;
        std::string version;  // the request line's last word, "HTTP/1.1" or so
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Listens on 127.0.0.1:port (0: a free port the system picks). A port in
    // use is waited for, kPortWaitMs at most.
    static constexpr DWORD kPortWaitMs = 120000;
    bool Start(unsigned short port = 0);
    void Stop();
    unsigned short Port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path.
    std::string Url(const std::string& path) const;

    // The answer for a path (without query); other paths get 404.
    void Set(const std::string& path, const Answer& answer);
    static Answer Ok(const std::string& body, int status = 200);
    static Answer Redirect(const std::string& location);

    std::vector<Request> Requests();
    size_t CountFor(const std::string& path);
    void ClearRequests();

private:
    static DWORD WINAPI ServeThread(void* self);
    void Serve();
    void Handle(SOCKET client);

    CRITICAL_SECTION m_lock;
    std::map<std::string, Answer> m_answers;
    std::vector<Request> m_requests;
    SOCKET m_listener = INVALID_SOCKET;
    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    unsigned short m_port = 0;
    bool m_wsa = false;
};
