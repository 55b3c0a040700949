#include "WinDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

// How long one message to another process may take before we give up on it.
constexpr UINT kSendTimeoutMs = 5000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer))
        return false;
    if (result)
        *result = static_cast<LRESULT>(answer);
    return true;
}

// The argument quoted so that the child's CommandLineToArgvW gets it back
// unchanged: backslashes before the closing quote are doubled.
std::string Quoted(const std::string& argument) {
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\')
        ++trailing;
    return "\"" + argument + std::string(trailing, '\\') + "\"";
}

struct EnumRequest {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND>* out;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<EnumRequest*>(param);
    if (request->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (request->pid != 0 && ProcessOfWindow(window) != request->pid)
        return TRUE;
    request->out->push_back(window);
    return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(pollMs);
    }
}

// ---- processes --------------------------------------------------------------

Process::~Process() {
    Kill();
    if (m_info.hThread)
        CloseHandle(m_info.hThread);
    if (m_info.hProcess)
        CloseHandle(m_info.hProcess);
}

bool Process::Start(const std::string& exe, const char* argument, bool suspended) {
    std::string commandLine = Quoted(exe);
    if (argument)
        commandLine += " " + Quoted(argument);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    m_startTick = GetTickCount();
    return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0,
                          nullptr, nullptr, &startup, &m_info) != FALSE;
}

bool Process::Resume() {
    m_startTick = GetTickCount();
    return m_info.hThread && ResumeThread(m_info.hThread) != static_cast<DWORD>(-1);
}

bool Process::Running() const {
    return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    if (exitCode)
        *exitCode = code;
    return true;
}

void Process::Kill() {
    if (!Running())
        return;
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
        if (className && ClassOf(window) != className)
            continue;
        if (caption && TextOf(window) != caption)
            continue;
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
    if (!window || !Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0)
        return std::string();
    // The length may count characters or bytes; leave room for either.
    std::vector<char> buffer(static_cast<size_t>(length) * 2 + 16, '\0');
    LRESULT copied = 0;
    if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
        return std::string();
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string ControlText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

bool SetControlText(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    LRESULT done = 0;
    return control && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done) && done;
}

bool Click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && Send(button, BM_CLICK, 0, 0);
}

RECT ChildRect(HWND parent, int id) {
    RECT rect = {};
    HWND child = GetDlgItem(parent, id);
    if (!child)
        return rect;
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
        if (std::find(pids.begin(), pids.end(), ProcessOfWindow(window)) == pids.end())
            continue;
        if (!IsMessageBox(window))
            continue;
        if (caption && TextOf(window) != caption)
            continue;
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

bool AnswerMessageBox(HWND box, int buttonId) { return IsWindow(box) && Click(box, buttonId); }

void WindowWatch::Sample() {
    for (HWND window : TopLevelWindows(0)) {
        const DWORD pid = ProcessOfWindow(window);
        if (std::find(m_pids.begin(), m_pids.end(), pid) == m_pids.end())
            continue;
        const bool known = std::any_of(m_seen.begin(), m_seen.end(),
                                       [&](const Seen& seen) { return seen.window == window; });
        if (!known)
            m_seen.push_back(Seen{pid, window, TextOf(window)});
    }
}

std::vector<std::string> WindowWatch::SeenFor(DWORD pid) const {
    std::vector<std::string> captions;
    for (const Seen& seen : m_seen)
        if (seen.pid == pid)
            captions.push_back(seen.caption);
    return captions;
}

// ---- list views in another process -----------------------------------------

int ListItemCount(HWND list) {
    LRESULT count = -1;
    if (!list || !Send(list, LVM_GETITEMCOUNT, 0, 0, &count))
        return -1;
    return static_cast<int>(count);
}

int ListColumnWidth(HWND list, int column) {
    LRESULT width = -1;
    if (!list || !Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, &width))
        return -1;
    return static_cast<int>(width);
}

bool ReadListRows(HWND list, int columns, std::vector<std::vector<std::string>>& rows) {
    rows.clear();
    const int count = ListItemCount(list);
    if (count < 0)
        return false;
    // Both sides are built by the same compiler for the same machine, so the
    // LVITEMA we lay out here is the one the list reads there.
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION,
                                 FALSE, ProcessOfWindow(list));
    if (!process)
        return false;
    constexpr SIZE_T kTextRoom = 1024;
    char* const remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kTextRoom, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    bool ok = remote != nullptr;
    char* const remoteText = ok ? remote + sizeof(LVITEMA) : nullptr;
    for (int row = 0; ok && row < count; ++row) {
        std::vector<std::string> texts;
        for (int column = 0; ok && column < columns; ++column) {
            LVITEMA item = {};
            item.iSubItem = column;
            item.pszText = remoteText;
            item.cchTextMax = static_cast<int>(kTextRoom);
            const char nothing = '\0';
            char text[kTextRoom + 1] = {};
            SIZE_T moved = 0;
            LRESULT length = 0;
            ok = WriteProcessMemory(process, remote, &item, sizeof item, &moved) && moved == sizeof item &&
                 WriteProcessMemory(process, remoteText, &nothing, 1, &moved) &&
                 Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote), &length) &&
                 ReadProcessMemory(process, remoteText, text, kTextRoom, &moved);
            if (ok)
                texts.emplace_back(text, strnlen(text, kTextRoom));
        }
        if (ok)
            rows.push_back(std::move(texts));
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

// ---- named shared block ---------------------------------------------------

bool NamedBlockExists(const std::string& mappingName) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str());
    if (!mapping)
        return false;
    CloseHandle(mapping);
    return true;
}

bool ReadNamedBlockText(const std::string& mappingName, const std::string& lockName, std::string& text) {
    text.clear();
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str());
    if (!mapping)
        return false;
    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    bool ok = false;
    if (view) {
        MEMORY_BASIC_INFORMATION info = {};
        const size_t room = VirtualQuery(view, &info, sizeof info) == sizeof info ? info.RegionSize : 0;
        HANDLE lock = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, lockName.c_str());
        const DWORD waited = lock ? WaitForSingleObject(lock, 2000) : WAIT_FAILED;
        const bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        text.assign(view, strnlen(view, room));
        if (held)
            ReleaseMutex(lock);
        if (lock)
            CloseHandle(lock);
        UnmapViewOfFile(view);
        ok = true;
    }
    CloseHandle(mapping);
    return ok;
}

// ---- pictures ---------------------------------------------------------------

bool CaptureWindowToBmp(HWND window, const std::string& bmpPath) {
    RECT rect = {};
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    SelectObject(memory, old);

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as BMP files store rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    const bool read = copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                          reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read)
        return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    std::FILE* out = std::fopen(bmpPath.c_str(), "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                         std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace e2e
