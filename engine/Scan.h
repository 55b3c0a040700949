// The recursive walk of one folder tree.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "Names.h"
#include "ResultRow.h"

// Counters and progress of a search. The walk writes it on the search thread;
// the window's timer reads it and another thread may raise stopRequested, so
// the shared fields are atomic and the entry paths sit behind a small lock.
struct ScanState {
    std::atomic<int32_t> rowsListed{0};
    std::atomic<int32_t> foldersSearched{0};  // below the root, listed or not
    std::atomic<int32_t> filesSearched{0};
    std::atomic<uint8_t> stopRequested{0};  // 1 also means: no search running
    std::atomic<int32_t> malformedFolders{0};
    std::atomic<int32_t> malformedFiles{0};
    // Folders whose listing failed and entries left out because no path to
    // them fits: what the search could not look at.
    std::atomic<int32_t> unsearched{0};
    // The root itself is not there exactly (missing, not a folder, or typed
    // with a trailing dot or blank its folder does not have): nothing was searched.
    std::atomic<bool> rootMissing{false};
    char longEntryPath[kMaxPath] = {};   // folder part + long name of the last entry
    char shortEntryPath[kMaxPath] = {};  // folder part + its alias (or long name)
    const char* attributeText = kAttrTextName;
    // Set by the caller before a walk (the console's filters): names (globs
    // with * and ?, without regard to case) neither listed nor entered, and
    // how many folder levels below the root are entered (-1: all).
    std::vector<std::u16string> exclude;
    int maxDepth = -1;
    // Set by the caller (the console's --plain-fails): an entry the rules
    // list is listed only when its plain path does not reach it here; else
    // it is taken as unlisted (a folder is entered).
    bool onlyPlainPathFails = false;

    // Counters to 0, paths cleared; stopRequested is left to the caller.
    void ResetCounters();
    // A copy of longEntryPath for the progress display. The two paths belong
    // to the walk's thread (the progress sink runs there too): they are
    // written and read on it only, and reset before a walk starts.
    void CopyLongEntryPath(char (&out)[kMaxPath]) const;
};

// Fills longEntryPath and shortEntryPath from the listing pattern and an entry
// it returned. False, with both cleared, when a path would not fit in 260 bytes.
bool BuildEntryPaths(ScanState& state, const char* pattern, const FindData& entry);

// Walks folder (a path as typed, or a pattern ending in "*") and its unlisted
// sub-folders depth first, appending a row for every listed entry. A root on
// a drive is resolved once through its listings (a dot-ended name is never
// taken for its twin) and listed by its verbatim form; a root that does not
// resolve to a folder lists nothing and counts as unsearched. Sub-folders are
// entered by long names under "\\?\" while that fits, by aliases that no
// other entry of their folder shares otherwise, and never when they are
// links. Shares, relative and drive-relative roots ("C:*") are listed as
// typed and their rows get an empty path.
void ScanFolder(FileSystem& fs, const std::string& folder, const ScanOptions& options, RowSink& list, ScanState& state);
