// The system's open-file or save-file dialog.
#pragma once

#include <string>

#include <windows.h>
#include <commdlg.h>

class CWnd;

// Turns a filter written as "label|pattern|label|pattern||" into the system's form, each part
// ending in NUL and the whole in a second NUL. Double-byte characters are kept whole, so a trail
// byte 0x7C is no separator.
std::string FileFilterFromBars(const char* filter);

class CFileDialog {
public:
    // parent null: the application's main window owns the dialog.
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path.
    std::string GetPathName() const { return m_szFileName; }

    OPENFILENAMEA m_ofn;

private:
    bool m_bOpenFileDialog;
    std::string m_strFilter;
    std::string m_strDefExt;
    CWnd* m_pParentWnd;
    char m_szFileName[MAX_PATH];
};
