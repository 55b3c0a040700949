// The result list's commands, export, statistics, clearing, the About box and
// the Explorer verbs, worked in the running main window.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "App.h"
#include "ContentDlg.h"
#include "DialogHarness.h"
#include "ExplorerMenu.h"
#include "ExplorerVerbs.h"
#include "ListRules.h"
#include "PathForms.h"
#include "PathText.h"
#include "SimulatedVolume.h"
#include "StoredTexts.h"
#include "TreeBackend.h"
#include "VerbRegistry.h"

namespace {

const char kFolder[] = "文件夹";
const char kFile[] = "文件";

// The bracketed name as the search makes it; a trail byte 0x5C is no separator.
std::string Bracketed(const std::string& path) { return "[" + path.substr(AfterLastBackslash(path)) + "]"; }
Row FileRow(const std::string& path, const std::string& attribute = "-") {
    return {path, Bracketed(path), kFile, attribute, "未操作"};
}
Row FolderRow(const std::string& path, const std::string& attribute = "-") {
    return {path, Bracketed(path), kFolder, attribute, "未操作"};
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A folder of its own in the temporary folder, for report files.
struct TempFolder {
    std::string path;
    TempFolder() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        for (int i = 0;; ++i) {
            char name[MAX_PATH];
            std::snprintf(name, sizeof name, "%sorvelle-list-%lu-%d", temp, GetCurrentProcessId(), i);
            if (CreateDirectoryA(name, nullptr)) {
                path = name;
                break;
            }
        }
    }
    ~TempFolder() {
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string name = d.cFileName;
                if (name == "." || name == "..") continue;
                if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryA((path + "\\" + name).c_str());
                else
                    DeleteFileA((path + "\\" + name).c_str());
            } while (FindNextFileA(h, &d));
            FindClose(h);
        }
        RemoveDirectoryA(path.c_str());
    }
};

std::string ClipboardText() {
    std::string text = "(none)";
    // Wine's clipboard manager may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(nullptr)) {
            HANDLE data = GetClipboardData(CF_TEXT);
            if (data) {
                const char* bytes = static_cast<const char*>(GlobalLock(data));
                text = bytes ? bytes : "(unreadable)";
                GlobalUnlock(data);
            }
            CloseClipboard();
            return text;
        }
        Sleep(20);
    }
    return "(clipboard busy)";
}

std::wstring ClipboardWide() {
    std::wstring text = L"(none)";
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(nullptr)) {
            HANDLE data = GetClipboardData(CF_UNICODETEXT);
            if (data) {
                const wchar_t* chars = static_cast<const wchar_t*>(GlobalLock(data));
                text = chars ? chars : L"(unreadable)";
                GlobalUnlock(data);
            }
            CloseClipboard();
            return text;
        }
        Sleep(20);
    }
    return L"(clipboard busy)";
}

void SetClipboardText(const std::string& text) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
            memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
            GlobalUnlock(block);
            SetClipboardData(CF_TEXT, block);
            CloseClipboard();
            return;
        }
        Sleep(20);
    }
    ADD_FAILURE() << "the clipboard could not be opened";
}

using ListCommands = DialogTest;

// --- check marks -----------------------------------------------------------

TEST_F(ListCommands, CheckAllAndInvertChangeOnlyTheCheckMarks) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        // An empty list: nothing happens, nothing breaks.
        Click(h, IDC_BTN_CHECK_ALL);
        Click(h, IDC_BTN_INVERT);
        EXPECT_EQ(Count(dlg), 0);

        const std::vector<Row> rows = {FileRow("D:\\a."), FolderRow("D:\\b "), FileRow("D:\\con")};
        AddRows(h, dlg, rows);
        Select(h, dlg, 1);
        Click(h, IDC_BTN_CHECK_ALL);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, true, true}));

        SetChecks(h, dlg, {true, false, false});
        Click(h, IDC_BTN_INVERT);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{false, true, true}));
        Click(h, IDC_BTN_INVERT);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, false, false}));

        EXPECT_EQ(Rows(dlg), rows);
        EXPECT_EQ(Selected(dlg), 1);
        EXPECT_TRUE(host.Boxes().empty());
    });
}

// --- sorting ---------------------------------------------------------------

