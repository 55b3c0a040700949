#include "ListRowSink.h"

void ListRowSink::AppendRow(const ResultRow& row) {
    int at = m_list.GetItemCount();
    at = m_list.InsertItem(at, row.path.c_str());
    if (at < 0) return;
    m_list.SetItemText(at, 1, row.bracketedName.c_str());
    m_list.SetItemText(at, 2, row.type.c_str());
    m_list.SetItemText(at, 3, row.attribute.c_str());
    m_list.SetItemText(at, 4, row.result.c_str());
}
