// The real Orvelle.exe's result list, driven from outside as a user drives it:
// rows checked and deleted with the delete button, the listed paths exported
// through the system's file dialog, and the Explorer verbs switched from the
// list's right-click menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "OrvelleFixture.h"
#include "VerbRegistry.h"

#ifndef ORVELLE_E2E_ARTIFACTS
#error "ORVELLE_E2E_ARTIFACTS: where the screenshots go"
#endif

namespace {

using namespace orvelle_e2e;
using e2e::BoxIcon;
using e2e::Process;

// Commands of the result list's right-click menu.
constexpr int kCommandClear = 32775;
constexpr int kCommandExplorerVerbs = 32784;

// Ids of the system file dialog's controls.
constexpr int kFileTypeCombo = 0x470;  // cmb1
constexpr int kReadOnlyCheck = 0x410;  // chx1
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

const char kDeleteQuestion[] = "是否要删除选中的目录或文件？\n\n删除后将不可恢复，确定吗？";
const char kClearQuestion[] = "确定要清空当前数据吗？";
const char kVerbsAdded[] = "右键添加成功，直接在文件夹上点右键就可以进行搜索！";
const char kVerbsRemoved[] = "从右键脱离成功!";
const char kLabelAdd[] = "添加到右键(&T)";
const char kLabelRemove[] = "从右键脱离(&T)";
const char kPending[] = "未操作";
const char kFailed[] = "失败";
// "报告" in the ANSI code page (GBK), as a report file must hold it.
const char kReportGbk[] = "\xB1\xA8\xB8\xE6";

std::string DeleteSummary(int deleted, int failed) {
    return "删除完毕，删除成功 " + std::to_string(deleted) + " 个，删除失败 " + std::to_string(failed) + " 个。";
}

std::string Extended(const std::string& path) { return "\\\\?\\" + path; }

// ---- the tree the list is made from ------------------------------------------

struct TreeEntry {
    const char* path;  // below the tree; ends in "\" for a folder
    bool listed;       // a row of the search
    bool held;         // kept open by the delete tests, without delete sharing
};
const TreeEntry kTree[] = {
    {"report.", true, false},
    {"report", false, false},
    {"报告.", true, false},
    {"报告", false, false},
    {"dir.\\", true, false},
    {"dir.\\inside.txt", false, false},
    {"dir\\", false, false},
    {"dir\\inside.txt", false, false},
    {"con", true, false},
    {"console", false, false},
    {"aux.txt", true, false},
    {"trail \\", true, false},
    {"trail \\x.txt", false, false},
    {"trail\\", false, false},
    {"held.", true, true},
    {"locked.\\", true, false},
    {"locked.\\in use.txt", false, true},
    {"sub\\", false, false},
    {"sub\\nul.log", true, false},
    {"sub\\null.log", false, false},
};

std::string Bare(const std::string& path) {
    return !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
}
bool IsFolder(const std::string& path) { return !path.empty() && path.back() == '\\'; }
// Whether `path` is `entry` or lies inside it (both bare, below the tree).
bool Within(const std::string& path, const std::string& entry) {
    return path == entry || path.compare(0, entry.size() + 1, entry + "\\") == 0;
}
// A listed entry that cannot go while the test holds something in it.
bool HoldsHeld(const std::string& listed) {
    for (const TreeEntry& entry : kTree)
        if (entry.held && Within(Bare(entry.path), listed)) return true;
    return false;
}

// Keeps a file open for reading and writing but not for deletion, as another
// program may: the file cannot be deleted until it is let go.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : m_handle(CreateFileA(Extended(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held()) CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return ok;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(file) && ok;
}

