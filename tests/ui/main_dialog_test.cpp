// The main window in this process, under Wine with a display: a script on a
// second thread looks at it and works it while the dialog runs modally here.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "AppMessages.h"
#include "DialogHarness.h"
#include "HandOverMessages.h"
#include "Layout.h"
#include "MainDlg.h"
#include "MainTexts.h"
#include "MainTimers.h"
#include "Settings.h"
#include "SimulatedVolume.h"
#include "StoredTexts.h"
#include "TreeBackend.h"
#include "RowCollector.h"
#include "WorkerThreads.h"
#include "resource.h"

namespace {

using MainDialog = DialogTest;

// Whether the result list's repainting is held, read on the window's thread.
bool ListPaintHeld(HWND h, CMyDlg& dlg) {
    bool held = true;
    RunOnWindowThread(h, [&] { held = dlg.Results().IsPaintHeld(); });
    return held;
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// The columns end at the list's right edge: the path column takes what the
// fixed ones leave, whatever their own widths.
void ExpectColumnsFillTheList(HWND list) {
    RECT client;
    GetClientRect(list, &client);
    int sum = 0;
    for (int i = 0; i < 6; ++i) sum += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    EXPECT_EQ(sum, client.right);
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL, 0);
}

TEST_F(MainDialog, OpensWithItsControlsTitleColumnsAndSavedPath) {
    WriteSavedPath(L"C:\\saved folder");
    CMyDlg dlg{CMyDlg::StartArgs{}};
    Run(dlg, [&](HWND h) {
        EXPECT_EQ(Text(GetDlgItem(h, IDC_EDIT_PATH)), "C:\\saved folder");
        EXPECT_EQ(Text(h), BuildWindowTitle(DecodeStoredText(StoredText::ProductTitle), "1.3",
                                            DecodeStoredText(StoredText::NoticeText)));
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_CHECK_MALFORMED), BST_CHECKED);
        for (int id : {IDC_CHECK_HIDDEN, IDC_CHECK_READONLY, IDC_CHECK_SYSTEM})
            EXPECT_EQ(IsDlgButtonChecked(h, id), BST_UNCHECKED) << id;
        EXPECT_EQ(Text(GetDlgItem(h, IDC_BTN_SEARCH)), "开始搜索");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_EXPORT)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, IDC_STATIC_NOTICE)));

        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        const char* headings[] = {"路径", "文件名", "类型", "属性", "操作结果", "说明"};
        // The fixed columns follow the display's scaling; the path column fills the rest.
        const int dpi = ScreenDpi();
        const int widths[] = {-1,
                              ScaledForDpi(90, dpi),
                              ScaledForDpi(60, dpi),
                              ScaledForDpi(60, dpi),
                              ScaledForDpi(103, dpi),
                              ScaledForDpi(145, dpi)};
        for (int i = 0; i < 6; ++i) {
            char buf[64] = {};
            LVCOLUMNA col = {};
            col.mask = LVCF_TEXT | LVCF_FMT;
            col.pszText = buf;
            col.cchTextMax = sizeof buf;
            ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col)));
            EXPECT_STREQ(buf, headings[i]);
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
            if (widths[i] > 0) {
                EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0), widths[i]) << i;
            }
        }
        DWORD ex = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        DWORD wanted =
            LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE | LVS_EX_FLATSB;
        EXPECT_EQ(ex & wanted, wanted);
        ExpectColumnsFillTheList(list);  // from the start, before any resize

        SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\typed at the end");
    });
    EXPECT_EQ(ReadSavedPath(), L"D:\\typed at the end");
}

TEST_F(MainDialog, ASearchRequestShowsItsPathInsteadOfTheSavedOne) {
    WriteSavedPath(L"C:\\saved");
    CMyDlg dlg{CMyDlg::StartArgs{true, L"Z:\\from the command line"}};
    Run(dlg, [&](HWND h) { EXPECT_EQ(Text(GetDlgItem(h, IDC_EDIT_PATH)), "Z:\\from the command line"); });
    // An argument of 3 characters or fewer: nothing from the settings either.
    CMyDlg bare{CMyDlg::StartArgs{true, L""}};
    Run(bare, [&](HWND h) { EXPECT_EQ(Text(GetDlgItem(h, IDC_EDIT_PATH)), ""); });
}

