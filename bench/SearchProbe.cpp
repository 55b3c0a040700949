// Times the search of the real program from outside, as a user sees it: from
// the press of "开始搜索" to the summary box. Meanwhile it asks the window
// every few milliseconds to answer a message and keeps the longest wait.
//
//   SearchProbe PROGRAM FOLDER [--no-ping]
// prints: search-ms <n> rows <n> longest-wait-ms <n> waits-over-100ms <n>
// --no-ping only looks for the summary box, to see what the pings cost.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Found {
    DWORD pid;
    HWND hwnd;
    const char* textPrefix;  // for the summary box: its static text starts so
};

BOOL CALLBACK FindDialogOf(HWND hwnd, LPARAM lParam) {
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
    } else if (!GetDlgItem(hwnd, 1007)) {
        return TRUE;
    }
    f->hwnd = hwnd;
    return FALSE;
}

HWND WaitForDialog(DWORD pid, const char* prefix, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        Found f{pid, nullptr, prefix};
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd) return f.hwnd;
        Sleep(2);
    }
    return nullptr;
}

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return 2;
    bool ping = argc == 3;
    std::string cmd = std::string("\"") + argv[1] + "\" \"-p:" + argv[2] + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
    HWND main = WaitForDialog(pi.dwProcessId, nullptr, 30000);
    if (!main) {
        TerminateProcess(pi.hProcess, 1);
        return 4;
    }
    Sleep(300);
    HWND list = GetDlgItem(main, 1009);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(main, 1007)));
    double start = Now();
    double longest = 0;
    int over = 0;
    HWND box = nullptr;
    int pings = 0;
    const char summary[] = "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9";  // "搜索完成" in GBK
    for (;;) {
        double before = Now();
        DWORD_PTR result = 0;
        if (ping) SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        double waited = Now() - before;
        if (waited > longest) longest = waited;
        if (waited > 100) ++over;
        // Looking for the box costs the window system more than a ping does.
        if (++pings % 5 == 0) {
            Found f{pi.dwProcessId, nullptr, summary};
            EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&f));
            if (f.hwnd) {
                box = f.hwnd;
                break;
            }
        }
        if (Now() - start > 600000) break;
        Sleep(10);
    }
    double elapsed = Now() - start;
    LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(200);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    std::printf("search-ms %.1f rows %ld longest-wait-ms %.1f waits-over-100ms %d\n", elapsed, static_cast<long>(rows),
                longest, over);
    return box ? 0 : 5;
}