// The names in a folder, for failure messages.
std::string NamesIn(const std::string& folder) {
    std::string names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(Extended(folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return "(cannot list " + folder + ")";
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") names += (names.empty() ? "\"" : ", \"") + name + "\"";
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names.empty() ? "(nothing)" : names;
}

// Shows bytes so that a mismatch can be read: printable ASCII as it is,
// everything else as \xNN.
std::string Visible(const std::string& bytes) {
    std::string out;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

class ListE2E : public OrvelleE2E {
protected:
    void MakeTree() {
        ASSERT_TRUE(m_box.MakeFolder("tree"));
        for (const TreeEntry& entry : kTree) {
            const std::string path = std::string("tree\\") + entry.path;
            if (IsFolder(path)) {
                ASSERT_TRUE(m_box.MakeFolder(Bare(path))) << path;
            } else {
                ASSERT_TRUE(m_box.MakeFile(path)) << path;
            }
        }
    }

    std::string RowPath(const std::string& entry) const { return m_box.Path("tree\\" + Bare(entry)); }

    // The rows the search lists, sorted: path, [name], type, attribute, result.
    Rows ExpectedRows() const {
        Rows rows;
        for (const TreeEntry& entry : kTree) {
            if (!entry.listed) continue;
            const std::string relative = Bare(entry.path);
            const std::string name = relative.substr(relative.find_last_of('\\') + 1);
            rows.push_back(
                {RowPath(relative), "[" + name + "]", IsFolder(entry.path) ? "文件夹" : "文件", "-", kPending});
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // Starts the program on the tree, searches, and returns its window with
    // the rows as the list holds them, in the list's order.
    HWND StartAndSearch(Process*& program, Rows& rows) {
        program = &Launch("-p:" + m_box.Path("tree"));
        HWND window = WaitForMainWindow(*program);
        if (!window) {
            ADD_FAILURE() << "no main window";
            return nullptr;
        }
        RunSearch(*program, window);
        EXPECT_TRUE(e2e::ReadListRows(GetDlgItem(window, kListResult), 5, rows));
        Rows sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, ExpectedRows());
        return HasFailure() ? nullptr : window;
    }

    // The message box of `pid` that is not `previous`, once `previous` is gone.
    static HWND WaitForNextBox(DWORD pid, HWND previous) {
        HWND box = nullptr;
        e2e::WaitUntil(
            [&] {
                box = nullptr;
                if (previous && IsWindow(previous) && IsWindowVisible(previous)) return false;
                for (HWND candidate : e2e::MessageBoxesOf({pid}))
                    if (candidate != previous) box = candidate;
                return box != nullptr;
            },
            kWindowTimeoutMs);
        return box;
    }
};

// ---- deleting the checked rows with the delete button ------------------------

struct DeleteCase {
    const char* name;
    bool selectAll;                    // "全选" first; the rows not named below are then unchecked
    std::vector<std::string> checked;  // the rows checked when "删除" is pressed
    int answer;                        // to the question
    bool again;                        // the held files are let go and "删除" is pressed once more
};

const DeleteCase kDeleteCases[] = {
    // The held file and the folder with a held file in it fail and stay,
    // still checked; let go, they are deleted by the next press. The
    // unchecked rows (con, aux.txt, "trail ") are never touched.
    {"CheckedRowsGoHeldOnesFailAndStay",
     false,
     {"report.", "报告.", "dir.\\", "held.", "locked.\\", "sub\\nul.log"},
     IDYES,
     true},
    {"AnsweringNoChangesNothing", false, {"report.", "报告.", "dir.\\", "held.", "sub\\nul.log"}, IDNO, false},
    {"NothingCheckedStillAsksAndCountsNothing", false, {}, IDYES, false},
    {"SelectAllThenUncheckOneDeletesTheRest",
     true,
     {"report.", "报告.", "dir.\\", "con", "aux.txt", "trail \\", "held.", "locked.\\"},
     IDYES,
     false},
};

class DeleteButton : public ListE2E, public ::testing::WithParamInterface<DeleteCase> {
protected:
    // Presses "删除", checks the question and gives `answer`; after "是"
    // checks the summary's text and icon and closes it. Returns once the
    // command has ended.
    void PressDelete(const Process& program, HWND window, int answer, const std::string& summaryText,
                     const char* questionPicture) {
        ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
        HWND question = e2e::WaitForMessageBox({program.Id()}, nullptr, kWindowTimeoutMs);
        ASSERT_NE(question, nullptr) << "no question before deleting";
        EXPECT_EQ(e2e::TextOf(question), kBoxCaption);
        EXPECT_EQ(e2e::MessageBoxText(question), kDeleteQuestion);
        EXPECT_NE(GetDlgItem(question, IDYES), nullptr);
        EXPECT_NE(GetDlgItem(question, IDNO), nullptr);
        EXPECT_EQ(GetDlgItem(question, IDOK), nullptr);
        EXPECT_EQ(GetWindow(question, GW_OWNER), window) << "the question belongs to the main window";
        const BoxIcon questionIcon = e2e::MessageBoxIcon(question);
        EXPECT_EQ(questionIcon, BoxIcon::Question) << e2e::BoxIconName(questionIcon);
        if (questionPicture) ShootSettled(question, questionPicture);
        for (const TreeEntry& entry : kTree)
            EXPECT_EQ(m_box.Exists(std::string("tree\\") + entry.path), m_present.count(Bare(entry.path)) > 0)
                << "changed before the answer: " << entry.path;

        ASSERT_TRUE(e2e::AnswerMessageBox(question, answer));
        if (answer == IDYES) {
            HWND summary = WaitForNextBox(program.Id(), question);
            ASSERT_NE(summary, nullptr) << "no summary after the deletion";
            EXPECT_EQ(e2e::TextOf(summary), kBoxCaption);
            EXPECT_EQ(e2e::MessageBoxText(summary), summaryText);
            EXPECT_NE(GetDlgItem(summary, IDOK), nullptr);
            const BoxIcon summaryIcon = e2e::MessageBoxIcon(summary);
            EXPECT_EQ(summaryIcon, BoxIcon::Asterisk) << e2e::BoxIconName(summaryIcon);
            ASSERT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
            EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
        } else {
            EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(question); }, kWindowTimeoutMs));
        }
        // Once the command has ended, nothing else may be shown.
        ASSERT_TRUE(e2e::Settle(window));
        EXPECT_TRUE(e2e::MessageBoxesOf({program.Id()}).empty()) << "a message after the command ended";
    }

    // Expects the list to hold `rows` with the check marks `checks`, and on
    // disk exactly the entries of m_present.
    void ExpectListAndDisk(HWND list, const Rows& rows, const std::vector<bool>& checks) const {
        Rows now;
        ASSERT_TRUE(e2e::ReadListRows(list, 5, now));
        EXPECT_EQ(now, rows);
        for (size_t row = 0; row < now.size() && row < checks.size(); ++row)
            EXPECT_EQ(e2e::ListCheckState(list, static_cast<int>(row)), checks[row] ? 2 : 1) << now[row][0];
        for (const TreeEntry& entry : kTree) {
            const bool present = m_present.count(Bare(entry.path)) > 0;
            EXPECT_EQ(m_box.Exists(std::string("tree\\") + entry.path), present)
                << entry.path << (present ? " went" : " stayed");
        }
    }

    // Takes `entry` and everything inside it off m_present.
    void Gone(const std::string& entry) {
        for (auto it = m_present.begin(); it != m_present.end();)
            it = Within(*it, entry) ? m_present.erase(it) : std::next(it);
    }

    // The entries (bare, below the tree) that must be on disk.
    std::set<std::string> m_present;
};

