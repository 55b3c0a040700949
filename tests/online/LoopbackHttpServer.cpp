#include "LoopbackHttpServer.h"

#include <ws2tcpip.h>

namespace {

void SendAll(SOCKET s, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

std::string HexSize(size_t n) {
    char text[32];
    wsprintfA(text, "%x", static_cast<unsigned>(n));
    return text;
}

// Closes after the client has had the chance to read everything: half-close,
// then wait (briefly) for its end.
void CloseGracefully(SOCKET s) {
    shutdown(s, SD_SEND);
    char sink[512];
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, 100000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        if (recv(s, sink, sizeof sink, 0) <= 0) break;
    }
    closesocket(s);
}

void CloseWithReset(SOCKET s) {
    linger hard = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    closesocket(s);
}

std::string HeaderValue(const std::string& head, const char* name) {
    const std::string wanted = std::string("\r\n") + name + ":";
    size_t at = std::string::npos;
    // Header names are case-insensitive.
    for (size_t i = 0; i + wanted.size() <= head.size(); ++i) {
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, head.data() + i, static_cast<int>(wanted.size()),
                           wanted.data(), static_cast<int>(wanted.size())) == CSTR_EQUAL) {
            at = i + wanted.size();
            break;
        }
    }
    if (at == std::string::npos) return std::string();
    size_t end = head.find("\r\n", at);
    std::string value = head.substr(at, end == std::string::npos ? std::string::npos : end - at);
    while (!value.empty() && value[0] == ' ') value.erase(0, 1);
    return value;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    InitializeCriticalSection(&m_lock);
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

bool LoopbackHttpServer::Start(unsigned short port) {
    WSADATA data;
    if (!m_wsa) {
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        m_wsa = true;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    // A fixed port is the same for every checkout on this machine: while a
    // suite run beside this one holds it, wait until it lets it go.
    const DWORD start = GetTickCount();
    for (;;) {
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (m_listener == INVALID_SOCKET) return false;
        // A fixed port must be usable again right after the last run's connections.
        BOOL reuse = TRUE;
        if (port != 0)
            setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(m_listener, 32) == 0)
            break;
        closesocket(m_listener);
        m_listener = INVALID_SOCKET;
        if (port == 0 || GetTickCount() - start > kPortWaitMs) return false;
        Sleep(100);
    }
    int length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    ResetEvent(m_stop);
    m_thread = CreateThread(nullptr, 0, &LoopbackHttpServer::ServeThread, this, 0, nullptr);
    return m_thread != nullptr;
}

