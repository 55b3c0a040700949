#include "FileDialog.h"

#include <cstring>

#include "App.h"
#include "UiHost.h"
#include "UiText.h"
#include "Wnd.h"

std::wstring FileFilterFromBars(const char* filter) {
    std::wstring result;
    if (!filter) return result;
    for (wchar_t c : UiWide(filter)) result += c == L'|' ? L'\0' : c;
    // The list ends in exactly two NULs, however many bars the text ended with.
    while (!result.empty() && result.back() == L'\0') result.pop_back();
    if (!result.empty()) result.append(2, L'\0');
    return result;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_ofn(),
      m_bOpenFileDialog(openFileDialog != FALSE),
      m_strFilter(FileFilterFromBars(filter)),
      m_strDefExt(UiWide(defaultExt ? defaultExt : "")),
      m_pParentWnd(parent),
      m_szFileName() {
    if (fileName) lstrcpynW(m_szFileName, UiWide(fileName).c_str(), MAX_PATH);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.nFilterIndex = 1;
}

void CFileDialog::SetFileName(const std::wstring& file) {
    if (file.size() < MAX_PATH)
        lstrcpynW(m_szFileName, file.c_str(), MAX_PATH);
    else
        m_szFileName[0] = L'\0';
}

INT_PTR CFileDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!m_pParentWnd && GetApp() && GetApp()->m_pMainWnd) owner = GetApp()->m_pMainWnd->m_hWnd;
    m_ofn.hwndOwner = owner;
    m_ofn.hInstance = GetModuleHandleW(nullptr);
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    return GetUiHost().ChooseFileName(m_ofn, m_bOpenFileDialog) ? IDOK : IDCANCEL;
}
