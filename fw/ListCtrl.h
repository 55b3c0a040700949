// A report-view list control, bound to a dialog's control. Every call is one window message, so
// worker threads may use it too: the system carries the call over to the control's thread.
#pragma once

#include <string>

#include <windows.h>
#include <commctrl.h>

#include "Wnd.h"

// Texts given as narrow strings are the program's own (code page 936); the control keeps UTF-16.
class CListCtrl : public CWnd {
public:
    // Returns the new column's index, -1 on failure. A width of -1 leaves the width unset.
    int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT, int width = -1);
    BOOL SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    int GetColumnCount() const;

    // Keeps `column` as wide as the client area leaves beside the other columns (never below
    // minWidth), now and whenever the client size changes, the list's own scroll bars coming or
    // going included. Only the window thread may call it; false when the list is not there.
    bool KeepColumnFilling(int column, int minWidth);
    // Fits the filling column to the client width now.
    void FitFillingColumn();

    DWORD GetExtendedStyle() const;
    // Returns the previous extended styles.
    DWORD SetExtendedStyle(DWORD exStyle);

    int GetItemCount() const;
    // Inserts a row whose column 0 is text; returns its index, -1 on failure.
    int InsertItem(int item, const char* text);
    BOOL SetItemText(int item, int subItem, const char* text);
    // Copies at most bufferSize - 1 bytes of the cell into buffer and ends it with NUL;
    // returns the bytes copied.
    int GetItemText(int item, int subItem, char* buffer, int bufferSize) const;
    // The whole text of the cell, however long: in the program's code page, and exactly.
    std::string GetItemText(int item, int subItem) const;
    std::wstring GetItemTextW(int item, int subItem) const;
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();

    // The row's check box (state image 2 checked, 1 unchecked).
    BOOL GetCheck(int item) const;
    BOOL SetCheck(int item, BOOL check = TRUE);

    UINT GetSelectedCount() const;
    // The next row after start (-1: from the top) that has the LVNI_ flags; -1 when none.
    int GetNextItem(int start, UINT flags) const;
    UINT GetItemState(int item, UINT mask) const;
    BOOL SetItemState(int item, UINT state, UINT mask);

    DWORD_PTR GetItemData(int item) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    // Sorts the rows; compare receives the two rows' item data and context.
    BOOL SortItems(PFNLVCOMPARE compare, DWORD_PTR context);
    BOOL EnsureVisible(int item, BOOL partialOK);
};
