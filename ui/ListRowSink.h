// Rows of the walk into the result list control.
#pragma once

#include <windows.h>

#include <vector>

#include "ListCtrl.h"
#include "ResultRow.h"

class ListRowSink final : public RowSink {
public:
    // The list's parent window runs the insertions (WM_APP_RUN_TASK).
    explicit ListRowSink(CListCtrl& list) : m_list(list) {}
    ~ListRowSink() override { Flush(); }
    ListRowSink(const ListRowSink&) = delete;
    ListRowSink& operator=(const ListRowSink&) = delete;

    // Rows are handed to the window's thread in small batches (every few
    // dozen milliseconds), so that thousands of them cost the window a few
    // repaints rather than one per row, and arrive in the order of the walk.
    void AppendRow(const ResultRow& row) override;
    void Idle() override;
    // Hands over what is pending; the walk calls it when it ends.
    void Flush();

private:
    CListCtrl& m_list;
    std::vector<ResultRow> m_pending;
    DWORD m_lastFlush = GetTickCount();
};
