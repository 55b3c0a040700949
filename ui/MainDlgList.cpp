// The result list's commands: check marks, the right-click menu, copying a
// path, opening a folder and sorting by a column.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "CodePage.h"

#include "ExplorerMenu.h"
#include "ExplorerVerbs.h"
#include "ListCommands.h"
#include "MainDlg.h"
#include "UiHost.h"
#include "resource.h"

namespace {

ListSortState g_listSort;

// What one sort compares: the rows' texts in the clicked column, found by
// each row's item data.
struct SortRun {
    const std::unordered_map<DWORD_PTR, std::string>* keys;
    bool descending;
};

const char* KeyOf(const SortRun& run, LPARAM data) {
    auto it = run.keys->find(static_cast<DWORD_PTR>(data));
    return it == run.keys->end() ? "" : it->second.c_str();
}

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM context) {
    const SortRun& run = *reinterpret_cast<const SortRun*>(context);
    const char* a = KeyOf(run, first);
    const char* b = KeyOf(run, second);
    return run.descending ? CompareSortKeys(b, a, IsAnsiLeadByte) : CompareSortKeys(a, b, IsAnsiLeadByte);
}

const UINT kSelectionCommands[] = {ID_LIST_OPEN_FOLDER, ID_LIST_COPY_PATH, ID_LIST_CLEAR, ID_LIST_DELETE_CURRENT,
                                   ID_LIST_DELETE_ALL,  ID_LIST_RENAME,    ID_LIST_VIEW};

}  // namespace

ListSortState& TheListSortState() { return g_listSort; }

void ReadCellText(const CListCtrl& list, int row, int column, char* buffer, int size) {
    list.GetItemText(row, column, buffer, size);
    DropCutCharacter(buffer, IsAnsiLeadByte);
}

std::string GetWindowsVersionName() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return WindowsVersionName(0, 0, 0, 0);
    return WindowsVersionName(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber & 0xFFFF);
}

void PrepareListMenu(HMENU popup, bool hasSelection, bool integrationPresent) {
    for (UINT id : kSelectionCommands)
        EnableMenuItem(popup, id, MF_BYCOMMAND | (hasSelection ? MF_ENABLED : MF_GRAYED));
    ModifyMenuA(popup, ID_LIST_EXPLORER_MENU, MF_BYCOMMAND | MF_STRING, ID_LIST_EXPLORER_MENU,
                ExplorerMenuLabel(integrationPresent));
}

bool CMyDlg::OnListNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_LIST_RESULT) return false;
    switch (header.code) {
    case NM_RCLICK: ShowListMenu(); break;
    case NM_DBLCLK: OpenSelectedFolder(); break;
    case LVN_COLUMNCLICK: SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem); break;
    case LVN_GETINFOTIPA: {
        auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
        const std::string text = FailureTipOf(tip.iItem);
        if (!text.empty() && tip.pszText && tip.cchTextMax > 0) lstrcpynA(tip.pszText, text.c_str(), tip.cchTextMax);
        break;
    }
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: break;  // every text is stored in the control
    default: return false;
    }
    result = 0;
    return true;
}

void CMyDlg::CheckAllRows() {
    // One call for every row (item -1): a call per row took seconds for thousands.
    m_listResult.SetItemState(-1, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
}

void CMyDlg::InvertRowChecks() {
    for (int row = 0; row < m_listResult.GetItemCount(); ++row) m_listResult.SetCheck(row, !m_listResult.GetCheck(row));
}

void CMyDlg::ShowListMenu() {
    POINT at = {};
    GetCursorPos(&at);
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU_LIST));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        PrepareListMenu(popup, m_listResult.GetSelectedCount() > 0, IsExplorerMenuPresent(m_strAppId));
        // The chosen item comes back as a WM_COMMAND to this dialog.
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    }
    DestroyMenu(menu);
}

void CMyDlg::CopySelectedPath() {
    if (m_listResult.GetSelectedCount() == 0) return;
    int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    char path[MAX_PATH] = {};
    ReadCellText(m_listResult, row, 0, path, MAX_PATH);

    // The block is made before the clipboard is emptied, so a failed
    // allocation leaves the clipboard as it was.
    const size_t size = std::strlen(path) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block) return;
    void* bytes = GlobalLock(block);
    if (!bytes) {
        GlobalFree(block);
        return;
    }
    std::memcpy(bytes, path, size);
    GlobalUnlock(block);
    if (!OpenClipboard(m_hWnd)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    // Once handed over the block is the clipboard's; only a refused one is ours to free.
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    CloseClipboard();
}

void CMyDlg::OpenSelectedFolder() {
    if (m_listResult.GetSelectedCount() == 0) return;
    int row = m_listResult.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    char path[MAX_PATH] = {};
    char type[10] = {};
    ReadCellText(m_listResult, row, 0, path, MAX_PATH);
    m_listResult.GetItemText(row, 2, type, sizeof type);

    FolderOpening opening = ChooseFolderOpening(*m_fs, path, type, GetWindowsVersionName());
    if (opening.throughShell)
        GetUiHost().ShellExecuteFile(nullptr, "open", opening.text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
        GetUiHost().RunCommandLine(opening.text.c_str(), SW_SHOWNORMAL);
}

void CMyDlg::SortByColumn(int column) {
    if (IsDeleting()) return;  // its rows leave by the places they had
    const int rows = m_listResult.GetItemCount();
    std::vector<DWORD_PTR> data(static_cast<size_t>(rows > 0 ? rows : 0));
    for (int row = 0; row < rows; ++row) data[static_cast<size_t>(row)] = m_listResult.GetItemData(row);
    // Every row the search adds has data of its own. Rows that share theirs
    // carry their index instead while the sort runs, and get theirs back.
    std::vector<DWORD_PTR> sorted(data);
    std::sort(sorted.begin(), sorted.end());
    const bool shared = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
    std::unordered_map<DWORD_PTR, std::string> keys;
    keys.reserve(data.size());
    for (int row = 0; row < rows; ++row) {
        if (shared) m_listResult.SetItemData(row, static_cast<DWORD_PTR>(row));
        keys[shared ? static_cast<DWORD_PTR>(row) : data[static_cast<size_t>(row)]] =
            m_listResult.GetItemText(row, column);
    }
    SortRun run{&keys, NextSortDescending(g_listSort, column)};
    m_listResult.SortItems(CompareRows, reinterpret_cast<DWORD_PTR>(&run));
    if (!shared) return;
    for (int row = 0; row < rows; ++row) {
        const DWORD_PTR index = m_listResult.GetItemData(row);
        m_listResult.SetItemData(row, index < data.size() ? data[index] : 0);
    }
}
