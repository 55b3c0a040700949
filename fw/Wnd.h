// A window handle with the few calls the program makes on its dialogs and controls.
#pragma once

#include <string>

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND Detach();

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // The program's own texts (code page 936), shown in UTF-16.
    void SetWindowText(const char* text);
    std::string GetWindowText() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);

    // A box owned by this window; a null caption shows the application name.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;

    HWND m_hWnd = nullptr;
};
