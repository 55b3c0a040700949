#include "ListRowSink.h"

#include <utility>

namespace {

// A batch costs one task on the window's thread, whatever its size: an
// owner-data list takes a thousand rows as fast as one.
constexpr size_t kBatchRows = 2000;
constexpr DWORD kBatchMs = 40;

}  // namespace

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
    ResultList& list = m_list;
    std::vector<ResultRow> rows;
    rows.swap(m_pending);
    m_tasks.Post([&list, rows = std::move(rows), last]() mutable {
        if (!rows.empty()) list.HoldPaints();
        list.Append(rows);
        list.OpenPaints(last);
    });
    m_handedRows = !last;
}