RECT ClientRectOf(HWND parent, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(parent, id), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(MainDialog, LayoutFollowsEveryResizeAndKeepsTheMinimumSize) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        struct Size {
            int w, h;
        } sizes[] = {{900, 650}, {1000, 500}, {300, 200}, {640, 420}};  // all fit a 1024 x 768 screen
        for (const Size& s : sizes) {
            SetWindowPos(h, nullptr, 10, 20, s.w, s.h, SWP_NOZORDER | SWP_NOACTIVATE);
            RECT window;
            GetWindowRect(h, &window);
            EXPECT_EQ(window.left, 10);
            EXPECT_EQ(window.top, 20);
            EXPECT_EQ(window.right - window.left, std::max(s.w, 600));
            EXPECT_EQ(window.bottom - window.top, std::max(s.h, 400));

            RECT client;
            GetClientRect(h, &client);
            int W = client.right, H = client.bottom;
            // The numbers are pixels at the template font's 6 x 12 base units
            // and grow with them (Wine's stand-in font is larger).
            RECT units = {0, 0, 4, 8};
            MapDialogRect(h, &units);
            double sx = units.right / 6.0, sy = units.bottom / 12.0;
            auto X = [&](int px) { return static_cast<int>(std::lround(px * sx)); };
            auto Y = [&](int px) { return static_cast<int>(std::lround(px * sy)); };
            RECT list = ClientRectOf(h, IDC_LIST_RESULT);
            EXPECT_EQ(list.left, X(3));
            EXPECT_EQ(list.top, Y(75));
            EXPECT_EQ(list.right, W - X(3));
            EXPECT_EQ(list.bottom, H - Y(40));
            ExpectColumnsFillTheList(GetDlgItem(h, IDC_LIST_RESULT));
            struct Button {
                int id, x, width;
            } row[] = {{IDC_BTN_CHECK_ALL, 3, 45},
                       {IDC_BTN_INVERT, 56, 48},
                       {IDC_BTN_DELETE, 112, 45},
                       {IDC_BTN_SUPPORT, 165, 65}};
            for (const Button& b : row) {
                RECT r = ClientRectOf(h, b.id);
                EXPECT_EQ(r.left, X(b.x)) << b.id;
                EXPECT_EQ(r.top, H - Y(32)) << b.id;
                EXPECT_EQ(r.right - r.left, X(b.width)) << b.id;
                EXPECT_LE(r.bottom, H) << b.id;  // not cut off at the bottom
            }
            RECT notice = ClientRectOf(h, IDC_STATIC_NOTICE);
            EXPECT_EQ(notice.left, X(235));
            EXPECT_EQ(notice.top, H - Y(29));
            EXPECT_EQ(notice.right, W - X(8));
            // The list starts below the frame of the top row.
            RECT option = ClientRectOf(h, IDC_CHECK_MALFORMED);
            EXPECT_GT(list.top, option.bottom);
        }
        // Minimising lays nothing out; restoring lays out again.
        RECT before = ClientRectOf(h, IDC_LIST_RESULT);
        ShowWindow(h, SW_MINIMIZE);
        ShowWindow(h, SW_RESTORE);
        RECT after = ClientRectOf(h, IDC_LIST_RESULT);
        EXPECT_TRUE(EqualRect(&before, &after));
    });
}

TEST_F(MainDialog, ReturnInThePathFieldSearchesAndNeitherKeyClosesTheWindow) {
    auto tree = MakeBackend("disk");
    tree->MakeFile("report.");
    tree->MakeFile("fine.txt");
    CMyDlg dlg{CMyDlg::StartArgs{true, WideOfAnsi(tree->Root())}};
    Run(dlg, [&](HWND h) {
        HWND edit = GetDlgItem(h, IDC_EDIT_PATH);
        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        // Keys typed elsewhere, and Escape anywhere, do nothing.
        RunOnWindowThread(h, [&] { SetFocus(list); });
        PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        Sleep(300);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(host.Boxes().empty());

        RunOnWindowThread(h, [&] { SetFocus(edit); });
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(WaitForBoxes(1));
        EXPECT_EQ(host.Boxes()[0].text.rfind("搜索完成，共搜索了0个目录和2个文件\r\n找到了畸形目录: 0 个\r\n"
                                             "找到了畸形文件: 1 个\r\n共花时: ",
                                             0),
                  0u)
            << host.Boxes()[0].text;
        EXPECT_EQ(host.Boxes()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
        EXPECT_TRUE(WaitFor([&] { return Text(GetDlgItem(h, IDC_BTN_SEARCH)) == "开始搜索"; }));
        EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_EXPORT)));
        EXPECT_TRUE(IsWindowVisible(h));
    });
}

