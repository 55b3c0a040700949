// The search: start and stop, the worker that walks, folder input.
//
// Starting and stopping are decided on the window's thread: a press while a
// walk runs stops it, and button 1007 stays disabled until the stopped walk
// has unwound, so that at most one walk exists and every press is seen.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "App.h"
#include "AppMessages.h"
#include "ExactAnsi.h"
#include "ListRowSink.h"
#include "MainDlg.h"

#include "ExactAnsi.h"
#include "MainTexts.h"
#include "MainTimers.h"
#include "PathForms.h"
#include "RootPath.h"
#include "SearchProgress.h"
#include "UiHost.h"
#include "resource.h"

namespace {

const char kCaptionStart[] = "开始搜索";
const char kCaptionStop[] = "停止";

}  // namespace

// What one search is given when it starts, all taken on the window's thread.
struct CMyDlg::SearchRun {
    CMyDlg* dialog;
    HWND hwnd;
    unsigned search;  // m_nSearch of this run
    std::string root;
    ScanOptions options;
};

void CMyDlg::ToggleSearch() {
    if (m_bClosing || !m_hWnd || IsDeleting()) return;
    if (m_bWalking) {
        // A stopped walk still unwinding takes no press (its button is disabled).
        if (m_scan.stopRequested == 0) StopSearch();
        return;
    }
    UpdateData(true);
    UpdateData(false);

    auto* run = new SearchRun{this, m_hWnd, ++m_nSearch, m_strPath, ScanOptions()};
    run->options.malformedNames = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_MALFORMED));
    run->options.hidden = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_HIDDEN));
    run->options.readOnly = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_READONLY));
    run->options.system = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_SYSTEM));

    // The flag is cleared before the button offers to stop: a stop pressed
    // from then on is never overwritten.
    m_scan.stopRequested = 0;
    m_bWalking = true;
    const BOOL exportWasEnabled = ::IsWindowEnabled(GetDlgItem(IDC_BTN_EXPORT));
    ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), FALSE);
    SetDlgItemTextA(m_hWnd, IDC_BTN_SEARCH, kCaptionStop);
    m_strAdColor = "7";
    KillTimer(m_hWnd, kTimerAnnouncements);
    SetTimer(m_hWnd, kTimerProgress, kProgressMs, nullptr);

    // The list is emptied for the new rows before the walk finds any.
    m_strNotice = run->root;
    m_listResult.DeleteAllItems();
    m_rowEntries.Clear();
    m_scan.ResetCounters();
    m_progress.Set(std::string());

    HANDLE thread = m_workers.Start(&CMyDlg::SearchWorker, run);
    if (!thread) {
        delete run;
        m_scan.stopRequested = 1;
        m_bWalking = false;
        ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), exportWasEnabled);
        SetDlgItemTextA(m_hWnd, IDC_BTN_SEARCH, kCaptionStart);
        SetTimer(m_hWnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
        return;
    }
    m_hThread = thread;
}

void CMyDlg::StopSearch() {
    m_scan.stopRequested = 1;
    SetDlgItemTextA(m_hWnd, IDC_BTN_SEARCH, kCaptionStart);
    // Back when the walk has unwound; a press meanwhile would start nothing.
    // The keys stay with the window: a disabled button cannot keep the focus.
    HWND button = GetDlgItem(IDC_BTN_SEARCH);
    if (::GetFocus() == button) ::SetFocus(GetDlgItem(IDC_EDIT_PATH));
    ::EnableWindow(button, FALSE);
    SetWindowText(m_strTitle.c_str());
    m_strAdColor = "7";
    KillTimer(m_hWnd, kTimerProgress);
    SetTimer(m_hWnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
}

DWORD WINAPI CMyDlg::SearchWorker(void* p) {
    std::unique_ptr<SearchRun> run(static_cast<SearchRun*>(p));
    run->dialog->RunSearchWorker(*run);
    return 0;
}

void CMyDlg::RunSearchWorker(const SearchRun& run) {
    // The time is the walk's own.
    const DWORD start = GetTickCount();
    {
        ListRowSink rows(m_listResult, m_listPaint, m_rowEntries, m_tasks);
        ProgressSink sink(rows, *m_fs, m_scan, m_progress, kProgressMs);
        ScanFolder(*m_fs, run.root, run.options, sink, m_scan);
    }  // every row is handed over before the end
    // Read before anything else: the end of the walk raises the flag too.
    const SearchEnd end = m_scan.stopRequested.load() != 0 ? SearchEnd::Stopped : SearchEnd::Finished;
    const DWORD elapsed = GetTickCount() - start;
    // The walk is over; the rest is the window's, after the last rows.
    m_tasks.Post([this, search = run.search, root = run.root, end, elapsed] { EndSearch(search, root, end, elapsed); });
}

void CMyDlg::EndSearch(unsigned search, const std::string& root, SearchEnd end, DWORD elapsed) {
    if (m_bClosing || search != m_nSearch) return;
    m_scan.stopRequested = 1;
    m_bWalking = false;
    SetDlgItemTextA(m_hWnd, IDC_BTN_SEARCH, kCaptionStart);
    ::EnableWindow(GetDlgItem(IDC_BTN_SEARCH), TRUE);
    if (m_listResult.GetItemCount() > 0) ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), TRUE);
    KillTimer(m_hWnd, kTimerProgress);
    SetTimer(m_hWnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
    ::SetWindowTextA(m_hWnd, m_strTitle.c_str());
    const std::string summary =
        m_scan.rootMissing ? BuildMissingRootText(root)
                           : BuildSearchSummary(m_scan.foldersSearched, m_scan.filesSearched, m_scan.malformedFolders,
                                                m_scan.malformedFiles, m_scan.unsearched, elapsed, end);
    MessageBox(summary.c_str(), nullptr, m_scan.rootMissing ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
}

void CMyDlg::ChooseFolder() {
    char path[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = "请选择您要添加的目录";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    if (!GetUiHost().BrowseForFolder(info, path)) path[0] = '\0';
    if (path[0] == '\0') return;
    m_strPath = path;
    UpdateData(false);
}

void CMyDlg::AcceptDroppedPath(HDROP drop) {
    // Taken in its wide form: the narrow one comes through best fit, and a
    // look-alike ("ｋ" as "k", "¥" as "\\") would name another folder. A path
    // the code page cannot hold exactly, or longer than the field takes, is
    // refused whole; cut, it would name another folder too.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring wide(length, L'\0');
    std::string item;
    if (length > 0 && DragQueryFileW(drop, 0, &wide[0], length + 1) == length && WideToAnsiExactly(wide, item) &&
        !item.empty() && item.size() <= kMaxRootLength) {
        bool isFolder = false;
        ResolveDevicePath(*m_fs, item, isFolder);
        UpdateData(true);
        m_strPath = isFolder ? item : ParentFolderOf(item);
        UpdateData(false);
    }
    DragFinish(drop);
}
