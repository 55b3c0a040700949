// The search of the result list: one walk at a time on a worker, its rows
// handed to the window's thread in batches, its end reported there once the
// last row is in the list.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "FileSystem.h"
#include "ListRowSink.h"
#include "ResultList.h"
#include "MainTexts.h"
#include "Scan.h"
#include "SearchProgress.h"
#include "WindowTasks.h"
#include "WorkerThreads.h"

// How a walk ended, with its counts as the summary shows them.
struct SearchOutcome {
    std::wstring root;  // as the field gave it
    SearchEnd end = SearchEnd::Finished;
    bool rootMissing = false;  // the root is not there exactly: nothing was searched
    int foldersSearched = 0, filesSearched = 0;
    int malformedFolders = 0, malformedFiles = 0;
    int unsearched = 0;
    uint32_t elapsedMs = 0;  // the walk's own time
};

class FolderSearch {
public:
    using Ended = std::function<void(const SearchOutcome&)>;

    FolderSearch(ResultList& list, WindowTasks& tasks, WorkerThreads& workers)
        : m_list(list), m_tasks(tasks), m_workers(workers) {
        m_state.stopRequested = 1;
    }
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;

    // The window's thread. Empties the list and walks root (UTF-16, exactly as
    // typed) with options on a worker; ended runs on the window's thread after the walk's last row is
    // in the list. False (nothing changed) while a walk runs or unwinds, or
    // when no worker could start.
    bool Start(FileSystem& fs, const std::wstring& root, const ScanOptions& options, Ended ended);

    // Any thread: the walk ends at its next step.
    void Stop() { m_state.stopRequested = 1; }

    // From Start until ended has run (also while a stopped walk unwinds).
    bool IsWalking() const { return m_walking.load(); }
    bool IsStopping() const { return IsWalking() && m_state.stopRequested.load() != 0; }

    // For the progress display: where the walk is, and its counts so far.
    std::string Position() const { return m_position.Get(); }
    int FoldersSearched() const { return m_state.foldersSearched.load(); }
    int FilesSearched() const { return m_state.filesSearched.load(); }

private:
    struct Run;
    static DWORD WINAPI Worker(void* run);
    void Finish(const SearchOutcome& outcome, const Ended& ended);

    ResultList& m_list;
    WindowTasks& m_tasks;
    WorkerThreads& m_workers;
    ScanState m_state;
    ProgressText m_position;  // the walk's position, made on the walk's thread
    std::atomic<bool> m_walking{false};
};