TEST_F(ListCommands, HeaderClicksSortAndRowsMoveWhole) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        const std::vector<Row> rows = {
            FileRow("D:\\b.txt.", "R"),
            FolderRow("D:\\A.", "-"),
            FileRow("D:\\c ", "S"),
            FolderRow("D:\\aux", "H"),
        };
        AddRows(h, dlg, rows);
        SetChecks(h, dlg, {false, true, false, false});
        Select(h, dlg, 2);

        // The very first click on column 0 sorts descending, without regard to case.
        ClickHeader(h, 0);
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::string>{"D:\\c ", "D:\\b.txt.", "D:\\aux", "D:\\A."}));
        // Texts, check marks and the selection go with their rows.
        EXPECT_EQ(Rows(dlg), (std::vector<Row>{rows[2], rows[0], rows[3], rows[1]}));
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{false, false, false, true}));
        EXPECT_EQ(Selected(dlg), 0);

        ClickHeader(h, 0);
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::string>{"D:\\A.", "D:\\aux", "D:\\b.txt.", "D:\\c "}));

        // Another column starts ascending; the attribute texts compare as text.
        ClickHeader(h, 3);
        EXPECT_EQ(Column(dlg, 3), (std::vector<std::string>{"-", "H", "R", "S"}));
        ClickHeader(h, 3);
        EXPECT_EQ(Column(dlg, 3), (std::vector<std::string>{"S", "R", "H", "-"}));

        // A shorter text that begins another one sorts first.
        ClickHeader(h, 2);
        std::vector<std::string> types = Column(dlg, 2);
        EXPECT_EQ(types, (std::vector<std::string>{kFile, kFile, kFolder, kFolder}));

        // Back on column 0 after another column: ascending.
        ClickHeader(h, 0);
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::string>{"D:\\A.", "D:\\aux", "D:\\b.txt.", "D:\\c "}));
        EXPECT_EQ(Checks(dlg)[0], true);
        EXPECT_EQ(Cell(dlg, Selected(dlg), 0), "D:\\c ");
    });
}

TEST_F(ListCommands, ChineseTextsSortByCodeValue) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        AddRows(h, dlg,
                {FileRow("D:\\资料\\报告."), FileRow("D:\\资料\\aux"), FileRow("D:\\资料\\奬状."),
                 FileRow("D:\\资料\\Zeta ")});
        ClickHeader(h, 1);  // ascending
        EXPECT_EQ(Column(dlg, 1),
                  (std::vector<std::string>{"[aux]", "[Zeta ]", "[奬状.]", "[报告.]"}));  // 0x8A5C before 0xB1A8
    });
}

TEST_F(ListCommands, AClickOnAnEmptyListStillTurnsTheDirection) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        Notify(h, LVN_COLUMNCLICK, 0);  // descending, nothing to sort
        EXPECT_TRUE(TheListSortState().lastDescending);
        AddRows(h, dlg, {FileRow("D:\\b."), FileRow("D:\\a."), FileRow("D:\\c.")});
        Notify(h, LVN_COLUMNCLICK, 0);  // so this one sorts ascending
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::string>{"D:\\a.", "D:\\b.", "D:\\c."}));
    });
}

// Three malformed files on a simulated drive.
struct ThreeFiles {
    SimulatedVolume v;
    ThreeFiles() {
        v.AddDrive('D');
        for (const char* f : {"D:\\r\\b.", "D:\\r\\a.", "D:\\r\\c."}) v.AddFile(f);
    }
};

TEST_F(ListCommands, TheSortStateOutlivesANewSearchAndAClear) {
    ThreeFiles files;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &files.v};
    Run(dlg, [&](HWND h) {
        auto search = [&](size_t boxes) {
            OnUi(h, [&] { dlg.ToggleSearch(); });
            ASSERT_TRUE(WaitForBoxes(boxes));
            ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        };
        search(1);
        ClickHeader(h, 1);
        EXPECT_EQ(Column(dlg, 1), (std::vector<std::string>{"[a.]", "[b.]", "[c.]"}));

        search(2);
        ClickHeader(h, 1);  // the same column as before the search: descending
        EXPECT_EQ(Column(dlg, 1), (std::vector<std::string>{"[c.]", "[b.]", "[a.]"}));

        host.Answer(IDOK);
        Command(h, ID_LIST_CLEAR);
        ASSERT_EQ(Count(dlg), 0);
        search(4);
        ClickHeader(h, 1);
        EXPECT_EQ(Column(dlg, 1), (std::vector<std::string>{"[a.]", "[b.]", "[c.]"}));
    });
}

// A header click handled between two deliveries of the search worker's rows,
// each of which the window's thread runs as a task of its own.
namespace between {
HWND g_dialog;
WNDPROC g_dialogProc;
int g_clicks;

LRESULT CALLBACK DialogHook(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    HWND list = GetDlgItem(w, IDC_LIST_RESULT);
    const LRESULT before = m == WM_APP_TASKS ? SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    LRESULT r = CallWindowProcA(g_dialogProc, w, m, wp, lp);
    if (m == WM_APP_TASKS && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != before) {
        NMLISTVIEW nm = {};
        nm.hdr.hwndFrom = list;
        nm.hdr.idFrom = IDC_LIST_RESULT;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = 0;
        SendMessageA(w, WM_NOTIFY, IDC_LIST_RESULT, reinterpret_cast<LPARAM>(&nm));
        ++g_clicks;
    }
    return r;
}
}  // namespace between