// A name the ANSI code page lacks (Ŵx.) and an entry deeper than 300
// characters are listed without a path, and "全选" then "删除" removes each as
// itself: the look-alike's namesakes and the rest of the deep folder stay.
TEST_F(DeleteButton, NamesOutsideTheCodePageAndDeepEntriesAreDeletedAsThemselves) {
    ASSERT_TRUE(m_box.MakeFolder("tree"));
    for (const wchar_t* name : {L"tree\\\x0174x.", L"tree\\\x0175x", L"tree\\x"}) ASSERT_TRUE(m_box.MakeFileW(name));
    std::wstring deep = L"tree";
    while (m_box.PathW(deep).size() < 320) {
        deep += L"\\a folder of some length";
        ASSERT_TRUE(m_box.MakeFolderW(deep));
    }
    ASSERT_TRUE(m_box.MakeFileW(deep + L"\\nul"));
    ASSERT_TRUE(m_box.MakeFileW(deep + L"\\keep"));

    Process& program = Launch("-p:" + m_box.Path("tree"));
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    RunSearch(program, window);
    HWND list = GetDlgItem(window, kListResult);
    Rows rows;
    ASSERT_TRUE(e2e::ReadListRows(list, 5, rows));
    ASSERT_EQ(rows.size(), 2u);
    std::set<std::string> names;
    for (const auto& row : rows) names.insert(row[1]);
    EXPECT_EQ(names.count("[nul]"), 1u);
    // Through the list's wide messages both rows read whole.
    std::set<std::wstring> paths;
    for (int row = 0; row < 2; ++row) {
        std::wstring path;
        EXPECT_TRUE(e2e::ReadListTextW(list, row, 0, path));
        paths.insert(path);
    }
    EXPECT_EQ(paths, (std::set<std::wstring>{m_box.PathW(L"tree\\\x0174x."), m_box.PathW(deep + L"\\nul")}));

    ASSERT_TRUE(e2e::Click(window, kButtonSelectAll));
    PressDelete(program, window, IDYES, DeleteSummary(2, 0), nullptr);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(m_box.ExistsW(L"tree\\\x0174x."));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\\x0175x"));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\x"));
    EXPECT_FALSE(m_box.ExistsW(deep + L"\\nul"));
    EXPECT_TRUE(m_box.ExistsW(deep + L"\\keep"));
    Rows after;
    ASSERT_TRUE(e2e::ReadListRows(list, 5, after));
    EXPECT_TRUE(after.empty());
}

TEST_P(DeleteButton, DeletesExactlyTheCheckedEntries) {
    const DeleteCase& c = GetParam();
    MakeTree();
    ASSERT_FALSE(HasFatalFailure());
    for (const TreeEntry& entry : kTree) m_present.insert(Bare(entry.path));
    std::vector<std::unique_ptr<HeldFile>> held;
    for (const TreeEntry& entry : kTree) {
        if (!entry.held) continue;
        held.push_back(std::make_unique<HeldFile>(m_box.Path(std::string("tree\\") + entry.path)));
        ASSERT_TRUE(held.back()->Held()) << entry.path;
    }

    Process* program = nullptr;
    Rows before;
    HWND window = StartAndSearch(program, before);
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, kListResult);

    std::set<std::string> checkedPaths;
    for (const std::string& entry : c.checked) checkedPaths.insert(RowPath(entry));
    ASSERT_EQ(checkedPaths.size(), c.checked.size());
    for (size_t row = 0; row < before.size(); ++row)
        EXPECT_EQ(e2e::ListCheckState(list, static_cast<int>(row)), 1)
            << "a fresh row is unchecked: " << before[row][0];
    if (c.selectAll) {
        ASSERT_TRUE(e2e::Click(window, kButtonSelectAll));
        for (size_t row = 0; row < before.size(); ++row)
            EXPECT_EQ(e2e::ListCheckState(list, static_cast<int>(row)), 2)
                << "\"全选\" left unchecked: " << before[row][0];
    }
    std::vector<bool> checks(before.size());
    for (size_t row = 0; row < before.size(); ++row) {
        checks[row] = checkedPaths.count(before[row][0]) > 0;
        const bool checkedNow = e2e::ListCheckState(list, static_cast<int>(row)) == 2;
        if (checkedNow != checks[row]) {
            ASSERT_TRUE(e2e::SetListCheck(list, static_cast<int>(row), checks[row])) << before[row][0];
        }
        ASSERT_EQ(e2e::ListCheckState(list, static_cast<int>(row)), checks[row] ? 2 : 1) << before[row][0];
    }

    // What the answer must leave behind, worked out from the rows as listed:
    // deleted rows leave the list, failed ones stay (checked) with "失败".
    Rows rows;
    std::vector<bool> rowChecks;
    std::vector<std::string> deletedEntries, failedEntries;
    for (size_t row = 0; row < before.size(); ++row) {
        const std::string entry = before[row][0].substr(m_box.Path("tree\\").size());
        if (!checks[row] || c.answer != IDYES) {
            rows.push_back(before[row]);
            rowChecks.push_back(checks[row]);
        } else if (HoldsHeld(entry)) {
            failedEntries.push_back(entry);
            rows.push_back(before[row]);
            rows.back()[4] = kFailed;
            rowChecks.push_back(true);
        } else {
            deletedEntries.push_back(entry);
        }
    }
    const int deleted = static_cast<int>(deletedEntries.size());
    const int failed = static_cast<int>(failedEntries.size());
    const bool first = std::string(c.name) == kDeleteCases[0].name;

    PressDelete(*program, window, c.answer, DeleteSummary(deleted, failed), first ? "e2e_delete_question" : nullptr);
    ASSERT_FALSE(HasFatalFailure());
    for (const std::string& entry : deletedEntries) Gone(entry);
    ExpectListAndDisk(list, rows, rowChecks);
    if (failed > 0) ShootSettled(window, std::string("e2e_delete_") + c.name);

    if (c.again) {
        ASSERT_GT(failed, 0) << "nothing failed to try again";
        // Let go, the failed rows (still checked) go with the next press.
        for (auto& file : held) file->Release();
        Rows rest;
        std::vector<bool> restChecks;
        for (size_t row = 0; row < rows.size(); ++row) {
            if (rows[row][4] == kFailed) continue;
            rest.push_back(rows[row]);
            restChecks.push_back(rowChecks[row]);
        }
        PressDelete(*program, window, IDYES, DeleteSummary(failed, 0), nullptr);
        ASSERT_FALSE(HasFatalFailure());
        for (const std::string& entry : failedEntries) Gone(entry);
        ExpectListAndDisk(list, rest, restChecks);
    }
    EXPECT_TRUE(CloseMainWindow(*program, window));
}

