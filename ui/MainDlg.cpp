#include "MainDlg.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>

#include "App.h"
#include "AppMessages.h"
#include "Delete.h"
#include "HandOverMessages.h"
#include "Layout.h"
#include "MainTexts.h"
#include "MainTimers.h"
#include "PathForms.h"
#include "RootPath.h"
#include "Settings.h"
#include "StoredTexts.h"
#include "UiText.h"
#include "VersionText.h"
#include "Win32FileSystem.h"
#include "resource.h"

namespace {

std::string ModulePath() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

}  // namespace

CMyDlg::CMyDlg(const StartArgs& args, FileSystem* fs)
    : CDialog(IDD_MAIN),
      m_fs(fs ? fs : &TheFileSystem()),
      m_onWindowUp(args.onWindowUp),
      m_onWindowGone(args.onWindowGone),
      m_tasks(WM_APP_TASKS),
      m_search(m_results, m_tasks, m_workers),
      m_deletion(m_results, m_tasks, m_workers),
      m_online(m_workers, m_tasks),
      m_export(m_results) {
    InitMembers();
    m_bHasArgument = args.hasArgument;
    m_strPath = AcceptRootPath(args.searchPath);
}

void CMyDlg::InitMembers() {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_WINDOW));
    m_strAppId = DecodeStoredText(StoredText::ProgramId);
}

CMyDlg::~CMyDlg() {
    // Workers were told to stop when the window went (the program has waited
    // for them already, with a bound); they hold a pointer to this object, so
    // it must outlive them. A wait that cannot be made leaves no safe way on.
    m_bClosing = true;
    m_search.Stop();
    m_deletion.Stop();
    m_online.Close();
    if (!m_workers.WaitAll(INFINITE)) TerminateProcess(GetCurrentProcess(), 1);
}

void CMyDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EDIT_PATH, m_editPath);
    DDX_Control(pDX, IDC_BTN_INVERT, m_btnInvert);
    DDX_Control(pDX, IDC_BTN_SEARCH, m_btnSearch);
    DDX_Control(pDX, IDC_STATIC_NOTICE, m_staticNotice);
    DDX_Control(pDX, IDC_BTN_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_BTN_SUPPORT, m_btnSupport);
    DDX_Control(pDX, IDC_BTN_CHECK_ALL, m_btnSelectAll);
    DDX_Control(pDX, IDC_LIST_RESULT, m_results.Control());
    DDX_Text(pDX, IDC_EDIT_PATH, m_strPath);
    m_bLayoutPending = false;
}

BOOL CMyDlg::OnInitDialog() {
    // The folder browser and the shell calls of the handlers need COM on this thread.
    m_bComReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    CDialog::OnInitDialog();
    m_tasks.Attach(m_hWnd);
    // The field takes no more than a search can be given.
    SendDlgItemMessageW(m_hWnd, IDC_EDIT_PATH, EM_LIMITTEXT, kMaxRootLength, 0);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_results.Bind(ScreenDpi());
    CheckDlgButton(m_hWnd, IDC_CHECK_MALFORMED, BST_CHECKED);

    const std::string version = GetFileVersionText(ModulePath().c_str());
    m_strTitle =
        BuildWindowTitle(DecodeStoredText(StoredText::ProductTitle), version, DecodeStoredText(StoredText::NoticeText));
    SetWindowText(m_strTitle.c_str());
    UpdateData(false);

    m_online.Attach(m_hWnd, IDC_STATIC_NOTICE, version);
    m_online.Start(OnlineLine::kFeedAndAutomaticCheck);

    if (!m_bHasArgument) {
        // Already refused by the reader when longer than the field takes.
        const std::wstring saved = ReadSavedPath();
        if (!saved.empty()) SetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, saved.c_str());
    }
    // A size the window took while it was being made found no columns to fit.
    LayOut();
    if (m_onWindowUp) m_onWindowUp(m_hWnd);
    return TRUE;
}

