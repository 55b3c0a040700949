// The search commands: start and stop, the summary, folder input.
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
#include "MainDlg.h"
#include "MainTexts.h"
#include "MainTimers.h"
#include "Entry.h"
#include "PathForms.h"
#include "RootPath.h"
#include "UiHost.h"
#include "UiText.h"
#include "resource.h"

namespace {

const char kCaptionStart[] = "开始搜索";
const char kCaptionStop[] = "停止";

}  // namespace

void CMyDlg::ToggleSearch() {
    if (m_bClosing || !m_hWnd || IsDeleting()) return;
    if (m_search.IsWalking()) {
        // A stopped walk still unwinding takes no press (its button is disabled).
        if (!m_search.IsStopping()) StopSearch();
        return;
    }
    UpdateData(true);
    UpdateData(false);

    ScanOptions options;
    options.malformedNames = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_MALFORMED));
    options.hidden = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_HIDDEN));
    options.readOnly = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_READONLY));
    options.system = static_cast<uint8_t>(IsDlgButtonChecked(m_hWnd, IDC_CHECK_SYSTEM));
    if (!m_search.Start(*m_fs, m_strPath, options, [this](const SearchOutcome& o) { OnSearchEnded(o); })) return;

    m_online.ShowPlain(m_strPath);
    ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), FALSE);
    SetDlgItemUiText(m_hWnd, IDC_BTN_SEARCH, kCaptionStop);
    KillTimer(m_hWnd, kTimerAnnouncements);
    SetTimer(m_hWnd, kTimerProgress, kProgressMs, nullptr);
}

void CMyDlg::StopSearch() {
    m_search.Stop();
    SetDlgItemUiText(m_hWnd, IDC_BTN_SEARCH, kCaptionStart);
    // Back when the walk has unwound; a press meanwhile would start nothing.
    // The keys stay with the window: a disabled button cannot keep the focus.
    HWND button = GetDlgItem(IDC_BTN_SEARCH);
    if (::GetFocus() == button) ::SetFocus(GetDlgItem(IDC_EDIT_PATH));
    ::EnableWindow(button, FALSE);
    SetWindowText(m_strTitle.c_str());
    m_online.ShowPlain(m_online.Text());
    KillTimer(m_hWnd, kTimerProgress);
    SetTimer(m_hWnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
}

void CMyDlg::OnSearchEnded(const SearchOutcome& o) {
    if (m_bClosing) return;
    SetDlgItemUiText(m_hWnd, IDC_BTN_SEARCH, kCaptionStart);
    ::EnableWindow(GetDlgItem(IDC_BTN_SEARCH), TRUE);
    if (m_results.Count() > 0) ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), TRUE);
    KillTimer(m_hWnd, kTimerProgress);
    SetTimer(m_hWnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
    SetWindowText(m_strTitle.c_str());
    if (!m_strHandedPath.empty()) {
        SetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, m_strHandedPath.c_str());
        m_strHandedPath.clear();
    }
    if (o.rootMissing) {
        // Names the folder exactly as it was typed, whatever the code page holds.
        AppMessageBoxW(m_hWnd, (UiWide(kMissingRootText) + o.root).c_str(), MB_ICONEXCLAMATION);
        return;
    }
    const std::string summary = BuildSearchSummary(o.foldersSearched, o.filesSearched, o.malformedFolders,
                                                   o.malformedFiles, o.unsearched, o.elapsedMs, o.end);
    MessageBox(summary.c_str(), nullptr, MB_ICONINFORMATION);
}

void CMyDlg::ChooseFolder() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring title = UiWide("请选择您要添加的目录");
    BROWSEINFOW info = {};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    if (!GetUiHost().BrowseForFolderW(info, path)) path[0] = L'\0';
    if (path[0] == L'\0') return;
    m_strPath = path;
    UpdateData(false);
}

void CMyDlg::AcceptDroppedPath(HDROP drop) {
    // Taken in its wide form, exactly: the narrow one comes through best fit,
    // and a look-alike ("ｋ" as "k", "¥" as "\\") would name another folder.
    // A path longer than the field takes is refused whole; cut, it would name
    // another folder too.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring item(length, L'\0');
    if (length > 0 && length <= kMaxRootLength && DragQueryFileW(drop, 0, &item[0], length + 1) == length) {
        // What the dropped path names, as the system finds it.
        const std::u16string wide(item.begin(), item.end());
        EntryPtr entry;
        std::string longPath;
        uint32_t error = 0;
        const bool isFolder =
            ResolveEntry(*m_fs, std::u16string_view(wide), false, entry, longPath, nullptr, error) && entry->isFolder;
        const std::u16string folder = isFolder ? wide : ParentFolderOf(std::u16string_view(wide));
        UpdateData(true);
        m_strPath.assign(folder.begin(), folder.end());
        UpdateData(false);
    }
    DragFinish(drop);
}
