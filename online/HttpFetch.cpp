#include "HttpFetch.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>

#include "App.h"
#include "StoredTexts.h"
#include "VersionText.h"

namespace {

std::atomic<uint32_t> g_rnumState{0};

// The group the calling thread fetches for, if any.
thread_local FetchGroup* t_fetchGroup = nullptr;

uint32_t RnumSeed() {
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    return (GetTickCount() ^ (GetCurrentProcessId() << 16) ^ counter.LowPart) | 1u;
}

void SetTimeout(HINTERNET handle, DWORD option, unsigned long ms) {
    DWORD value = ms;
    InternetSetOptionA(handle, option, &value, sizeof value);
}

void SetTimeouts(HINTERNET handle, const FetchOptions& options) {
    SetTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, options.connectTimeoutMs);
    SetTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, options.sendTimeoutMs);
    SetTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, options.receiveTimeoutMs);
    SetTimeout(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, options.sendTimeoutMs);
    SetTimeout(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, options.receiveTimeoutMs);
}

// The body of an answer with status 200 or 500, read to its end. False for any
// other status, for a body larger than kMaxAnswerBytes, and for a read that
// failed or stopped short of the length the server announced (a connection
// closed in the middle of the body).
bool ReadAnswer(HINTERNET request, std::string& body) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return false;
    if (status != 200 && status != 500) return false;
    // Chunks are not for an HTTP/1.0 request, and WinINet reports a chunked
    // body whose connection closed before its last chunk as complete.
    char encoding[64] = {};
    size = sizeof encoding;
    if (HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, encoding, &size, nullptr)) return false;
    DWORD announced = 0;
    size = sizeof announced;
    const bool hasLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr) != 0;
    if (hasLength && announced > kMaxAnswerBytes) return false;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, sizeof chunk, &got)) return false;
        if (got == 0) break;
        // A server that never stops sending must not fill the address space.
        if (got > kMaxAnswerBytes - body.size()) return false;
        body.append(chunk, got);
    }
    return !hasLength || body.size() >= announced;
}

}  // namespace

int NextRnum() {
    uint32_t state = g_rnumState.load();
    for (;;) {
        const uint32_t base = state != 0 ? state : RnumSeed();
        uint32_t next = base * 1664525u + 1013904223u;
        if (next == 0) next = 1;
        if (g_rnumState.compare_exchange_weak(state, next))
            return RnumFromGeneratorValue(next >> 8);  // the low bits of this generator repeat quickly
    }
}

std::string FetchUrlText(const std::string& address, const FetchOptions& options) {
    if (t_fetchGroup) return t_fetchGroup->Fetch(address, options);
    if (address.empty()) return std::string();
    const std::string url = AddRnum(address, NextRnum());
    const std::string agent = options.agent.empty() ? GetAppName() : options.agent;

    // Split the address into its parts; a web address of any other form fails here.
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // non-zero with null pointers: point into url
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) || !parts.lpszHostName ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return std::string();
    const std::string host(parts.lpszHostName, parts.dwHostNameLength);
    std::string object = parts.lpszUrlPath ? std::string(parts.lpszUrlPath, parts.dwUrlPathLength) : std::string();
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty() || object[0] != '/') object.insert(0, "/");

    HINTERNET root = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!root) return std::string();
    SetTimeouts(root, options);
    std::string raw;
    bool ok = false;
    // The connection handle gets its own limits: not every WinINet passes the
    // root's on to the connections it makes.
    HINTERNET connection =
        InternetConnectA(root, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        SetTimeouts(connection, options);
        DWORD flags = INTERNET_FLAG_TRANSFER_ASCII;
        if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        // HTTP/1.0: the body comes with its length or ends with the connection,
        // so a body cut short shows (a length not reached, a reset).
        HINTERNET request = HttpOpenRequestA(connection, "GET", object.c_str(), "HTTP/1.0", nullptr, nullptr, flags, 0);
        if (request) {
            SetTimeouts(request, options);
            ok = HttpSendRequestA(request, nullptr, 0, nullptr, 0) && ReadAnswer(request, raw);
            InternetCloseHandle(request);
        }
        InternetCloseHandle(connection);
    }
    InternetCloseHandle(root);
    return ok ? JoinBodyLines(raw) : std::string();
}

OnlineEndpoints BuildOnlineEndpoints() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';  // XP leaves a full buffer unterminated
    const std::string version = GetFileVersionText(path);
    return MakeOnlineEndpoints(DecodeStoredText(StoredText::UpdateUrlPrefix),
                               DecodeStoredText(StoredText::FeedUrlPrefix), version);
}

bool CheckForUpdate(const OnlineEndpoints& endpoints, UpdateInfo& info) {
    return ApplyUpdateAnswer(FetchUrlText(endpoints.updateUrl), endpoints.ownVersion, info);
}

std::vector<AnnouncementItem> FetchAnnouncements(const std::string& address) {
    return ParseAnnouncementFeed(FetchUrlText(address));
}

namespace {

// One fetch run on a thread of its own for a group. The thread and the group's
// caller share it; whichever lets go last frees it, so a fetch left behind by
// a cancel touches nothing of its caller's.
struct GroupFetch {
    std::string address;
    FetchOptions options;
    std::string body;
    std::atomic<int> holders{2};

    void Release() {
        if (--holders == 0) delete this;
    }
    static DWORD WINAPI Run(void* p) {
        auto* fetch = static_cast<GroupFetch*>(p);
        fetch->body = FetchUrlText(fetch->address, fetch->options);
        fetch->Release();
        return 0;
    }
};

}  // namespace

FetchGroup::FetchGroup() : m_cancelled(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

FetchGroup::~FetchGroup() {
    if (m_cancelled) CloseHandle(m_cancelled);
}

void FetchGroup::Cancel() {
    if (m_cancelled) SetEvent(m_cancelled);
}

bool FetchGroup::Cancelled() const { return m_cancelled && WaitForSingleObject(m_cancelled, 0) == WAIT_OBJECT_0; }

std::string FetchGroup::Fetch(const std::string& address, const FetchOptions& options) {
    if (Cancelled()) return std::string();
    // A blocked WinINet call cannot be relied on to return when its handle is
    // closed from another thread, so the fetch runs on a thread of its own and
    // the caller waits for it or for the cancel, whichever comes first.
    auto* fetch = new GroupFetch{address, options, std::string()};
    HANDLE thread = m_cancelled ? CreateThread(nullptr, 0, &GroupFetch::Run, fetch, 0, nullptr) : nullptr;
    if (!thread) {
        delete fetch;
        return std::string();
    }
    HANDLE waits[2] = {thread, m_cancelled};
    std::string body;
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) body = fetch->body;
    CloseHandle(thread);
    fetch->Release();
    return body;
}

FetchGroup::Member::Member(FetchGroup& group) : m_previous(t_fetchGroup) { t_fetchGroup = &group; }

FetchGroup::Member::~Member() { t_fetchGroup = m_previous; }