BOOL CMyDlg::PreTranslateMessage(MSG* msg) {
    // A click on a row's check box, and the space key, mark the row itself.
    if (m_results.PreTranslate(*msg)) return TRUE;
    if (msg->message == WM_KEYDOWN) {
        const bool searchReady = ::IsWindowEnabled(GetDlgItem(IDC_BTN_SEARCH)) != FALSE;
        // Esc never closes the window; it stops a search or a deletion as their buttons do.
        if (msg->wParam == VK_ESCAPE) {
            if (IsDeleting())
                StopDeletion();
            else if (IsWalking() && searchReady)
                ToggleSearch();
            return TRUE;
        }
        if (msg->wParam == VK_RETURN) {
            if (GetFocus() == GetDlgItem(IDC_EDIT_PATH)) ToggleSearch();
            return TRUE;
        }
        if (msg->wParam == VK_F5) {
            if (!IsBusy() && searchReady) ToggleSearch();
            return TRUE;
        }
        // The list's own keys; in the path field they keep their text meaning.
        if (msg->hwnd == GetDlgItem(IDC_LIST_RESULT)) {
            const bool ctrl = GetKeyState(VK_CONTROL) < 0;
            if (ctrl && msg->wParam == 'A') {
                CheckAllRows();
                return TRUE;
            }
            if (ctrl && msg->wParam == 'C') {
                CopySelectedPath();
                return TRUE;
            }
            if (!ctrl && msg->wParam == VK_DELETE) {
                AskAndDeleteSelectedRow();
                return TRUE;
            }
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

bool CMyDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        if (OnPaint()) {
            result = 0;
            return true;
        }
        break;
    case WM_QUERYDRAGICON: result = reinterpret_cast<LRESULT>(m_hIcon); return true;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam)); break;
    case WM_GETMINMAXINFO: {
        // The system keeps the window at least this large while it is sized, so the layout never
        // has to move the window itself.
        const SIZE minimum = MinimumWindowSize();
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = minimum.cx;
        info->ptMinTrackSize.y = minimum.cy;
        result = 0;
        return true;
    }
    case WM_TIMER: OnTimer(wParam); break;
    case WM_DESTROY: OnDestroy(); break;
    case WM_APP_RUN_TASK: result = RunSentTask(lParam); return true;
    case WM_APP_TASKS:
        m_tasks.RunPending();
        result = 0;
        return true;
    case WM_COPYDATA:
        result = TakeHandedSearchPath(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
        return true;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(IDC_STATIC_NOTICE)) {
            result = m_online.Color(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return true;
        }
        break;
    case WM_SETCURSOR:
        SetCursorFor(reinterpret_cast<HWND>(wParam));
        result = TRUE;
        return true;
    case WM_NOTIFYFORMAT:
        // The result list asks for its texts in UTF-16.
        if (reinterpret_cast<HWND>(wParam) == m_results.Window()) {
            result = NFR_UNICODE;
            return true;
        }
        break;
    case WM_NOTIFY:
        if (OnListNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return true;
        break;
    case WM_DROPFILES: AcceptDroppedPath(reinterpret_cast<HDROP>(wParam)); break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_EDIT_PATH && HIWORD(wParam) == EN_CHANGE) KeepPathFieldWithinLimit();
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (OnCommand(LOWORD(wParam))) {
                result = 0;
                return true;
            }
        }
        break;
    default: break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

bool CMyDlg::OnCommand(int id) {
    switch (id) {
    case IDC_BTN_SEARCH: ToggleSearch(); return true;
    case IDC_BTN_BROWSE: ChooseFolder(); return true;
    case IDC_BTN_DELETE:
        if (IsDeleting())
            StopDeletion();
        else
            DeleteCheckedRows();
        return true;
    case ID_LIST_DELETE_CURRENT: DeleteSelectedRow(); return true;
    case ID_LIST_DELETE_ALL: DeleteAllRows(); return true;
    case IDC_BTN_CHECK_ALL: CheckAllRows(); return true;
    case IDC_BTN_INVERT: InvertRowChecks(); return true;
    case ID_LIST_COPY_PATH: CopySelectedPath(); return true;
    case ID_LIST_OPEN_FOLDER: OpenSelectedFolder(); return true;
    case IDC_BTN_EXPORT: ExportResults(); return true;
    case ID_LIST_STATISTICS: ShowStatistics(); return true;
    case ID_LIST_CLEAR: ClearResults(); return true;
    case ID_LIST_ABOUT: ShowAboutBox(); return true;
    case ID_LIST_RENAME: RenameSelectedRow(); return true;
    case ID_LIST_VIEW: ViewSelectedRow(); return true;
    case ID_LIST_EXPLORER_MENU: ToggleExplorerMenu(); return true;
    case IDC_BTN_SUPPORT: m_online.OpenSupportPage(); return true;
    case IDC_STATIC_NOTICE: m_online.Clicked(); return true;
    case ID_LIST_CHECK_UPDATE: m_online.CheckNow(); return true;
    default: return false;
    }
}

void CMyDlg::OnSize(UINT type) {
    if (m_bLayoutPending) return;  // initialisation lays out once the controls are there
    if (type == SIZE_MINIMIZED) return;
    LayOut();
}

int CMyDlg::ScreenDpi() const {
    HDC dc = ::GetDC(m_hWnd);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ::ReleaseDC(m_hWnd, dc);
    return dpi > 0 ? dpi : 96;
}

SIZE CMyDlg::MinimumWindowSize() const {
    // The minimum grows with the display scaling, as the controls do.
    RECT topRow = {0, 0, kTopRowRightDlu, 0};
    MapDialogRect(m_hWnd, &topRow);
    AdjustWindowRectEx(&topRow, static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    HDC dc = ::GetDC(m_hWnd);
    const int dpiX = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96, dpiY = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ::ReleaseDC(m_hWnd, dc);
    const WindowSize minimum = ::MinimumWindowSize(dpiX, dpiY, topRow.right - topRow.left);
    return {minimum.width, minimum.height};
}

void CMyDlg::LayOut() {
    RECT units = {0, 0, 4, 8};
    MapDialogRect(m_hWnd, &units);
    const LayoutScale scale = ScaleForBaseUnits(units.right, units.bottom);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const std::vector<ControlPlacement> placements = MainWindowLayout(client.right, client.bottom, scale);

    // All in one step, and each moved control painted anew where it lands: bits copied along
    // with a control, or the dialog's background painted after it, would leave it undrawn.
    struct Move {
        HWND control;
        RECT to;
    };
    std::vector<Move> moves;
    for (const ControlPlacement& p : placements) {
        HWND control = GetDlgItem(p.id);
        if (!control) continue;
        RECT r;
        ::GetWindowRect(control, &r);
        const int width = p.width >= 0 ? p.width : r.right - r.left;
        const int height = p.height >= 0 ? p.height : r.bottom - r.top;
        moves.push_back({control, {p.x, p.y, p.x + width, p.y + height}});
    }
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(moves.size()));
    for (const Move& m : moves)
        if (batch)
            batch = DeferWindowPos(batch, m.control, nullptr, m.to.left, m.to.top, m.to.right - m.to.left,
                                   m.to.bottom - m.to.top, flags);
    // A batch that failed on the way was dropped whole: each control is moved on its own then.
    if (!batch || !EndDeferWindowPos(batch))
        for (const Move& m : moves)
            ::SetWindowPos(m.control, nullptr, m.to.left, m.to.top, m.to.right - m.to.left, m.to.bottom - m.to.top,
                           flags);
    for (const Move& m : moves)
        ::RedrawWindow(m.control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    m_results.Control().FitFillingColumn();
    UpdateData(true);
}

void CMyDlg::OnTimer(UINT_PTR id) {
    if (id == kTimerProgress && IsDeleting()) {
        SetWindowText(BuildDeletionTitle(m_strTitle, m_deletion.Tried(), m_deletion.Total()).c_str());
    } else if (id == kTimerProgress) {
        // A walk held up in a slow folder leaves no batch to repaint with.
        m_results.OpenPaints(false);
        if (!IsWalking() || m_search.IsStopping())
            SetWindowText(m_strTitle.c_str());
        else
            ShowProgress();
    } else if (id == kTimerAnnouncements) {
        m_online.Rotate();
    }
}

void CMyDlg::ShowProgress() {
    // The status line only: the path field is the user's while a search runs.
    m_online.ShowPlain(WideOfAnsi(m_search.Position()));
    SetWindowText(BuildProgressTitle(m_strTitle, m_search.FoldersSearched(), m_search.FilesSearched()).c_str());
}

bool CMyDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON), cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
    return true;
}

