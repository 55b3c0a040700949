// Pictures of the main window for a person to look at: after a search with
// rows, with the list's right-click menu open, and with the About box. Written
// as PNG files into the folder given as the first argument.
//
//   ui_screenshots.exe OUTPUT_FOLDER [gtest options]
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "DialogHarness.h"
#include "SimulatedVolume.h"

namespace {

std::string g_outputFolder = "artifacts";

// --- a PNG file without compression (stored deflate blocks) ----------------

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        made = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBig32(out, Crc32(body.data(), body.size()));
}

// rgb: height rows of width * 3 bytes.
bool WritePng(const std::string& file, int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        raw.insert(raw.end(), rgb.begin() + static_cast<long>(y) * width * 3,
                   rgb.begin() + static_cast<long>(y + 1) * width * 3);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        if (raw.empty()) break;
    }
    PutBig32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

// The screen within area, as a PNG file in the output folder. False when
// nothing could be captured or written.
bool Capture(RECT area, const char* name) {
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    InflateRect(&area, 12, 12);
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, screenW);
    area.bottom = std::min<LONG>(area.bottom, screenH);
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BOOL copied = BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        rgb[i * 3] = p[i * 4 + 2];
        rgb[i * 3 + 1] = p[i * 4 + 1];
        rgb[i * 3 + 2] = p[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return false;
    CreateDirectoryA(g_outputFolder.c_str(), nullptr);
    const std::string file = g_outputFolder + "\\" + name;
    std::printf("writing %s (%dx%d)\n", file.c_str(), w, h);
    return WritePng(file, w, h, rgb);
}

RECT WindowRect(HWND h) {
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

RECT Union(RECT a, RECT b) {
    RECT u;
    UnionRect(&u, &a, &b);
    return u;
}

// Waits for the window to be painted before the picture is taken.
void Settle(HWND h) {
    RunOnWindowThread(h, [&] { RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); });
    Sleep(400);
}

using Screenshots = DialogTest;

TEST_F(Screenshots, SearchResultsMenuAndAboutBox) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\Data\\年度报告.");
    v.AddFile("D:\\Data\\con");
    v.AddFile("D:\\Data\\奬状.txt.");
    v.AddFolder("D:\\Data\\旧照片 ");
    v.AddFile("D:\\Data\\旧照片 \\合影.jpg");
    v.AddFile("D:\\Data\\子目录\\aux.log");
    v.AddFolder("D:\\Data\\子目录\\备份..");
    v.AddFile("D:\\Data\\子目录\\笔记 ");
    v.AddFile("D:\\Data\\正常文件.txt");
    v.AddFile("D:\\Data\\COM0");  // listed, but its plain path works
    // A root of ASCII letters: the simulated volume spells other characters
    // its own way, and the field holds the root as typed, in UTF-16.
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\Data"}, &v};
    Run(dlg, [&](HWND h) {
        SetWindowPos(h, nullptr, 80, 60, 820, 520, SWP_NOZORDER);
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        EXPECT_EQ(Count(dlg), 8);
        SetChecks(h, dlg, {true, false, true, false, false, false, false, false});
        Select(h, dlg, 1);
        Settle(h);
        EXPECT_TRUE(Capture(WindowRect(h), "main_window_rows.png"));

        RECT list = WindowRect(GetDlgItem(h, IDC_LIST_RESULT));
        SetCursorPos(list.left + 200, list.top + 52);
        OpenMenu menu;
        OpenListMenu(h, menu);
        if (menu.menu) {
            Sleep(400);
            EXPECT_TRUE(Capture(Union(WindowRect(h), WindowRect(menu.window)), "list_context_menu.png"));
            CloseListMenu(h, menu);
        }

        PostMessageA(h, WM_COMMAND, MAKEWPARAM(ID_LIST_ABOUT, 0), 0);
        HWND about = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            about = FindWindowA(nullptr, "关于Voskar·Orvelle");
            return about && IsWindowVisible(about);
        }));
        Sleep(400);
        EXPECT_TRUE(Capture(Union(WindowRect(h), WindowRect(about)), "about_box.png"));
        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    });
}