TEST_F(ListCommands, SortingWhileASearchAddsRowsKeepsEveryRowWhole) {
    // Six folders of four files; the walk lingers before each folder, so the
    // rows come in several deliveries with clicks between them.
    SimulatedVolume v;
    v.AddDrive('D');
    const int kFiles = 24;
    for (int i = 0; i < kFiles; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "D:\\r\\d%d\\f%02d.", i / 4, i);
        v.AddFile(path);
    }
    v.beforeFindFirst = [](const std::string& pattern) {
        if (pattern != "D:\\r\\*") Sleep(60);
    };
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] {
            between::g_dialog = h;
            between::g_clicks = 0;
            between::g_dialogProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&between::DialogHook)));
        });
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        OnUi(h, [&] { SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(between::g_dialogProc)); });

        EXPECT_GE(between::g_clicks, 2);
        std::vector<Row> rows = Rows(dlg);
        ASSERT_EQ(rows.size(), static_cast<size_t>(kFiles));
        for (const Row& r : rows) EXPECT_EQ(r, FileRow(r.path)) << "a row of mixed texts";
    });
}

// --- the right-click menu --------------------------------------------------

const UINT kSelectionItems[] = {ID_LIST_OPEN_FOLDER, ID_LIST_COPY_PATH, ID_LIST_CLEAR, ID_LIST_DELETE_CURRENT,
                                ID_LIST_DELETE_ALL,  ID_LIST_RENAME,    ID_LIST_VIEW};
const UINT kAlwaysItems[] = {ID_LIST_EXPLORER_MENU, ID_LIST_STATISTICS, ID_LIST_CHECK_UPDATE, ID_LIST_ABOUT};

bool Grayed(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

std::string MenuText(HMENU menu, UINT id) {
    char text[128] = {};
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

TEST_F(ListCommands, TheMenuGraysTheSelectionCommandsWithoutASelection) {
    VerbRegistryGuard verbs(DecodeStoredText(StoredText::ProgramId));
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        struct Case {
            const char* what;
            int rows;
            int selected;
        } cases[] = {{"empty list", 0, -1}, {"rows, none selected", 3, -1}, {"a row selected", 3, 1}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            OnUi(h, [&] { dlg.Results().Clear(); });
            for (int i = 0; i < c.rows; ++i) AddRows(h, dlg, {FileRow("D:\\x" + std::to_string(i) + ".")});
            Select(h, dlg, c.selected);

            // The menu opens with its corner at the cursor.
            RECT listRect;
            GetWindowRect(GetDlgItem(h, IDC_LIST_RESULT), &listRect);
            POINT at = {listRect.left + 120, listRect.top + 60};
            SetCursorPos(at.x, at.y);
            OpenMenu menu;
            OpenListMenu(h, menu);
            if (!menu.menu) return;
            RECT menuRect;
            GetWindowRect(menu.window, &menuRect);
            EXPECT_EQ(menuRect.left, at.x);
            EXPECT_EQ(menuRect.top, at.y);
            EXPECT_EQ(GetMenuItemCount(menu.menu), 16);
            for (UINT id : kSelectionItems) EXPECT_EQ(Grayed(menu.menu, id), c.selected < 0) << id;
            for (UINT id : kAlwaysItems) EXPECT_FALSE(Grayed(menu.menu, id)) << id;
            EXPECT_EQ(MenuText(menu.menu, ID_LIST_EXPLORER_MENU), "添加到右键(&T)");
            CloseListMenu(h, menu);
        }
        EXPECT_TRUE(host.Boxes().empty());
    });
}

TEST_F(ListCommands, AnItemChosenInTheMenuRunsItsCommand) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        AddRows(h, dlg, {FolderRow("D:\\a."), FileRow("D:\\b.")});
        OpenMenu menu;
        OpenListMenu(h, menu);
        if (!menu.menu) return;
        // "统计结果(&S)" by its key.
        PostMessageA(menu.window, WM_KEYDOWN, 'S', 0);
        PostMessageA(menu.window, WM_CHAR, 's', 0);
        WaitMenuClosed(menu);
        ASSERT_TRUE(WaitForBoxes(1));
        EXPECT_EQ(host.Boxes()[0].text, "搜索结果:\n\n畸形目录：1个，Orvelle：1个，总数：2个。");
    });
}

// --- copying a path --------------------------------------------------------

