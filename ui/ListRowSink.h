// Rows of the walk into the result list control.
#pragma once

#include <windows.h>

#include <vector>

#include "ListCtrl.h"
#include "ResultRow.h"

// Keeps the list from repainting while rows pour in and lets it repaint a few
// times a second: one repaint costs about as much as inserting a thousand
// rows. Used on the list's thread only.
class ListPaintGate {
public:
    // Before rows go in: the list stops repainting itself.
    void Hold(HWND list);
    // Lets a held list repaint, when force or when it last did a while ago.
    void Open(HWND list, bool force);
    bool IsHeld() const { return m_held; }

private:
    bool m_held = false;
    DWORD m_lastPaint = GetTickCount();
};

class ListRowSink final : public RowSink {
public:
    // The list's parent window runs the insertions (WM_APP_RUN_TASK); gate
    // belongs to that window too.
    ListRowSink(CListCtrl& list, ListPaintGate& gate) : m_list(list), m_gate(gate) {}
    ~ListRowSink() override { Flush(); }
    ListRowSink(const ListRowSink&) = delete;
    ListRowSink& operator=(const ListRowSink&) = delete;

    // Rows are handed to the window's thread in small batches (every few
    // dozen milliseconds) and arrive in the order of the walk.
    void AppendRow(const ResultRow& row) override;
    void Idle() override;
    // Hands over what is pending and repaints the list; the walk calls it
    // when it ends.
    void Flush() { Hand(true); }

private:
    void Hand(bool last);

    CListCtrl& m_list;
    ListPaintGate& m_gate;
    std::vector<ResultRow> m_pending;
    DWORD m_lastHand = GetTickCount();
    // Rows went in since the last Flush: the gate may still hold the list.
    bool m_handedRows = false;
};
