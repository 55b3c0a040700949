// The search's progress as the window shows it, made on the walk's thread so
// that the window's timer never waits on the disk (a slow network share).
#pragma once

#include <windows.h>

#include <string>

#include "Lock.h"

#include "FileSystem.h"
#include "ResultRow.h"
#include "Scan.h"

// A text one thread hands to another.
class ProgressText {
public:
    ProgressText() = default;
    ProgressText(const ProgressText&) = delete;
    ProgressText& operator=(const ProgressText&) = delete;

    void Set(const std::string& text);
    std::string Get() const;

private:
    mutable CriticalSection m_lock;
    std::string m_text;
};

// Passes the walk's rows on to another sink and, between entries and at most
// every period, puts the long-name form of the entry the walk is at (the last
// listed entry or folder entered) into out.
class ProgressSink final : public RowSink {
public:
    ProgressSink(RowSink& rows, FileSystem& fs, const ScanState& state, ProgressText& out, DWORD periodMs)
        : m_rows(rows), m_fs(fs), m_state(state), m_out(out), m_periodMs(periodMs) {}

    void AppendRow(const ResultRow& row) override { m_rows.AppendRow(row); }
    void Idle() override;

private:
    RowSink& m_rows;
    FileSystem& m_fs;
    const ScanState& m_state;
    ProgressText& m_out;
    DWORD m_periodMs;
    bool m_published = false;
    DWORD m_lastPublished = 0;
};
