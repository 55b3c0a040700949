// The result list's commands: check marks, the right-click menu, copying a
// path, opening a folder and sorting by a column.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "CodePage.h"
#include "ExactAnsi.h"
#include "PathForms.h"
#include "ResultRow.h"
#include "RowText.h"

#include "ExplorerMenu.h"
#include "ExplorerVerbs.h"
#include "ListCommands.h"
#include "MainDlg.h"
#include "UiHost.h"
#include "UiText.h"
#include "resource.h"

namespace {

ListSortState g_listSort;

const UINT kSelectionCommands[] = {ID_LIST_OPEN_FOLDER, ID_LIST_COPY_PATH, ID_LIST_CLEAR, ID_LIST_DELETE_CURRENT,
                                   ID_LIST_DELETE_ALL,  ID_LIST_RENAME,    ID_LIST_VIEW};

}  // namespace

ListSortState& TheListSortState() { return g_listSort; }

std::string GetWindowsVersionName() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return WindowsVersionName(0, 0, 0, 0);
    return WindowsVersionName(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber & 0xFFFF);
}

void PrepareListMenu(HMENU popup, bool hasSelection, bool integrationPresent) {
    for (UINT id : kSelectionCommands)
        EnableMenuItem(popup, id, MF_BYCOMMAND | (hasSelection ? MF_ENABLED : MF_GRAYED));
    ModifyMenuW(popup, ID_LIST_EXPLORER_MENU, MF_BYCOMMAND | MF_STRING, ID_LIST_EXPLORER_MENU,
                UiWide(ExplorerMenuLabel(integrationPresent)).c_str());
}

bool CMyDlg::OnListNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_LIST_RESULT) return false;
    if (m_results.OnNotify(header, result)) return true;
    switch (header.code) {
    case NM_RCLICK: ShowListMenu(); break;
    case NM_DBLCLK: OpenSelectedFolder(); break;
    case LVN_COLUMNCLICK: SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem); break;
    case LVN_GETINFOTIPW: {
        auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
        const std::wstring text = FailureTipOf(tip.iItem);
        if (!text.empty() && tip.pszText && tip.cchTextMax > 0) lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
        break;
    }
    case LVN_GETINFOTIPA: {
        auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
        const std::string text = ShownNarrow(FailureTipOf(tip.iItem));
        if (!text.empty() && tip.pszText && tip.cchTextMax > 0) lstrcpynA(tip.pszText, text.c_str(), tip.cchTextMax);
        break;
    }
    default: return false;
    }
    result = 0;
    return true;
}

void CMyDlg::CheckAllRows() { m_results.CheckAll(); }

void CMyDlg::InvertRowChecks() { m_results.InvertChecks(); }

void CMyDlg::ShowListMenu() {
    POINT at = {};
    GetCursorPos(&at);
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_LIST));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        PrepareListMenu(popup, m_results.Selected() >= 0, IsExplorerMenuPresent(m_strAppId));
        // The chosen item comes back as a WM_COMMAND to this dialog.
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    }
    DestroyMenu(menu);
}

namespace {

// A shareable block holding bytes, or null.
HGLOBAL BlockOf(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block) return nullptr;
    void* into = GlobalLock(block);
    if (!into) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(into, bytes, size);
    GlobalUnlock(block);
    return block;
}

}  // namespace

void CMyDlg::CopySelectedPath() {
    const int row = m_results.Selected();
    if (row < 0) return;
    const std::wstring text = RowPathText(m_results.ExactPath(row));
    // The exact text always; the code page's form too when it holds every character.
    std::string narrow;
    const bool fits = WideToAnsiExactly(text, narrow);

    // The blocks are made before the clipboard is emptied, so a failed
    // allocation leaves the clipboard as it was.
    HGLOBAL wide = BlockOf(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (!wide) return;
    HGLOBAL ansi = fits ? BlockOf(narrow.c_str(), narrow.size() + 1) : nullptr;
    // Another program (a clipboard manager, a reader) may hold the clipboard
    // for a moment: a few short tries before the copy is given up.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(m_hWnd) != FALSE); ++attempt) Sleep(10);
    if (!opened) {
        GlobalFree(wide);
        if (ansi) GlobalFree(ansi);
        return;
    }
    EmptyClipboard();
    // Once handed over a block is the clipboard's; only a refused one is ours to free.
    if (!SetClipboardData(CF_UNICODETEXT, wide)) GlobalFree(wide);
    if (ansi && !SetClipboardData(CF_TEXT, ansi)) GlobalFree(ansi);
    CloseClipboard();
}

namespace {

// A target the shell is given: a path too long for it goes by its 8.3 form
// where that is short enough, otherwise whole.
std::wstring WithinShellLimit(const std::wstring& path) {
    if (path.size() < MAX_PATH) return path;
    const std::wstring prefixed = L"\\\\?\\" + path;
    const DWORD size = GetShortPathNameW(prefixed.c_str(), nullptr, 0);
    if (size == 0) return path;
    std::wstring shortPath(size, L'\0');
    const DWORD length = GetShortPathNameW(prefixed.c_str(), &shortPath[0], size);
    if (length == 0 || length >= size) return path;
    shortPath.resize(length);
    if (shortPath.compare(0, 4, L"\\\\?\\") == 0) shortPath.erase(0, 4);
    return shortPath.size() < MAX_PATH ? shortPath : path;
}

}  // namespace

void CMyDlg::OpenSelectedFolder() {
    const int row = m_results.Selected();
    if (row < 0) return;
    const std::wstring path = m_results.ExactPath(row);
    const ListedRow& listed = m_results.Row(row);
    if (m_results.IsFolderRow(row)) {
        std::wstring target;
        std::string narrow;
        if (GetWindowsVersionName().find("2008") == std::string::npos) {
            // The shell drops a final dot: ".\" keeps it.
            target = WithinShellLimit(path) + (!path.empty() && path.back() == L'.' ? L".\\" : L"\\");
        } else if (WideToAnsiExactly(path, narrow) && narrow.size() < MAX_PATH) {
            target = WideOfAnsi(ChooseFolderOpening(*m_fs, narrow, kTypeFolder, GetWindowsVersionName()).text);
        } else {
            target = L"\\\\?\\" + path + L"\\";
        }
        GetUiHost().ShellExecuteFileW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    // The folder that holds the entry, by its stored names when the row has them.
    std::wstring folder;
    if (listed.entry && listed.entry->parent) {
        const WideName stored = WidePathOf(*listed.entry->parent);
        folder = std::wstring(stored.begin(), stored.end()) + L"\\";
    } else if (listed.given && listed.given->path.size() < MAX_PATH)
        folder = WideOfAnsi(ParentFolderOf(listed.given->path));
    else if (path.find_last_of(L'\\') != std::wstring::npos)
        folder = path.substr(0, path.find_last_of(L'\\') + 1);
    const std::wstring line = L"explorer.exe \"" + WithinShellLimit(folder) + L"\"";
    GetUiHost().RunCommandLineW(line.c_str(), SW_SHOWNORMAL);
}

void CMyDlg::SortByColumn(int column) {
    if (IsDeleting()) return;  // its rows leave by the places they had
    m_results.SortBy(column, g_listSort);
}
