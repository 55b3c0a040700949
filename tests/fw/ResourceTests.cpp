// The compiled resources: the two dialog templates control by control, the list menu, the icons,
// the version information and the manifest, read back from this test program, which links them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resource.h"

namespace {

struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    int id;
    std::wstring windowClass;  // predefined classes by name, whether stored by ordinal or not
    std::wstring text;         // "#n" for a resource ordinal
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::wstring caption;
    WORD pointSize;
    BYTE charset;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

class Reader {
public:
    explicit Reader(const BYTE* p) : m_start(p), m_p(p) {}
    WORD Word() {
        WORD w;
        memcpy(&w, m_p, 2);
        m_p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        memcpy(&d, m_p, 4);
        m_p += 4;
        return d;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *m_p++; }
    std::wstring String() {
        std::wstring s;
        for (WORD c = Word(); c; c = Word()) s += static_cast<wchar_t>(c);
        return s;
    }
    // A name or an ordinal, as menu, class and title fields hold them.
    std::wstring NameOrOrdinal() {
        WORD first;
        memcpy(&first, m_p, 2);
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    void AlignDword() { m_p += (4 - (m_p - m_start) % 4) % 4; }
    void Skip(size_t n) { m_p += n; }

private:
    const BYTE* m_start;
    const BYTE* m_p;
};

std::wstring ClassName(const std::wstring& stored) {
    static const wchar_t* const kPredefined[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
    for (int i = 0; i < 6; ++i) {
        if (stored == L"#" + std::to_wstring(0x80 + i) || _wcsicmp(stored.c_str(), kPredefined[i]) == 0)
            return kPredefined[i];
    }
    return stored;
}

DialogTemplate LoadTemplate(int id) {
    DialogTemplate t = {};
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    EXPECT_NE(nullptr, found) << "template " << id;
    if (!found) return t;
    Reader r(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))));
    EXPECT_EQ(1, r.Word()) << "an extended template";
    EXPECT_EQ(0xFFFF, r.Word());
    r.Dword();  // help id
    t.exStyle = r.Dword();
    t.style = r.Dword();
    WORD count = r.Word();
    t.x = r.Short(), t.y = r.Short(), t.cx = r.Short(), t.cy = r.Short();
    EXPECT_EQ(L"", r.NameOrOrdinal()) << "no menu";
    EXPECT_EQ(L"", r.NameOrOrdinal()) << "the system's dialog class";
    t.caption = r.String();
    if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
        t.pointSize = r.Word();
        r.Word();  // weight
        r.Byte();  // italic
        t.charset = r.Byte();
        t.typeface = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        TemplateItem item = {};
        r.Dword();  // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short(), item.y = r.Short(), item.cx = r.Short(), item.cy = r.Short();
        item.id = static_cast<int>(r.Dword());
        item.windowClass = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word());
        t.items.push_back(item);
    }
    return t;
}

void ExpectItems(const std::vector<TemplateItem>& expected, const std::vector<TemplateItem>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& e = expected[i];
        const TemplateItem& a = actual[i];
        SCOPED_TRACE("item " + std::to_string(i) + " id " + std::to_string(e.id));
        EXPECT_EQ(e.id, a.id);
        EXPECT_EQ(0, _wcsicmp(e.windowClass.c_str(), a.windowClass.c_str()))  // class names ignore case
            << "class " << std::string(e.windowClass.begin(), e.windowClass.end());
        EXPECT_EQ(e.text, a.text);
        EXPECT_EQ(e.style, a.style) << std::hex << "0x" << e.style << " != 0x" << a.style;
        EXPECT_EQ(e.exStyle, a.exStyle);
        EXPECT_EQ((std::vector<int>{e.x, e.y, e.cx, e.cy}), (std::vector<int>{a.x, a.y, a.cx, a.cy}));
    }
}

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
const DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
const DWORD kText = kChild | SS_LEFT | WS_GROUP;

