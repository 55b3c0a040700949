#include "Wnd.h"

#include "App.h"

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

std::string CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) return std::string();
    std::string text(length + 1, '\0');
    length = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(length > 0 ? length : 0);
    return text;
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
    return AppMessageBox(m_hWnd, text, type, caption);
}