TEST_F(ListCommands, CopyPathPutsTheSelectedPathOnTheClipboard) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        const std::string longPath = "D:\\" + std::string(300, 'a');
        const std::string cutInChar = std::string(258, 'b') + "文件";  // byte 259 is a lead byte
        AddRows(h, dlg,
                {FileRow("D:\\资料\\奬状."), FolderRow("D:\\data\\abc. "), FileRow(longPath), FileRow(cutInChar)});

        SetClipboardText("before");
        Select(h, dlg, -1);
        Command(h, ID_LIST_COPY_PATH);
        EXPECT_EQ(ClipboardText(), "before");

        struct Case {
            int row;
            std::string expected;
        } cases[] = {
            {0, "D:\\资料\\奬状."},
            {1, "D:\\data\\abc. "},
            {2, longPath},  // whole, however long
            {3, cutInChar},
        };
        for (const Case& c : cases) {
            Select(h, dlg, c.row);
            Command(h, ID_LIST_COPY_PATH);
            EXPECT_EQ(ClipboardText(), c.expected) << c.row;
        }
        EXPECT_TRUE(host.Boxes().empty());
    });
}

// --- opening a folder ------------------------------------------------------

struct DataVolume {
    SimulatedVolume v;
    DataVolume() {
        v.AddDrive('D');
        v.AddFolder("D:\\data\\abc.");
        v.AddFile("D:\\data\\sub\\x.txt");
    }
};

TEST_F(ListCommands, OpenFolderLaunchesTheShellOrExplorer) {
    DataVolume data;
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}, &data.v};
    Run(dlg, [&](HWND h) {
        const std::string version = GetWindowsVersionName();
        const bool deviceForm = version.find("2008") != std::string::npos;
        const std::string folderTarget = deviceForm ? "\\\\?\\D:\\data\\abc.\\" : "D:\\data\\abc..\\";

        AddRows(
            h, dlg,
            {FolderRow("D:\\data\\abc."), FileRow("D:\\data\\sub\\x.txt"),
             Row{"D:\\data\\sub\\y", "[y]", "其他", "-", "未操作"}, FileRow("D:\\" + std::string(280, 'p') + "\\q.")});

        // Without a selection neither the command nor a double click launches anything.
        Select(h, dlg, -1);
        Command(h, ID_LIST_OPEN_FOLDER);
        Notify(h, NM_DBLCLK);
        EXPECT_TRUE(host.Launches().empty());
        EXPECT_TRUE(host.CommandLines().empty());

        Select(h, dlg, 0);
        Command(h, ID_LIST_OPEN_FOLDER);
        Notify(h, NM_DBLCLK);
        std::vector<ShellLaunch> launches = host.Launches();
        ASSERT_EQ(launches.size(), 2u) << version;
        for (const ShellLaunch& l : launches) {
            EXPECT_EQ(l.owner, nullptr);
            EXPECT_EQ(l.verb, "open");
            EXPECT_EQ(l.file, folderTarget) << version;
            EXPECT_EQ(l.parameters, "(null)");
            EXPECT_EQ(l.directory, "(null)");
            EXPECT_EQ(l.showCommand, SW_SHOWNORMAL);
        }

        for (int row : {1, 2}) {
            Select(h, dlg, row);
            Command(h, ID_LIST_OPEN_FOLDER);
        }
        Select(h, dlg, 3);
        Notify(h, NM_DBLCLK);
        const std::string longFolder = "D:\\" + std::string(280, 'p') + "\\";
        EXPECT_EQ(host.CommandLines(),
                  (std::vector<std::string>{"explorer.exe \"D:\\data\\sub\\\"", "explorer.exe \"D:\\data\\sub\\\"",
                                            "explorer.exe \"" + longFolder + "\""}));
        for (UINT show : host.CommandShows()) EXPECT_EQ(show, static_cast<UINT>(SW_SHOWNORMAL));
        EXPECT_EQ(host.Launches().size(), 2u);
        EXPECT_TRUE(host.Boxes().empty());
    });
}

// --- export ----------------------------------------------------------------

TEST_F(ListCommands, ExportWritesThePathsInListOrder) {
    TempFolder folder;
    const std::string report = folder.path + "\\报告.txt";
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        AddRows(h, dlg, {FileRow("D:\\P1."), FolderRow("D:\\资料\\奬状 "), FileRow("D:\\P3\\con")});
        host.ChooseFile(report);
        OnUi(h, [&] { dlg.ExportResults(); });
        EXPECT_EQ(ReadFileBytes(report), "D:\\P1.\r\nD:\\资料\\奬状 \r\nD:\\P3\\con");

        std::vector<ChosenFile> files = host.Files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_FALSE(files[0].openForm) << "asked where to write in an open-file dialog";
        EXPECT_EQ(files[0].owner, h);
        EXPECT_EQ(files[0].filter, std::string("(*.txt)\0*.txt\0(所有文件)\0*.*\0\0", 30));
        EXPECT_EQ(files[0].defaultExt, "txt");
        EXPECT_EQ(files[0].initialFile, "");
        EXPECT_EQ(files[0].flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT),
                  static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
        EXPECT_EQ(files[0].flags & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT), 0u);

        // After a sort the file follows the list's order; an existing file is
        // replaced (the save dialog asked about it).
        Notify(h, LVN_COLUMNCLICK, 0);
        OnUi(h, [&] { dlg.ExportResults(); });
        EXPECT_EQ(ReadFileBytes(report), "D:\\资料\\奬状 \r\nD:\\P3\\con\r\nD:\\P1.");

        // A path longer than 259 bytes is written whole.
        AddRows(h, dlg, {FileRow("D:\\" + std::string(300, 'z'))});
        OnUi(h, [&] { dlg.ExportResults(); });
        EXPECT_EQ(ReadFileBytes(report), "D:\\资料\\奬状 \r\nD:\\P3\\con\r\nD:\\P1.\r\nD:\\" + std::string(300, 'z'));
        EXPECT_TRUE(host.Boxes().empty());
        EXPECT_EQ(Count(dlg), 4);
    });
}

