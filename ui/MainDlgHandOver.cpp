// A folder handed to the open window by a later search request.
#include <windows.h>

#include <string>

#include "HandOverMessages.h"
#include "MainDlg.h"
#include "RootPath.h"
#include "resource.h"

bool CMyDlg::TakeHandedSearchPath(const COPYDATASTRUCT& data) {
    if (data.dwData != kCopyDataSearchPath || m_bClosing.load() || !data.lpData) return false;
    // Copied here: the data lives only as long as the sender waits.
    const std::string path(static_cast<const char*>(data.lpData), data.cbData);
    if (path.find('\0') != std::string::npos) return false;
    // One too long for the field is refused, as at start; the field keeps its text.
    const std::string accepted = AcceptRootPath(path);
    if (!accepted.empty() && IsWalking())
        m_strHandedPath = accepted;  // into the field when the walk ends
    else if (!accepted.empty())
        SetDlgItemTextA(m_hWnd, IDC_EDIT_PATH, accepted.c_str());

    if (IsIconic(m_hWnd)) ShowWindow(m_hWnd, SW_RESTORE);
    // A box the window has open stays in front of it.
    HWND front = GetLastActivePopup(m_hWnd);
    SetForegroundWindow(front ? front : m_hWnd);
    return true;
}
