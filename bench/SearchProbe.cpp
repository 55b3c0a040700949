// Times the search of the real program from outside, as a user sees it: from
// the press of "开始搜索" to the summary box: the moment the system reports it
// shown where it does, else the box is looked for every millisecond once the
// search button reads "开始搜索" again (a ping and a pause of 10 ms between
// two looks had added up to 20 ms to the figure).
// Meanwhile it asks the window every few milliseconds to answer a message and
// keeps the longest wait.
//
//   SearchProbe PROGRAM FOLDER [--no-ping | --picture FILE.bmp]
// prints: search-ms <n> rows <n> longest-wait-ms <n> waits-over-100ms <n>
// --no-ping only looks for the summary box, to see what the pings cost;
// --picture takes a picture of the window with its rows once the box is closed.
#include <cstdio>
#include <cstring>

#include "ProbeWindows.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) return 2;
    const bool ping = !(argc == 4 && std::strcmp(argv[3], "--no-ping") == 0);
    const char* picture = argc == 5 && std::strcmp(argv[3], "--picture") == 0 ? argv[4] : nullptr;
    PROCESS_INFORMATION pi = {};
    if (!probe::StartOn(argv[1], argv[2], pi)) return 4;
    HWND main = probe::WaitForDialog(pi.dwProcessId, nullptr, 30000);
    if (!main) {
        TerminateProcess(pi.hProcess, 1);
        return 4;
    }
    Sleep(300);
    HWND list = GetDlgItem(main, IDC_LIST_RESULT);
    const char summary[] = "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9";  // "搜索完成" in GBK
    probe::BoxWatch watch;
    probe::WatchForBox(watch, pi.dwProcessId, summary);
    const DWORD startTick = GetTickCount();
    const double start = probe::Now();
    probe::Click(main, IDC_BTN_SEARCH);
    probe::Pinging pinging;
    HWND box = nullptr;
    double seen = 0;
    // Looking through every window for the box costs the window system more
    // than the search's own steps: it is looked for only once the search
    // button reads "开始搜索" again, which it does right before the box.
    HWND button = GetDlgItem(main, IDC_BTN_SEARCH);
    const char startCaption[] = "\xBF\xAA\xCA\xBC\xCB\xD1\xCB\xF7";  // "开始搜索"
    bool running = false;
    for (int round = 1;; ++round) {
        if (probe::BoxSeen(watch)) {
            box = watch.box;
            break;
        }
        char caption[32] = {};
        GetWindowTextA(button, caption, sizeof caption);
        const bool idle = std::strcmp(caption, startCaption) == 0;
        running = running || !idle;
        if ((running && idle) || round % 50 == 0) {
            if ((box = probe::FindDialog(pi.dwProcessId, summary)) != nullptr) {
                seen = probe::Now() - start;
                break;
            }
        }
        if (probe::Now() - start > 600000) break;
        // The box comes right after the button reads "开始搜索" again: from
        // then on it is looked for every millisecond, without pings.
        if (running && idle) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            continue;
        }
        if (ping) {
            const double waited = probe::Ping(main);
            if (waited > pinging.longest) pinging.longest = waited;
            if (waited > 100) ++pinging.over;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        }
    }
    const double elapsed = watch.box ? static_cast<double>(watch.shownTick - startTick) : seen;
    probe::EndWatch(watch);
    const LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(200);
    if (picture) {
        ShowWindow(main, SW_MAXIMIZE);
        Sleep(500);
        probe::CaptureToBmp(main, picture);
    }
    probe::CloseProgram(pi, main);
    std::printf("search-ms %.1f rows %ld longest-wait-ms %.1f waits-over-100ms %d box-seen-by %s\n", elapsed,
                static_cast<long>(rows), pinging.longest, pinging.over, watch.box ? "event" : "look");
    return box ? 0 : 5;
}