TEST(Resources, MainDialogTemplate) {
    DialogTemplate t = LoadTemplate(IDD_MAIN);
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                 WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              t.style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_ACCEPTFILES), t.exStyle);
    EXPECT_EQ((std::vector<int>{396, 271}), (std::vector<int>{t.cx, t.cy}));
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(L"宋体", t.typeface);

    const std::vector<TemplateItem> expected = {
        {kChild | BS_GROUPBOX, 0, 2, 2, 392, 44, IDC_STATIC, L"Button", L""},
        {kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 35, 11, 178, 14, IDC_EDIT_PATH, L"Edit", L""},
        {kText, 0, 10, 13, 24, 9, IDC_STATIC, L"Static", L"路径："},
        {kCheck, 0, 179, 30, 30, 10, IDC_CHECK_HIDDEN, L"Button", L"隐藏"},
        {kCheck, 0, 103, 30, 30, 10, IDC_CHECK_READONLY, L"Button", L"只读"},
        {kCheck, 0, 141, 30, 30, 10, IDC_CHECK_SYSTEM, L"Button", L"系统"},
        {kCheck, 0, 35, 30, 60, 10, IDC_CHECK_MALFORMED, L"Button", L"Orvelle目录"},
        {kButton, 0, 219, 10, 40, 15, IDC_BTN_BROWSE, L"Button", L"选择"},
        {kChild | SS_BLACKFRAME | SS_SUNKEN, 0, 265, 7, 1, 37, IDC_STATIC, L"Static", L""},
        {kButton, 0, 275, 15, 50, 20, IDC_BTN_SEARCH, L"Button", L"开始搜索"},
        {kButton | WS_DISABLED, 0, 335, 15, 50, 20, IDC_BTN_EXPORT, L"Button", L"导出结果"},
        {kChild | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_BORDER | WS_TABSTOP, 0, 2, 50,
         392, 196, IDC_LIST_RESULT, L"SysListView32", L"List1"},
        {kButton, 0, 2, 250, 30, 17, IDC_BTN_CHECK_ALL, L"Button", L"全选"},
        {kButton, 0, 68, 250, 30, 17, IDC_BTN_DELETE, L"Button", L"删除"},
        {kButton, 0, 101, 250, 43, 17, IDC_BTN_SUPPORT, L"Button", L"技术支持"},
        {0x4002030C, 0, 154, 252, 240, 12, IDC_STATIC_NOTICE, L"Static", L""},
        {kButton, 0, 35, 250, 30, 17, IDC_BTN_INVERT, L"Button", L"反选"},
    };
    ExpectItems(expected, t.items);
}

TEST(Resources, AboutBoxTemplate) {
    DialogTemplate t = LoadTemplate(IDD_ABOUT);
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU), t.style);
    EXPECT_EQ((std::vector<int>{211, 127}), (std::vector<int>{t.cx, t.cy}));
    EXPECT_EQ(L"关于Voskar·Orvelle", t.caption);
    EXPECT_EQ(10, t.pointSize);
    EXPECT_EQ(L"宋体", t.typeface);

    const std::vector<TemplateItem> expected = {
        {kButton, 0, 91, 107, 35, 15, IDOK, L"Button", L"确 定"},
        {kChild | SS_ICON, 0, 12, 14, 20, 20, IDC_STATIC, L"Static", L"#" + std::to_wstring(IDR_MAINFRAME)},
        {kChild | SS_LEFTNOWORDWRAP | SS_NOTIFY | WS_GROUP, 0, 42, 12, 122, 8, IDC_STATIC, L"Static",
         L"Voskar·Orvelle"},
        {kText, 0, 42, 25, 88, 8, IDC_STATIC, L"Static", L"文件版本:Ver1.3"},
        {kText, 0, 42, 38, 158, 10, IDC_STATIC, L"Static", L"功能：搜索并删除难以删除的畸形目录和文件。"},
        {kText, 0, 42, 51, 152, 10, IDC_STATIC, L"Static", L"运行环境：Windows XP/2003/Win7/2008等"},
        {kText | SS_NOTIFY, 0, 42, 90, 124, 11, IDC_STATIC_WEBSITE, L"Static", L"" ORVELLE_WEBSITE_TEXT},
    };
    ExpectItems(expected, t.items);
}

