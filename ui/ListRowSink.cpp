#include "ListRowSink.h"

#include "AppMessages.h"

void ListRowSink::AppendRow(const ResultRow& row) {
    // A row goes in with all five texts in one step on the window's thread: a
    // sort or a clear served between two of its messages would move or remove
    // the row under the texts still to come.
    RunOnWindowThread(GetParent(m_list.GetSafeHwnd()), [&] {
        int at = m_list.InsertItem(m_list.GetItemCount(), row.path.c_str());
        if (at < 0) return;
        m_list.SetItemText(at, 1, row.bracketedName.c_str());
        m_list.SetItemText(at, 2, row.type.c_str());
        m_list.SetItemText(at, 3, row.attribute.c_str());
        m_list.SetItemText(at, 4, row.result.c_str());
    });
}