TEST_F(MainDialog, CheckedRowsAreDeletedAndAFailureStaysWithItsMark) {
    auto tree = MakeBackend("disk");
    for (const char* f : {"a.", "con", "held.", "keep.txt"}) tree->MakeFile(f);
    tree->HoldOpen("held.");
    CMyDlg dlg{CMyDlg::StartArgs{true, WideOfAnsi(tree->Root())}};
    Run(dlg, [&](HWND h) {
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 3);

        // Answered No: nothing happens.
        RunOnWindowThread(h, [&] {
            for (int i = 0; i < 3; ++i) dlg.Results().SetChecked(i, true);
            host.Answer(IDNO);
            dlg.DeleteCheckedRows();
        });
        EXPECT_EQ(Count(dlg), 3);
        EXPECT_TRUE(tree->Exists("a."));

        host.Answer(IDYES);
        RunOnWindowThread(h, [&] { dlg.DeleteCheckedRows(); });
        ASSERT_TRUE(WaitForDeletion(dlg));
        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 4u);
        EXPECT_EQ(boxes[2].text, "是否要删除选中的目录或文件？\n\n删除后将不可恢复，确定吗？");
        EXPECT_EQ(boxes[2].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(boxes[3].text, "删除完毕，删除成功 2 个，删除失败 1 个。");
        ASSERT_EQ(Count(dlg), 1);
        EXPECT_EQ(Cell(dlg, 0, 1), "[held.]");
        EXPECT_EQ(Cell(dlg, 0, 4), "失败");
        // The row's tip says why, as the list asks for it.
        char tip[512] = {};
        NMLVGETINFOTIPA ask = {};
        ask.hdr.hwndFrom = GetDlgItem(h, IDC_LIST_RESULT);
        ask.hdr.idFrom = IDC_LIST_RESULT;
        ask.hdr.code = LVN_GETINFOTIPA;
        ask.pszText = tip;
        ask.cchTextMax = sizeof tip;
        ask.iItem = 0;
        SendMessageA(h, WM_NOTIFY, IDC_LIST_RESULT, reinterpret_cast<LPARAM>(&ask));
        EXPECT_EQ(std::string(tip).rfind("失败：正被其他程序使用 (32)", 0), 0u) << tip;
    });
    std::vector<std::string> left = tree->Tree();
    std::vector<std::string> expected = {"held.", "keep.txt"};
    EXPECT_EQ(left, expected);
}

// The keys: F5 searches, Ctrl+A checks every row, Del asks once naming the
// entry and then deletes the selected row, Esc never closes the window.
TEST_F(MainDialog, KeysSearchCheckAllAndDeleteTheSelectedRowAfterOneQuestion) {
    SimulatedVolume v;
    v.AddDrive('D');
    for (const char* f : {"D:\\r\\a.", "D:\\r\\b.", "D:\\r\\c."}) v.AddFile(f);
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        auto key = [&](HWND to, WPARAM vk, bool ctrl) {
            OnUi(h, [&] {
                BYTE state[256] = {};
                GetKeyboardState(state);
                state[VK_CONTROL] = ctrl ? 0x80 : 0;
                SetKeyboardState(state);
                MSG msg = {to, WM_KEYDOWN, vk, 0, 0, {0, 0}};
                EXPECT_TRUE(dlg.PreTranslateMessage(&msg)) << vk;
                state[VK_CONTROL] = 0;
                SetKeyboardState(state);
            });
        };
        key(list, VK_F5, false);
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 3);

        key(list, 'A', true);
        OnUi(h, [&] {
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(dlg.Results().IsChecked(i)) << i;
            dlg.Results().Select(1);
        });
        const std::string second = Cell(dlg, 1, 0);

        host.Answer(IDNO);
        key(list, VK_DELETE, false);
        ASSERT_EQ(host.Boxes().size(), 2u);
        EXPECT_EQ(host.Boxes()[1].text, "确定要删除“" + second + "”吗？");
        EXPECT_EQ(Count(dlg), 3);
        EXPECT_TRUE(v.Exists(second));

        host.Answer(IDYES);
        key(list, VK_DELETE, false);
        ASSERT_TRUE(WaitForDeletion(dlg));
        EXPECT_EQ(Count(dlg), 2);
        EXPECT_FALSE(v.Exists(second));
        EXPECT_EQ(v.ListTree("D:\\r").size(), 2u);

        key(list, VK_ESCAPE, false);
        EXPECT_TRUE(IsWindow(h));
    });
}

TEST_F(MainDialog, ManyRowsArriveInTheWalksOrderAndTheListIsPaintedWhenItEnds) {
    // Enough rows for several batches, over folders the walk enters in turn.
    SimulatedVolume v;
    v.AddDrive('D');
    for (int folder = 0; folder < 6; ++folder)
        for (int file = 0; file < 90; ++file)
            v.AddFile("D:\\r\\f" + std::to_string(folder) + "\\n" + std::to_string(file) + (file % 2 ? "." : " "));
    RowCollector walked;
    ScanState state;
    ScanOptions malformed;
    malformed.malformedNames = 1;
    ScanFolder(v, "D:\\r", malformed, walked, state);
    ASSERT_EQ(walked.rows.size(), 540u);

    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        std::vector<std::string> listed;
        for (int i = 0; i < Count(dlg); ++i) listed.push_back(Cell(dlg, i, 0));
        EXPECT_EQ(listed, walked.Paths());
        // Repainting was held while rows came in; the list shows them now.
        EXPECT_FALSE(ListPaintHeld(h, dlg));
    });
}

