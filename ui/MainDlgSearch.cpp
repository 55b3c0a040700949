// The search: start and stop, the worker that walks, folder input.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "App.h"
#include "AppMessages.h"
#include "ListRowSink.h"
#include "MainDlg.h"
#include "MainTexts.h"
#include "PathForms.h"
#include "UiHost.h"
#include "resource.h"

namespace {

constexpr UINT_PTR kTimerAnnouncements = 0;
constexpr UINT_PTR kTimerProgress = 1;
constexpr UINT kProgressMs = 500;
constexpr UINT kAnnouncementMs = 5000;
const char kCaptionStart[] = "开始搜索";
const char kCaptionStop[] = "停止";

}  // namespace

void CMyDlg::ToggleSearch() {
    UpdateData(true);
    UpdateData(false);
    SetTimer(m_hWnd, kTimerProgress, kProgressMs, nullptr);
    // The worker decides from the button's caption whether it starts or stops.
    HANDLE thread = m_workers.Start(&CMyDlg::SearchWorker, this);
    if (thread) m_hThread = thread;
}

DWORD WINAPI CMyDlg::SearchWorker(void* dialog) {
    static_cast<CMyDlg*>(dialog)->RunSearchWorker();
    return 0;
}

void CMyDlg::RunSearchWorker() {
    HWND hwnd = m_hWnd;
    RunOnWindowThread(hwnd, [&] {
        KillTimer(hwnd, kTimerAnnouncements);
        m_strAdColor = "7";
    });
    char caption[10] = {};
    GetDlgItemTextA(hwnd, IDC_BTN_SEARCH, caption, sizeof caption);
    if (std::strcmp(caption, kCaptionStart) == 0) {
        RunSearch();
    } else {
        m_scan.stopRequested = 1;
        SetDlgItemTextA(hwnd, IDC_BTN_SEARCH, kCaptionStart);
        ::SetWindowTextA(hwnd, m_strTitle.c_str());
    }
    RunOnWindowThread(hwnd, [&] {
        KillTimer(hwnd, kTimerProgress);
        SetTimer(hwnd, kTimerAnnouncements, kAnnouncementMs, nullptr);
    });
}

void CMyDlg::RunSearch() {
    HWND hwnd = m_hWnd;
    DWORD start = GetTickCount();
    ScanOptions options;
    options.malformedNames = static_cast<uint8_t>(SendDlgItemMessageA(hwnd, IDC_CHECK_MALFORMED, BM_GETCHECK, 0, 0));
    options.hidden = static_cast<uint8_t>(SendDlgItemMessageA(hwnd, IDC_CHECK_HIDDEN, BM_GETCHECK, 0, 0));
    options.readOnly = static_cast<uint8_t>(SendDlgItemMessageA(hwnd, IDC_CHECK_READONLY, BM_GETCHECK, 0, 0));
    options.system = static_cast<uint8_t>(SendDlgItemMessageA(hwnd, IDC_CHECK_SYSTEM, BM_GETCHECK, 0, 0));
    char root[MAX_PATH] = {};
    GetDlgItemTextA(hwnd, IDC_EDIT_PATH, root, MAX_PATH);

    // A walk stopped a moment ago may still be unwinding: two walks never
    // share m_scan or the list, so this one waits for it.
    EnterCriticalSection(&m_walkLock);
    m_bWalking = true;
    ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), FALSE);
    SetDlgItemTextA(hwnd, IDC_BTN_SEARCH, kCaptionStop);
    RunOnWindowThread(hwnd, [&] { m_strNotice = root; });
    m_listResult.DeleteAllItems();
    m_scan.ResetCounters();
    m_scan.stopRequested = 0;

    ListRowSink sink(m_listResult, m_listPaint);
    ScanFolder(*m_fs, root, options, sink, m_scan);
    sink.Flush();  // every row is in the list before the summary

    m_scan.stopRequested = 1;
    SetDlgItemTextA(hwnd, IDC_BTN_SEARCH, kCaptionStart);
    if (m_listResult.GetItemCount() > 0) ::EnableWindow(GetDlgItem(IDC_BTN_EXPORT), TRUE);
    std::string summary = BuildSearchSummary(m_scan.foldersSearched, m_scan.filesSearched, m_scan.malformedFolders,
                                             m_scan.malformedFiles, GetTickCount() - start);
    m_bWalking = false;
    LeaveCriticalSection(&m_walkLock);

    if (IsWindow(hwnd)) AppMessageBox(hwnd, summary.c_str(), MB_ICONINFORMATION);
    ::SetWindowTextA(hwnd, m_strTitle.c_str());
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
    char item[MAX_PATH] = {};
    DragQueryFileA(drop, 0, item, MAX_PATH);
    bool isFolder = false;
    ResolveDevicePath(*m_fs, item, isFolder);
    UpdateData(true);
    m_strPath = isFolder ? std::string(item) : ParentFolderOf(item);
    UpdateData(false);
    DragFinish(drop);
}
