// The real Orvelle.exe at 150 % display scaling (144 dots per inch): the
// program declares itself DPI aware, so the window is laid out anew for the
// larger font rather than stretched, and its minimum size grows with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "OrvelleFixture.h"

#ifndef ORVELLE_E2E_ARTIFACTS
#error "ORVELLE_E2E_ARTIFACTS: where the screenshots go"
#endif

namespace {

using namespace orvelle_e2e;

struct Control {
    HWND window;
    std::string className;
    LONG style;
    RECT rect;  // in the dialog's client coordinates
};

std::vector<Control> VisibleControls(HWND dialog) {
    std::vector<Control> controls;
    for (HWND child : e2e::ChildWindows(dialog)) {
        if (!IsWindowVisible(child)) continue;
        Control c{child, e2e::ClassOf(child), GetWindowLongA(child, GWL_STYLE), {}};
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        controls.push_back(c);
    }
    return controls;
}

bool IsGroupBox(const Control& c) { return c.className == "Button" && (c.style & BS_TYPEMASK) == BS_GROUPBOX; }

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const Control& c) {
    return c.className + " \"" + e2e::TextOf(c.window) + "\" (" + std::to_string(c.rect.left) + "," +
           std::to_string(c.rect.top) + ")-(" + std::to_string(c.rect.right) + "," + std::to_string(c.rect.bottom) +
           ")";
}

// Every visible control lies within the client area, and none covers
// another; a group box may only hold controls whole.
void ExpectNothingCutOrOverlapping(HWND dialog, const char* when) {
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<Control> controls = VisibleControls(dialog);
    ASSERT_GT(controls.size(), 8u) << when;
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(Inside(controls[i].rect, client)) << when << ": " << Describe(controls[i]) << " leaves the window";
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control& a = controls[i];
            const Control& b = controls[j];
            RECT common;
            if (!IntersectRect(&common, &a.rect, &b.rect)) continue;
            if (IsGroupBox(a) && Inside(b.rect, a.rect)) continue;
            if (IsGroupBox(b) && Inside(a.rect, b.rect)) continue;
            ADD_FAILURE() << when << ": " << Describe(a) << " overlaps " << Describe(b);
        }
    }
}

// The size the window keeps when asked to become tiny.
SIZE MinimumSize(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 40, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    e2e::Settle(window);
    return e2e::WindowSize(window);
}

struct Measured {
    SIZE minimum{};
    int editHeight = 0;
};

class OrvelleDpi : public OrvelleE2E {
protected:
    void SetUp() override {
        // Sizes of the program's windows as they are, not as an unaware reader would be told.
        using SetAware = BOOL(WINAPI*)();
        FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware");
        if (found) reinterpret_cast<SetAware>(reinterpret_cast<void*>(found))();
        OrvelleE2E::SetUp();
    }