void LoopbackHttpServer::Stop() {
    SetEvent(m_stop);
    if (m_thread) {
        WaitForSingleObject(m_thread, 15000);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_listener != INVALID_SOCKET) {
        closesocket(m_listener);
        m_listener = INVALID_SOCKET;
    }
    if (m_wsa) {
        WSACleanup();
        m_wsa = false;
    }
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void LoopbackHttpServer::Set(const std::string& path, const Answer& answer) {
    EnterCriticalSection(&m_lock);
    m_answers[path] = answer;
    LeaveCriticalSection(&m_lock);
}

LoopbackHttpServer::Answer LoopbackHttpServer::Ok(const std::string& body, int status) {
    Answer a;
    a.status = status;
    a.reason = status == 200 ? "OK" : "Status";
    a.body = body;
    return a;
}

LoopbackHttpServer::Answer LoopbackHttpServer::Redirect(const std::string& location) {
    Answer a;
    a.status = 302;
    a.reason = "Found";
    a.extraHeaders = "Location: " + location + "\r\n";
    a.body = "moved";
    return a;
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::Requests() {
    EnterCriticalSection(&m_lock);
    std::vector<Request> copy = m_requests;
    LeaveCriticalSection(&m_lock);
    return copy;
}

size_t LoopbackHttpServer::CountFor(const std::string& path) {
    size_t n = 0;
    for (const Request& r : Requests()) n += r.path == path ? 1 : 0;
    return n;
}

void LoopbackHttpServer::ClearRequests() {
    EnterCriticalSection(&m_lock);
    m_requests.clear();
    LeaveCriticalSection(&m_lock);
}

DWORD WINAPI LoopbackHttpServer::ServeThread(void* self) {
    static_cast<LoopbackHttpServer*>(self)->Serve();
    return 0;
}

void LoopbackHttpServer::Serve() {
    const DWORD started = GetTickCount();
    int served = 0;
    while (served < kMaxConnections && GetTickCount() - started < kLifetimeMs &&
           WaitForSingleObject(m_stop, 0) != WAIT_OBJECT_0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait = {0, 100000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        ++served;
        Handle(client);
    }
    // Stopping by itself: nobody connects any more.
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
}

void LoopbackHttpServer::Handle(SOCKET client) {
    DWORD limitMs = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);

    std::string head;
    char chunk[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
        int n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        head.append(chunk, static_cast<size_t>(n));
    }
    Request request;
    size_t firstSpace = head.find(' ');
    size_t secondSpace = firstSpace == std::string::npos ? std::string::npos : head.find(' ', firstSpace + 1);
    if (secondSpace == std::string::npos) {
        closesocket(client);
        return;
    }
    request.target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.path = request.target.substr(0, request.target.find('?'));
    request.userAgent = HeaderValue(head, "User-Agent");
    const size_t lineEnd = head.find("\r\n");
    if (lineEnd != std::string::npos && lineEnd > secondSpace)
        request.version = head.substr(secondSpace + 1, lineEnd - secondSpace - 1);

    Answer answer;
    EnterCriticalSection(&m_lock);
    m_requests.push_back(request);
    auto found = m_answers.find(request.path);
    if (found != m_answers.end()) {
        answer = found->second;
    } else {
        answer.status = 404;
        answer.reason = "Not Found";
        answer.body = "no such page";
    }
    LeaveCriticalSection(&m_lock);

    if (answer.ending == Ending::Stall) {
        WaitForSingleObject(m_stop, answer.stallMs);
        closesocket(client);
        return;
    }

    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason + "\r\n" +
                           "Content-Type: text/plain\r\nConnection: close\r\n" + answer.extraHeaders;
    const bool chunked = answer.ending == Ending::Chunked || answer.ending == Ending::ChunkedReset ||
                         answer.ending == Ending::ChunkedClose || answer.ending == Ending::ChunkCutClose;
    if (chunked) {
        response += "Transfer-Encoding: chunked\r\n\r\n";
        const size_t half = answer.body.size() / 2;
        if (answer.ending == Ending::ChunkCutClose)
            response += HexSize(answer.body.size() + 1000) + "\r\n" + answer.body;
        else
            response += HexSize(half) + "\r\n" + answer.body.substr(0, half) + "\r\n";
        if (answer.ending == Ending::Chunked) {
            const std::string rest = answer.body.substr(half);
            if (!rest.empty()) response += HexSize(rest.size()) + "\r\n" + rest + "\r\n";
            response += "0\r\n\r\n";
        }
    } else if (answer.ending == Ending::UntilClose || answer.ending == Ending::UntilReset) {
        response += "\r\n" + answer.body;
    } else {
        size_t announced = answer.body.size();
        if (answer.ending == Ending::CloseEarly || answer.ending == Ending::ResetEarly) announced += 1000;
        response += "Content-Length: " + std::to_string(announced) + "\r\n\r\n" + answer.body;
    }
    SendAll(client, response);
    if (answer.ending == Ending::ResetEarly || answer.ending == Ending::ChunkedReset ||
        answer.ending == Ending::UntilReset) {
        Sleep(100);  // the client reads what was sent, then meets the reset
        CloseWithReset(client);
    } else {
        CloseGracefully(client);
    }
}
