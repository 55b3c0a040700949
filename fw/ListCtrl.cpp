#include "ListCtrl.h"

#include "UiText.h"

#include <cstring>
#include <vector>

#include "Lock.h"

namespace {

struct FillingColumn {
    WNDPROC next;
    int column;
    int minWidth;
    bool fitting;
};

// The filling column of each list that keeps one, until the list goes. Not a
// window property: the procedure looks it up for every message the list gets,
// and a property costs a round trip to the window system each time (about
// 70 us under Wine, which made every list call that slow).
class FillingTable {
public:
    FillingColumn* Find(HWND list) {
        LockScope held(m_lock);
        for (const auto& e : m_entries)
            if (e.first == list) return e.second;
        return nullptr;
    }
    void Add(HWND list, FillingColumn* fill) {
        LockScope held(m_lock);
        m_entries.emplace_back(list, fill);
    }
    void Remove(HWND list) {
        LockScope held(m_lock);
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].first == list) {
                m_entries.erase(m_entries.begin() + static_cast<long>(i));
                return;
            }
    }

private:
    CriticalSection m_lock;
    std::vector<std::pair<HWND, FillingColumn*>> m_entries;
};

FillingTable& Fillings() {
    static FillingTable table;
    return table;
}

int ColumnCountOf(HWND list) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

void Fit(HWND list, FillingColumn& fill) {
    const int count = ColumnCountOf(list);
    // Setting the width can make a scroll bar come or go, which comes back here.
    if (fill.fitting || fill.column >= count) return;
    RECT client;
    if (!::GetClientRect(list, &client)) return;
    int others = 0;
    for (int i = 0; i < count; ++i)
        if (i != fill.column) others += static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
    int width = client.right - others;
    if (width < fill.minWidth) width = fill.minWidth;
    if (static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, fill.column, 0)) == width) return;
    fill.fitting = true;
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, fill.column, MAKELPARAM(width, 0));
    fill.fitting = false;
}

// A wide procedure, as the list's own is: the list stays a Unicode window.
LRESULT CALLBACK FillingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    FillingColumn* fill = Fillings().Find(list);
    if (!fill) return ::DefWindowProcW(list, message, wParam, lParam);
    const WNDPROC next = fill->next;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
        Fillings().Remove(list);
        delete fill;
        return ::CallWindowProcW(next, list, message, wParam, lParam);
    }
    const LRESULT result = ::CallWindowProcW(next, list, message, wParam, lParam);
    if (message == WM_SIZE) Fit(list, *fill);
    return result;
}

}  // namespace

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width) {
    std::wstring text = UiWide(heading ? heading : "");
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = &text[0];
    col.iSubItem = column;
    if (width != -1) {
        col.mask |= LVCF_WIDTH;
        col.cx = width;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col)));
}

BOOL CListCtrl::SetColumnWidth(int column, int width) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
}

int CListCtrl::GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column)); }

int CListCtrl::GetColumnCount() const { return m_hWnd ? ColumnCountOf(m_hWnd) : 0; }

bool CListCtrl::KeepColumnFilling(int column, int minWidth) {
    if (!m_hWnd || !::IsWindow(m_hWnd)) return false;
    FillingColumn* fill = Fillings().Find(m_hWnd);
    if (!fill) {
        fill = new FillingColumn{nullptr, column, minWidth, false};
        Fillings().Add(m_hWnd, fill);
        fill->next = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FillingListProc)));
    }
    fill->column = column;
    fill->minWidth = minWidth;
    Fit(m_hWnd, *fill);
    return true;
}

void CListCtrl::FitFillingColumn() {
    FillingColumn* fill = m_hWnd ? Fillings().Find(m_hWnd) : nullptr;
    if (fill) Fit(m_hWnd, *fill);
}

DWORD CListCtrl::GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}

int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

int CListCtrl::InsertItem(int item, const char* text) {
    std::wstring wide = UiWide(text ? text : "");
    LVITEMW row = {};
    row.mask = LVIF_TEXT;
    row.iItem = item;
    row.pszText = &wide[0];
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text) {
    std::wstring wide = UiWide(text ? text : "");
    LVITEMW cell = {};
    cell.iSubItem = subItem;
    cell.pszText = &wide[0];
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell)));
}

int CListCtrl::GetItemText(int item, int subItem, char* buffer, int bufferSize) const {
    if (!buffer || bufferSize <= 0) return 0;
    const std::string text = GetItemText(item, subItem);
    lstrcpynA(buffer, text.c_str(), bufferSize);
    return static_cast<int>(strlen(buffer));
}

std::string CListCtrl::GetItemText(int item, int subItem) const { return UiNarrow(GetItemTextW(item, subItem)); }

std::wstring CListCtrl::GetItemTextW(int item, int subItem) const {
    std::wstring text(256, L'\0');
    for (;;) {
        LVITEMW cell = {};
        cell.iSubItem = subItem;
        cell.pszText = &text[0];
        cell.cchTextMax = static_cast<int>(text.size());
        text[0] = L'\0';
        SendMessage(LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell));
        // The control may answer with its own buffer instead of filling ours, and some fill a
        // buffer that is too small to the last unit without ending it.
        const wchar_t* from = cell.pszText ? cell.pszText : text.c_str();
        const size_t length = wcsnlen(from, text.size() - 1);
        // A cell that filled the buffer may have been cut: try again with twice the room.
        if (length < text.size() - 2) return std::wstring(from, length);
        text.assign(text.size() * 2, L'\0');
    }
}

BOOL CListCtrl::DeleteItem(int item) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, item)); }

BOOL CListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }

BOOL CListCtrl::GetCheck(int item) const { return (GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) == 2; }

BOOL CListCtrl::SetCheck(int item, BOOL check) {
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}

UINT CListCtrl::GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }

int CListCtrl::GetNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    LVITEMW row = {};
    row.state = state;
    row.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&row)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
    LVITEMW row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return 0;
    return static_cast<DWORD_PTR>(row.lParam);
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
    LVITEMW row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    row.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&row)));
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE compare, DWORD_PTR context) {
    return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, context, reinterpret_cast<LPARAM>(compare)));
}

BOOL CListCtrl::EnsureVisible(int item, BOOL partialOK) {
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, item, partialOK));
}