// A walk that waits at one folder until the test lets it go on, each time
// it gets there; the volume tells who listed what.
struct SlowVolume {
    SimulatedVolume v;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CRITICAL_SECTION lock;
    std::vector<std::pair<DWORD, std::string>> listings;  // thread, pattern
    SlowVolume() {
        InitializeCriticalSection(&lock);
        v.AddDrive('D');
        for (const char* f : {"D:\\r\\a\\one.", "D:\\r\\b\\slow\\two.", "D:\\r\\z\\three."}) v.AddFile(f);
        v.beforeFindFirst = [this](const std::string& p) {
            EnterCriticalSection(&lock);
            listings.emplace_back(GetCurrentThreadId(), p);
            LeaveCriticalSection(&lock);
            // Long enough in b for the row found so far to reach the list.
            if (p == "\\\\?\\D:\\r\\b\\*") Sleep(150);
            if (p == "\\\\?\\D:\\r\\b\\slow\\*") WaitForSingleObject(release, 20000);
        };
    }
    ~SlowVolume() {
        CloseHandle(release);
        DeleteCriticalSection(&lock);
    }
    std::vector<std::pair<DWORD, std::string>> Listings() {
        EnterCriticalSection(&lock);
        auto copy = listings;
        LeaveCriticalSection(&lock);
        return copy;
    }
    // How many walks have begun: listings of the root.
    size_t Walks() {
        size_t n = 0;
        for (const auto& l : Listings()) n += l.second == "\\\\?\\D:\\r\\*" ? 1 : 0;
        return n;
    }
};

std::vector<std::string> ListPaths(CMyDlg& dlg) {
    std::vector<std::string> out;
    RunOnWindowThread(dlg.GetSafeHwnd(), [&] {
        for (int i = 0; i < dlg.Results().Count(); ++i) out.push_back(dlg.Results().NarrowText(i, 0));
    });
    std::sort(out.begin(), out.end());
    return out;
}

bool IsProgressTitle(HWND h) { return Text(h).find("-已搜索个") != std::string::npos; }

TEST_F(MainDialog, AStoppedWalkTakesNoPressUntilItHasUnwoundThenTheNextSearchRunsInFull) {
    SlowVolume slow;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &slow.v};
    Run(dlg, [&](HWND h) {
        HWND search = GetDlgItem(h, IDC_BTN_SEARCH);
        HWND edit = GetDlgItem(h, IDC_EDIT_PATH);
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitFor([&] { return dlg.IsWalking() && Text(search) == "停止"; }));

        // A delete command while rows are still coming does nothing.
        ASSERT_TRUE(WaitFor([&] { return Count(dlg) == 1; }));
        // The walk is held up with no rows to come: the list is painted all the same.
        EXPECT_TRUE(WaitFor([&] { return !ListPaintHeld(h, dlg); }, 3000));
        RunOnWindowThread(h, [&] { dlg.DeleteAllRows(); });
        EXPECT_EQ(Count(dlg), 1);
        EXPECT_TRUE(slow.v.Exists("D:\\r\\a\\one."));

        // Stop; the stopped walk is still inside the slow folder. The button
        // says so, and neither it nor Return in the path field starts anything.
        Click(h, IDC_BTN_SEARCH);
        EXPECT_EQ(Text(search), "开始搜索");
        EXPECT_FALSE(IsWindowEnabled(search));
        EXPECT_FALSE(IsProgressTitle(h));
        Click(h, IDC_BTN_SEARCH);
        RunOnWindowThread(h, [&] { SetFocus(edit); });
        OnUi(h, [&] {
            MSG msg = {edit, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
            dlg.PreTranslateMessage(&msg);
            dlg.ToggleSearch();
        });
        EXPECT_TRUE(dlg.IsWalking());
        EXPECT_TRUE(host.Boxes().empty());

        SetEvent(slow.release);
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking() && IsWindowEnabled(search); }));
        // It says that it was stopped, with the counts it reached.
        EXPECT_EQ(host.Boxes()[0].text.rfind("搜索已停止，共搜索了3个目录和1个文件\r\n", 0), 0u)
            << host.Boxes()[0].text;
        EXPECT_EQ(slow.Walks(), 1u) << "a press while the walk unwound started a search of its own";

        // The next search, held up in the slow folder again: its progress
        // shows, and it stops at the first press.
        ResetEvent(slow.release);
        Click(h, IDC_BTN_SEARCH);
        ASSERT_TRUE(WaitFor([&] { return Count(dlg) == 1 && IsProgressTitle(h); })) << Text(h);
        Click(h, IDC_BTN_SEARCH);
        EXPECT_FALSE(IsProgressTitle(h));
        SetEvent(slow.release);
        ASSERT_TRUE(WaitForBoxes(2));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking() && IsWindowEnabled(search); }));
        EXPECT_EQ(slow.Walks(), 2u);
        EXPECT_EQ(host.Boxes().size(), 2u);
        EXPECT_EQ(host.Boxes()[1].text.rfind("搜索已停止，", 0), 0u) << host.Boxes()[1].text;

        // Once it has run to its end, deleting takes every row.
        Click(h, IDC_BTN_SEARCH);
        ASSERT_TRUE(WaitForBoxes(3));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        std::vector<std::string> expected = {"D:\\r\\a\\one.", "D:\\r\\b\\slow\\two.", "D:\\r\\z\\three."};
        EXPECT_EQ(ListPaths(dlg), expected);
        EXPECT_EQ(host.Boxes()[2].text.rfind("搜索完成，共搜索了4个目录和3个文件\r\n", 0), 0u) << host.Boxes()[2].text;
        RunOnWindowThread(h, [&] { dlg.DeleteAllRows(); });
        ASSERT_TRUE(WaitForDeletion(dlg));
        EXPECT_EQ(Count(dlg), 0);
        EXPECT_FALSE(slow.v.Exists("D:\\r\\b\\slow\\two."));
    });
}

