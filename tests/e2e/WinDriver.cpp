#include "WinDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace e2e {

namespace {

// How long one message to another process may take before we give up on it.
constexpr UINT kSendTimeoutMs = 5000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

std::wstring WideOf(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(
        static_cast<size_t>(std::max(0, MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                                            &wide[0], static_cast<int>(wide.size())))));
    return wide;
}

}  // namespace

std::string AnsiOf(const std::wstring& text) {
    const int n = static_cast<int>(text.size());
    std::string ansi(
        static_cast<size_t>(std::max(0, WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr))),
        '\0');
    if (!ansi.empty())
        WideCharToMultiByte(CP_ACP, 0, text.data(), n, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

namespace {

// The argument quoted so that the child's CommandLineToArgvW gets it back
// unchanged: backslashes before the closing quote are doubled.
std::string Quoted(const std::string& argument) {
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\') ++trailing;
    return "\"" + argument + std::string(trailing, '\\') + "\"";
}

struct EnumRequest {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND>* out;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<EnumRequest*>(param);
    if (request->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (request->pid != 0 && ProcessOfWindow(window) != request->pid) return TRUE;
    request->out->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(param);
    if (GetParent(window) == request->first) request->second->push_back(window);
    return TRUE;
}

// A block of memory in the process that owns a window, for the messages
// whose argument points at a structure the system does not carry across.
class RemoteMemory {
public:
    RemoteMemory(HWND window, SIZE_T size) : m_size(size) {
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                                FALSE, ProcessOfWindow(window));
        if (m_process)
            m_base =
                static_cast<char*>(VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteMemory() {
        if (m_base) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        if (m_process) CloseHandle(m_process);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool Ok() const { return m_base != nullptr; }
    // The address as the other process sees it.
    char* At(SIZE_T offset) const { return m_base + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
        SIZE_T moved = 0;
        return m_base && offset + size <= m_size && WriteProcessMemory(m_process, At(offset), data, size, &moved) &&
               moved == size;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const {
        SIZE_T moved = 0;
        return m_base && offset + size <= m_size && ReadProcessMemory(m_process, At(offset), data, size, &moved) &&
               moved == size;
    }

private:
    HANDLE m_process = nullptr;
    char* m_base = nullptr;
    SIZE_T m_size = 0;
};

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        Sleep(pollMs);
    }
}

// ---- processes --------------------------------------------------------------

Process::~Process() {
    Kill();
    if (m_info.hThread) CloseHandle(m_info.hThread);
    if (m_info.hProcess) CloseHandle(m_info.hProcess);
}

bool Process::Start(const std::string& exe, const char* argument, bool suspended) {
    std::string commandLine = Quoted(exe);
    if (argument) commandLine += " " + Quoted(argument);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    m_startTick = GetTickCount();
    return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0, nullptr,
                          nullptr, &startup, &m_info) != FALSE;
}

bool Process::StartW(const std::string& exe, const std::wstring& argument, bool suspended) {
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == L'\\') ++trailing;
    std::wstring commandLine = L"\"" + WideOf(exe) + L"\" \"" + argument + std::wstring(trailing, L'\\') + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    m_startTick = GetTickCount();
    return CreateProcessW(WideOf(exe).c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                          suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &m_info) != FALSE;
}

bool Process::StartCommandLine(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    m_startTick = GetTickCount();
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info) !=
           FALSE;
}

bool Process::Resume() {
    m_startTick = GetTickCount();
    return m_info.hThread && ResumeThread(m_info.hThread) != static_cast<DWORD>(-1);
}

bool Process::Suspend() { return m_info.hThread && SuspendThread(m_info.hThread) != static_cast<DWORD>(-1); }

bool Process::Running() const { return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    if (exitCode) *exitCode = code;
    return true;
}

void Process::Kill() {
    if (!Running()) return;
    TerminateProcess(m_info.hProcess, 1);
    WaitForSingleObject(m_info.hProcess, 5000);
}

// ---- windows ----------------------------------------------------------------

DWORD ProcessOfWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD pid, bool visibleOnly) {
    std::vector<HWND> windows;
    EnumRequest request{pid, visibleOnly, &windows};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&request));
    return windows;
}

HWND FindTopLevel(DWORD pid, const char* className, const char* caption) {
    for (HWND window : TopLevelWindows(pid)) {
        if (className && ClassOf(window) != className) continue;
        if (caption && TextOf(window) != caption) continue;
        return window;
    }
    return nullptr;
}

HWND WaitForTopLevel(DWORD pid, const char* className, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(pid, className, caption)) != nullptr; }, timeoutMs);
    return found;
}