TEST_F(ListCommands, ExportCancelledWritesNothing) {
    TempFolder folder;
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        AddRows(h, dlg, {FileRow("D:\\a.")});
        host.ChooseFile("");  // the dialog cancelled
        OnUi(h, [&] { dlg.ExportResults(); });
        EXPECT_EQ(host.Files().size(), 1u);
        EXPECT_TRUE(host.Boxes().empty());
    });
    WIN32_FIND_DATAA d;
    HANDLE found = FindFirstFileA((folder.path + "\\*.txt").c_str(), &d);
    EXPECT_EQ(found, INVALID_HANDLE_VALUE);
    if (found != INVALID_HANDLE_VALUE) FindClose(found);
}

TEST_F(ListCommands, AReportFileThatCannotBeOpenedIsReported) {
    TempFolder folder;
    const std::string missingFolder = folder.path + "\\missing\\report.txt";
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        AddRows(h, dlg, {FileRow("D:\\a."), FileRow("D:\\b.")});
        for (const std::string& target : {missingFolder, folder.path}) {
            SCOPED_TRACE(target);
            size_t before = host.Boxes().size();
            host.ChooseFile(target);
            OnUi(h, [&] { dlg.ExportResults(); });
            std::vector<ShownBox> boxes = host.Boxes();
            ASSERT_EQ(boxes.size(), before + 1);
            EXPECT_EQ(boxes.back().text, "导出失败，无法写入文件：\n" + target);
            EXPECT_EQ(boxes.back().type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
            EXPECT_EQ(boxes.back().owner, h);
        }
        EXPECT_FALSE(FileExists(missingFolder));
        EXPECT_EQ(Count(dlg), 2);
    });
}

// --- statistics and clearing -------------------------------------------------

TEST_F(ListCommands, StatisticsCountFolderRowsAndEveryOtherRow) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        Command(h, ID_LIST_STATISTICS);
        AddRows(h, dlg,
                {FolderRow("D:\\a."), FileRow("D:\\b."), FolderRow("D:\\c "), FileRow("D:\\d."),
                 Row{"D:\\e.", "[e.]", "文件夹?", "-", "未操作"}});
        Command(h, ID_LIST_STATISTICS);
        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "搜索结果:\n\n畸形目录：0个，Orvelle：0个，总数：0个。");
        EXPECT_EQ(boxes[1].text, "搜索结果:\n\n畸形目录：2个，Orvelle：3个，总数：5个。");
        for (const ShownBox& b : boxes) {
            EXPECT_EQ(b.type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
            EXPECT_EQ(b.caption, GetAppName());
            EXPECT_EQ(b.owner, h);
        }
    });
}

TEST_F(ListCommands, ClearingAsksFirstAndKeepsTheExportButton) {
    TempFolder folder;
    ThreeFiles files;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &files.v};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_EXPORT)));
        SetChecks(h, dlg, {true, false, true});
        Select(h, dlg, 1);
        const std::vector<Row> before = Rows(dlg);

        host.Answer(IDCANCEL);
        Command(h, ID_LIST_CLEAR);
        EXPECT_EQ(Rows(dlg), before);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, false, true}));
        EXPECT_EQ(Selected(dlg), 1);

        host.Answer(IDOK);
        Command(h, ID_LIST_CLEAR);
        EXPECT_EQ(Count(dlg), 0);
        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 3u);
        for (size_t i = 1; i < 3; ++i) {
            EXPECT_EQ(boxes[i].text, "确定要清空当前数据吗？");
            EXPECT_EQ(boxes[i].caption, DecodeStoredText(StoredText::ClearResultsCaption));
            EXPECT_FALSE(boxes[i].caption.empty());
            EXPECT_EQ(boxes[i].type, static_cast<UINT>(MB_OKCANCEL));
        }

        // The button stays as the search left it; its export writes an empty file.
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, IDC_BTN_EXPORT)));
        const std::string report = folder.path + "\\empty.txt";
        host.ChooseFile(report);
        Click(h, IDC_BTN_EXPORT);
        EXPECT_TRUE(FileExists(report));
        EXPECT_EQ(ReadFileBytes(report), "");
    });
}

