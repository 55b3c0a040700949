#include "ListRowSink.h"

#include "Layout.h"
#include "MainTexts.h"

namespace {

constexpr size_t kBatchRows = 100;
constexpr DWORD kBatchMs = 40;
constexpr DWORD kPaintMs = 300;

}  // namespace

void ListPaintGate::Hold(HWND list) {
    if (m_held) return;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    m_held = true;
}

void ListPaintGate::Open(HWND list, bool force) {
    if (!m_held) return;
    DWORD now = GetTickCount();
    if (!force && now - m_lastPaint < kPaintMs) return;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
    m_held = false;
    m_lastPaint = now;
}

void ListRowSink::AppendRow(const ResultRow& row) {
    m_pending.push_back(row);
    if (m_pending.size() >= kBatchRows || GetTickCount() - m_lastHand >= kBatchMs) Hand(false);
}

void ListRowSink::Idle() {
    if (!m_pending.empty() && GetTickCount() - m_lastHand >= kBatchMs) Hand(false);
}

void ListRowSink::Hand(bool last) {
    m_lastHand = GetTickCount();
    if (m_pending.empty() && !(last && m_handedRows)) return;
    // A row goes in with all five texts in one task on the window's thread: a
    // sort or a clear served between two of its messages would move or remove
    // the row under the texts still to come.
    CListCtrl& list = m_list;
    ListPaintGate& gate = m_gate;
    RowEntries& entries = m_entries;
    std::vector<ResultRow> rows;
    rows.swap(m_pending);
    m_tasks.Post([&list, &gate, &entries, rows = std::move(rows), last] {
        HWND control = list.GetSafeHwnd();
        if (!rows.empty()) gate.Hold(control);
        for (const ResultRow& row : rows) {
            int at = list.InsertItem(list.GetItemCount(), row.path.c_str());
            if (at < 0) continue;
            list.SetItemText(at, 1, row.bracketedName.c_str());
            list.SetItemText(at, 2, row.type.c_str());
            list.SetItemText(at, 3, row.attribute.c_str());
            list.SetItemText(at, 4, row.result.c_str());
            list.SetItemText(at, kWhyListedColumn, BuildWhyListedText(row.listedFor, row.plainPathWorks).c_str());
            list.SetItemData(at, entries.Add(row.entry));
        }
        gate.Open(control, last);
    });
    m_handedRows = !last;
}