std::string TextOf(HWND window) {
    LRESULT length = 0;
    if (!window || !Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0) return std::string();
    // The length may count characters or bytes; leave room for either.
    std::vector<char> buffer(static_cast<size_t>(length) * 2 + 16, '\0');
    LRESULT copied = 0;
    if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
        return std::string();
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string ControlText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

std::wstring TextOfW(HWND window) {
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(length + 16, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                             kSendTimeoutMs, &copied))
        return std::wstring();
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

std::wstring ControlTextW(HWND dialog, int id) { return TextOfW(GetDlgItem(dialog, id)); }

bool SetControlTextW(HWND dialog, int id, const std::wstring& text) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR done = 0;
    return control &&
           SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                               kSendTimeoutMs, &done) &&
           done;
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    LRESULT done = 0;
    return control && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done) && done;
}

bool Click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && Send(button, BM_CLICK, 0, 0);
}

bool ClickLater(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool PostCommand(HWND window, int id) { return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE; }

bool Settle(HWND window) { return window && Send(window, WM_NULL, 0, 0); }

bool FlushPosted(HWND edit, DWORD timeoutMs) {
    LRESULT before = 0;
    if (!edit || !Send(edit, EM_GETMODIFY, 0, 0, &before) || !Send(edit, EM_SETMODIFY, FALSE, 0) ||
        !PostMessageA(edit, EM_SETMODIFY, TRUE, 0))
        return false;
    const bool through = WaitUntil(
        [&] {
            LRESULT now = 0;
            return Send(edit, EM_GETMODIFY, 0, 0, &now) && now;
        },
        timeoutMs);
    Send(edit, EM_SETMODIFY, before ? TRUE : FALSE, 0);
    return through;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    std::pair<HWND, std::vector<HWND>*> request{parent, &children};
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&request));
    return children;
}

HWND WaitForOtherTopLevel(DWORD pid, HWND except, const char* className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = nullptr;
            for (HWND window : TopLevelWindows(pid)) {
                if (window == except || (className && ClassOf(window) != className)) continue;
                found = window;
                break;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

RECT ChildRect(HWND parent, int id) {
    RECT rect = {};
    HWND child = GetDlgItem(parent, id);
    if (!child) return rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE WindowSize(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// ---- message boxes ----------------------------------------------------------

namespace {
constexpr int kMessageBoxTextId = 0xFFFF;
}

bool IsMessageBox(HWND window) {
    return ClassOf(window) == "#32770" && GetDlgItem(window, kMessageBoxTextId) != nullptr;
}

std::vector<HWND> MessageBoxesOf(const std::vector<DWORD>& pids, const char* caption) {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(0)) {
        if (std::find(pids.begin(), pids.end(), ProcessOfWindow(window)) == pids.end()) continue;
        if (!IsMessageBox(window)) continue;
        if (caption && TextOf(window) != caption) continue;
        boxes.push_back(window);
    }
    return boxes;
}

HWND WaitForMessageBox(const std::vector<DWORD>& pids, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> boxes = MessageBoxesOf(pids, caption);
            found = boxes.empty() ? nullptr : boxes.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageBoxTextId); }

std::wstring MessageBoxTextW(HWND box) {
    HWND label = GetDlgItem(box, kMessageBoxTextId);
    return label ? TextOfW(label) : std::wstring();
}

bool ClipboardTextW(std::wstring& text) {
    // Another program may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!OpenClipboard(nullptr)) {
            Sleep(20);
            continue;
        }
        bool ok = false;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const wchar_t* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = chars;
                ok = true;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        return ok;
    }
    return false;
}

bool AnswerMessageBox(HWND box, int buttonId) { return IsWindow(box) && Click(box, buttonId); }