INSTANTIATE_TEST_SUITE_P(Checked, DeleteButton, ::testing::ValuesIn(kDeleteCases),
                         [](const ::testing::TestParamInfo<DeleteCase>& info) { return info.param.name; });

// ---- exporting the listed paths through the file dialog ---------------------

// The system file dialog the export opens: its file-name field, the Edit
// inside the file-name combo box where there is one.
HWND FileNameField(HWND dialog) {
    HWND combo = GetDlgItem(dialog, kFileNameCombo);
    if (combo && e2e::ClassOf(combo) == "Edit") return combo;
    if (combo) {
        std::vector<HWND> pending = e2e::ChildWindows(combo);
        while (!pending.empty()) {
            HWND child = pending.back();
            pending.pop_back();
            if (e2e::ClassOf(child) == "Edit") return child;
            for (HWND inner : e2e::ChildWindows(child)) pending.push_back(inner);
        }
    }
    HWND edit = GetDlgItem(dialog, kFileNameEdit);
    return edit && e2e::ClassOf(edit) == "Edit" ? edit : nullptr;
}

struct ExportCase {
    const char* name;
    const char* typed;    // into the file-name field, below the sandbox's "out" folder
    const char* written;  // the file that gets the report; null: nothing may be written
    const char* before;   // that file's content before the export; null: it does not exist
    bool clearFirst;      // "清空结果(&Y)", confirmed, before the export
    bool cancel;          // the dialog is cancelled instead
    bool asked = false;   // the save dialog asks before it replaces the file (answered yes)
};

const std::string kOlderReport =
    "an older report, longer than the new one will be, so that a tail of it would show\r\n"
    "an older report, longer than the new one will be, so that a tail of it would show\r\n"
    "an older report, longer than the new one will be, so that a tail of it would show\r\n"
    "an older report, longer than the new one will be, so that a tail of it would show\r\n"
    "an older report, longer than the new one will be, so that a tail of it would show\r\n"
    "an older report, longer than the new one will be, so that a tail of it would show\r\n";

const ExportCase kExportCases[] = {
    {"ChineseFileName", "导出报告.txt", "导出报告.txt", nullptr, false, false},
    {"OtherExtensionIsKept", "list.log", "list.log", nullptr, false, false},
    // The save-file form: an existing file is replaced after a question.
    {"ExistingFileReplacedAfterAQuestion", "old.txt", "old.txt", kOlderReport.c_str(), false, false, true},
    // The default extension: a bare name gets ".txt".
    {"BareNameGetsTheDefaultExtension", "old", "old.txt", kOlderReport.c_str(), false, false, true},
    {"ClearedListWritesAnEmptyFile", "empty.txt", "empty.txt", "stale content", true, false, true},
    {"CancelWritesNothing", "never.txt", nullptr, nullptr, false, true},
};

class ExportButton : public ListE2E, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportButton, WritesTheListedPathsToTheChosenFile) {
    const ExportCase& c = GetParam();
    MakeTree();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(m_box.MakeFolder("out"));
    const std::string target = c.written ? m_box.Path(std::string("out\\") + c.written) : std::string();
    if (c.before) {
        ASSERT_TRUE(WriteFileBytes(target, c.before));
    }

    Process* program = nullptr;
    Rows rows;
    HWND window = StartAndSearch(program, rows);
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, kListResult);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(window, kButtonExport)));

    if (c.clearFirst) {
        ASSERT_TRUE(e2e::PostCommand(window, kCommandClear));
        HWND ask = e2e::WaitForMessageBox({program->Id()}, nullptr, kWindowTimeoutMs);
        ASSERT_NE(ask, nullptr);
        EXPECT_EQ(e2e::MessageBoxText(ask), kClearQuestion);
        EXPECT_EQ(e2e::TextOf(ask), DecodeStoredText(StoredText::ClearResultsCaption));
        ASSERT_TRUE(e2e::AnswerMessageBox(ask, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(ask); }, kWindowTimeoutMs));
        ASSERT_TRUE(e2e::Settle(window));
        ASSERT_EQ(e2e::ListItemCount(list), 0);
        rows.clear();
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kButtonExport))) << "clearing changed the export button";
    }

    ASSERT_TRUE(e2e::ClickLater(window, kButtonExport));
    HWND dialog = e2e::WaitForOtherTopLevel(program->Id(), window, "#32770", kWindowTimeoutMs);
    ASSERT_NE(dialog, nullptr) << "no file dialog";
    ASSERT_FALSE(e2e::IsMessageBox(dialog)) << e2e::MessageBoxText(dialog);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window) << "the dialog belongs to the main window";
    HWND field = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (field = FileNameField(dialog)) != nullptr; }, kWindowTimeoutMs))
        << "no file-name field in the dialog";
    EXPECT_EQ(e2e::TextOf(field), "") << "no initial file name";
    // A place to write to is asked for in the save-file form.
    const std::string button = e2e::TextOf(GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(button.find("保存") != std::string::npos || button.find("Save") != std::string::npos) << button;
    std::vector<std::string> types;
    int chosenType = -1;
    ASSERT_TRUE(e2e::ReadComboItems(GetDlgItem(dialog, kFileTypeCombo), types, chosenType));
    EXPECT_EQ(types, (std::vector<std::string>{"(*.txt)", "(所有文件)"}));
    EXPECT_EQ(chosenType, 0);
    HWND readOnly = GetDlgItem(dialog, kReadOnlyCheck);
    EXPECT_TRUE(!readOnly || !IsWindowVisible(readOnly)) << "the read-only box is shown";
    if (std::string(c.name) == kExportCases[0].name) ShootSettled(dialog, "e2e_export_dialog");

    const std::string typed = m_box.Path(std::string("out\\") + c.typed);
    LRESULT set = 0;
    ASSERT_TRUE(SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()), SMTO_NORMAL, 5000,
                                    reinterpret_cast<PDWORD_PTR>(&set)) &&
                set);
    ASSERT_EQ(e2e::TextOf(field), typed);
    ASSERT_TRUE(e2e::ClickLater(dialog, c.cancel ? IDCANCEL : IDOK));

    // The dialog asks before it replaces a file, and only then.
    HWND box = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            const std::vector<HWND> boxes = e2e::MessageBoxesOf({program->Id()});
            box = boxes.empty() ? nullptr : boxes.front();
            return !IsWindow(dialog) || box;
        },
        kWindowTimeoutMs));
    if (c.asked) {
        ASSERT_NE(box, nullptr) << "an existing file replaced without a question";
        ASSERT_TRUE(e2e::AnswerMessageBox(box, IDYES));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, kWindowTimeoutMs));
    } else {
        ASSERT_EQ(box, nullptr) << "asked: " << e2e::MessageBoxText(box);
    }
    ASSERT_TRUE(e2e::Settle(window));
    EXPECT_TRUE(e2e::MessageBoxesOf({program->Id()}).empty()) << "the export reported something";

    if (c.written) {
        std::string expected;
        for (const std::vector<std::string>& row : rows) expected += (expected.empty() ? "" : "\r\n") + row[0];
        if (!c.clearFirst) {
            EXPECT_NE(expected.find(kReportGbk), std::string::npos) << "the tree's Chinese name is not listed in GBK";
        }
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(target, bytes))
            << "nothing written to " << target << "; the folder holds " << NamesIn(m_box.Path("out"));
        EXPECT_EQ(bytes, expected) << "file:     " << Visible(bytes) << "\nexpected: " << Visible(expected);
    } else {
        EXPECT_EQ(NamesIn(m_box.Path("out")), "(nothing)");
    }

    // The export leaves the list and the button as they were.
    Rows after;
    ASSERT_TRUE(e2e::ReadListRows(list, 5, after));
    EXPECT_EQ(after, rows);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kButtonExport)));
    EXPECT_TRUE(CloseMainWindow(*program, window));
}