HWND WaitForPopup(HWND h) {
    HWND popup = nullptr;
    WaitFor([&] {
        HWND p = GetLastActivePopup(h);
        if (p && p != h && IsWindowVisible(p)) popup = p;
        return popup != nullptr;
    });
    return popup;
}

struct BoxRun {
    HWND owner;
    std::string text;
};

DWORD WINAPI ShowRealBox(void* p) {
    const BoxRun& run = *static_cast<const BoxRun*>(p);
    MessageBoxA(run.owner, run.text.c_str(), "Orvelle", MB_ICONINFORMATION);
    return 0;
}

// 查看内容 of a text file and of a binary one, and the summary of a deletion
// stopped halfway, as the window shows it (the harness answers the window's
// boxes itself, so the same text is shown in a real box for the picture).
TEST_F(Screenshots, ViewBoxesAndAStoppedDeletion) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\docs\\readme.")->content = "下载说明 (readme)\r\nAlbum: 12 tracks, 320 kbps\r\n";
    std::string binary = "MZ\x90";
    for (int i = 0; i < 300; ++i) binary += static_cast<char>(i * 7);
    v.AddFile("D:\\docs\\nul")->content = binary;
    for (int i = 1; i <= 6; ++i) v.AddFile("D:\\docs\\old\\f" + std::to_string(i) + ".");
    HANDLE reached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    v.beforeHandleCall = [&](const char* call, SimulatedVolume::Node* at) {
        if (std::string(call) == "DeleteOpen" && at && v.PathOf(*at) == "D:\\docs\\old\\f4.") {
            SetEvent(reached);
            WaitForSingleObject(release, 30000);
        }
    };
    const int dpi = [] {
        HDC dc = GetDC(nullptr);
        const int value = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(nullptr, dc);
        return value;
    }();
    const std::string suffix = "_" + std::to_string(dpi) + "dpi.png";
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\docs"}, &v};
    Run(dlg, [&](HWND h) {
        SetWindowPos(h, nullptr, 80, 60, 820, 520, SWP_NOZORDER);
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        for (const char* name : {"[readme.]", "[nul]"}) {
            int row = 0;
            while (row < Count(dlg) && Cell(dlg, row, 1) != name) ++row;
            Select(h, dlg, row);
            PostMessageA(h, WM_COMMAND, MAKEWPARAM(ID_LIST_VIEW, 0), 0);
            HWND view = WaitForPopup(h);
            ASSERT_NE(view, nullptr) << name;
            Settle(view);
            const std::string picture = (std::string(name) == "[nul]" ? "view_hex" : "view_text") + suffix;
            EXPECT_TRUE(Capture(WindowRect(view), picture.c_str()));
            PostMessageA(GetDlgItem(view, IDOK), BM_CLICK, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(view); }));
        }

        // The rows of old only, deleted from the last up; stopped while f4 goes.
        for (int row = 0; row < Count(dlg); ++row) {
            const bool old = Cell(dlg, row, 0).find("\\old\\") != std::string::npos;
            OnUi(h, [&] { dlg.Results().SetChecked(row, old); });
        }
        host.Answer(IDYES);
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_BTN_DELETE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(h, IDC_BTN_DELETE)));
        ASSERT_EQ(WaitForSingleObject(reached, 30000), WAIT_OBJECT_0);
        Click(h, IDC_BTN_DELETE);
        SetEvent(release);
        ASSERT_TRUE(WaitForDeletion(dlg));
        ASSERT_TRUE(WaitForBoxes(3));
        BoxRun run{h, host.Boxes()[2].text};
        HANDLE shown = CreateThread(nullptr, 0, ShowRealBox, &run, 0, nullptr);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            box = FindWindowA("#32770", "Orvelle");
            return box && IsWindowVisible(box);
        }));
        Settle(box);
        EXPECT_TRUE(Capture(Union(WindowRect(h), WindowRect(box)), ("deletion_stopped" + suffix).c_str()));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        WaitForSingleObject(shown, 10000);
        CloseHandle(shown);
    });
    CloseHandle(reached);
    CloseHandle(release);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) g_outputFolder = argv[1];
    return RUN_ALL_TESTS();
}
