// The application object and its name, the UI host, and the file dialog.
#include <string>

#include <gtest/gtest.h>

#include "App.h"
#include "FakeUiHost.h"
#include "FileDialog.h"
#include "Wnd.h"

namespace {

class TestApp : public CWinApp {};

// Every byte of a literal that holds NULs, without its own terminator.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

template <size_t N>
std::wstring Units(const wchar_t (&text)[N]) {
    return std::wstring(text, N - 1);
}

TEST(App, TestsRunInTheChineseAnsiCodePage) {
    // The double-byte cases below mean something only under code page 936.
    ASSERT_EQ(936u, GetACP());
}

struct NameCase {
    const wchar_t* path;
    const wchar_t* name;
};

const NameCase kNames[] = {
    {L"C:\\Program Files\\Orvelle\\Orvelle.exe", L"Orvelle"},
    {L"Orvelle.exe", L"Orvelle"},
    {L"C:\\tools\\my.tool.exe", L"my.tool"},
    {L"C:\\dir.v2\\tool", L"tool"},
    {L"D:\\软件\\畸形目录.exe", L"畸形目录"},
    // Outside every ANSI code page.
    {L"D:\\dir\\\U0001F600ü.exe", L"\U0001F600ü"},
    {L"\\\\server\\share\\app.EXE", L"app"},
};

TEST(App, NameIsTheModuleFileNameWithoutFolderAndExtension) {
    for (const NameCase& c : kNames) {
        EXPECT_EQ(c.name, AppNameFromModulePath(c.path));
    }
}

TEST(App, ApplicationObjectIsFoundAndNamedAfterTheExecutable) {
    EXPECT_EQ(nullptr, GetApp());
    {
        TestApp app;
        EXPECT_EQ(&app, GetApp());
        EXPECT_EQ(L"orvelle_fw_tests", app.m_strAppName);
        app.m_strAppName = L"Renamed";
        EXPECT_EQ("Renamed", GetAppName());
    }
    EXPECT_EQ(nullptr, GetApp());
    EXPECT_EQ("orvelle_fw_tests", GetAppName());
}

TEST(UiHostSeam, BoxesWithoutCaptionShowTheAppNameAndReturnTheAnswer) {
    FakeUiHost host;
    host.answers = {IDYES, IDOK};
    ScopedUiHost scope(&host);
    EXPECT_EQ(IDYES, AppMessageBox(nullptr, "确认删除选中的文件夹？", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDOK, AppMessageBox(nullptr, "删除失败！", MB_ICONEXCLAMATION, "Orvelle"));
    ASSERT_EQ(2u, host.boxes.size());
    EXPECT_EQ(nullptr, host.boxes[0].owner);
    EXPECT_EQ("确认删除选中的文件夹？", host.boxes[0].text);
    EXPECT_EQ("orvelle_fw_tests", host.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), host.boxes[0].type);
    EXPECT_EQ("Orvelle", host.boxes[1].caption);
}

TEST(UiHostSeam, SettingNullBringsBackTheSystemHost) {
    UiHost* system = &GetUiHost();
    FakeUiHost host;
    EXPECT_EQ(system, SetUiHost(&host));
    EXPECT_EQ(&host, &GetUiHost());
    EXPECT_EQ(&host, SetUiHost(nullptr));
    EXPECT_EQ(system, &GetUiHost());
}

struct FilterCase {
    const char* bars;
    std::wstring expected;
};

const FilterCase kFilters[] = {
    {"(*.txt)|*.txt|(所有文件)|*.*||", Units(L"(*.txt)\0*.txt\0(所有文件)\0*.*\0\0")},
    {"Text|*.txt", Units(L"Text\0*.txt\0\0")},
    // 亅 is the bytes 0x81 0x7C: its trail byte is the bar and must stay.
    {"亅|*.x||", Units(L"亅\0*.x\0\0")},
    {"", std::wstring()},
};

TEST(FileDialog, FilterBarsBecomeNulSeparatedList) {
    for (const FilterCase& c : kFilters) {
        SCOPED_TRACE(c.bars);
        EXPECT_EQ(c.expected, FileFilterFromBars(c.bars));
    }
}

TEST(FileDialog, OpenFormAsksTheHostAndGivesBackTheChosenPath) {
    FakeUiHost host;
    host.fileAnswer = "C:\\报告\\result.txt";
    ScopedUiHost scope(&host);
    TestApp app;
    CWnd mainWindow;
    mainWindow.m_hWnd = GetDesktopWindow();
    app.m_pMainWnd = &mainWindow;

    CFileDialog dialog(TRUE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "(*.txt)|*.txt|(所有文件)|*.*||");
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(L"C:\\报告\\result.txt", dialog.GetPathName());

    ASSERT_EQ(1u, host.files.size());
    const ChosenFile& asked = host.files[0];
    EXPECT_TRUE(asked.openForm);
    EXPECT_EQ(mainWindow.m_hWnd, asked.owner);
    EXPECT_EQ(Bytes("(*.txt)\0*.txt\0(所有文件)\0*.*\0\0"), asked.filter);
    EXPECT_EQ("txt", asked.defaultExt);
    EXPECT_EQ("", asked.initialFile);
    EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT),
              asked.flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST));
}

TEST(FileDialog, CancelGivesIdCancelAndSaveFormIsAskedAsSuch) {
    FakeUiHost host;
    ScopedUiHost scope(&host);
    CFileDialog dialog(FALSE, nullptr, "old.txt");
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    ASSERT_EQ(1u, host.files.size());
    EXPECT_FALSE(host.files[0].openForm);
    EXPECT_EQ("old.txt", host.files[0].initialFile);
    EXPECT_EQ("(null)", host.files[0].defaultExt);
}

}  // namespace
