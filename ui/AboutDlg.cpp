#include "AboutDlg.h"

#include <string>

#include "MainDlg.h"
#include "UiHost.h"
#include "resource.h"

CAboutDlg2::CAboutDlg2(CWnd* parent) : CDialog(IDD_ABOUT, parent) {}

bool CAboutDlg2::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SETCURSOR: {
        const bool onAddress = reinterpret_cast<HWND>(wParam) == GetDlgItem(IDC_STATIC_WEBSITE);
        SetCursor(LoadCursor(nullptr, onAddress ? IDC_HAND : IDC_ARROW));
        result = TRUE;  // set here: the system changes nothing
        return true;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_STATIC_WEBSITE && HIWORD(wParam) == STN_CLICKED) {
            // The address opened is the one the box shows; the program keeps
            // no narrow copy of it.
            CWnd address;
            address.Attach(GetDlgItem(IDC_STATIC_WEBSITE));
            const std::string site = address.GetWindowText();
            address.Detach();
            GetUiHost().ShellExecuteFile(nullptr, "open", site.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            result = 0;
            return true;
        }
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CMyDlg::ShowAboutBox() {
    // Owned by this window, which stays disabled while the box is open.
    CAboutDlg2 about(this);
    about.DoModal();
}
