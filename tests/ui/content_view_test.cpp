// 查看内容 on the simulated volume: the box names the entry it shows and says
// what it shows (a file whole or cut, an empty file, a hex view in a
// fixed-pitch font, a folder's entries).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ContentDlg.h"
#include "DialogHarness.h"
#include "SimulatedVolume.h"

namespace {

using ContentViewBox = DialogTest;

std::wstring WideText(HWND h) {
    const int length = GetWindowTextLengthW(h);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(h, &text[0], length + 1)));
    return text;
}

// Whether the font draws every character equally wide.
bool FixedPitch(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    SIZE narrow = {}, wide = {};
    GetTextExtentPoint32W(dc, L"iiiiiiii", 8, &narrow);
    GetTextExtentPoint32W(dc, L"WWWWWWWW", 8, &wide);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return narrow.cx > 0 && narrow.cx == wide.cx;
}

struct ViewCase {
    const char* name;  // of the row, "[name]" in column 1
    std::wstring path;
    std::wstring caption;
    std::wstring note;
    std::wstring text;  // empty: not compared (checked below)
    bool hex;
};

TEST_F(ContentViewBox, NamesTheEntryAndSaysWhatItShows) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\notes.")->content = "line one\nline two";
    // Cut inside the two bytes of "é": still text, without the half character.
    v.AddFile("D:\\r\\big.")->content = std::string(65535, 'a') + "\xC3\xA9" + std::string(100, 'b');
    v.AddFile("D:\\r\\empty.");
    v.AddFile("D:\\r\\prog.")->content = std::string("MZ\x90\0", 4);
    v.AddFile("D:\\r\\Album.\\track.mp3")->content = "ID3";
    v.AddFolder("D:\\r\\Album.\\cd2");
    v.AddFolder("D:\\r\\void.");
    const std::vector<ViewCase> cases = {
        {"notes.", L"D:\\r\\notes.", L"查看内容 - notes.", L"共 17 字节，以文本显示。", L"line one\r\nline two", false},
        {"big.", L"D:\\r\\big.", L"查看内容 - big.", L"文件超过 64 KB，仅显示前 64 KB，以文本显示。",
         std::wstring(65535, L'a'), false},
        {"empty.", L"D:\\r\\empty.", L"查看内容 - empty.", L"文件为空（0 字节）。", L"", false},
        {"prog.", L"D:\\r\\prog.", L"查看内容 - prog.", L"共 4 字节，以十六进制显示。",
         L"00000000  4D 5A 90 00" + std::wstring(36, L' ') + L"  MZ..\r\n", true},
        {"Album.", L"D:\\r\\Album.", L"查看内容 - Album.", L"这是一个文件夹，共 2 项（1 个文件夹，1 个文件）。", L"",
         false},
        {"void.", L"D:\\r\\void.", L"查看内容 - void.", L"这是一个文件夹，文件夹为空。", L"", false},
    };
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), static_cast<int>(cases.size()));
        for (const ViewCase& c : cases) {
            SCOPED_TRACE(c.name);
            int row = 0;
            while (row < Count(dlg) && Cell(dlg, row, 1) != std::string("[") + c.name + "]") ++row;
            Select(h, dlg, row);
            PostMessageA(h, WM_COMMAND, MAKEWPARAM(ID_LIST_VIEW, 0), 0);
            HWND view = nullptr;
            ASSERT_TRUE(WaitFor([&] {
                HWND popup = GetLastActivePopup(h);
                if (popup && popup != h && IsWindowVisible(popup)) view = popup;
                return view != nullptr;
            }));
            EXPECT_EQ(WideText(view), c.caption);
            EXPECT_EQ(WideText(GetDlgItem(view, IDC_CONTENT_PATH)), c.path);
            EXPECT_EQ(WideText(GetDlgItem(view, IDC_CONTENT_NOTE)), c.note);
            HWND content = GetDlgItem(view, IDC_CONTENT_TEXT);
            ASSERT_NE(content, nullptr);
            EXPECT_TRUE(GetWindowLongW(content, GWL_STYLE) & ES_READONLY);
            const std::wstring text = WideText(content);
            if (!c.text.empty()) EXPECT_TRUE(text == c.text) << text.size() << " characters";
            if (std::string(c.name) == "Album.") {
                EXPECT_NE(text.find(L"track.mp3\r\n"), std::wstring::npos);
                EXPECT_NE(text.find(L"cd2\\\r\n"), std::wstring::npos);
            }
            if (c.text.empty() && std::string(c.name) != "Album.") EXPECT_TRUE(text.empty());
            const HFONT font = reinterpret_cast<HFONT>(SendMessageW(content, WM_GETFONT, 0, 0));
            if (c.hex) EXPECT_TRUE(FixedPitch(font)) << "the hex view's columns do not line up";
            PostMessageA(GetDlgItem(view, IDOK), BM_CLICK, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(view); }));
        }
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(h) != FALSE; }));
        EXPECT_EQ(host.Boxes().size(), 1u) << host.Boxes().back().text;
    });
    // Looking changes nothing.
    EXPECT_EQ(v.Find("D:\\r\\notes.")->content, "line one\nline two");
    EXPECT_TRUE(v.Exists("D:\\r\\Album.\\cd2"));
}

// A listed link is never entered to show what it leads to.
TEST_F(ContentViewBox, ALinkIsNotListedThrough) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\precious\\secret.txt");
    v.AddLink("D:\\r\\con", "D:\\precious");
    CMyDlg dlg{CMyDlg::StartArgs{true, L"D:\\r"}, &v};
    Run(dlg, [&](HWND h) {
        OnUi(h, [&] { dlg.ToggleSearch(); });
        ASSERT_TRUE(WaitForBoxes(1));
        ASSERT_TRUE(WaitFor([&] { return !dlg.IsWalking(); }));
        ASSERT_EQ(Count(dlg), 1);
        Select(h, dlg, 0);
        Command(h, ID_LIST_VIEW);
        ASSERT_EQ(host.Boxes().size(), 2u);
        EXPECT_EQ(host.Boxes()[1].text.rfind("无法读取该", 0), 0u) << host.Boxes()[1].text;
    });
    EXPECT_TRUE(v.Exists("D:\\precious\\secret.txt"));
}

TEST(ContentViewText, ACutInsideACharacterStaysTextAndBinaryIsHex) {
    const ContentView cut = FileContentView(L"D:\\x", "ab\xE4\xB8\xAD\xE6\x96", 6);  // 中 and half of 文
    EXPECT_FALSE(cut.hex);
    EXPECT_EQ(cut.text, L"ab\x4E2D");
    const ContentView whole = FileContentView(L"D:\\x", "ab\xE4\xB8\xAD", 6);
    EXPECT_EQ(whole.text, L"ab\x4E2D");
    EXPECT_EQ(whole.note, L"共 5 字节，以文本显示。");
    const ContentView binary = FileContentView(L"D:\\x", std::string("\x01\x02\x03", 3), 6);
    EXPECT_TRUE(binary.hex);
    std::vector<DirEntry> many(3);
    many[0].name = u"a";
    many[1].name = u"b";
    many[1].attributes = fs_attr::kDirectory;
    many[2].name = u"c";
    const ContentView listed = FolderContentView(L"D:\\f", many, 2);
    EXPECT_EQ(listed.note, L"这是一个文件夹，共 3 项（1 个文件夹，2 个文件），仅列出前 2 项。");
    EXPECT_EQ(listed.text, L"a\r\nb\\\r\n");
}

}  // namespace
