#include "Wnd.h"

#include "App.h"
#include "UiText.h"

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(const char* text) { SetWindowUiText(m_hWnd, text ? text : ""); }

std::string CWnd::GetWindowText() const { return UiNarrow(WindowTextW(m_hWnd)); }

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
    return AppMessageBox(m_hWnd, text, type, caption);
}
