// Deleting rows of the result list off the window's thread. The entries are
// deleted one after another on a worker; their rows leave the list (or read
// "失败") in batches on the window's thread, which stays free for input,
// paints and a stop meanwhile.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "FileSystem.h"
#include "ResultList.h"
#include "WindowTasks.h"
#include "WorkerThreads.h"

struct DeletionTally {
    int deleted = 0;
    int failed = 0;
    bool stopped = false;  // a stop came before every row was tried
    int left = 0;          // rows a stop left untried
};

class RowDeletion {
public:
    using Ended = std::function<void(const DeletionTally&)>;

    RowDeletion(ResultList& list, WindowTasks& tasks, WorkerThreads& workers)
        : m_list(list), m_tasks(tasks), m_workers(workers) {}
    RowDeletion(const RowDeletion&) = delete;
    RowDeletion& operator=(const RowDeletion&) = delete;

    // The window's thread. Deletes the entries of rows (indices into the list)
    // with fs; ended runs on the window's thread once every outcome is in the
    // list. False when one is running already or no worker could start.
    bool Start(FileSystem& fs, const std::vector<int>& rows, Ended ended);

    // Any thread: no entry is started after this, and a folder under way
    // stops between two of its entries (its row then reads "失败").
    void Stop() { m_stop = true; }

    // The window's thread: from Start until ended has run.
    bool IsRunning() const { return m_running; }
    bool IsStopping() const { return m_running && m_stop.load(); }

    // For the progress display: rows tried so far, and rows of this run.
    int Tried() const { return m_tried.load(); }
    int Total() const { return m_total; }

private:
    struct Item {
        int row;           // where the row was when the run started
        uint32_t id;       // the row's own, which stays with it
        EntryPtr entry;    // null for a row the search gave no entry
        std::string path;  // the path it was given, for such a row
    };
    struct RowOutcome {
        int row;
        uint32_t id;
        bool ok;
        uint32_t error;
    };
    struct Run;

    static DWORD WINAPI Worker(void* run);
    void Apply(const std::vector<RowOutcome>& outcomes);
    void Finish(const DeletionTally& tally, const Ended& ended);

    ResultList& m_list;
    WindowTasks& m_tasks;
    WorkerThreads& m_workers;
    std::atomic<bool> m_running{false};
    int m_total = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_tried{0};
};