namespace {

constexpr int kIconRoom = 32;

// 32 x 32 pixels as 0x00RRGGBB words, top row first.
using IconPixels = std::vector<DWORD>;

struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
    Canvas() {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kIconRoom;
        info.bmiHeader.biHeight = -kIconRoom;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        void* raw = nullptr;
        bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        ReleaseDC(nullptr, screen);
        bits = static_cast<DWORD*>(raw);
        if (dc && bitmap) old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        if (old) SelectObject(dc, old);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
    bool Ok() const { return dc && bitmap && bits; }
    IconPixels Pixels() const {
        GdiFlush();
        IconPixels pixels(bits, bits + kIconRoom * kIconRoom);
        for (DWORD& p : pixels) p &= 0x00FFFFFF;
        return pixels;
    }
};

long Distance(const IconPixels& a, const IconPixels& b) {
    long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
    return sum;
}

// The static control that shows a box's icon.
HWND IconControlOf(HWND box) {
    for (HWND child : ChildWindows(box)) {
        if (ClassOf(child) != "Static" || !IsWindowVisible(child)) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
    }
    return nullptr;
}

BoxIcon ReadBoxIconOnce(HWND box) {
    HWND control = IconControlOf(box);
    if (!control) return BoxIcon::None;
    RECT rect = {};
    if (!GetWindowRect(control, &rect)) return BoxIcon::Unreadable;

    Canvas shot;
    if (!shot.Ok()) return BoxIcon::Unreadable;
    HDC screen = GetDC(nullptr);
    const bool copied = BitBlt(shot.dc, 0, 0, kIconRoom, kIconRoom, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    // The box's own background, just left of the icon.
    const COLORREF background = GetPixel(screen, rect.left - 2, rect.top + kIconRoom / 2);
    ReleaseDC(nullptr, screen);
    if (!copied || background == CLR_INVALID) return BoxIcon::Unreadable;
    const IconPixels seen = shot.Pixels();

    struct Candidate {
        BoxIcon icon;
        LPCSTR id;
    };
    const Candidate candidates[] = {{BoxIcon::None, nullptr},
                                    {BoxIcon::Hand, IDI_HAND},
                                    {BoxIcon::Question, IDI_QUESTION},
                                    {BoxIcon::Exclamation, IDI_EXCLAMATION},
                                    {BoxIcon::Asterisk, IDI_ASTERISK}};
    BoxIcon best = BoxIcon::Unreadable;
    long bestDistance = 0;
    for (const Candidate& candidate : candidates) {
        Canvas drawn;
        if (!drawn.Ok()) return BoxIcon::Unreadable;
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, kIconRoom, kIconRoom};
        FillRect(drawn.dc, &all, brush);
        DeleteObject(brush);
        if (candidate.id) {
            HICON icon = LoadIconA(nullptr, candidate.id);
            if (!icon || !DrawIconEx(drawn.dc, 0, 0, icon, kIconRoom, kIconRoom, 0, nullptr, DI_NORMAL))
                return BoxIcon::Unreadable;
        }
        const long distance = Distance(seen, drawn.Pixels());
        if (best == BoxIcon::Unreadable || distance < bestDistance) {
            best = candidate.icon;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

const char* BoxIconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Unreadable: return "unreadable";
    case BoxIcon::None: return "none";
    case BoxIcon::Hand: return "hand";
    case BoxIcon::Question: return "question";
    case BoxIcon::Exclamation: return "exclamation";
    case BoxIcon::Asterisk: return "asterisk";
    }
    return "?";
}

BoxIcon MessageBoxIcon(HWND box, DWORD timeoutMs) {
    // A box with an icon control shows something other than its bare
    // background once it has been painted.
    BoxIcon icon = BoxIcon::Unreadable;
    WaitUntil(
        [&] {
            icon = ReadBoxIconOnce(box);
            return icon != BoxIcon::Unreadable && (icon != BoxIcon::None || !IconControlOf(box));
        },
        timeoutMs, 50);
    return icon;
}

void WindowWatch::Sample() {
    for (HWND window : TopLevelWindows(0)) {
        const DWORD pid = ProcessOfWindow(window);
        if (std::find(m_pids.begin(), m_pids.end(), pid) == m_pids.end()) continue;
        const bool known =
            std::any_of(m_seen.begin(), m_seen.end(), [&](const Seen& seen) { return seen.window == window; });
        if (!known) m_seen.push_back(Seen{pid, window, TextOf(window)});
    }
}

std::vector<std::string> WindowWatch::SeenFor(DWORD pid) const {
    std::vector<std::string> captions;
    for (const Seen& seen : m_seen)
        if (seen.pid == pid) captions.push_back(seen.caption);
    return captions;
}

// ---- list views in another process -----------------------------------------

int ListItemCount(HWND list) {
    LRESULT count = -1;
    if (!list || !Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) return -1;
    return static_cast<int>(count);
}

int ListColumnWidth(HWND list, int column) {
    LRESULT width = -1;
    if (!list || !Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, &width)) return -1;
    return static_cast<int>(width);
}

int ListColumnCount(HWND list) {
    LRESULT header = 0, count = -1;
    if (!list || !Send(list, LVM_GETHEADER, 0, 0, &header) || !header ||
        !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &count))
        return -1;
    return static_cast<int>(count);
}

int ListStringWidth(HWND list, const std::string& text) {
    RemoteMemory remote(list, text.size() + 1);
    LRESULT width = -1;
    if (!remote.Write(0, text.c_str(), text.size() + 1) ||
        !Send(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(remote.At(0)), &width))
        return -1;
    return static_cast<int>(width);
}