// Deleting runs off the window's thread: held up in one entry, the window
// still answers, shows how far it got and takes a stop; the entries before
// the stop go with their rows, the rest stay with theirs.
TEST_F(MainDialog, ADeletionLeavesTheWindowFreeAndStopsWhenAsked) {
    SimulatedVolume v;
    v.AddDrive('D');
    for (int i = 1; i <= 6; ++i) v.AddFile("D:\\r\\f" + std::to_string(i) + ".");
    HANDLE reached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    v.beforeHandleCall = [&](const char* call, SimulatedVolume::Node* at) {
        if (std::string(call) == "DeleteOpen" && at && v.PathOf(*at) == "D:\\r\\f4.") {
            SetEvent(reached);
            WaitForSingleObject(release, 30000);
        }
    };
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        HWND button = GetDlgItem(h, IDC_BTN_DELETE);
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 6);
        OnUi(h, [&] { dlg.CheckAllRows(); });

        host.Answer(IDYES);
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_BTN_DELETE, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        ASSERT_EQ(WaitForSingleObject(reached, 30000), WAIT_OBJECT_0);
        // The worker waits inside f4's deletion; the window answers all the same.
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0);
        EXPECT_TRUE(dlg.IsDeleting());
        EXPECT_EQ(Text(button), "停止");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_SEARCH)));
        EXPECT_TRUE(WaitFor([&] { return Text(h).find("-正在删除 2/6...") != std::string::npos; }, 5000)) << Text(h);

        Click(h, IDC_BTN_DELETE);
        EXPECT_FALSE(IsWindowEnabled(button));
        SetEvent(release);
        ASSERT_TRUE(WaitForDeletion(dlg));
        ASSERT_TRUE(WaitForBoxes(3));
        EXPECT_EQ(host.Boxes()[2].text, "删除已停止，删除成功 3 个，删除失败 0 个。\r\n未删除 3 个。");
        EXPECT_EQ(ListPaths(dlg), (std::vector<std::string>{"D:\\r\\f1.", "D:\\r\\f2.", "D:\\r\\f3."}));
        EXPECT_EQ(Text(button), "删除");
        EXPECT_TRUE(IsWindowEnabled(button));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_SEARCH)));
        EXPECT_EQ(Text(h).find("正在删除"), std::string::npos);
    });
    EXPECT_EQ(v.ListTree("D:\\r"), (std::vector<std::string>{"D:\\r\\f1.", "D:\\r\\f2.", "D:\\r\\f3."}));
    CloseHandle(reached);
    CloseHandle(release);
}

TEST_F(MainDialog, NothingStartsOnceTheWindowIsGone) {
    SlowVolume slow;
    {
        CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &slow.v};
        Run(dlg, [&](HWND h) {
            RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
            ASSERT_TRUE(WaitFor([&] { return Count(dlg) == 1; }));
            // Stopped, pressed again while it unwinds, and closed.
            Click(h, IDC_BTN_SEARCH);
            RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
            PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
            dlg.ToggleSearch();
            SetEvent(slow.release);
        });
        // The dialog goes here, after its workers.
    }
    EXPECT_EQ(slow.Walks(), 1u);
    EXPECT_TRUE(host.Boxes().empty()) << host.Boxes()[0].text;
}

