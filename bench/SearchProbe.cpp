// Times the search of the real program from outside, as a user sees it: from
// the press of "开始搜索" to the summary box. Meanwhile it asks the window
// every few milliseconds to answer a message and keeps the longest wait.
//
//   SearchProbe PROGRAM FOLDER [--no-ping]
// prints: search-ms <n> rows <n> longest-wait-ms <n> waits-over-100ms <n>
// --no-ping only looks for the summary box, to see what the pings cost.
#include <cstdio>

#include "ProbeWindows.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return 2;
    const bool ping = argc == 3;
    PROCESS_INFORMATION pi = {};
    HWND main = probe::StartAndSearch(argv[1], argv[2], pi);
    if (!main) return 4;
    HWND list = GetDlgItem(main, IDC_LIST_RESULT);
    const double start = probe::Now();
    probe::Pinging pinging;
    const char summary[] = "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9";  // "搜索完成" in GBK
    HWND box = probe::PingUntilBox(pi.dwProcessId, main, summary, ping, 600000, pinging);
    const double elapsed = probe::Now() - start;
    const LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(200);
    probe::CloseProgram(pi, main);
    std::printf("search-ms %.1f rows %ld longest-wait-ms %.1f waits-over-100ms %d\n", elapsed, static_cast<long>(rows),
                pinging.longest, pinging.over);
    return box ? 0 : 5;
}