bool ReadListRows(HWND list, int columns, std::vector<std::vector<std::string>>& rows) {
    rows.clear();
    const int count = ListItemCount(list);
    if (count < 0) return false;
    // Both sides are built by the same compiler for the same machine, so the
    // LVITEMA we lay out here is the one the list reads there.
    constexpr SIZE_T kTextRoom = 1024;
    RemoteMemory remote(list, sizeof(LVITEMA) + kTextRoom);
    bool ok = remote.Ok();
    for (int row = 0; ok && row < count; ++row) {
        std::vector<std::string> texts;
        for (int column = 0; ok && column < columns; ++column) {
            LVITEMA item = {};
            item.iSubItem = column;
            item.pszText = remote.At(sizeof(LVITEMA));
            item.cchTextMax = static_cast<int>(kTextRoom);
            const char nothing = '\0';
            char text[kTextRoom + 1] = {};
            LRESULT length = 0;
            ok = remote.Write(0, &item, sizeof item) && remote.Write(sizeof(LVITEMA), &nothing, 1) &&
                 Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)),
                      &length) &&
                 remote.Read(sizeof(LVITEMA), text, kTextRoom);
            if (ok) texts.emplace_back(text, strnlen(text, kTextRoom));
        }
        if (ok) rows.push_back(std::move(texts));
    }
    return ok;
}

bool ReadListTextW(HWND list, int row, int column, std::wstring& text) {
    constexpr SIZE_T kTextRoom = 2048;  // characters
    RemoteMemory remote(list, sizeof(LVITEMW) + (kTextRoom + 1) * sizeof(wchar_t));
    if (!remote.Ok()) return false;
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVITEMW)));
    item.cchTextMax = static_cast<int>(kTextRoom);
    const wchar_t nothing = L'\0';
    std::wstring read(kTextRoom, L'\0');
    LRESULT length = 0;
    if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof(LVITEMW), &nothing, sizeof nothing) ||
        !Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), &length) ||
        !remote.Read(sizeof(LVITEMW), &read[0], kTextRoom * sizeof(wchar_t)))
        return false;
    text.assign(read.c_str(), wcsnlen(read.c_str(), kTextRoom));
    return true;
}

bool ReadListHeadingW(HWND list, int column, std::wstring& text) {
    constexpr SIZE_T kTextRoom = 256;  // characters
    RemoteMemory remote(list, sizeof(LVCOLUMNW) + (kTextRoom + 1) * sizeof(wchar_t));
    if (!remote.Ok()) return false;
    LVCOLUMNW asked = {};
    asked.mask = LVCF_TEXT;
    asked.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVCOLUMNW)));
    asked.cchTextMax = static_cast<int>(kTextRoom);
    const wchar_t nothing = L'\0';
    std::wstring read(kTextRoom, L'\0');
    LRESULT done = 0;
    if (!remote.Write(0, &asked, sizeof asked) || !remote.Write(sizeof(LVCOLUMNW), &nothing, sizeof nothing) ||
        !Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.At(0)), &done) ||
        !done || !remote.Read(sizeof(LVCOLUMNW), &read[0], kTextRoom * sizeof(wchar_t)))
        return false;
    text.assign(read.c_str(), wcsnlen(read.c_str(), kTextRoom));
    return true;
}

int ListCheckState(HWND list, int row) {
    LRESULT state = 0;
    if (!list || !Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK, &state)) return -1;
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

bool SetListCheck(HWND list, int row, bool checked) {
    RemoteMemory remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    LRESULT done = 0;
    return remote.Write(0, &item, sizeof item) &&
           Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), &done) &&
           done;
}

bool SelectListRow(HWND list, int row) {
    RemoteMemory remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    LRESULT done = 0;
    return remote.Write(0, &item, sizeof item) &&
           Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), &done) &&
           done && Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE, &done);
}

bool ListRowRect(HWND list, int row, RECT& rect) {
    RemoteMemory remote(list, sizeof(RECT));
    RECT asked = {};
    asked.left = LVIR_BOUNDS;
    LRESULT done = 0;
    return remote.Write(0, &asked, sizeof asked) &&
           Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), &done) &&
           done && remote.Read(0, &rect, sizeof rect);
}

// ---- combo boxes and popup menus in another process ------------------------