TEST(Resources, ListMenuItemsInOrder) {
    struct MenuRow {
        UINT id;  // 0 for a separator
        const wchar_t* text;
    };
    const MenuRow expected[] = {
        {ID_LIST_OPEN_FOLDER, L"打开目录(&O)"}, {0, L""}, {ID_LIST_COPY_PATH, L"复制路径(&C)"},
        {ID_LIST_CLEAR, L"清空结果(&Y)"},       {0, L""}, {ID_LIST_DELETE_CURRENT, L"删除当前(&D)"},
        {ID_LIST_DELETE_ALL, L"删除全部(&A)"},  {0, L""}, {ID_LIST_EXPLORER_MENU, L"添加到右键(&T)"},
        {ID_LIST_STATISTICS, L"统计结果(&S)"},  {0, L""}, {ID_LIST_CHECK_UPDATE, L"检查更新(&C)"},
        {ID_LIST_ABOUT, L"关于我们(&H)"},       {0, L""}, {ID_LIST_RENAME, L"重命名为合法名称(&R)"},
        {ID_LIST_VIEW, L"查看内容(&V)"},
    };
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_LIST));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    const int count = static_cast<int>(sizeof expected / sizeof expected[0]);
    ASSERT_EQ(count, GetMenuItemCount(popup));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("position " + std::to_string(i + 1));
        wchar_t text[64] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
        if (expected[i].id == 0) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
        } else {
            EXPECT_FALSE(info.fType & MFT_SEPARATOR);
            EXPECT_EQ(expected[i].id, info.wID);
            EXPECT_EQ(std::wstring(expected[i].text), text);
            EXPECT_EQ(0u, info.fState & (MFS_GRAYED | MFS_CHECKED));
        }
    }
    DestroyMenu(menu);
}

TEST(Resources, IconsHoldThreeSizes) {
    for (int id : {IDR_MAINFRAME, IDI_WINDOW}) {
        HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
        ASSERT_NE(nullptr, group) << "icon " << id;
        const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
        WORD count;
        memcpy(&count, dir + 4, 2);
        std::vector<int> sizes;
        for (WORD i = 0; i < count; ++i) sizes.push_back(dir[6 + 14 * i]);
        EXPECT_EQ((std::vector<int>{16, 32, 48}), sizes) << "icon " << id;

        for (int size : {16, 32, 48}) {
            HICON icon = static_cast<HICON>(
                LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(nullptr, icon) << "icon " << id << " at " << size;
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bitmap = {};
            GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(size, bitmap.bmWidth);
            EXPECT_EQ(32, bitmap.bmBitsPixel) << "an image with alpha";
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

std::string VersionString(const std::vector<BYTE>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "(missing)";
    return value;
}

TEST(Resources, VersionInformationIs130) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(3, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(3, 1), fixed->dwProductVersionMS);

    EXPECT_EQ("Voskar", VersionString(block, "CompanyName"));
    EXPECT_EQ("1.3.0.0", VersionString(block, "FileVersion"));
    EXPECT_EQ("Voskar·Orvelle", VersionString(block, "ProductName"));
    EXPECT_EQ("Voskar·Orvelle", VersionString(block, "FileDescription"));
    EXPECT_EQ("Copyright (C) 2026 Voskar", VersionString(block, "LegalCopyright"));
}

TEST(Resources, ManifestAsksForCommonControls6AndTheyAreLoaded) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                         SizeofResource(nullptr, found));
    for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "level=\"asInvoker\"",
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;

    // The loader honoured it: the common controls in use are the side-by-side version 6 assembly,
    // not the system folder's copy.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HMODULE comctl = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(nullptr, comctl);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(comctl, path, MAX_PATH);
    CharLowerA(path);
    EXPECT_NE(nullptr, strstr(path, "\\winsxs\\")) << path;
    EXPECT_NE(nullptr, strstr(path, "common-controls")) << path;
}

}  // namespace