TEST_F(MainDialog, AStopPressedRightAfterTheStartHolds) {
    SlowVolume slow;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &slow.v};
    Run(dlg, [&](HWND h) {
        // Both presses before the worker has run a single step.
        OnUi(h, [&] {
            dlg.ToggleSearch();
            dlg.ToggleSearch();
        });
        // Were the stop lost, the walk would wait in the slow folder and no box would come.
        const bool ended = WaitForBoxes(1);
        SetEvent(slow.release);
        ASSERT_TRUE(ended) << "the walk did not stop";
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        EXPECT_EQ(slow.Walks(), 1u);
        EXPECT_EQ(host.Boxes().size(), 1u);
        EXPECT_EQ(Text(GetDlgItem(h, IDC_BTN_SEARCH)), "开始搜索");
    });
}

TEST_F(MainDialog, TheSummarysTimeIsTheWalksOwn) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\one.");
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        // The window's thread is busy for a while right after the press; the
        // walk, which begins after that, takes a moment.
        OnUi(h, [&] {
            dlg.ToggleSearch();
            Sleep(1500);
        });
        ASSERT_TRUE(WaitForBoxes(1));
        const std::string text = host.Boxes()[0].text;
        EXPECT_NE(text.find(" 毫秒"), std::string::npos) << text;
    });
}

TEST_F(MainDialog, TheProgressDisplayNeverWaitsOnTheDisk) {
    SlowVolume slow;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &slow.v};
    DWORD windowThread = GetCurrentThreadId();  // the dialog runs modally here
    Run(dlg, [&](HWND h) {
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitFor([&] { return Count(dlg) == 1; }));
        // Held in the slow folder for several ticks of the progress timer: the
        // title follows the counts, and the window's thread lists nothing.
        ASSERT_TRUE(WaitFor([&] { return Text(h) == BuildProgressTitle(dlg.Title(), 3, 1); })) << Text(h);
        const std::string shown = Text(h);
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer));
        // The status line shows where the walk was, in long names.
        std::wstring line;
        RunOnWindowThread(h, [&] { line = dlg.Online().Text(); });
        EXPECT_EQ(line.rfind(L"D:\\r", 0), 0u);
        SetEvent(slow.release);
        ASSERT_TRUE(WaitForBoxes(1));
    });
    for (const auto& listing : slow.Listings())
        EXPECT_NE(listing.first, windowThread) << "the window's thread listed " << listing.second;
}

TEST_F(MainDialog, ASummaryTellsWhatCouldNotBeSearched) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\a\\one.");
    // Two folders the walk may not list.
    for (const char* closed : {"D:\\r\\a\\b", "D:\\r\\a\\c"}) v.AddFolder(closed)->openError = 5;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        EXPECT_EQ(
            host.Boxes()[0].text.rfind("搜索完成，共搜索了3个目录和1个文件\r\n找到了畸形目录: 0 个\r\n"
                                       "找到了畸形文件: 1 个\r\n未能搜索: 2 个目录或文件（无法访问或路径过长）\r\n"
                                       "共花时: ",
                                       0),
            0u)
            << host.Boxes()[0].text;
    });
}

// A root that is not there exactly is not searched: the box says so instead
// of reporting a finished search of nothing.
TEST_F(MainDialog, ARootThatIsNotThereSaysSo) {
    size_t shown = 0;
    for (const char* root : {"D:\\gone", "D:\\r ", "D:\\r\\one."}) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\r\\one.");
        CMyDlg dlg{CMyDlg::StartArgs{true, WideOfAnsi(root)}, &v};
        Run(dlg, [&](HWND h) {
            RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
            ASSERT_TRUE(WaitForBoxes(++shown));
            EXPECT_EQ(host.Boxes()[shown - 1].text, std::string("要搜索的目录不存在：\r\n") + root);
            EXPECT_EQ(Count(dlg), 0);
        });
    }
}

