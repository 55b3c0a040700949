// The system's open-file or save-file dialog.
#pragma once

#include <string>

#include <windows.h>
#include <commdlg.h>

class CWnd;

// Turns a filter written as "label|pattern|label|pattern||" (the program's own text, code page
// 936) into the system's form in UTF-16, each part ending in NUL and the whole in a second NUL.
// Decoded first, so a trail byte 0x7C of a double-byte character is no separator.
std::wstring FileFilterFromBars(const char* filter);

class CFileDialog {
public:
    // parent null: the application's main window owns the dialog. The texts are the program's own
    // (code page 936).
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // The file the dialog offers first, exactly; one longer than the dialog takes is not offered
    // (cut, it would name another file).
    void SetFileName(const std::wstring& file);

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path, exactly.
    std::wstring GetPathName() const { return m_szFileName; }

    OPENFILENAMEW m_ofn;

private:
    bool m_bOpenFileDialog;
    std::wstring m_strFilter;
    std::wstring m_strDefExt;
    CWnd* m_pParentWnd;
    wchar_t m_szFileName[MAX_PATH];
};