bool ReadComboItems(HWND combo, std::vector<std::string>& items, int& selected) {
    items.clear();
    selected = -1;
    LRESULT count = 0, chosen = 0;
    if (!combo || !Send(combo, CB_GETCOUNT, 0, 0, &count) || count < 0 || !Send(combo, CB_GETCURSEL, 0, 0, &chosen))
        return false;
    for (LRESULT i = 0; i < count; ++i) {
        // Asked for in UTF-16: the system carries that form across processes
        // unchanged, where the narrow form may arrive unconverted.
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, SMTO_NORMAL, kSendTimeoutMs,
                                 &length) ||
            static_cast<LRESULT>(length) < 0)
            return false;
        std::vector<wchar_t> text(static_cast<size_t>(length) + 16, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()),
                                 SMTO_NORMAL, kSendTimeoutMs, &copied) ||
            static_cast<LRESULT>(copied) < 0)
            return false;
        const int wide = static_cast<int>(wcsnlen(text.data(), text.size()));
        std::string narrow(static_cast<size_t>(wide) * 2 + 1, '\0');
        const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, &narrow[0], static_cast<int>(narrow.size()),
                                              nullptr, nullptr);
        narrow.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
        items.push_back(narrow);
    }
    selected = static_cast<int>(chosen);
    return true;
}

HWND FindPopupMenuWindow(DWORD pid) { return FindTopLevel(pid, "#32768", nullptr); }

bool ReadPopupMenuItems(HWND menuWindow, std::vector<std::pair<UINT, std::string>>& items) {
    items.clear();
    LRESULT handle = 0;
    if (!menuWindow || !Send(menuWindow, MN_GETHMENU, 0, 0, &handle) || !handle) return false;
    HMENU menu = reinterpret_cast<HMENU>(handle);
    const int count = GetMenuItemCount(menu);
    if (count < 0) return false;
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.emplace_back(GetMenuItemID(menu, i), text);
    }
    return true;
}

// ---- named shared block ---------------------------------------------------

bool NamedBlockExists(const std::string& mappingName) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str());
    if (!mapping) return false;
    CloseHandle(mapping);
    return true;
}

bool ReadNamedBlockText(const std::string& mappingName, const std::string& lockName, std::wstring& text) {
    text.clear();
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str());
    if (!mapping) return false;
    const wchar_t* view = static_cast<const wchar_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    bool ok = false;
    if (view) {
        MEMORY_BASIC_INFORMATION info = {};
        const size_t room = VirtualQuery(view, &info, sizeof info) == sizeof info ? info.RegionSize : 0;
        HANDLE lock = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, lockName.c_str());
        const DWORD waited = lock ? WaitForSingleObject(lock, 2000) : WAIT_FAILED;
        const bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        text.assign(view, wcsnlen(view, room / sizeof(wchar_t)));
        if (held) ReleaseMutex(lock);
        if (lock) CloseHandle(lock);
        UnmapViewOfFile(view);
        ok = true;
    }
    CloseHandle(mapping);
    return ok;
}

// ---- pictures ---------------------------------------------------------------

bool CaptureWindowToBmp(HWND window, const std::string& bmpPath) {
    // Tests running beside this one show windows on the same screen: the one
    // pictured is lifted above them while its picture is taken, and painted
    // anew once uncovered.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    struct Lower {
        HWND window;
        ~Lower() { SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }
    } lower{window};
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
    Settle(window);
    RECT rect = {};
    if (!GetWindowRect(window, &rect)) return false;
    // A maximised window's frame lies past the screen's edges, where there is nothing to copy.
    const RECT screenArea = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                             GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (!IntersectRect(&rect, &rect, &screenArea)) return false;
    return CaptureScreenAreaToBmp(rect, bmpPath);
}

bool CaptureScreenAreaToBmp(const RECT& rect, const std::string& bmpPath) {
    std::vector<unsigned char> pixels;
    if (!CaptureScreen(rect, pixels)) return false;
    // The pixels as CaptureScreen reads them: 32-bit rows, top down; the
    // unused fourth byte made opaque for readers that take it for alpha.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = rect.right - rect.left;
    header.biHeight = -(rect.bottom - rect.top);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::FILE* out = std::fopen(bmpPath.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&header, sizeof header, 1, out) == 1 &&
                         std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return std::fclose(out) == 0 && written;
}

bool CaptureScreen(const RECT& screenRect, std::vector<unsigned char>& pixels) {
    pixels.clear();
    const int width = screenRect.right - screenRect.left;
    const int height = screenRect.bottom - screenRect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, screenRect.left, screenRect.top, SRCCOPY) != FALSE;
    SelectObject(memory, old);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    pixels.resize(static_cast<size_t>(width) * height * 4);
    const bool read = copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                          reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read) pixels.clear();
    return read;
}

}  // namespace e2e
