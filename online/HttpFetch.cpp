#include "HttpFetch.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <vector>

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
// other status and for a read that failed or stopped short of the length the
// server announced (a connection closed in the middle of the body).
bool ReadAnswer(HINTERNET request, std::string& body) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return false;
    if (status != 200 && status != 500)
        return false;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, sizeof chunk, &got))
            return false;
        if (got == 0)
            break;
        body.append(chunk, got);
    }
    DWORD announced = 0;
    size = sizeof announced;
    if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr) &&
        body.size() < announced)
        return false;
    return true;
}

}  // namespace

int NextRnum() {
    uint32_t state = g_rnumState.load();
    for (;;) {
        const uint32_t base = state != 0 ? state : RnumSeed();
        uint32_t next = base * 1664525u + 1013904223u;
        if (next == 0)
            next = 1;
        if (g_rnumState.compare_exchange_weak(state, next))
            return RnumFromGeneratorValue(next >> 8);  // the low bits of this generator repeat quickly
    }
}

std::string FetchUrlText(const std::string& address, const FetchOptions& options) {
    if (address.empty())
        return std::string();
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
    if (parts.lpszExtraInfo)
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty() || object[0] != '/')
        object.insert(0, "/");

    HINTERNET root = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!root)
        return std::string();
    FetchGroup* const group = t_fetchGroup;
    if (group && !group->Track(root)) {
        InternetCloseHandle(root);
        return std::string();
    }
    SetTimeouts(root, options);
    std::string raw;
    bool ok = false;
    HINTERNET request = nullptr;
    // The connection handle gets its own limits: not every WinINet passes the
    // root's on to the connections it makes.
    HINTERNET connection =
        InternetConnectA(root, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        SetTimeouts(connection, options);
        DWORD flags = INTERNET_FLAG_TRANSFER_ASCII;
        if (parts.nScheme == INTERNET_SCHEME_HTTPS)
            flags |= INTERNET_FLAG_SECURE;
        request = HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0);
        if (request) {
            SetTimeouts(request, options);
            ok = HttpSendRequestA(request, nullptr, 0, nullptr, 0) && ReadAnswer(request, raw);
        }
    }
    // A cancelled fetch's handles were closed by the canceller (the root takes
    // its children along): closing them again could hit a handle reused since.
    if (group && !group->Untrack(root))
        return std::string();
    if (request)
        InternetCloseHandle(request);
    if (connection)
        InternetCloseHandle(connection);
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

struct FetchGroup::State {
    CRITICAL_SECTION lock;
    bool cancelled = false;
    std::vector<void*> inFlight;
};

FetchGroup::FetchGroup() : m_state(new State) { InitializeCriticalSection(&m_state->lock); }

FetchGroup::~FetchGroup() {
    DeleteCriticalSection(&m_state->lock);
    delete m_state;
}

void FetchGroup::Cancel() {
    EnterCriticalSection(&m_state->lock);
    m_state->cancelled = true;
    for (void* root : m_state->inFlight)
        InternetCloseHandle(static_cast<HINTERNET>(root));
    m_state->inFlight.clear();
    LeaveCriticalSection(&m_state->lock);
}

bool FetchGroup::Cancelled() const {
    EnterCriticalSection(&m_state->lock);
    const bool cancelled = m_state->cancelled;
    LeaveCriticalSection(&m_state->lock);
    return cancelled;
}

bool FetchGroup::Track(void* root) {
    EnterCriticalSection(&m_state->lock);
    const bool open = !m_state->cancelled;
    if (open)
        m_state->inFlight.push_back(root);
    LeaveCriticalSection(&m_state->lock);
    return open;
}

bool FetchGroup::Untrack(void* root) {
    EnterCriticalSection(&m_state->lock);
    auto at = std::find(m_state->inFlight.begin(), m_state->inFlight.end(), root);
    const bool tracked = at != m_state->inFlight.end();
    if (tracked)
        m_state->inFlight.erase(at);
    LeaveCriticalSection(&m_state->lock);
    return tracked;
}

FetchGroup::Member::Member(FetchGroup& group) : m_previous(t_fetchGroup) { t_fetchGroup = &group; }

FetchGroup::Member::~Member() { t_fetchGroup = m_previous; }