// The field's own limit holds what is typed or pasted, in UTF-16 units as a
// search takes them; a text that still goes past it (set by a message) is
// undone whole rather than cut, which could leave half a surrogate pair and
// would name another folder.
void CMyDlg::KeepPathFieldWithinLimit() {
    HWND edit = GetDlgItem(IDC_EDIT_PATH);
    const int length = GetWindowTextLengthW(edit);
    if (length >= 0 && static_cast<size_t>(length) <= kMaxRootLength) {
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(std::max(0, ::GetWindowTextW(edit, &text[0], length + 1))));
        m_strFieldKept = text;
        DWORD caret = 0;
        ::SendMessageW(edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
        m_nFieldCaret = caret;
        return;
    }
    const DWORD caret = m_nFieldCaret;
    ::SetWindowTextW(edit, m_strFieldKept.c_str());  // comes back here, within the limit
    ::SendMessageW(edit, EM_SETSEL, caret, caret);
    m_nFieldCaret = caret;
    MessageBeep(MB_OK);
}

void CMyDlg::SetCursorFor(HWND under) {
    const bool onNotice = under != nullptr && under == GetDlgItem(IDC_STATIC_NOTICE);
    ::SetCursor(LoadCursor(nullptr, onNotice ? IDC_HAND : IDC_ARROW));
}

void CMyDlg::OnDestroy() {
    wchar_t path[MAX_PATH] = {};
    GetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, path, MAX_PATH);
    WriteSavedPath(path);  // left as it was when the code page cannot hold it
    // A request started from now on finds no window to hand its path to, and
    // is carried out by its own process instead of being taken in and lost.
    if (m_onWindowGone) m_onWindowGone(m_hWnd);
    m_bClosing = true;  // workers leave the dialog alone, nothing new starts
    m_tasks.Detach();   // what workers hand over from now on has no window to go to
    m_search.Stop();    // a walk in progress ends at its next step
    m_deletion.Stop();  // a deletion ends after the entry under way
    m_online.Close();   // no fetch starts, one in flight returns now, whatever the server does
    if (m_bComReady) CoUninitialize();
    m_bComReady = false;
}
