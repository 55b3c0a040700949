// What the probes share: starting the program on a folder, finding its
// dialogs and boxes from outside, pinging the window, and the clock.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "resource.h"

namespace probe {

struct Found {
    DWORD pid;
    HWND hwnd;
    const char* textPrefix;  // for a box: its static text starts so
};

inline BOOL CALLBACK FindDialogOf(HWND hwnd, LPARAM lParam) {
    auto* f = reinterpret_cast<Found*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid != f->pid || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (f->textPrefix) {
        char text[512] = {};
        HWND label = GetDlgItem(hwnd, 0xFFFF);
        if (!label) return TRUE;
        GetWindowTextA(label, text, sizeof text);
        if (std::strncmp(text, f->textPrefix, std::strlen(f->textPrefix)) != 0) return TRUE;
    } else if (!GetDlgItem(hwnd, IDC_BTN_SEARCH)) {
        return TRUE;
    }
    f->hwnd = hwnd;
    return FALSE;
}

// The main window (prefix null) or a box whose text starts with prefix, now.
inline HWND FindDialog(DWORD pid, const char* prefix) {
    Found f{pid, nullptr, prefix};
    EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
}

inline HWND WaitForDialog(DWORD pid, const char* prefix, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (HWND found = FindDialog(pid, prefix)) return found;
        Sleep(2);
    }
    return nullptr;
}

inline double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Starts "PROGRAM -p:FOLDER"; false when it could not.
inline bool StartOn(const char* program, const char* folder, PROCESS_INFORMATION& pi) {
    std::string cmd = std::string("\"") + program + "\" \"-p:" + folder + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
}

inline void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Starts the program on folder, waits for its window and presses 开始搜索.
// The window, or null (the program ended) when it did not come up.
inline HWND StartAndSearch(const char* program, const char* folder, PROCESS_INFORMATION& pi) {
    if (!StartOn(program, folder, pi)) return nullptr;
    HWND main = WaitForDialog(pi.dwProcessId, nullptr, 30000);
    if (!main) {
        TerminateProcess(pi.hProcess, 1);
        return nullptr;
    }
    Sleep(300);
    Click(main, IDC_BTN_SEARCH);
    return main;
}

// How long the window took to answer a message, in ms.
inline double Ping(HWND window) {
    const double before = Now();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    return Now() - before;
}

// Pings the window every 10 ms until a box whose text starts with prefix is
// up (or timeoutMs passed); longest and over (waits over 100 ms) are kept.
struct Pinging {
    double longest = 0;
    int over = 0;
};
inline HWND PingUntilBox(DWORD pid, HWND window, const char* prefix, bool ping, double timeoutMs, Pinging& p) {
    const double start = Now();
    for (int pings = 1;; ++pings) {
        if (ping) {
            const double waited = Ping(window);
            if (waited > p.longest) p.longest = waited;
            if (waited > 100) ++p.over;
        }
        // Looking for the box costs the window system more than a ping does.
        if (pings % 5 == 0)
            if (HWND box = FindDialog(pid, prefix)) return box;
        if (Now() - start > timeoutMs) return nullptr;
        Sleep(10);
    }
}

// The moment a box of the program came up, as the system reports the window
// being shown: no polling stands between the box and the figure.
struct BoxWatch {
    DWORD pid = 0;
    const char* prefix = nullptr;
    HWND box = nullptr;
    DWORD shownTick = 0;  // GetTickCount when it was shown
    HWINEVENTHOOK hook = nullptr;
};
inline BoxWatch*& TheBoxWatch() {
    static BoxWatch* watch = nullptr;
    return watch;
}
inline void CALLBACK OnShown(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG, DWORD, DWORD when) {
    BoxWatch* w = TheBoxWatch();
    if (!w || w->box || object != OBJID_WINDOW || !hwnd) return;
    Found f{w->pid, nullptr, w->prefix};
    FindDialogOf(hwnd, reinterpret_cast<LPARAM>(&f));
    if (f.hwnd) {
        w->box = f.hwnd;
        w->shownTick = when;
    }
}
inline void WatchForBox(BoxWatch& w, DWORD pid, const char* prefix) {
    w.pid = pid;
    w.prefix = prefix;
    TheBoxWatch() = &w;
    w.hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShown, pid, 0,
                             WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
}
// Takes the events that arrived; true once the box was seen.
inline bool BoxSeen(BoxWatch& w) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return w.box != nullptr;
}
inline void EndWatch(BoxWatch& w) {
    if (w.hook) UnhookWinEvent(w.hook);
    w.hook = nullptr;
    TheBoxWatch() = nullptr;
}

// The window's area of the screen into a 24-bit BMP file.
inline bool CaptureToBmp(HWND window, const char* path) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);
    RECT r;
    GetWindowRect(window, &r);
    // A maximised window's frame lies past the screen's edges, where there is nothing to copy.
    HDC probeScreen = GetDC(nullptr);
    const RECT screenArea = {0, 0, GetDeviceCaps(probeScreen, HORZRES), GetDeviceCaps(probeScreen, VERTRES)};
    ReleaseDC(nullptr, probeScreen);
    if (!IntersectRect(&r, &r, &screenArea)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    header.biSizeImage = stride * static_cast<DWORD>(h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    bool written = false;
    if (copied && bits) {
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = file.bfOffBits + header.biSizeImage;
        HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        written = out != INVALID_HANDLE_VALUE && WriteFile(out, &file, sizeof file, &n, nullptr) &&
                  WriteFile(out, &header, sizeof header, &n, nullptr) &&
                  WriteFile(out, bits, header.biSizeImage, &n, nullptr);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return written;
}

inline void CloseProgram(const PROCESS_INFORMATION& pi, HWND main) {
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace probe