// --- the Explorer verbs ----------------------------------------------------

TEST_F(ListCommands, TheSwitchAddsAndRemovesTheVerbsAndRelabelsItself) {
    const std::string appId = DecodeStoredText(StoredText::ProgramId);
    VerbRegistryGuard verbs(appId);
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    Run(dlg, [&](HWND h) {
        auto label = [&] {
            OpenMenu menu;
            OpenListMenu(h, menu);
            std::string text = menu.menu ? MenuText(menu.menu, ID_LIST_EXPLORER_MENU) : "(no menu)";
            bool grayed = menu.menu && Grayed(menu.menu, ID_LIST_EXPLORER_MENU);
            if (menu.sender) CloseListMenu(h, menu);
            EXPECT_FALSE(grayed);
            return text;
        };
        EXPECT_EQ(label(), "添加到右键(&T)");

        Command(h, ID_LIST_EXPLORER_MENU);
        const std::vector<VerbKeyValue> wanted = ExplorerVerbKeys(appId, exe);
        std::vector<KeyState> now = verbs.Now();
        for (size_t i = 0; i < wanted.size(); ++i) {
            EXPECT_TRUE(now[i].exists) << wanted[i].keyPath;
            EXPECT_EQ(now[i].wideValue, wanted[i].value) << wanted[i].keyPath;
        }
        EXPECT_EQ(label(), "从右键脱离(&T)");

        Command(h, ID_LIST_EXPLORER_MENU);
        for (const KeyState& k : verbs.Now()) EXPECT_FALSE(k.exists);
        EXPECT_EQ(label(), "添加到右键(&T)");

        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "右键添加成功，直接在文件夹上点右键就可以进行搜索！");
        EXPECT_EQ(boxes[1].text, "从右键脱离成功!");
        for (const ShownBox& b : boxes) {
            EXPECT_EQ(b.type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
            EXPECT_EQ(b.caption, GetAppName());
            EXPECT_EQ(b.owner, h);
        }
    });
}

// --- the About box ---------------------------------------------------------

HWND WaitForAboutBox() {
    HWND about = nullptr;
    WaitFor([&] {
        about = FindWindowA(nullptr, "关于Voskar·Orvelle");
        return about && IsWindowVisible(about);
    });
    return about;
}

TEST_F(ListCommands, AboutBoxShowsTheTemplateAndOpensTheWebSite) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(ID_LIST_ABOUT, 0), 0);
        HWND about = WaitForAboutBox();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(GetWindow(about, GW_OWNER), h);
        EXPECT_FALSE(IsWindowEnabled(h));
        HWND address = GetDlgItem(about, IDC_STATIC_WEBSITE);
        EXPECT_EQ(Text(address).rfind("http", 0), 0u) << Text(address);
        bool versionShown = false;
        for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            versionShown = versionShown || Text(c) == "文件版本:Ver1.3";
        EXPECT_TRUE(versionShown);

        // The hand over the address, the arrow over anything else.
        struct Case {
            HWND under;
            WORD hit;
            LPCSTR cursor;
        } cases[] = {
            {address, HTCLIENT, IDC_HAND},
            {about, HTCLIENT, IDC_ARROW},
            {about, HTCAPTION, IDC_ARROW},
            {GetDlgItem(about, IDOK), HTCLIENT, IDC_ARROW},
        };
        for (const Case& c : cases) {
            LRESULT answered = 0;
            HCURSOR shown = nullptr;
            OnUi(h, [&] {
                SetCursor(nullptr);
                answered = SendMessageA(about, WM_SETCURSOR, reinterpret_cast<WPARAM>(c.under),
                                        MAKELPARAM(c.hit, WM_MOUSEMOVE));
                shown = GetCursor();
            });
            EXPECT_EQ(answered, TRUE);
            EXPECT_EQ(shown, LoadCursor(nullptr, c.cursor)) << c.hit;
        }

        // Two clicks on the address: two launches, the box stays.
        for (int i = 0; i < 2; ++i)
            OnUi(h, [&] {
                SendMessageA(address, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                SendMessageA(address, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            });
        std::vector<ShellLaunch> launches = host.Launches();
        ASSERT_EQ(launches.size(), 2u);
        for (const ShellLaunch& l : launches) {
            EXPECT_EQ(l.owner, nullptr);
            EXPECT_EQ(l.verb, "open");
            EXPECT_EQ(l.file, Text(address));  // the address shown is the one opened
            EXPECT_EQ(l.parameters, "(null)");
            EXPECT_EQ(l.directory, "(null)");
            EXPECT_EQ(l.showCommand, SW_SHOWNORMAL);
        }
        EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about));

        // OK closes it and gives the main window back.
        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(h) != FALSE; }));

        // So does Escape.
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(ID_LIST_ABOUT, 0), 0);
        about = WaitForAboutBox();
        ASSERT_NE(about, nullptr);
        PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(h) != FALSE; }));
        EXPECT_TRUE(host.Boxes().empty());
    });
}

}  // namespace

