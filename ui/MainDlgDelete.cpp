// The three delete commands of the result list.
#include "App.h"
#include "ContentDlg.h"
#include "Holders.h"
#include "Reasons.h"
#include "ExactAnsi.h"
#include "Delete.h"
#include "MainDlg.h"
#include "MainTexts.h"
#include "ResultRow.h"
#include "resource.h"

bool CMyDlg::DeleteRow(int row, DeleteSession& session) {
    // The row's entry as the search met it; column 0 only for a row that has none.
    ResultRow listed;
    const DWORD_PTR key = m_listResult.GetItemData(row);
    listed.entry = m_rowEntries.Find(key);
    if (!listed.entry) listed.path = m_listResult.GetItemText(row, 0);
    const Outcome outcome = session.Delete(listed);
    if (outcome.ok) {
        m_listResult.DeleteItem(row);
        m_rowEntries.Forget(key);
        return true;
    }
    m_rowEntries.SetError(key, outcome.error);
    m_listResult.SetItemText(row, 4, kResultFailed);
    return false;
}

// While a walk runs (or unwinds) its rows are still arriving: the delete
// commands do nothing then, so the two never work on the same rows.

void CMyDlg::DeleteCheckedRows() {
    if (IsWalking() || m_listResult.GetItemCount() == 0) return;
    int answer = MessageBox("是否要删除选中的目录或文件？\n\n删除后将不可恢复，确定吗？", nullptr,
                            MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES || IsWalking()) return;
    int deleted = 0, failed = 0;
    DeleteSession session(*m_fs);
    for (int row = m_listResult.GetItemCount() - 1; row >= 0; --row) {
        if (!m_listResult.GetCheck(row)) continue;
        if (DeleteRow(row, session))
            ++deleted;
        else
            ++failed;
    }
    MessageBox(BuildDeleteSummary(deleted, failed).c_str(), nullptr, MB_ICONINFORMATION);
}

void CMyDlg::DeleteSelectedRow() {
    if (IsWalking() || m_listResult.GetSelectedCount() == 0) return;
    int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    DeleteSession session(*m_fs);
    if (row >= 0) DeleteRow(row, session);
}

void CMyDlg::AskAndDeleteSelectedRow() {
    if (IsWalking() || m_listResult.GetSelectedCount() == 0) return;
    const int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    std::string entry = m_listResult.GetItemText(row, 0);
    if (entry.empty()) entry = m_listResult.GetItemText(row, 1);
    if (MessageBox(BuildDeleteQuestion(entry).c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    DeleteSelectedRow();
}

void CMyDlg::DeleteAllRows() {
    if (IsWalking()) return;
    DeleteSession session(*m_fs);
    for (int row = m_listResult.GetItemCount() - 1; row >= 0; --row) DeleteRow(row, session);
}

namespace {

// What the user sees of a stored name: exact where the code page holds it.
std::string ShownName(const WideName& name) {
    std::string text;
    WideToAnsiExactly(std::wstring(name.begin(), name.end()), text);
    return text;
}

}  // namespace

void CMyDlg::RenameSelectedRow() {
    if (IsWalking() || m_listResult.GetSelectedCount() == 0) return;
    const int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    const DWORD_PTR key = m_listResult.GetItemData(row);
    const EntryPtr entry = m_rowEntries.Find(key);
    EntrySession session(*m_fs);
    WideName now;
    const Outcome outcome = entry ? session.Rename(*entry, now) : Outcome{false, fs_error::kFileNotFound};
    if (!outcome.ok) {
        m_listResult.SetItemText(row, 4, kResultFailed);
        m_rowEntries.SetError(key, outcome.error);
        MessageBox("重命名失败。", nullptr, MB_ICONEXCLAMATION);
        return;
    }
    // Renamed, the entry is no longer what the search was for: the row goes.
    m_listResult.DeleteItem(row);
    m_rowEntries.Forget(key);
    MessageBox(("已重命名为：" + ShownName(now)).c_str(), nullptr, MB_ICONINFORMATION);
}

void CMyDlg::ViewSelectedRow() {
    if (IsWalking() || m_listResult.GetSelectedCount() == 0) return;
    const int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    const EntryPtr entry = m_rowEntries.Find(m_listResult.GetItemData(row));
    if (!entry || entry->isFolder) return;
    EntrySession session(*m_fs);
    std::string bytes;
    constexpr uint32_t kFirstBytes = 64 * 1024;
    if (!session.Read(*entry, bytes, kFirstBytes).ok) {
        MessageBox("无法读取该文件。", nullptr, MB_ICONEXCLAMATION);
        return;
    }
    CContentDlg view(this, ContentText(bytes));
    view.DoModal();
}

std::string CMyDlg::FailureTipOf(int row) const {
    const uint32_t error = m_rowEntries.ErrorOf(m_listResult.GetItemData(row));
    if (error == 0) return std::string();
    std::string reason;
    if (const char* text = ReasonTextOf(error)) {
        reason = text;
    } else {
        char* system = nullptr;
        if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<char*>(&system), 0, nullptr) &&
            system) {
            reason = system;
            LocalFree(system);
            while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
                reason.pop_back();
        }
    }
    std::string tip = "失败：" + reason + " (" + std::to_string(error) + ")";
    if (error == fs_error::kSharingViolation || error == 33) {
        const std::string holders = ProgramsHolding(m_rowEntries.Find(m_listResult.GetItemData(row)));
        if (!holders.empty()) tip += "\r\n" + holders;
    }
    return tip;
}
