// Rows of the walk into the result list control.
#pragma once

#include "ListCtrl.h"
#include "ResultRow.h"

class ListRowSink final : public RowSink {
public:
    // The list's parent window runs the insertions (WM_APP_RUN_TASK).
    explicit ListRowSink(CListCtrl& list) : m_list(list) {}
    // Inserted at the position of the current row count, column 0 first, on
    // the list's thread; nothing when the window is gone.
    void AppendRow(const ResultRow& row) override;

private:
    CListCtrl& m_list;
};
