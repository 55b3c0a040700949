// The three delete commands of the result list.
#include "App.h"
#include "ContentDlg.h"
#include "Holders.h"
#include "Reasons.h"
#include "ExactAnsi.h"
#include "Delete.h"
#include "MainDlg.h"
#include "MainTexts.h"
#include "MainTimers.h"
#include "ResultRow.h"
#include "UiText.h"
#include "resource.h"

namespace {

const char kDeleteCaption[] = "删除";
const char kStopCaption[] = "停止";

}  // namespace

// While a walk runs (or unwinds) its rows are still arriving, and while a
// deletion runs its rows are leaving: the list's commands that act on rows
// do nothing then, so two of them never work on the same rows.

void CMyDlg::StartDeletion(const std::vector<int>& rows, bool withSummary) {
    const BOOL exportWasEnabled = ::IsWindowEnabled(GetDlgItem(IDC_BTN_EXPORT));
    const bool started = m_deletion.Start(*m_fs, rows, [this, withSummary, exportWasEnabled](const DeletionTally& t) {
        OnDeletionEnded(t, withSummary, exportWasEnabled);
    });
    if (!started) return;
    // The delete button stops it; nothing else may change the rows meanwhile.
    SetDlgItemUiText(m_hWnd, IDC_BTN_DELETE, kStopCaption);
    ::EnableWindow(GetDlgItem(IDC_BTN_SEARCH), FALSE);
    ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), FALSE);
    SetTimer(m_hWnd, kTimerProgress, kProgressMs, nullptr);
}

void CMyDlg::StopDeletion() {
    if (!IsDeleting() || m_deletion.IsStopping()) return;
    m_deletion.Stop();
    // Back when the entry under way is done; the keys stay with the window.
    HWND button = GetDlgItem(IDC_BTN_DELETE);
    if (::GetFocus() == button) ::SetFocus(GetDlgItem(IDC_LIST_RESULT));
    ::EnableWindow(button, FALSE);
}

void CMyDlg::OnDeletionEnded(const DeletionTally& tally, bool withSummary, BOOL exportWasEnabled) {
    KillTimer(m_hWnd, kTimerProgress);
    SetWindowText(m_strTitle.c_str());
    SetDlgItemUiText(m_hWnd, IDC_BTN_DELETE, kDeleteCaption);
    ::EnableWindow(GetDlgItem(IDC_BTN_DELETE), TRUE);
    ::EnableWindow(GetDlgItem(IDC_BTN_SEARCH), TRUE);
    ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), exportWasEnabled && m_results.Count() > 0);
    if (withSummary && !m_bClosing)
        MessageBox(BuildDeleteSummary(tally.deleted, tally.failed, tally.stopped, tally.left).c_str(), nullptr,
                   MB_ICONINFORMATION);
}

void CMyDlg::DeleteCheckedRows() {
    if (IsBusy() || m_results.Count() == 0) return;
    int answer =
        MessageBox("是否要删除选中的目录或文件？\n\n删除后将不可恢复，确定吗？", nullptr, MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES || IsBusy()) return;
    StartDeletion(m_results.CheckedRows(), true);
}

void CMyDlg::DeleteSelectedRow() {
    if (IsBusy()) return;
    const int row = m_results.Selected();
    if (row >= 0) StartDeletion({row}, false);
}

void CMyDlg::AskAndDeleteSelectedRow() {
    if (IsBusy()) return;
    const int row = m_results.Selected();
    if (row < 0) return;
    // The entry named exactly, whatever the code page holds.
    std::wstring entry = m_results.ExactPath(row);
    if (entry.empty()) entry = m_results.Text(row, 1);
    if (AppMessageBoxW(m_hWnd, BuildDeleteQuestion(entry).c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    DeleteSelectedRow();
}

void CMyDlg::DeleteAllRows() {
    if (IsBusy()) return;
    std::vector<int> rows(static_cast<size_t>(m_results.Count()));
    for (size_t row = 0; row < rows.size(); ++row) rows[row] = static_cast<int>(row);
    StartDeletion(rows, false);
}

void CMyDlg::RenameSelectedRow() {
    if (IsBusy()) return;
    const int row = m_results.Selected();
    if (row < 0) return;
    const EntryPtr entry = m_results.EntryOf(row);
    EntrySession session(*m_fs);
    WideName now;
    const Outcome outcome = entry ? session.Rename(*entry, now) : Outcome{false, fs_error::kFileNotFound};
    if (!outcome.ok) {
        m_results.MarkFailed(row, outcome.error);
        MessageBox("重命名失败。", nullptr, MB_ICONEXCLAMATION);
        return;
    }
    // Renamed, the entry is no longer what the search was for: the row goes.
    m_results.Remove({row});
    AppMessageBoxW(m_hWnd, BuildRenamedText(std::wstring(now.begin(), now.end())).c_str(), MB_ICONINFORMATION);
}

void CMyDlg::ViewSelectedRow() {
    if (IsBusy()) return;
    const int row = m_results.Selected();
    if (row < 0) return;
    const EntryPtr entry = m_results.EntryOf(row);
    if (!entry) return;
    EntrySession session(*m_fs);
    const WideName wide = WidePathOf(*entry);
    const std::wstring path(wide.begin(), wide.end());
    ContentView content;
    if (entry->isFolder) {
        constexpr size_t kNamesShown = 1000;
        std::vector<DirEntry> entries;
        if (!session.List(*entry, entries).ok) {
            MessageBox("无法读取该文件夹。", nullptr, MB_ICONEXCLAMATION);
            return;
        }
        content = FolderContentView(path, entries, kNamesShown);
    } else {
        // One byte more than is shown tells whether the file goes on.
        constexpr uint32_t kFirstBytes = 64 * 1024;
        std::string bytes;
        if (!session.Read(*entry, bytes, kFirstBytes + 1).ok) {
            MessageBox("无法读取该文件。", nullptr, MB_ICONEXCLAMATION);
            return;
        }
        content = FileContentView(path, bytes, kFirstBytes);
    }
    CContentDlg view(this, std::move(content));
    view.DoModal();
}

std::wstring CMyDlg::FailureTipOf(int row) const {
    if (row < 0 || row >= m_results.Count()) return std::wstring();
    const uint32_t error = m_results.ErrorOf(row);
    if (error == 0) return std::wstring();
    std::wstring reason;
    if (const char* text = ReasonTextOf(error)) {
        reason = UiWide(text);
    } else {
        // The system's own words, in the system's language.
        wchar_t* system = nullptr;
        if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr) &&
            system) {
            reason = system;
            LocalFree(system);
            while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
                reason.pop_back();
        }
    }
    std::wstring tip = UiWide("失败：") + reason + L" (" + std::to_wstring(error) + L")";
    if (error == fs_error::kSharingViolation || error == 33) {
        const std::wstring holders = ProgramsHolding(m_results.EntryOf(row));
        if (!holders.empty()) tip += L"\r\n" + holders;
    }
    return tip;
}
