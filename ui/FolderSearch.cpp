#include "FolderSearch.h"

#include <memory>

#include "MainTimers.h"

struct FolderSearch::Run {
    FolderSearch* owner;
    FileSystem* fs;
    std::wstring root;
    ScanOptions options;
    Ended ended;
};

bool FolderSearch::Start(FileSystem& fs, const std::wstring& root, const ScanOptions& options, Ended ended) {
    if (m_walking) return false;
    auto run = std::make_unique<Run>(Run{this, &fs, root, options, std::move(ended)});
    // The list is emptied for the new rows before the walk finds any.
    m_list.Clear();
    m_state.ResetCounters();
    m_position.Set(std::string());
    // Cleared before the walk starts: a stop from then on is never overwritten.
    m_state.stopRequested = 0;
    m_walking = true;
    if (!m_workers.Start(&FolderSearch::Worker, run.get())) {
        m_state.stopRequested = 1;
        m_walking = false;
        return false;
    }
    run.release();  // the worker's now
    return true;
}

DWORD WINAPI FolderSearch::Worker(void* p) {
    std::unique_ptr<Run> run(static_cast<Run*>(p));
    FolderSearch& self = *run->owner;
    const DWORD start = GetTickCount();
    {
        ListRowSink rows(self.m_list, self.m_tasks);
        ProgressSink sink(rows, *run->fs, self.m_state, self.m_position, kProgressMs);
        const std::u16string root(run->root.begin(), run->root.end());
        ScanFolder(*run->fs, std::u16string_view(root), run->options, sink, self.m_state);
    }  // every row is handed over before the end
    SearchOutcome outcome;
    // Read before anything else: the end of the walk raises the flag too.
    outcome.end = self.m_state.stopRequested.load() != 0 ? SearchEnd::Stopped : SearchEnd::Finished;
    outcome.elapsedMs = GetTickCount() - start;
    outcome.root = run->root;
    outcome.rootMissing = self.m_state.rootMissing;
    outcome.foldersSearched = self.m_state.foldersSearched;
    outcome.filesSearched = self.m_state.filesSearched;
    outcome.malformedFolders = self.m_state.malformedFolders;
    outcome.malformedFiles = self.m_state.malformedFiles;
    outcome.unsearched = self.m_state.unsearched;
    self.m_state.stopRequested = 1;
    self.m_tasks.Post([&self, outcome, ended = std::move(run->ended)] { self.Finish(outcome, ended); });
    return 0;
}

void FolderSearch::Finish(const SearchOutcome& outcome, const Ended& ended) {
    // The list was opened to paints by the walk's last batch of rows.
    m_walking = false;
    if (ended) ended(outcome);
}