// --- exact rows ----------------------------------------------------------------

// A name the code page lacks and a path longer than 260 characters: the list
// shows them whole, and every command that names a row names them exactly.
TEST_F(ListCommands, EveryRowIsItsExactEntryWhereverItGoes) {
    TempFolder folder;
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\w1")->wide = u"\u0174x.";  // "Ŵx."
    std::string deep = "D:\\r\\deep";
    while (deep.size() < 300) deep += "\\folder";
    v.AddFile(deep + "\\nul");
    const std::wstring wideRow = L"D:\\r\\\u0174x.";
    const std::wstring deepFolder(deep.begin(), deep.end());
    const std::wstring deepRow = deepFolder + L"\\nul";
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        int wide = -1, long_ = -1;
        OnUi(h, [&] {
            ResultList& l = dlg.Results();
            for (int i = 0; i < l.Count(); ++i) {
                if (l.Text(i, 0) == wideRow) wide = i;
                if (l.Text(i, 0) == deepRow) long_ = i;
            }
            if (wide >= 0) EXPECT_EQ(l.Text(wide, 1), L"[\u0174x.]");
            if (long_ >= 0) EXPECT_EQ(l.Text(long_, 1), L"[nul]");
        });
        ASSERT_GE(wide, 0);
        ASSERT_GE(long_, 0);
        // The control hands out the whole texts through its wide messages.
        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        for (const auto& c : {std::make_pair(wide, wideRow), std::make_pair(long_, deepRow)}) {
            std::wstring text(1024, L'\0');
            LVITEMW cell = {};
            cell.iSubItem = 0;
            cell.pszText = &text[0];
            cell.cchTextMax = static_cast<int>(text.size());
            text.resize(
                static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, c.first, reinterpret_cast<LPARAM>(&cell))));
            EXPECT_EQ(text, c.second);
        }

        struct Case {
            int row;
            std::wstring path, folder;
        } cases[] = {{wide, wideRow, L"D:\\r\\"}, {long_, deepRow, deepFolder + L"\\"}};
        for (const Case& c : cases) {
            Select(h, dlg, c.row);
            Command(h, ID_LIST_COPY_PATH);
            EXPECT_EQ(ClipboardWide(), c.path);
            Command(h, ID_LIST_OPEN_FOLDER);
            ASSERT_FALSE(host.WideCommandLines().empty());
            EXPECT_EQ(host.WideCommandLines().back(), L"explorer.exe \"" + c.folder + L"\"");
            host.Answer(IDNO);
            OnUi(h, [&] { dlg.AskAndDeleteSelectedRow(); });
            ASSERT_FALSE(host.Boxes().empty());
            EXPECT_EQ(host.Boxes().back().wideText, L"确定要删除“" + c.path + L"”吗？");
        }

        // A report with a row the code page cannot hold is all UTF-8.
        const std::string report = folder.path + "\\exact.txt";
        host.ChooseFile(report);
        OnUi(h, [&] { dlg.ExportResults(); });
        const std::string bytes = ReadFileBytes(report);
        ASSERT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
        EXPECT_NE(bytes.find("D:\\r\\\xC5\xB4x."), std::string::npos);
        EXPECT_NE(bytes.find(deep + "\\nul"), std::string::npos);

        Select(h, dlg, wide);
        Command(h, ID_LIST_RENAME);
        EXPECT_EQ(host.Boxes().back().wideText, L"已重命名为：\u0174x");
    });
    EXPECT_TRUE(v.Exists(deep + "\\nul"));
}

// A path too wide for its column keeps its volume and its end, where rows in
// one deep folder differ (a font of one unit a character, "…" one unit).
TEST(PathCell, APathCutToItsColumnKeepsItsVolumeAndItsEnd) {
    struct Case {
        std::wstring path;
        int width;
        std::wstring shown;
    } cases[] = {
        {L"Z:\\repo\\src\\build\\nul", 21, L"Z:\\repo\\src\\build\\nul"},  // fits
        {L"Z:\\repo\\src\\build\\nul", 15, L"Z:\\\u2026\\build\\nul"},     // whole folder names only
        {L"Z:\\repo\\src\\build\\nul", 8, L"Z:\\\u2026\\nul"},
        {L"Z:\\a\\averyverylongname", 10, L"\u2026\\averyverylongname"},  // the control cuts its end
        {L"Z:\\averyverylongname", 10, L"Z:\\averyverylongname"},         // nothing in the middle to cut
        {L"\\\\srv\\share\\x\\y\\nul", 17, L"\\\\srv\\share\\\u2026\\nul"},
    };
    for (const Case& c : cases) {
        std::vector<int> extents(c.path.size());
        for (size_t i = 0; i < extents.size(); ++i) extents[i] = static_cast<int>(i) + 1;
        EXPECT_EQ(FitPathText(c.path, extents, 1, c.width), c.shown) << c.width;
    }
}