    // Starts the program at `dpi`, checks its layout at its minimum size and
    // somewhat above, takes its picture and closes it.
    Measured Measure(DWORD dpi) {
        Measured m;
        HWND window = nullptr;
        e2e::Process* process = nullptr;
        {
            ScopedLogPixels scaling(dpi);
            process = &Launch(nullptr);
            window = WaitForMainWindow(*process);
        }
        if (!window) {
            ADD_FAILURE() << "no main window at " << dpi << " dpi";
            return m;
        }
        const std::string label = std::to_string(dpi) + " dpi";
        RECT edit = e2e::ChildRect(window, kEditPath);
        m.editHeight = edit.bottom - edit.top;
        m.minimum = MinimumSize(window);
        ExpectNothingCutOrOverlapping(window, (label + ", smallest").c_str());

        SetWindowPos(window, nullptr, 20, 20, m.minimum.cx * 5 / 4, m.minimum.cy * 5 / 4,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        e2e::Settle(window);
        ExpectNothingCutOrOverlapping(window, (label + ", larger").c_str());
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        e2e::Settle(window);
        Sleep(500);  // painted
        const std::string picture =
            e2e::HostPath(ORVELLE_E2E_ARTIFACTS) + "\\main_window_" + std::to_string(dpi) + "dpi.bmp";
        CreateDirectoryA(e2e::HostPath(ORVELLE_E2E_ARTIFACTS).c_str(), nullptr);
        EXPECT_TRUE(e2e::CaptureWindowToBmp(window, picture)) << picture;
        EXPECT_TRUE(CloseMainWindow(*process, window));
        return m;
    }
};

TEST_F(OrvelleDpi, LaidOutAnewAt144DpiAndTheMinimumGrows) {
    const Measured normal = Measure(96);
    const Measured scaled = Measure(144);
    ASSERT_GT(normal.editHeight, 0);
    // The dialog's font, and with it every control, is half as large again:
    // not stretched as a bitmap (which would leave the sizes of 96 dpi).
    EXPECT_GE(scaled.editHeight * 10, normal.editHeight * 13) << normal.editHeight << " -> " << scaled.editHeight;
    EXPECT_GE(scaled.minimum.cx * 10, normal.minimum.cx * 13) << normal.minimum.cx << " -> " << scaled.minimum.cx;
    EXPECT_GE(scaled.minimum.cy * 10, normal.minimum.cy * 13) << normal.minimum.cy << " -> " << scaled.minimum.cy;
}

// ---- the result list and the bottom row, at start, maximised and restored ----

// The fixed columns' widths at 96 dots per inch, and the headings the user
// must be able to read whole.
struct FixedColumn {
    int index;
    const char* heading;
    int widthAt96;
};
constexpr FixedColumn kFixedColumns[] = {
    {1, "文件名", 90}, {2, "类型", 60}, {3, "属性", 60}, {4, "操作结果", 103}, {5, "说明", 145}};
constexpr int kBottomButtons[] = {kButtonSelectAll, kButtonInvert, kButtonDelete, kButtonSupport};

// Room a list keeps around a cell's text, beyond the text itself.
constexpr int kTextPadding = 6;

// The columns fill the list's client width: the fixed ones at their width for
// the display's scaling, the path column with what they leave, and nothing
// past the right edge (no horizontal scroll bar). With `pathsWhole`, the
// window is wide enough for every listed path to show uncut.
void ExpectColumnsFit(HWND window, DWORD dpi, const std::string& when, const std::vector<std::string>& paths,
                      bool pathsWhole) {
    HWND list = GetDlgItem(window, kListResult);
    ASSERT_TRUE(list) << when;
    ASSERT_EQ(e2e::ListColumnCount(list), 6) << when;
    RECT client;
    ASSERT_TRUE(GetClientRect(list, &client)) << when;
    int widths[6] = {};
    int sum = 0;
    for (int i = 0; i < 6; ++i) sum += widths[i] = e2e::ListColumnWidth(list, i);
    std::string shown;
    for (int width : widths) shown += " " + std::to_string(width);
    shown += " in a client width of " + std::to_string(client.right);

    EXPECT_LE(sum, client.right) << when << ": the columns run past the list's edge:" << shown;
    EXPECT_GE(sum, client.right - 2) << when << ": the path column leaves room unused:" << shown;
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL, 0) << when << ": a horizontal scroll bar:" << shown;
    for (const FixedColumn& column : kFixedColumns) {
        const int scaled = static_cast<int>((column.widthAt96 * dpi) / 96);
        EXPECT_GE(widths[column.index], scaled - 1)
            << when << ": column \"" << column.heading << "\" is not scaled for " << dpi << " dpi:" << shown;
        const int text = e2e::ListStringWidth(list, column.heading);
        EXPECT_GT(text, 0) << when;
        EXPECT_GE(widths[column.index], text + kTextPadding)
            << when << ": the heading \"" << column.heading << "\" is cut:" << shown;
    }
    if (!pathsWhole) return;
    for (const std::string& path : paths) {
        const int text = e2e::ListStringWidth(list, path);
        EXPECT_GE(widths[0], text + kTextPadding) << when << ": the path " << path << " is cut:" << shown;
    }
}

// Nothing of the window waits to be painted, within a bound.
bool PaintedOut(HWND window) {
    return e2e::WaitUntil(
        [&] {
            if (GetUpdateRect(window, nullptr, FALSE)) return false;
            for (HWND child : e2e::ChildWindows(window))
                if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
            return true;
        },
        5000, 50);
}

RECT ScreenRectOf(HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    return rect;
}

// Each bottom button shows on screen what it shows once made to paint itself
// again: a button moved without being drawn keeps whatever was there before.
void ExpectButtonsDrawn(HWND window, const std::string& when) {
    ASSERT_TRUE(e2e::Settle(window)) << when;
    EXPECT_TRUE(PaintedOut(window)) << when << ": still waiting to be painted";
    Sleep(300);  // what was painted reaches the screen
    for (int id : kBottomButtons) {
        HWND button = GetDlgItem(window, id);
        ASSERT_TRUE(button) << when << ": no control " << id;
        const RECT rect = ScreenRectOf(button);
        std::vector<unsigned char> before, after;
        ASSERT_TRUE(e2e::CaptureScreen(rect, before)) << when;
        RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
        e2e::Settle(window);
        EXPECT_TRUE(PaintedOut(window)) << when;
        Sleep(300);
        ASSERT_TRUE(e2e::CaptureScreen(rect, after)) << when;
        // A button painted at all shows its frame and text on its face.
        ASSERT_GE(after.size(), 8u) << when;
        bool oneColour = true;
        for (size_t i = 4; i < after.size() && oneColour; i += 4)
            oneColour = std::equal(&after[i], &after[i] + 3, &after[0]);
        EXPECT_FALSE(oneColour) << when << ": the screen shows nothing where the button is";
        EXPECT_TRUE(before == after) << when << ": the button \"" << e2e::TextOf(button)
                                     << "\" was not drawn where it stands, (" << rect.left << "," << rect.top << ")-("
                                     << rect.right << "," << rect.bottom << ")";
    }
}

