// Times, from outside and as a user sees them, two things the real program
// does with many rows: sorting them by a header click, and deleting all of
// them (全选, 删除, 是). Meanwhile it pings the window every few milliseconds
// and keeps the longest wait.
//
//   DeleteProbe PROGRAM FOLDER
// prints: rows <n> checkall-ms <n> invert-ms <n> sort-ms <n> delete-ms <n> left <n> longest-wait-ms <n>
//         waits-over-100ms <n>
// checkall-ms, invert-ms and sort-ms run from the click until the window
// answers at once again, its repaint included (they run on the window's
// thread); sort-ms is the longer of two sorts; delete-ms runs from the answer
// to the question to the summary box.
#include <cstdio>

#include "ProbeWindows.h"

namespace {

// A click on the header's first column, as the mouse would make it.
void ClickHeader(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const LPARAM at = MAKELPARAM(20, 5);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
}

// How long the window stays busy after action: from the action until the end
// of the last answer slower than 20 ms, once it has answered quickly for half
// a second.
template <typename Action>
double TimeBusy(HWND main, Action action) {
    const double start = probe::Now();
    action();
    double busyUntil = start;
    while (probe::Now() - busyUntil < 500 && probe::Now() - start < 60000) {
        const double waited = probe::Ping(main);
        if (waited > 20) busyUntil = probe::Now();
        Sleep(5);
    }
    return busyUntil - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    PROCESS_INFORMATION pi = {};
    HWND main = probe::StartAndSearch(argv[1], argv[2], pi);
    if (!main) return 4;
    HWND list = GetDlgItem(main, IDC_LIST_RESULT);
    probe::Pinging ignored;
    const char searched[] = "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9";  // "搜索完成"
    HWND box = probe::PingUntilBox(pi.dwProcessId, main, searched, false, 600000, ignored);
    if (!box) {
        probe::CloseProgram(pi, main);
        return 5;
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(500);
    const LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);

    const double checkAll = TimeBusy(main, [&] { probe::Click(main, IDC_BTN_CHECK_ALL); });
    // Inverted twice, so every row is checked again for the deletion.
    double invert = TimeBusy(main, [&] { probe::Click(main, IDC_BTN_INVERT); });
    const double invertBack = TimeBusy(main, [&] { probe::Click(main, IDC_BTN_INVERT); });
    if (invertBack > invert) invert = invertBack;
    // Twice, one way and back: the longer counts.
    double sort = TimeBusy(main, [&] { ClickHeader(list); });
    const double back = TimeBusy(main, [&] { ClickHeader(list); });
    if (back > sort) sort = back;

    probe::Click(main, IDC_BTN_DELETE);
    const char question[] = "\xCA\xC7\xB7\xF1\xD2\xAA\xC9\xBE\xB3\xFD";  // "是否要删除"
    HWND ask = probe::WaitForDialog(pi.dwProcessId, question, 30000);
    if (!ask) {
        probe::CloseProgram(pi, main);
        return 6;
    }
    PostMessageA(ask, WM_COMMAND, IDYES, 0);
    const double start = probe::Now();
    probe::Pinging pinging;
    const char deleted[] = "\xC9\xBE\xB3\xFD";  // "删除"
    HWND summary = probe::PingUntilBox(pi.dwProcessId, main, deleted, true, 600000, pinging);
    const double elapsed = probe::Now() - start;
    const LRESULT left = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (summary) PostMessageA(summary, WM_COMMAND, IDOK, 0);
    Sleep(200);
    probe::CloseProgram(pi, main);
    std::printf(
        "rows %ld checkall-ms %.1f invert-ms %.1f sort-ms %.1f delete-ms %.1f left %ld longest-wait-ms %.1f "
        "waits-over-100ms %d\n",
        static_cast<long>(rows), checkAll, invert, sort, elapsed, static_cast<long>(left), pinging.longest,
        pinging.over);
    return summary ? 0 : 7;
}
