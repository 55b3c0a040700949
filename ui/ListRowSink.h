// Rows of the walk into the result list control.
#pragma once

#include <windows.h>

#include <unordered_map>
#include <vector>

#include "ListCtrl.h"
#include "ResultRow.h"
#include "WindowTasks.h"

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

// What each row of the list is, found by the key in the row's item data:
// deletion goes by it, never by column 0 read back. Used on the list's
// thread only; keys are never reused.
class RowEntries {
public:
    DWORD_PTR Add(const EntryPtr& entry) {
        const DWORD_PTR key = ++m_lastKey;
        m_rows[key].entry = entry;
        return key;
    }
    EntryPtr Find(DWORD_PTR key) const {
        auto it = m_rows.find(key);
        return it == m_rows.end() ? EntryPtr() : it->second.entry;
    }
    // Why the row's last deletion or renaming failed (0: it has not failed).
    void SetError(DWORD_PTR key, uint32_t error) {
        auto it = m_rows.find(key);
        if (it != m_rows.end()) it->second.error = error;
    }
    uint32_t ErrorOf(DWORD_PTR key) const {
        auto it = m_rows.find(key);
        return it == m_rows.end() ? 0 : it->second.error;
    }
    void Forget(DWORD_PTR key) { m_rows.erase(key); }
    void Clear() { m_rows.clear(); }

private:
    struct Row {
        EntryPtr entry;
        uint32_t error = 0;
    };
    DWORD_PTR m_lastKey = 0;
    std::unordered_map<DWORD_PTR, Row> m_rows;
};

class ListRowSink final : public RowSink {
public:
    // The list's window runs the insertions as tasks; gate and entries belong
    // to that window too, and outlive the tasks.
    ListRowSink(CListCtrl& list, ListPaintGate& gate, RowEntries& entries, WindowTasks& tasks)
        : m_list(list), m_gate(gate), m_entries(entries), m_tasks(tasks) {}
    ~ListRowSink() override { Flush(); }
    ListRowSink(const ListRowSink&) = delete;
    ListRowSink& operator=(const ListRowSink&) = delete;

    // Rows are handed to the window's thread in small batches (every few
    // dozen milliseconds) and arrive in the order of the walk.
    void AppendRow(const ResultRow& row) override;
    void Idle() override;
    // Hands over what is pending and has the list repainted after it; the
    // walk calls it when it ends.
    void Flush() { Hand(true); }

private:
    void Hand(bool last);

    CListCtrl& m_list;
    ListPaintGate& m_gate;
    RowEntries& m_entries;
    WindowTasks& m_tasks;
    std::vector<ResultRow> m_pending;
    DWORD m_lastHand = GetTickCount();
    // Rows went in since the last Flush: the gate may still hold the list.
    bool m_handedRows = false;
};