// Rows leave in batches from the last one up, as a deletion takes them out,
// while the control is told of it only now and then: the marks stay with
// their rows, the selection with its row, and once told the control reads
// every row that is left.
TEST_F(ListCommands, RowsLeavingInBatchesKeepTheirMarksAndTheSelection) {
    CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
    Run(dlg, [&](HWND h) {
        std::vector<Row> rows;
        for (int i = 0; i < 60; ++i) rows.push_back(FileRow("D:\\r\\f" + std::to_string(i) + "."));
        AddRows(h, dlg, rows);
        std::vector<bool> checks(rows.size());
        for (size_t i = 0; i < checks.size(); i += 3) checks[i] = true;
        SetChecks(h, dlg, checks);
        Select(h, dlg, 31);
        const std::vector<std::vector<int>> batches = {{59, 58, 57, 50, 45, 44}, {40, 39, 33, 32, 30}, {5, 2, 1, 0}};
        for (const std::vector<int>& batch : batches) {
            OnUi(h, [&] { dlg.Results().Remove(batch, ResultList::CatchUp::kWhenDue); });
            for (int row : batch) {  // from the last up
                rows.erase(rows.begin() + row);
                checks.erase(checks.begin() + row);
            }
        }
        EXPECT_EQ(Rows(dlg), rows);
        EXPECT_EQ(Checks(dlg), checks);
        ASSERT_GE(Selected(dlg), 0);
        EXPECT_EQ(Cell(dlg, Selected(dlg), 1), "[f31.]");

        OnUi(h, [&] { dlg.Results().OpenPaints(true); });
        EXPECT_FALSE(OnList(dlg, [](ResultList& l) { return l.IsPaintHeld(); }));
        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            char text[64] = {};
            LVITEMA cell = {};
            cell.iSubItem = 0;
            cell.pszText = text;
            cell.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&cell));
            EXPECT_EQ(text, rows[i].path);
        }
        EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
                  static_cast<LRESULT>(Selected(dlg)));
    });
}

// --- rescue: rename and view ------------------------------------------------

TEST_F(ListCommands, RenameGivesTheSelectedEntryALegalNameAndTheRowGoes) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\nul")->content = "the real error output";
    v.AddFile("D:\\r\\Album.\\track.mp3");
    v.AddFile("D:\\r\\Album");
    v.AddFile("D:\\r\\held.")->lockedOpen = true;
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        RunOnWindowThread(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 3);
        for (const char* name : {"[nul]", "[Album.]"}) {
            int row = 0;
            while (row < Count(dlg) && Cell(dlg, row, 1) != name) ++row;
            Select(h, dlg, row);
            Command(h, ID_LIST_RENAME);
        }
        Select(h, dlg, 0);  // held., the one left
        Command(h, ID_LIST_RENAME);
        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 4u);
        EXPECT_EQ(boxes[1].text, "已重命名为：nul_");
        EXPECT_EQ(boxes[2].text, "已重命名为：Album (2)");
        EXPECT_EQ(boxes[3].text, "重命名失败。");
        ASSERT_EQ(Count(dlg), 1);
        EXPECT_EQ(Cell(dlg, 0, 4), "失败");
    });
    EXPECT_EQ(v.Find("D:\\r\\nul_")->content, "the real error output");
    EXPECT_TRUE(v.Exists("D:\\r\\Album (2)\\track.mp3"));
    EXPECT_TRUE(v.Exists("D:\\r\\Album"));
    EXPECT_TRUE(v.Exists("D:\\r\\held."));
}

TEST(ContentText, TextInEitherEncodingElseHex) {
    EXPECT_EQ(ContentText("error: x\nline two"), L"error: x\r\nline two");
    EXPECT_EQ(ContentText("caf\xC3\xA9\r\n"), L"caf\x00E9\r\n");  // UTF-8
    if (GetACP() == 936) {
        EXPECT_EQ(ContentText("\xB1\xA8\xB8\xE6"), L"\x62A5\x544A");  // 报告 in GBK
    }
    EXPECT_EQ(ContentText(std::string("MZ\x90\0", 4)),
              L"00000000  4D 5A 90 00" + std::wstring(36, L' ') + L"  MZ..\r\n");
    EXPECT_EQ(ContentText(""), L"");
}
