// The one door through which the program shows modal system windows and starts other programs.
// The system host calls the real functions; tests put a double in its place to answer the boxes and
// to see what would have been launched.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

class UiHost {
public:
    virtual ~UiHost() = default;

    // A message box with the program's own texts (code page 936): returns the button chosen (IDOK,
    // IDYES, ...). The caption is always given.
    virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;

    // MessageBoxW, for texts that name an entry exactly, whatever the code page holds.
    virtual int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) = 0;

    // ShellExecuteA: returns its result (greater than 32 on success).
    virtual HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                                       const char* directory, int showCommand) = 0;

    // ShellExecuteW, for a target named exactly.
    virtual HINSTANCE ShellExecuteFileW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                        const wchar_t* directory, int showCommand) = 0;

    // WinExec: returns its result (greater than 31 on success).
    virtual UINT RunCommandLine(const char* commandLine, UINT showCommand) = 0;
    // The same for a command line in UTF-16 (CreateProcessW; WinExec has no wide form): greater
    // than 31 on success.
    virtual UINT RunCommandLineW(const wchar_t* commandLine, UINT showCommand) = 0;

    // SHBrowseForFolderW, then SHGetPathFromIDListW into path (MAX_PATH units) when a folder was
    // chosen. Returns whether the browser returned an item.
    virtual bool BrowseForFolderW(BROWSEINFOW& info, wchar_t* path) = 0;

    // GetOpenFileNameW (openForm) or GetSaveFileNameW: returns true when the user chose a file,
    // whose full path is then in ofn.lpstrFile, exactly.
    virtual bool ChooseFileName(OPENFILENAMEW& ofn, bool openForm) = 0;
};

// The host in force: the system one unless a test has set another.
UiHost& GetUiHost();

// Puts host in force (nullptr brings back the system host) and returns the one it replaces.
// Set it before any window or worker runs; the pointer is read from any thread.
UiHost* SetUiHost(UiHost* host);
