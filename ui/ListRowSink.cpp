#include "ListRowSink.h"

#include <memory>
#include <utility>

namespace {

// A batch costs one task on the window's thread, whatever its size: an
// owner-data list takes a thousand rows as fast as one.
constexpr size_t kBatchRows = 2000;
constexpr DWORD kBatchMs = 40;

}  // namespace

void ListRowSink::AppendRow(const ResultRow& row) {
    // Made here, on the walk's thread: the window's thread only takes them in.
    m_pending.push_back(ListedRowOf(row));
    if (m_pending.size() >= kBatchRows || GetTickCount() - m_lastHand >= kBatchMs) Hand(false);
}

void ListRowSink::Idle() {
    if (!m_pending.empty() && GetTickCount() - m_lastHand >= kBatchMs) Hand(false);
}

void ListRowSink::Hand(bool last) {
    m_lastHand = GetTickCount();
    if (m_pending.empty() && !(last && m_handedRows)) return;
    ResultList& list = m_list;
    // Shared: a task is copyable, the rows are not.
    auto rows = std::make_shared<std::vector<ListedRow>>(std::move(m_pending));
    m_pending.clear();
    m_tasks.Post([&list, rows, last] {
        list.Append(*rows);
        if (last) list.OpenPaints(true);
    });
    m_handedRows = !last;
}