// A drop of one item, as the shell hands it over.
HDROP MakeDrop(const std::string& path) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + path.size() + 2);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.data(), path.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainDialog, ARootLongerThanTheFieldTakesIsRefusedNotCut) {
    const std::string longest = "D:\\" + std::string(256, 'a');  // 259 bytes
    const std::string tooLong = longest + "\\b";
    {
        CMyDlg dlg{CMyDlg::StartArgs{true, WideOfAnsi(tooLong)}};
        Run(dlg, [&](HWND h) { EXPECT_EQ(Text(GetDlgItem(h, IDC_EDIT_PATH)), ""); });
    }
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFolder("D:\\held");
    v.AddFolder("D:\\dropped");
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\held"}, &v};
    Run(dlg, [&](HWND h) {
        HWND edit = GetDlgItem(h, IDC_EDIT_PATH);
        // Typing stops where a search could no longer be given the text, in
        // UTF-16 units: a Chinese character takes one, an emoji two.
        const std::wstring chinese(300, L'\u6587');
        std::wstring pairs;
        for (int i = 0; i < 150; ++i) pairs += L"\U0001F600";
        for (const std::wstring& typed : {WideOfAnsi(tooLong), chinese, pairs}) {
            OnUi(h, [&] {
                SendMessageW(edit, EM_SETSEL, 0, -1);
                SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(typed.c_str()));
            });
            EXPECT_GT(GetWindowTextLengthW(edit), 200);
            EXPECT_LE(GetWindowTextLengthW(edit), 259);
        }

        // A dropped folder too long for the field leaves it as it was; one that fits is taken.
        OnUi(h, [&] { SetWindowTextA(edit, "D:\\held"); });
        std::string expected = "D:\\held";
        for (const std::string& dropped : {tooLong, std::string("D:\\dropped"), tooLong}) {
            HDROP drop = MakeDrop(dropped);
            OnUi(h, [&] { SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
            if (dropped != tooLong) expected = dropped;
            EXPECT_EQ(Text(edit), expected) << dropped.size() << " bytes dropped";
        }
    });
}

// Whoever started the window holds what later requests reach it through: it
// learns when the window is up, and lets go as the window goes, before the
// process lingers for its workers.
TEST_F(MainDialog, TellsItsStarterWhenTheWindowIsUpAndWhenItGoes) {
    HWND up = nullptr, gone = nullptr;
    bool upOnItsThread = false, fieldFilledWhenUp = false;
    int goneCalls = 0;
    CMyDlg::StartArgs args{true, L"D:\\r"};
    args.onWindowUp = [&](HWND window) {
        up = window;
        upOnItsThread = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
        fieldFilledWhenUp = Text(GetDlgItem(window, IDC_EDIT_PATH)) == "D:\\r";
    };
    args.onWindowGone = [&](HWND window) {
        gone = window;
        ++goneCalls;
    };
    CMyDlg dlg{args};
    int goneBeforeClose = -1, goneAfterClose = -1;
    Run(dlg, [&](HWND h) {
        EXPECT_EQ(up, h);
        goneBeforeClose = goneCalls;
        PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
        // The dialog object is still there: only the close has happened.
        goneAfterClose = goneCalls;
    });
    EXPECT_TRUE(upOnItsThread);
    EXPECT_TRUE(fieldFilledWhenUp) << "told before the window could take a request";
    EXPECT_EQ(goneBeforeClose, 0);
    EXPECT_EQ(goneAfterClose, 1) << "a request started now would be handed to a window that is gone";
    EXPECT_EQ(gone, up);
}

// What a later search request hands the window: a folder in the right form
// goes into the field and brings the window back; anything else is refused
// and the field keeps its text.
TEST_F(MainDialog, TakesAFolderHandedOverOnlyInItsOwnForm) {
    struct Case {
        const char* name;
        ULONG_PTR tag;
        std::string data;
        LRESULT answer;
        std::wstring field;
    };
    auto bytes = [](const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    };
    std::wstring longest = L"D:\\";  // 259 units, of pairs
    for (int i = 0; i < 128; ++i) longest += L"\U0001F600";
    const Case cases[] = {
        {"a folder", kCopyDataSearchPathW, bytes(L"E:\\下载\\\U0001F600."), TRUE, L"E:\\下载\\\U0001F600."},
        {"the longest the field takes", kCopyDataSearchPathW, bytes(longest), TRUE, longest},
        {"too long for the field", kCopyDataSearchPathW, bytes(longest + L"x"), TRUE, L"D:\\r"},
        {"a 0 unit inside", kCopyDataSearchPathW, bytes(std::wstring(L"E:\\a\0b", 6)), FALSE, L"D:\\r"},
        {"half a unit", kCopyDataSearchPathW, bytes(L"E:\\ab") + "c", FALSE, L"D:\\r"},
        {"an earlier version's ANSI form", kCopyDataSearchPath, "E:\\下载\\新的", TRUE, L"E:\\下载\\新的"},
        {"another tag", kCopyDataSearchPathW + 1, bytes(L"E:\\other"), FALSE, L"D:\\r"},
    };
    for (const Case& c : cases) {
        CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}};
        Run(dlg, [&](HWND h) {
            ShowWindow(h, SW_MINIMIZE);
            COPYDATASTRUCT data = {c.tag, static_cast<DWORD>(c.data.size()), const_cast<char*>(c.data.data())};
            // From another thread, as another process's SendMessage arrives.
            const LRESULT answer = SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
            EXPECT_EQ(answer, c.answer) << c.name;
            wchar_t field[MAX_PATH] = {};
            GetDlgItemTextW(h, IDC_EDIT_PATH, field, MAX_PATH);
            EXPECT_EQ(field, c.field) << c.name;
            EXPECT_EQ(IsIconic(h) == FALSE, c.answer == TRUE) << c.name;
        });
    }
}