INSTANTIATE_TEST_SUITE_P(Report, ExportButton, ::testing::ValuesIn(kExportCases),
                         [](const ::testing::TestParamInfo<ExportCase>& info) { return info.param.name; });

// ---- the Explorer verbs, switched from the list's menu ------------------------

// A key's default value and type, its value names and its subkeys' names,
// under HKEY_CLASSES_ROOT.
struct KeyContent {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string value;
    std::vector<std::string> valueNames;
    std::vector<std::string> subkeys;
};

KeyContent ReadKeyContent(const std::string& path) {
    KeyContent content;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return content;
    content.exists = true;
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key, nullptr, nullptr, &content.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
        content.value.assign(data, strnlen(data, size));
    for (DWORD i = 0;; ++i) {
        char name[512] = {};
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        content.valueNames.push_back(name);
    }
    for (DWORD i = 0;; ++i) {
        char name[512] = {};
        if (RegEnumKeyA(key, i, name, sizeof name) != ERROR_SUCCESS) break;
        content.subkeys.push_back(name);
    }
    RegCloseKey(key);
    std::sort(content.subkeys.begin(), content.subkeys.end());
    return content;
}

std::set<std::string> SubkeysOf(const std::string& path) {
    const std::vector<std::string> names = ReadKeyContent(path).subkeys;
    return std::set<std::string>(names.begin(), names.end());
}

// The three verb keys and their "command" subkeys as one identifier names them.
struct VerbKeys {
    std::string search, folderDelete, fileDelete;
    explicit VerbKeys(const std::string& id)
        : search("Folder\\shell\\" + id),
          folderDelete("Folder\\shell\\" + id + "_del"),
          fileDelete("*\\shell\\Z" + id + "_del") {}
    std::vector<std::string> All() const {
        return {search,     search + "\\command",    folderDelete, folderDelete + "\\command",
                fileDelete, fileDelete + "\\command"};
    }
};

// Expects the six keys exactly as the program writes them for `exe`, and
// nothing else in them.
void ExpectVerbsPresent(const VerbKeys& keys, const std::string& exe) {
    struct Expected {
        std::string path, value, subkey;
    };
    const Expected expected[] = {
        {keys.search, "使用[Voskar]搜索Orvelle(&F)", "command"},
        {keys.search + "\\command", "\"" + exe + "\" \"-p:%L\"", ""},
        {keys.folderDelete, "使用[Voskar]删除(&K)", "command"},
        {keys.folderDelete + "\\command", "\"" + exe + "\" \"-d:%L\"", ""},
        {keys.fileDelete, "使用[Voskar]删除(&K)", "command"},
        {keys.fileDelete + "\\command", "\"" + exe + "\" \"-d:%L\"", ""},
    };
    for (const Expected& e : expected) {
        const KeyContent content = ReadKeyContent(e.path);
        ASSERT_TRUE(content.exists) << "missing: " << e.path;
        EXPECT_EQ(content.type, static_cast<DWORD>(REG_SZ)) << e.path;
        EXPECT_EQ(content.value, e.value) << e.path;
        EXPECT_EQ(content.valueNames, std::vector<std::string>{""}) << e.path << ": only the default value";
        EXPECT_EQ(content.subkeys, e.subkey.empty() ? std::vector<std::string>{} : std::vector<std::string>{e.subkey})
            << e.path;
    }
}

void ExpectVerbsAbsent(const VerbKeys& keys) {
    for (const std::string& path : keys.All()) EXPECT_FALSE(ReadKeyContent(path).exists) << "left behind: " << path;
}

struct VerbCase {
    const char* name;
    // Keys (below HKEY_CLASSES_ROOT, "<id>" for the identifier) with their
    // default values, there before the program starts.
    std::vector<std::pair<std::string, std::string>> before;
    bool firstAdds;  // whether the first command adds (else it removes)
};

