#include "ListCtrl.h"

#include <cstring>

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = const_cast<char*>(heading);
    col.iSubItem = column;
    if (width != -1) {
        col.mask |= LVCF_WIDTH;
        col.cx = width;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
}

BOOL CListCtrl::SetColumnWidth(int column, int width)
{
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int CListCtrl::InsertItem(int item, const char* text)
{
    LVITEMA row = {};
    row.mask = LVIF_TEXT;
    row.iItem = item;
    row.pszText = const_cast<char*>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text)
{
    LVITEMA cell = {};
    cell.iSubItem = subItem;
    cell.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell)));
}

int CListCtrl::GetItemText(int item, int subItem, char* buffer, int bufferSize) const
{
    if (!buffer || bufferSize <= 0)
        return 0;
    LVITEMA cell = {};
    cell.iSubItem = subItem;
    cell.pszText = buffer;
    cell.cchTextMax = bufferSize;
    buffer[0] = '\0';
    SendMessage(LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
    // The control may answer with its own buffer instead of filling ours.
    if (cell.pszText && cell.pszText != buffer)
        lstrcpynA(buffer, cell.pszText, bufferSize);
    // Some list controls fill a buffer that is too small to the last byte without ending it, and
    // answer with the length of the whole text: the length is measured here, within the buffer.
    buffer[bufferSize - 1] = '\0';
    return static_cast<int>(strlen(buffer));
}

std::string CListCtrl::GetItemText(int item, int subItem) const
{
    std::string text(256, '\0');
    for (;;) {
        int length = GetItemText(item, subItem, &text[0], static_cast<int>(text.size()));
        // A cell that filled the buffer may have been cut: try again with twice the room.
        if (length < static_cast<int>(text.size()) - 2) {
            text.resize(length);
            return text;
        }
        text.assign(text.size() * 2, '\0');
    }
}

BOOL CListCtrl::DeleteItem(int item)
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, item));
}

BOOL CListCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS));
}

BOOL CListCtrl::GetCheck(int item) const
{
    return (GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) == 2;
}

BOOL CListCtrl::SetCheck(int item, BOOL check)
{
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}

UINT CListCtrl::GetSelectedCount() const
{
    return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT));
}

int CListCtrl::GetNextItem(int start, UINT flags) const
{
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMA row = {};
    row.state = state;
    row.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&row)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMA row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)))
        return 0;
    return static_cast<DWORD_PTR>(row.lParam);
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data)
{
    LVITEMA row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    row.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE compare, DWORD_PTR context)
{
    return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, context, reinterpret_cast<LPARAM>(compare)));
}

BOOL CListCtrl::EnsureVisible(int item, BOOL partialOK)
{
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, item, partialOK));
}