// While a walk runs the path field is the user's: the progress goes to the
// title, and a folder handed over meanwhile waits for the walk's end instead
// of replacing what is being typed, or being lost.
TEST_F(MainDialog, TheFieldKeepsWhatIsTypedDuringASearchAndAFolderHandedMeanwhileComesAtItsEnd) {
    SlowVolume slow;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &slow.v};
    Run(dlg, [&](HWND h) {
        HWND edit = GetDlgItem(h, IDC_EDIT_PATH);
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitFor([&] { return IsProgressTitle(h); })) << Text(h);
        OnUi(h, [&] { SetWindowTextA(edit, "D:\\typed"); });
        // Several ticks of the progress timer later.
        Sleep(4 * kProgressMs);
        EXPECT_TRUE(IsProgressTitle(h)) << Text(h);
        EXPECT_EQ(Text(edit), "D:\\typed");

        const std::wstring handed = L"E:\\下载\\\U0001F600";
        COPYDATASTRUCT data = {kCopyDataSearchPathW, static_cast<DWORD>(handed.size() * sizeof(wchar_t)),
                               const_cast<wchar_t*>(handed.data())};
        EXPECT_EQ(SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
        Sleep(2 * kProgressMs);
        EXPECT_EQ(Text(edit), "D:\\typed");
        SetEvent(slow.release);
        ASSERT_TRUE(WaitForBoxes(1));
        wchar_t field[MAX_PATH] = {};
        GetWindowTextW(edit, field, MAX_PATH);
        EXPECT_EQ(field, handed);

        // With no walk running a folder handed over goes in at once.
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        const std::string next = "E:\\other";
        data = {kCopyDataSearchPath, static_cast<DWORD>(next.size()), const_cast<char*>(next.data())};
        EXPECT_EQ(SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
        EXPECT_EQ(Text(edit), next);
    });
}

TEST_F(MainDialog, TheWindowsThreadIsAComApartmentWhileTheWindowLives) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    HRESULT during = E_FAIL;
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] {
            during = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(during)) CoUninitialize();
        });
    });
    EXPECT_EQ(during, S_FALSE) << "COM was not initialised apartment-threaded on the window's thread";
    // And released with the window.
    HRESULT after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(after, S_OK);
    if (SUCCEEDED(after)) CoUninitialize();
}

// A thread that ends when its event is set.
DWORD WINAPI WaitForEvent(void* event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

struct WaitAllCall {
    WorkerThreads* workers;
    bool result = true;
    static DWORD WINAPI Run(void* p) {
        auto* call = static_cast<WaitAllCall*>(p);
        call->result = call->workers->WaitAll(INFINITE);
        return 0;
    }
};

TEST(WorkerThreads, AWaitThatCannotBeMadeReturnsInsteadOfSpinning) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WorkerThreads workers;
    HANDLE thread = workers.Start(&WaitForEvent, event);
    ASSERT_TRUE(thread);
    // The handle held there becomes one that may not be waited on (no
    // SYNCHRONIZE right): every wait on it fails at once.
    HANDLE copy = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    WaitAllCall call{&workers};
    HANDLE waiter = CreateThread(nullptr, 0, &WaitAllCall::Run, &call, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(waiter);
    CloseHandle(thread);
    HANDLE unwaitable = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), copy, GetCurrentProcess(), &unwaitable, THREAD_QUERY_INFORMATION,
                                FALSE, 0));
    if (unwaitable != thread) {
        SetEvent(event);  // the waiter stays suspended and never runs
        GTEST_SKIP() << "the system gave the closed handle's value to no new handle";
    }
    ASSERT_EQ(WaitForSingleObject(unwaitable, 0), static_cast<DWORD>(WAIT_FAILED));
    ResumeThread(waiter);
    EXPECT_EQ(WaitForSingleObject(waiter, 20000), static_cast<DWORD>(WAIT_OBJECT_0)) << "WaitAll spins on";
    EXPECT_FALSE(call.result);
    SetEvent(event);
    WaitForSingleObject(copy, 20000);
    CloseHandle(copy);
    CloseHandle(waiter);
    CloseHandle(event);
}

}  // namespace