const VerbCase kVerbCases[] = {
    {"NothingThereAddsAllSixThenRemovesThem", {}, true},
    // Without the search verb the integration counts as absent: all six are
    // written again, over the stale values.
    {"StaleDeleteVerbsWithoutSearchVerbAreRewritten",
     {{"Folder\\shell\\<id>_del", "old text"},
      {"Folder\\shell\\<id>_del\\command", "C:\\old\\Orvelle.exe \"-d:%L\""},
      {"*\\shell\\Z<id>_del\\command", "C:\\old\\Orvelle.exe \"-d:%L\""}},
     true},
    // The search verb alone counts as present: the command removes whatever
    // exists, then adds all six again.
    {"SearchVerbAloneCountsAsPresent", {{"Folder\\shell\\<id>", "old text"}}, false},
};

std::string WithId(std::string text, const std::string& id) {
    const std::string marker = "<id>";
    for (size_t at; (at = text.find(marker)) != std::string::npos;) text.replace(at, marker.size(), id);
    return text;
}

class ExplorerVerbs : public ListE2E, public ::testing::WithParamInterface<VerbCase> {
protected:
    // Right-clicks the empty part of the list and waits for its menu.
    static HWND OpenListMenu(const Process& program, HWND window) {
        HWND list = GetDlgItem(window, kListResult);
        RECT client = {};
        GetClientRect(list, &client);
        // Below the rows; the menu opens wherever the pointer is.
        const POINT at = {client.right / 2, client.bottom - 10};
        HWND menu = nullptr;
        // On a loaded machine the list now and then takes a click without
        // opening its menu. Once a marker posted after the click has gone
        // through, the menu exists if that click opened one (its loop
        // dispatches the marker); if it does not, the click is made again.
        for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
            PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
            PostMessageA(list, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            e2e::FlushPosted(GetDlgItem(window, kEditPath), kWindowTimeoutMs);
            e2e::WaitUntil([&] { return (menu = e2e::FindPopupMenuWindow(program.Id())) != nullptr; },
                           attempt == 2 ? kWindowTimeoutMs : 2000);
        }
        return menu;
    }

    // The label of the switch in the list's menu, read from outside; empty
    // when this system keeps another process's menus out of reach.
    static std::string SwitchLabel(HWND menu) {
        std::vector<std::pair<UINT, std::string>> items;
        if (!e2e::ReadPopupMenuItems(menu, items)) return std::string();
        for (const auto& item : items)
            if (item.first == static_cast<UINT>(kCommandExplorerVerbs)) return item.second;
        return "(no item " + std::to_string(kCommandExplorerVerbs) + ")";
    }

    // Chooses the switch by its mnemonic, as the keyboard does.
    static void ChooseSwitch(HWND menu) { PostMessageA(menu, WM_CHAR, 't', 0); }

    // Runs the switch, checks its message and answers it.
    static void ExpectSwitchMessage(const Process& program, const char* text) {
        HWND box = e2e::WaitForMessageBox({program.Id()}, nullptr, kWindowTimeoutMs);
        ASSERT_NE(box, nullptr) << "no message after the switch";
        EXPECT_EQ(e2e::TextOf(box), kBoxCaption);
        EXPECT_EQ(e2e::MessageBoxText(box), text);
        EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
        const BoxIcon icon = e2e::MessageBoxIcon(box);
        EXPECT_EQ(icon, BoxIcon::Asterisk) << e2e::BoxIconName(icon);
        ASSERT_TRUE(e2e::AnswerMessageBox(box, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(box); }, kWindowTimeoutMs));
    }
};

TEST_P(ExplorerVerbs, SwitchAddsAndRemovesTheVerbKeys) {
    const VerbCase& c = GetParam();
    const std::string id = DecodeStoredText(StoredText::ProgramId);
    ASSERT_FALSE(id.empty());
    const VerbKeys keys(id);
    VerbRegistryGuard guard(id);  // clears the verbs now, puts back the prior ones at the end
    ExpectVerbsAbsent(keys);
    for (const auto& key : c.before) WriteClassesKey(WithId(key.first, id), key.second);
    const std::set<std::string> folderVerbsBefore = SubkeysOf("Folder\\shell");
    const std::set<std::string> fileVerbsBefore = SubkeysOf("*\\shell");

    // From a folder with a blank in its name, as under "Program Files".
    ASSERT_TRUE(m_box.MakeFolder("my tools"));
    const std::string exe = m_box.Path("my tools\\Orvelle.exe");
    ASSERT_TRUE(CopyFileA(m_box.Program().c_str(), exe.c_str(), TRUE));
    Process& program = LaunchProgram(exe, nullptr);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(e2e::Settle(window));
    EXPECT_EQ(SubkeysOf("Folder\\shell"), folderVerbsBefore) << "the program registered something by itself";
    EXPECT_EQ(SubkeysOf("*\\shell"), fileVerbsBefore) << "the program registered something by itself";

    auto addedState = [&] {
        ExpectVerbsPresent(keys, exe);
        std::set<std::string> folderVerbs = folderVerbsBefore, fileVerbs = fileVerbsBefore;
        folderVerbs.insert({id, id + "_del"});
        fileVerbs.insert("Z" + id + "_del");
        EXPECT_EQ(SubkeysOf("Folder\\shell"), folderVerbs) << "exactly the two folder verbs are added";
        EXPECT_EQ(SubkeysOf("*\\shell"), fileVerbs) << "exactly the file verb is added";
    };
    auto removedState = [&] {
        ExpectVerbsAbsent(keys);
        std::set<std::string> folderVerbs = folderVerbsBefore, fileVerbs = fileVerbsBefore;
        folderVerbs.erase(id);
        folderVerbs.erase(id + "_del");
        fileVerbs.erase("Z" + id + "_del");
        EXPECT_EQ(SubkeysOf("Folder\\shell"), folderVerbs) << "other folder verbs must stay";
        EXPECT_EQ(SubkeysOf("*\\shell"), fileVerbs) << "other file verbs must stay";
    };

    // First through the menu, the way a user gets there.
    HWND menu = OpenListMenu(program, window);
    ASSERT_NE(menu, nullptr) << "no menu after a right click on the list";
    const std::string label = SwitchLabel(menu);
    if (!label.empty()) {
        EXPECT_EQ(label, c.firstAdds ? kLabelAdd : kLabelRemove);
    } else {
        std::printf("note: the menu of another process cannot be read here; its label is not checked\n");
    }
    ChooseSwitch(menu);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kWindowTimeoutMs));
    ExpectSwitchMessage(program, c.firstAdds ? kVerbsAdded : kVerbsRemoved);
    ASSERT_FALSE(HasFatalFailure());
    if (c.firstAdds)
        addedState();
    else
        removedState();

    // Then as the command itself, which must switch back the other way.
    ASSERT_TRUE(e2e::PostCommand(window, kCommandExplorerVerbs));
    ExpectSwitchMessage(program, c.firstAdds ? kVerbsRemoved : kVerbsAdded);
    ASSERT_FALSE(HasFatalFailure());
    if (c.firstAdds)
        removedState();
    else
        addedState();

    // The label follows the registry.
    menu = OpenListMenu(program, window);
    ASSERT_NE(menu, nullptr);
    const std::string labelAfter = SwitchLabel(menu);
    if (!labelAfter.empty()) {
        EXPECT_EQ(labelAfter, c.firstAdds ? kLabelAdd : kLabelRemove);
    }
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kWindowTimeoutMs));
    // A chosen item would arrive as a posted command: let it through first.
    ASSERT_TRUE(e2e::FlushPosted(GetDlgItem(window, kEditPath), kWindowTimeoutMs));
    EXPECT_TRUE(e2e::MessageBoxesOf({program.Id()}).empty()) << "closing the menu ran a command";
    if (c.firstAdds)
        removedState();
    else
        addedState();
    EXPECT_TRUE(CloseMainWindow(program, window));
}

