// The three delete commands of the result list.
#include "App.h"
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
    if (session.Delete(listed).ok) {
        m_listResult.DeleteItem(row);
        m_rowEntries.Forget(key);
        return true;
    }
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
