// Rows of the walk into the result list.
#pragma once

#include <windows.h>

#include <vector>

#include "ResultList.h"
#include "ResultRow.h"
#include "WindowTasks.h"

class ListRowSink final : public RowSink {
public:
    // The list's window runs the insertions as tasks; the list outlives them.
    ListRowSink(ResultList& list, WindowTasks& tasks) : m_list(list), m_tasks(tasks) {}
    ~ListRowSink() override { Flush(); }
    ListRowSink(const ListRowSink&) = delete;
    ListRowSink& operator=(const ListRowSink&) = delete;

    // Rows are handed to the window's thread in batches (every few dozen
    // milliseconds) and arrive in the order of the walk.
    void AppendRow(const ResultRow& row) override;
    void Idle() override;
    // Hands over what is pending and has the list repainted after it; the
    // walk calls it when it ends.
    void Flush() { Hand(true); }

private:
    void Hand(bool last);

    ResultList& m_list;
    WindowTasks& m_tasks;
    std::vector<ListedRow> m_pending;
    DWORD m_lastHand = GetTickCount();
    // Rows went in since the last Flush: the list's paints may still be held.
    bool m_handedRows = false;
};