// The command as the shell runs it for a clicked item: "%L" replaced by its path.
std::string ShellCommandFor(const std::string& stored, const std::string& item) {
    std::string line = stored;
    const size_t at = line.find("%L");
    if (at != std::string::npos) line.replace(at, 2, item);
    return line;
}

std::wstring WideOf(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], size);
    return wide.c_str();
}

// The arguments of a command line as Windows splits them (Wine would quote an
// unquoted program path before the new process sees its line).
std::vector<std::wstring> SplitLikeWindows(const std::string& line) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(WideOf(line).c_str(), &argc);
    std::vector<std::wstring> args;
    if (argv) {
        args.assign(argv, argv + argc);
        LocalFree(argv);
    }
    return args;
}

class ExplorerVerbCommands : public ExplorerVerbs {};

TEST_F(ExplorerVerbCommands, VerbsAddedFromTheMenuRunTheProgramInAFolderWithABlank) {
    const std::string id = DecodeStoredText(StoredText::ProgramId);
    ASSERT_FALSE(id.empty());
    const VerbKeys keys(id);
    VerbRegistryGuard guard(id);

    ASSERT_TRUE(m_box.MakeFolder("Program Files"));
    ASSERT_TRUE(m_box.MakeFolder("Program Files\\Orvelle"));
    const std::string exe = m_box.Path("Program Files\\Orvelle\\Orvelle.exe");
    ASSERT_TRUE(CopyFileA(m_box.Program().c_str(), exe.c_str(), TRUE));
    {
        Process& program = LaunchProgram(exe, nullptr);
        HWND window = WaitForMainWindow(program);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(e2e::PostCommand(window, kCommandExplorerVerbs));
        ExpectSwitchMessage(program, kVerbsAdded);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(CloseMainWindow(program, window));
    }
    ExpectVerbsPresent(keys, exe);
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_TRUE(m_box.MakeFolder("my data"));
    ASSERT_TRUE(m_box.MakeFolder("my data\\照片 2026"));
    ASSERT_TRUE(m_box.MakeFile("my data\\report."));
    ASSERT_TRUE(m_box.MakeFile("my data\\report"));
    const std::string folder = m_box.Path("my data\\照片 2026");
    const std::string file = m_box.Path("my data\\report.");
    const std::string searchLine = ShellCommandFor(ReadKeyContent(keys.search + "\\command").value, folder);
    const std::string deleteLine = ShellCommandFor(ReadKeyContent(keys.fileDelete + "\\command").value, file);
    EXPECT_EQ(SplitLikeWindows(searchLine), (std::vector<std::wstring>{WideOf(exe), WideOf("-p:" + folder)}));
    EXPECT_EQ(SplitLikeWindows(deleteLine), (std::vector<std::wstring>{WideOf(exe), WideOf("-d:" + file)}));

    // The search verb: the window opens on the clicked folder.
    m_processes.push_back(std::make_unique<Process>());
    Process& search = *m_processes.back();
    ASSERT_TRUE(search.StartCommandLine(searchLine)) << searchLine;
    HWND window = WaitForMainWindow(search);
    ASSERT_NE(window, nullptr) << "no window from " << searchLine;
    EXPECT_EQ(e2e::ControlText(window, kEditPath), folder);
    EXPECT_TRUE(e2e::MessageBoxesOf({search.Id()}).empty());
    ASSERT_TRUE(CloseMainWindow(search, window));
    ASSERT_TRUE(e2e::WaitUntil([] { return !e2e::NamedBlockExists(HandOverBlock()); }, kWindowTimeoutMs));

    // The file's delete verb: asked once, and the clicked entry goes, not its twin.
    m_processes.push_back(std::make_unique<Process>());
    Process& remove = *m_processes.back();
    ASSERT_TRUE(remove.StartCommandLine(deleteLine)) << deleteLine;
    HWND confirm = e2e::WaitForMessageBox({remove.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(confirm, nullptr) << "no confirmation from " << deleteLine;
    EXPECT_EQ(e2e::MessageBoxText(confirm), "确认删除选中的文件夹？");
    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDYES));
    HWND result = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            result = e2e::WaitForMessageBox({remove.Id()}, kBoxCaption, 0);
            return result && result != confirm;
        },
        kWindowTimeoutMs));
    EXPECT_EQ(e2e::MessageBoxText(result), "删除成功！");
    ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    EXPECT_TRUE(remove.WaitExit(kExitTimeoutMs));
    EXPECT_FALSE(m_box.Exists("my data\\report."));
    EXPECT_TRUE(m_box.Exists("my data\\report"));
}