void Shoot(HWND window, const std::string& name) {
    const std::string folder = e2e::HostPath(ORVELLE_E2E_ARTIFACTS);
    CreateDirectoryA(folder.c_str(), nullptr);
    EXPECT_TRUE(e2e::CaptureWindowToBmp(window, folder + "\\" + name + ".bmp")) << name;
}

// Sends a window command the way its caption's buttons do, and waits until
// the window took it.
bool SystemCommand(HWND window, UINT command, bool zoomedAfter) {
    PostMessageA(window, WM_SYSCOMMAND, command, 0);
    return e2e::WaitUntil([&] { return (IsZoomed(window) != FALSE) == zoomedAfter; }, kWindowTimeoutMs) &&
           e2e::Settle(window);
}

class OrvelleDpiList : public OrvelleDpi {
protected:
    // Deletes every row while `held` is in use: its row stays and reads "失败".
    void ShootFailedRow(const e2e::Process& process, HWND window, const std::string& held, const std::string& label) {
        HANDLE file = CreateFileA(("\\\\?\\" + held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << held;
        struct Close {
            HANDLE h;
            ~Close() { CloseHandle(h); }
        } close{file};
        HWND list = GetDlgItem(window, kListResult);
        ASSERT_TRUE(e2e::Click(window, kButtonSelectAll));
        ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
        HWND question = e2e::WaitForMessageBox({process.Id()}, nullptr, kWindowTimeoutMs);
        ASSERT_NE(question, nullptr);
        ASSERT_TRUE(e2e::AnswerMessageBox(question, IDYES));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(question); }, kWindowTimeoutMs));
        HWND summary = e2e::WaitForMessageBox({process.Id()}, nullptr, kWindowTimeoutMs);
        ASSERT_NE(summary, nullptr);
        EXPECT_EQ(e2e::MessageBoxText(summary), "删除完毕，删除成功 2 个，删除失败 1 个。");
        ASSERT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
        std::vector<std::vector<std::string>> rows;
        ASSERT_TRUE(e2e::ReadListRows(list, 5, rows));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][4], "失败");

        // The row's tip is the list's info tip, which Wine's list control
        // does not show; the window tests read its text as the list asks for it.
        Shoot(window, "list_" + label + "_failed_row");
    }

    void CheckAt(DWORD dpi) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        ASSERT_TRUE(m_box.MakeFolder("tree"));
        ASSERT_TRUE(m_box.MakeFolder("tree\\sub"));
        const char* const names[] = {"tree\\report.", "tree\\con", "tree\\sub\\nul.log"};
        std::vector<std::string> paths;
        for (const char* name : names) {
            ASSERT_TRUE(m_box.MakeFile(name)) << name;
            paths.push_back(m_box.Path(name));
        }
        e2e::Process* process = nullptr;
        HWND window = nullptr;
        {
            ScopedLogPixels scaling(dpi);
            process = &Launch("-p:" + m_box.Path("tree"));
            window = WaitForMainWindow(*process);
        }
        ASSERT_TRUE(window) << "no main window";
        ASSERT_TRUE(e2e::Settle(window));
        const std::string label = std::to_string(dpi) + "dpi";
        RECT list = ScreenRectOf(GetDlgItem(window, kListResult));
        // Away from the buttons, whose look follows the pointer.
        SetCursorPos((list.left + list.right) / 2, (list.top + list.bottom) / 2);

        ExpectColumnsFit(window, dpi, "at start", {}, false);
        {
            SCOPED_TRACE("at start: laid out for its size");
            ExpectLayout(window);
        }
        RunSearch(*process, window);
        ASSERT_EQ(e2e::ListItemCount(GetDlgItem(window, kListResult)), 3);
        ExpectColumnsFit(window, dpi, "after the search", paths, false);
        ExpectButtonsDrawn(window, "after the search");
        Shoot(window, "list_" + label + "_normal");

        ASSERT_TRUE(SystemCommand(window, SC_MAXIMIZE, true));
        list = ScreenRectOf(GetDlgItem(window, kListResult));
        SetCursorPos((list.left + list.right) / 2, (list.top + list.bottom) / 2);
        ExpectButtonsDrawn(window, "maximised");
        ExpectColumnsFit(window, dpi, "maximised", paths, true);
        {
            SCOPED_TRACE("maximised: laid out for its size");
            ExpectLayout(window);
        }
        Shoot(window, "list_" + label + "_maximised");

        ASSERT_TRUE(SystemCommand(window, SC_RESTORE, false));
        list = ScreenRectOf(GetDlgItem(window, kListResult));
        SetCursorPos((list.left + list.right) / 2, (list.top + list.bottom) / 2);
        ExpectButtonsDrawn(window, "restored");
        ExpectColumnsFit(window, dpi, "restored", paths, false);
        {
            SCOPED_TRACE("restored: laid out for its size");
            ExpectLayout(window);
        }
        ShootFailedRow(*process, window, paths[1], label);

        EXPECT_TRUE(CloseMainWindow(*process, window));
    }

    // Rows the code page cannot show and a path past MAX_PATH, maximised so
    // the paths show as far as they go: each row reads whole, and is pictured.
    void ShootWideRows(DWORD dpi) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const std::wstring top = L"wide" + std::to_wstring(dpi);
        ASSERT_TRUE(m_box.MakeFolderW(top));
        std::vector<std::wstring> expected;
        for (const std::wstring& name :
             {top + L"\\\x0174x.", top + L"\\\x0398\x03bb\x03b1. ", top + L"\\报告\x00e9.", top + L"\\nul"}) {
            ASSERT_TRUE(m_box.MakeFileW(name));
            expected.push_back(m_box.PathW(name));
        }
        std::wstring deep = top + L"\\deep";
        ASSERT_TRUE(m_box.MakeFolderW(deep));
        while (m_box.PathW(deep).size() < 300) {
            deep += L"\\folder";
            ASSERT_TRUE(m_box.MakeFolderW(deep));
        }
        ASSERT_TRUE(m_box.MakeFileW(deep + L"\\nul"));
        expected.push_back(m_box.PathW(deep + L"\\nul"));
        e2e::Process* process = nullptr;
        HWND window = nullptr;
        {
            ScopedLogPixels scaling(dpi);
            process = &Launch("-p:" + m_box.Path("wide" + std::to_string(dpi)));
            window = WaitForMainWindow(*process);
        }
        ASSERT_TRUE(window) << "no main window";
        RunSearch(*process, window);
        HWND list = GetDlgItem(window, kListResult);
        ASSERT_EQ(e2e::ListItemCount(list), static_cast<int>(expected.size()));
        std::vector<std::wstring> shown;
        for (int row = 0; row < static_cast<int>(expected.size()); ++row) {
            std::wstring path;
            EXPECT_TRUE(e2e::ReadListTextW(list, row, 0, path));
            shown.push_back(path);
        }
        std::sort(shown.begin(), shown.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected);
        ASSERT_TRUE(SystemCommand(window, SC_MAXIMIZE, true));
        const RECT rect = ScreenRectOf(list);
        SetCursorPos(rect.right - 20, rect.bottom - 20);
        Shoot(window, "list_" + std::to_string(dpi) + "dpi_wide_rows");
        EXPECT_TRUE(CloseMainWindow(*process, window));
    }
};

TEST_F(OrvelleDpiList, WideRowsAt96And144Dpi) {
    ShootWideRows(96);
    ShootWideRows(144);
}

TEST_F(OrvelleDpiList, ColumnsFitAndButtonsAreDrawnAt96Dpi) { CheckAt(96); }
TEST_F(OrvelleDpiList, ColumnsFitAndButtonsAreDrawnAt144Dpi) { CheckAt(144); }

// Wine lays out every program at the prefix's DPI, aware or not; Windows
// stretches a program as a bitmap unless its manifest declares awareness.
TEST(OrvelleManifest, DeclaresSystemDpiAwareness) {
    HMODULE exe = LoadLibraryExA(e2e::HostPath(ORVELLE_E2E_PROGRAM).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_TRUE(found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(data, SizeofResource(exe, found));
    FreeLibrary(exe);
    const size_t settings = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    const size_t aware =
        manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>");
    ASSERT_NE(settings, std::string::npos) << manifest;
    ASSERT_NE(aware, std::string::npos) << manifest;
    EXPECT_LT(settings, aware);
    EXPECT_LT(aware, manifest.find("</application>", settings));
}

}  // namespace
