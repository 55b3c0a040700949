// The application object: one per process, defined by the program as a global.
#pragma once

#include <string>

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Does the program's work. FALSE ends the process at once with ExitInstance's code;
    // TRUE runs a message loop until WM_QUIT first.
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;  // owner of dialogs and boxes that name none
    std::wstring m_strAppName;   // the executable's file name without its extension
};

// The application object, or nullptr when the process has none (tests).
CWinApp* GetApp();

// The caption of every message box that brings none of its own.
std::wstring GetAppNameW();
// The same in the ANSI code page.
std::string GetAppName();

// The file name of a module path without folder and extension: "C:\\x\\Orvelle.exe" gives "Orvelle".
std::wstring AppNameFromModulePath(const wchar_t* path);

// A message box through the UI host, with the program's own text (code page 936) shown in UTF-16;
// a null caption shows the application name.
int AppMessageBox(HWND owner, const char* text, UINT type = MB_OK, const char* caption = nullptr);
// The same for a text in UTF-16 (one that names an entry exactly), under the application name.
int AppMessageBoxW(HWND owner, const wchar_t* text, UINT type = MB_OK);