INSTANTIATE_TEST_SUITE_P(Registry, ExplorerVerbs, ::testing::ValuesIn(kVerbCases),
                         [](const ::testing::TestParamInfo<VerbCase>& info) { return info.param.name; });

// Many rows: "删除" runs beside the window, so a stop pressed right after the
// answer is taken at once. The summary says the deletion was stopped, and the
// rows left are exactly the entries left. Searching, a stop says so too, and
// a folder that is not there is named instead of searched.
class BusyWindow : public OrvelleE2E {
protected:
    static constexpr int kFolders = 10, kPerFolder = 150;
    void MakeMany() {
        ASSERT_TRUE(m_box.MakeFolder("many"));
        for (int f = 0; f < kFolders; ++f) {
            const std::string folder = "many\\d" + std::to_string(f);
            ASSERT_TRUE(m_box.MakeFolder(folder));
            for (int i = 0; i < kPerFolder; ++i) ASSERT_TRUE(m_box.MakeFile(folder + "\\f" + std::to_string(i) + "."));
        }
    }
    int EntriesLeft() const {
        int left = 0;
        for (int f = 0; f < kFolders; ++f)
            for (int i = 0; i < kPerFolder; ++i)
                left += m_box.Exists("many\\d" + std::to_string(f) + "\\f" + std::to_string(i) + ".") ? 1 : 0;
        return left;
    }
};

TEST_F(BusyWindow, ADeletionStopsWhenAskedAndTheRowsLeftAreTheEntriesLeft) {
    MakeMany();
    ASSERT_FALSE(HasFatalFailure());
    // Entries in use take their retries: the first folder's rows, which go
    // last, keep the deletion running long enough to be stopped halfway.
    std::vector<std::unique_ptr<HeldFile>> held;
    for (int i = 0; i < 40; ++i) {
        held.push_back(std::make_unique<HeldFile>(m_box.Path("many\\d0\\f" + std::to_string(i) + ".")));
        ASSERT_TRUE(held.back()->Held());
    }
    Process& program = Launch("-p:" + m_box.Path("many"));
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    RunSearch(program, window);
    HWND list = GetDlgItem(window, kListResult);
    const int total = kFolders * kPerFolder;
    ASSERT_EQ(e2e::ListItemCount(list), total);

    ASSERT_TRUE(e2e::Click(window, kButtonSelectAll));
    ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
    HWND question = e2e::WaitForMessageBox({program.Id()}, nullptr, kWindowTimeoutMs);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(e2e::AnswerMessageBox(question, IDYES));
    // Rows leave while it runs; the same button then stops it. A window busy
    // deleting would answer only after the last row, and would take the
    // press as a new "删除" that asks again.
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ListItemCount(list) < total - kPerFolder; }, 60000));
    EXPECT_EQ(e2e::ControlText(window, kButtonDelete), "停止");
    ASSERT_TRUE(e2e::ClickLater(window, kButtonDelete));
    HWND summary = e2e::WaitForMessageBox({program.Id()}, nullptr, 60000);
    ASSERT_NE(summary, nullptr);
    const std::string text = e2e::MessageBoxText(summary);
    ASSERT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
    ASSERT_TRUE(e2e::Settle(window));
    EXPECT_EQ(e2e::ControlText(window, kButtonDelete), "删除");

    const int left = EntriesLeft();
    Rows rows;
    ASSERT_TRUE(e2e::ReadListRows(list, 5, rows));
    ASSERT_EQ(static_cast<int>(rows.size()), left);
    int failed = 0;
    for (const auto& row : rows) {
        const std::string relative = row[0].substr(m_box.Path("many").size() + 1);
        EXPECT_TRUE(m_box.Exists("many\\" + relative)) << "a row of a deleted entry: " << row[0];
        failed += row[4] == "失败" ? 1 : 0;
    }
    // The list shows rows leaving now and then, not each one: by the time
    // the press is seen many more may be gone. Rows never tried are what
    // tells a stop taken at once from one taken after the last row.
    EXPECT_GT(left - failed, 0) << "the stop came after the last row";
    EXPECT_EQ(text, "删除已停止，删除成功 " + std::to_string(total - left) + " 个，删除失败 " + std::to_string(failed) +
                        " 个。\r\n未删除 " + std::to_string(left - failed) + " 个。");
}

TEST_F(BusyWindow, AStoppedSearchSaysSoAndAMissingFolderIsNamed) {
    MakeMany();
    ASSERT_FALSE(HasFatalFailure());
    Process& program = Launch("-p:" + m_box.Path("many"));
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    // A press of the button right after it started the search stops it. On a
    // busy machine the walk may end before the second press is taken; such a
    // round says "搜索完成" with every entry counted, and is tried again.
    const std::string whole =
        "搜索完成，共搜索了" + std::to_string(kFolders) + "个目录和" + std::to_string(kFolders * kPerFolder) + "个文件";
    std::string text;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(e2e::ClickLater(window, kButtonSearch));
        ASSERT_TRUE(e2e::ClickLater(window, kButtonSearch));
        HWND summary = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, kWindowTimeoutMs);
        ASSERT_NE(summary, nullptr);
        text = e2e::MessageBoxText(summary);
        ASSERT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
        ASSERT_TRUE(
            e2e::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(window, kButtonSearch)); }, kWindowTimeoutMs));
        if (text.rfind(whole, 0) != 0) break;
    }
    EXPECT_EQ(text.rfind("搜索已停止，共搜索了", 0), 0u) << text;

    const std::string missing = m_box.Path("not there");
    ASSERT_TRUE(e2e::SetControlText(window, kEditPath, missing));
    text = RunSearch(program, window);
    EXPECT_EQ(text, "要搜索的目录不存在：\r\n" + missing);
    EXPECT_EQ(e2e::ListItemCount(GetDlgItem(window, kListResult)), 0);
}

}  // namespace
