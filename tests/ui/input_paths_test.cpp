// The ways besides typing that a folder reaches the path field (a drop, the
// folder browser) and the menu's "delete the current row", in the running
// main window with a tree on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "DialogHarness.h"
#include "ExactAnsi.h"
#include "MainDlg.h"
#include "TreeBackend.h"
#include "resource.h"

namespace {

using InputPaths = DialogTest;

// A drop handle as the shell makes it: a DROPFILES header, then the paths in
// the ANSI code page, each ended by a NUL, and one more NUL. The dialog frees it.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths) size += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    if (!memory) return nullptr;
    char* bytes = static_cast<char*>(GlobalLock(memory));
    auto* header = reinterpret_cast<DROPFILES*>(bytes);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* at = bytes + sizeof(DROPFILES);
    for (const std::string& p : paths) {
        std::memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// The same with the paths in UTF-16, as the shell of a Unicode Explorer hands them.
HDROP MakeWideDrop(const std::wstring& path) {
    const size_t size = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    if (!memory) return nullptr;
    char* bytes = static_cast<char*>(GlobalLock(memory));
    auto* header = reinterpret_cast<DROPFILES*>(bytes);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(bytes + sizeof(DROPFILES), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::string FieldText(HWND h) { return Text(GetDlgItem(h, IDC_EDIT_PATH)); }

TEST_F(InputPaths, ADropPutsTheFirstItemsFolderIntoThePathField) {
    auto tree = MakeBackend("disk");
    tree->MakeFolder("sub");
    tree->MakeFile("sub\\a.txt");
    tree->MakeFolder("报告");
    tree->MakeFile("报告\\奬状.txt");  // the second byte of 奬 is the byte of "\"
    tree->MakeFile("top.txt");
    const std::string root = tree->Root();

    struct Case {
        const char* name;
        std::vector<std::string> dropped;
        std::string field;
    } cases[] = {
        {"a file gives its folder with a backslash", {root + "\\sub\\a.txt"}, root + "\\sub\\"},
        {"a folder gives itself", {root + "\\sub"}, root + "\\sub"},
        {"a double-byte name is not cut at its trail byte", {root + "\\报告\\奬状.txt"}, root + "\\报告\\"},
        {"a drive root gives the root", {"C:\\"}, "C:\\"},
        {"of several items only the first counts", {root + "\\top.txt", root + "\\sub", "C:\\"}, root + "\\"},
        {"a folder first among several", {root + "\\sub", root + "\\top.txt"}, root + "\\sub"},
    };
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        for (const Case& c : cases) {
            OnUi(h, [&] { SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\before"); });
            HDROP drop = MakeDrop(c.dropped);
            ASSERT_NE(drop, nullptr);
            OnUi(h, [&] { SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
            EXPECT_EQ(FieldText(h), c.field) << c.name;
        }
        EXPECT_EQ(Count(dlg), 0) << "a drop started a search";
        EXPECT_TRUE(host.Boxes().empty());
    });
}

// A dropped folder is taken as itself: a dot-ended one is not its twin, and one
// whose name the code page can only show as a look-alike goes into the field
// exactly, never as the look-alike's path.
TEST_F(InputPaths, ADroppedFolderIsItself) {
    auto tree = MakeBackend("disk");
    tree->MakeFolder("a.");
    tree->MakeFolder("a");
    tree->MakeFolder("Wx");
    std::wstring root;
    ASSERT_TRUE(AnsiToWide(tree->Root(), root));
    const std::wstring lookAlike = root + L"\\\x0174x\U0001F600";  // best fit makes it "Wx??" or "?x??"
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + lookAlike).c_str(), nullptr));
    auto field = [](HWND h) {
        wchar_t text[MAX_PATH] = {};
        GetDlgItemTextW(h, IDC_EDIT_PATH, text, MAX_PATH);
        return std::wstring(text);
    };

    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\before"); });
        HDROP drop = MakeWideDrop(root + L"\\a.");
        ASSERT_NE(drop, nullptr);
        OnUi(h, [&] { SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
        EXPECT_EQ(FieldText(h), tree->Root() + "\\a.");

        OnUi(h, [&] { SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\before"); });
        drop = MakeWideDrop(lookAlike);
        ASSERT_NE(drop, nullptr);
        OnUi(h, [&] { SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
        EXPECT_EQ(field(h), lookAlike);

        // A file in it gives the folder, exactly.
        OnUi(h, [&] { SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\before"); });
        drop = MakeWideDrop(lookAlike + L"\\\uD55C.txt");
        ASSERT_NE(drop, nullptr);
        OnUi(h, [&] { SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
        EXPECT_EQ(field(h), lookAlike + L"\\");
    });
    RemoveDirectoryW((L"\\\\?\\" + lookAlike).c_str());
}

TEST_F(InputPaths, TheFolderBrowserFillsTheFieldOnlyWithAChoice) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { SetWindowTextA(GetDlgItem(h, IDC_EDIT_PATH), "D:\\typed"); });
        // Cancelled: the field keeps what was typed.
        Click(h, IDC_BTN_BROWSE);
        ASSERT_EQ(host.browseTitles.size(), 1u);
        EXPECT_EQ(host.browseTitles[0], L"请选择您要添加的目录");
        EXPECT_EQ(FieldText(h), "D:\\typed");

        host.folderAnswer = L"E:\\chosen 目录\U0001F600";
        Click(h, IDC_BTN_BROWSE);
        EXPECT_EQ(host.browseTitles.size(), 2u);
        wchar_t chosen[MAX_PATH] = {};
        GetDlgItemTextW(h, IDC_EDIT_PATH, chosen, MAX_PATH);
        EXPECT_STREQ(chosen, L"E:\\chosen 目录\U0001F600");
        EXPECT_EQ(Count(dlg), 0) << "choosing started a search";
    });
}

TEST_F(InputPaths, DeleteCurrentTakesTheSelectedRowOnlyWithoutAsking) {
    auto tree = MakeBackend("disk");
    for (const char* f : {"a.", "a", "con", "held.", "z "}) tree->MakeFile(f);
    tree->HoldOpen("held.");
    CMyDlg dlg{CMyDlg::StartArgs{true, WideOfAnsi(tree->Root())}};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 4);
        // The column after the five: this Windows' verdict on the plain path, then why.
        std::vector<std::string> why = Column(dlg, 5);
        std::sort(why.begin(), why.end());
        EXPECT_EQ(why, (std::vector<std::string>{"本机无法访问：末尾是点", "本机无法访问：末尾是点",
                                                 "本机无法访问：末尾是空格", "本机无法访问：设备名"}));
        auto rowOf = [&](const std::string& name) {
            const std::vector<std::string> names = Column(dlg, 1);
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == "[" + name + "]") return static_cast<int>(i);
            return -1;
        };

        // No selection: nothing happens, checked or not.
        SetChecks(h, dlg, {true, true, true, true});
        Select(h, dlg, -1);
        Command(h, ID_LIST_DELETE_CURRENT);
        EXPECT_EQ(Count(dlg), 4);

        // The selected row goes with its entry; the checked ones stay.
        SetChecks(h, dlg, {false, false, false, false});
        const int a = rowOf("a.");
        ASSERT_GE(a, 0);
        const std::vector<Row> before = Rows(dlg);
        Select(h, dlg, a);
        Command(h, ID_LIST_DELETE_CURRENT);
        ASSERT_TRUE(WaitForDeletion(dlg));
        std::vector<Row> expected = before;
        expected.erase(expected.begin() + a);
        EXPECT_EQ(Rows(dlg), expected);

        // A row whose entry cannot go stays and says so.
        const int held = rowOf("held.");
        ASSERT_GE(held, 0);
        Select(h, dlg, held);
        Command(h, ID_LIST_DELETE_CURRENT);
        ASSERT_TRUE(WaitForDeletion(dlg));
        ASSERT_EQ(Count(dlg), 3);
        EXPECT_EQ(Cell(dlg, held, 1), "[held.]");
        EXPECT_EQ(Cell(dlg, held, 4), "失败");
        EXPECT_EQ(host.Boxes().size(), 1u) << "only the search summary";
    });
    EXPECT_EQ(tree->Tree(), (std::vector<std::string>{"a", "con", "held.", "z "}));
}

}  // namespace
