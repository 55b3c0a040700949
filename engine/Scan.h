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

// Walks folder and its unlisted sub-folders depth first, appending a row for
// every listed entry. Every form of root is opened by handles from the top
// folder of its volume: a drive path, a "\\?\" or "\\.\" path, a share
// ("\\server\share\..." or "\\?\UNC\..."), a relative or drive-relative
// path (made absolute against the current folders once), and a pattern root
// ("D:\sub\con*": its folder, and of that folder's entries only those the
// pattern matches, as FindFirstFile would match them). Sub-folders are opened
// relative to their folder by exact names, checked by identity, and never
// entered when they are links. A root that does not open as a folder lists
// nothing and counts as unsearched.
void ScanFolder(FileSystem& fs, std::u16string_view folder, const ScanOptions& options, RowSink& list,
                ScanState& state);
// The same for a root in the ANSI code page, which must convert exactly.
void ScanFolder(FileSystem& fs, const std::string& folder, const ScanOptions& options, RowSink& list, ScanState& state);
