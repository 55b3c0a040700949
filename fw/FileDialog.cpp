#include "FileDialog.h"

#include <cstring>

#include "App.h"
#include "CodePage.h"
#include "UiHost.h"
#include "Wnd.h"

std::string FileFilterFromBars(const char* filter) {
    std::string result;
    if (!filter) return result;
    for (const char* p = filter; *p; ++p) {
        if (IsAnsiLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            result += *p++;
            result += *p;
        } else {
            result += *p == '|' ? '\0' : *p;
        }
    }
    // The list ends in exactly two NULs, however many bars the text ended with.
    while (!result.empty() && result.back() == '\0') result.pop_back();
    if (!result.empty()) result.append(2, '\0');
    return result;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_ofn(),
      m_bOpenFileDialog(openFileDialog != FALSE),
      m_strFilter(FileFilterFromBars(filter)),
      m_strDefExt(defaultExt ? defaultExt : ""),
      m_pParentWnd(parent),
      m_szFileName() {
    if (fileName) lstrcpynA(m_szFileName, fileName, MAX_PATH);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.nFilterIndex = 1;
}

INT_PTR CFileDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!m_pParentWnd && GetApp() && GetApp()->m_pMainWnd) owner = GetApp()->m_pMainWnd->m_hWnd;
    m_ofn.hwndOwner = owner;
    m_ofn.hInstance = GetModuleHandleA(nullptr);
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    return GetUiHost().ChooseFileName(m_ofn, m_bOpenFileDialog) ? IDOK : IDCANCEL;
}
