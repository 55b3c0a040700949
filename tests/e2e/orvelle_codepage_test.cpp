// The real Orvelle.exe under the code page and display scaling this run was
// started with (a Chinese 936 and a Western 1252 system, 96 and 144 dpi): the
// window's own texts read back through the wide functions as the program's
// Chinese, whatever the system's ANSI code page holds, and the main window,
// the view of a file as text and as bytes, and a stopped deletion's summary
// are pictured.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "OrvelleFixture.h"

#ifndef ORVELLE_E2E_ARTIFACTS
#error "ORVELLE_E2E_ARTIFACTS: where the screenshots go"
#endif

namespace {

using namespace orvelle_e2e;
using e2e::Process;

constexpr int kCommandView = 32791;
constexpr int kViewNote = 1024;
constexpr int kManyRows = 1500;

// A text of the program (code page 936, as its sources are compiled) as the
// wide functions must give it back.
std::wstring Chinese(const char* text) {
    const int length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide;
}

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.compare(0, start.size(), start) == 0;
}

DWORD RunDpi() {
    const char* dpi = std::getenv("ORVELLE_E2E_DPI");
    return dpi && std::atoi(dpi) > 0 ? static_cast<DWORD>(std::atoi(dpi)) : 96;
}

// "936-96", "1252-144": what tells this run's pictures from the others'.
std::string RunName() { return std::to_string(GetACP()) + "-" + std::to_string(RunDpi()); }

class CodePageE2E : public OrvelleE2E {
protected:
    void SetUp() override {
        OrvelleE2E::SetUp();
        ASSERT_TRUE(m_box.MakeFolder("tree"));
        // In UTF-8, which the view reads as such under every code page.
        ASSERT_TRUE(m_box.MakeFile("tree\\notes.", u8"下载说明 (readme)\r\nAlbum: 12 tracks\r\n"));
        std::string bytes;
        for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
        ASSERT_TRUE(m_box.MakeFile("tree\\blob.", bytes));
        ASSERT_TRUE(m_box.MakeFolder("tree\\many"));
        for (int i = 0; i < kManyRows; ++i) ASSERT_TRUE(m_box.MakeFile("tree\\many\\nul." + std::to_string(i)));
    }

    // Selects the row named `name`.
    static int SelectRow(HWND window, const std::string& name) {
        HWND list = GetDlgItem(window, kListResult);
        Rows rows;
        EXPECT_TRUE(e2e::ReadListRows(list, 2, rows));
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i][1] == "[" + name + "]")
                return e2e::SelectListRow(list, static_cast<int>(i)) ? static_cast<int>(i) : -1;
        return -1;
    }

    // Opens the view of `name`, checks its caption and note, pictures it and closes it.
    void ViewRow(const Process& program, HWND window, const std::string& name, const char* form) {
        ASSERT_GE(SelectRow(window, name), 0) << name;
        ASSERT_TRUE(e2e::PostCommand(window, kCommandView));
        HWND view = e2e::WaitForOtherTopLevel(program.Id(), window, "#32770", kWindowTimeoutMs);
        ASSERT_NE(view, nullptr) << "no view of " << name;
        EXPECT_EQ(e2e::TextOfW(view), Chinese("查看内容") + L" - " + std::wstring(name.begin(), name.end()));
        const std::wstring note = e2e::TextOfW(GetDlgItem(view, kViewNote));
        EXPECT_TRUE(StartsWith(note, Chinese("共 "))) << "note of " << name;
        EXPECT_NE(note.find(Chinese(form)), std::wstring::npos) << "note of " << name;
        ShootSettled(view, "codepage-" + RunName() + "-view-" + name.substr(0, name.size() - 1));
        PostMessageA(view, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(view); }, kWindowTimeoutMs));
    }
};

TEST_F(CodePageE2E, TheWindowReadsAsItsChineseUnderThisCodePage) {
    ScopedLogPixels scaling(RunDpi());
    RecordProperty("code_page", std::to_string(GetACP()));
    Process& program = Launch(nullptr);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);

    struct Caption {
        int id;
        const char* text;
    };
    const Caption captions[] = {
        {kButtonSearch, "开始搜索"},
        {kButtonExport, "导出结果"},
        {kButtonSelectAll, "全选"},
        {kButtonInvert, "反选"},
        {kButtonDelete, "删除"},
        {kButtonSupport, "技术支持"},
        {1006, "选择"},
        {1002, "隐藏"},
        {1003, "只读"},
        {1004, "系统"},
        {1005, "Orvelle目录"},
    };
    for (const Caption& c : captions)
        EXPECT_EQ(e2e::TextOfW(GetDlgItem(window, c.id)), Chinese(c.text)) << "control " << c.id;
    const char* const headings[] = {"路径", "文件名", "类型", "属性", "操作结果", "说明"};
    HWND list = GetDlgItem(window, kListResult);
    for (int column = 0; column < 6; ++column) {
        std::wstring heading;
        EXPECT_TRUE(e2e::ReadListHeadingW(list, column, heading));
        EXPECT_EQ(heading, Chinese(headings[column])) << "column " << column;
    }
    const std::wstring title = e2e::TextOfW(window);
    EXPECT_TRUE(StartsWith(title, Chinese(DecodeStoredText(StoredText::ProductTitle).c_str())));
    EXPECT_NE(title.find(Chinese(DecodeStoredText(StoredText::NoticeText).c_str())), std::wstring::npos);

    // A search: its summary in Chinese, the rows pictured.
    ASSERT_TRUE(e2e::SetControlText(window, kEditPath, m_box.Path("tree")));
    ASSERT_TRUE(e2e::Click(window, kButtonSearch));
    HWND summary = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, 60000);
    ASSERT_NE(summary, nullptr) << "no summary box after the search";
    const std::wstring found = e2e::MessageBoxTextW(summary);
    EXPECT_TRUE(StartsWith(found, Chinese("搜索完成，共搜索了"))) << "summary";
    EXPECT_NE(found.find(Chinese("找到了畸形文件: ") + std::to_wstring(kManyRows + 2)), std::wstring::npos);
    EXPECT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
    ASSERT_EQ(e2e::ListItemCount(list), kManyRows + 2);
    ShootSettled(window, "codepage-" + RunName() + "-main");

    ViewRow(program, window, "notes.", "以文本显示");
    ViewRow(program, window, "blob.", "以十六进制显示");

    // Every row checked and deleted, the deletion stopped as soon as it runs.
    ASSERT_TRUE(e2e::Click(window, kButtonSelectAll));
    ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
    HWND question = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(StartsWith(e2e::MessageBoxTextW(question), Chinese("是否要删除选中的目录或文件？")));
    EXPECT_TRUE(e2e::AnswerMessageBox(question, IDYES));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(question); }, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
    HWND stopped = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, 60000);
    ASSERT_NE(stopped, nullptr) << "no summary after the deletion";
    const std::wstring said = e2e::MessageBoxTextW(stopped);
    EXPECT_TRUE(StartsWith(said, Chinese("删除已停止，删除成功 "))) << "the deletion ended before the stop";
    EXPECT_NE(said.find(Chinese("未删除 ")), std::wstring::npos);
    ShootSettled(stopped, "codepage-" + RunName() + "-stopped-deletion");
    EXPECT_TRUE(e2e::AnswerMessageBox(stopped, IDOK));
    EXPECT_TRUE(CloseMainWindow(program, window));
}

}  // namespace
