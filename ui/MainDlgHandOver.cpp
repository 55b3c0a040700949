// A folder handed to the open window by a later search request.
#include <windows.h>

#include <cstring>
#include <string>

#include "ExactAnsi.h"
#include "HandOverMessages.h"
#include "MainDlg.h"
#include "RootPath.h"
#include "resource.h"

namespace {

// The path a WM_COPYDATA carries, copied out (the data lives only as long as
// the sender waits); false when it is not a path of ours.
bool HandedPathOf(const COPYDATASTRUCT& data, std::wstring& path) {
    if (!data.lpData) return false;
    if (data.dwData == kCopyDataSearchPathW) {
        if (data.cbData % sizeof(wchar_t) != 0) return false;
        path.resize(data.cbData / sizeof(wchar_t));
        if (!path.empty()) std::memcpy(&path[0], data.lpData, data.cbData);
    } else if (data.dwData == kCopyDataSearchPath) {
        // An earlier version sends a path its code page held exactly.
        if (!AnsiToWide(std::string(static_cast<const char*>(data.lpData), data.cbData), path)) return false;
    } else {
        return false;
    }
    return path.find(L'\0') == std::wstring::npos;
}

}  // namespace

bool CMyDlg::TakeHandedSearchPath(const COPYDATASTRUCT& data) {
    std::wstring path;
    if (m_bClosing.load() || !HandedPathOf(data, path)) return false;
    // One too long for the field is refused, as at start; the field keeps its text.
    const std::wstring accepted = AcceptRootPath(path);
    if (!accepted.empty() && IsWalking())
        m_strHandedPath = accepted;  // into the field when the walk ends
    else if (!accepted.empty())
        SetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, accepted.c_str());

    if (IsIconic(m_hWnd)) ShowWindow(m_hWnd, SW_RESTORE);
    // A box the window has open stays in front of it.
    HWND front = GetLastActivePopup(m_hWnd);
    SetForegroundWindow(front ? front : m_hWnd);
    return true;
}
