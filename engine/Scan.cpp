#include "Scan.h"

#include <cstring>
#include <string_view>

#include "PathForms.h"
#include "PathText.h"

void ScanState::ResetCounters() {
    rowsListed = 0;
    foldersSearched = 0;
    filesSearched = 0;
    malformedFolders = 0;
    malformedFiles = 0;
    unsearched = 0;
    LockPaths();
    std::memset(longEntryPath, 0, sizeof longEntryPath);
    std::memset(shortEntryPath, 0, sizeof shortEntryPath);
    UnlockPaths();
    attributeText = kAttrTextName;
}

void ScanState::LockPaths() const {
    while (m_pathLock.test_and_set(std::memory_order_acquire)) {
    }
}

void ScanState::UnlockPaths() const { m_pathLock.clear(std::memory_order_release); }

void ScanState::CopyLongEntryPath(char (&out)[kMaxPath]) const {
    LockPaths();
    std::memcpy(out, longEntryPath, sizeof out);
    UnlockPaths();
    out[kMaxPath - 1] = '\0';
}

namespace {

// The part of a listing pattern that an entry's name follows: everything up to
// the last "\", or a bare drive ("D:*" lists the drive's current folder).
std::string_view FolderPartOf(std::string_view pattern) {
    size_t after = AfterLastBackslash(pattern);
    if (after == 0 && pattern.size() >= 2 && pattern[1] == ':' && !IsAnsiLeadByte(static_cast<unsigned char>(pattern[0]))) return pattern.substr(0, 2);
    return pattern.substr(0, after);
}

bool BuildPattern(char (&pattern)[kMaxPath], const std::string& folder) {
    std::string text = folder;
    if (EndsWithChar(folder, '\\'))
        text += '*';
    else if (!EndsWithChar(folder, '*'))
        text += "\\*";
    return CopyIfFits(pattern, sizeof pattern, text);
}

bool IsDotOrDotDot(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

}  // namespace

bool BuildEntryPaths(ScanState& state, const char* pattern, const FindData& entry) {
    std::string_view folder = FolderPartOf(pattern);
    std::string longPath(folder), shortPath(folder);
    longPath += entry.name;
    // The short path is how the walk goes on, so it must name this very entry.
    bool fits = AppendReachableName(shortPath, entry);
    fits = fits && longPath.size() < kMaxPath && shortPath.size() < kMaxPath;

    state.LockPaths();
    std::memset(state.longEntryPath, 0, sizeof state.longEntryPath);
    std::memset(state.shortEntryPath, 0, sizeof state.shortEntryPath);
    if (fits) {
        std::memcpy(state.longEntryPath, longPath.data(), longPath.size());
        std::memcpy(state.shortEntryPath, shortPath.data(), shortPath.size());
    }
    state.UnlockPaths();
    return fits;
}

namespace {

// The long-name form of the folder a level lists. The walk knows it from the
// level above, so column 0 costs no listing of the ancestors: it is the same
// text ResolveLongPath would build for the entry path.
struct LongFolder {
    bool known = false;  // false: the root did not resolve, rows get an empty path
    std::string path;    // empty for a listing relative to the current folder
};

std::string LongPathOf(const LongFolder& folder, const char* name) {
    if (!folder.known) return std::string();
    std::string path = folder.path.empty() ? std::string(name) : folder.path + "\\" + name;
    return path.size() < kMaxPath ? path : std::string();
}

void WalkLevel(FileSystem& fs, const std::string& folder, const LongFolder& longFolder, const ScanOptions& options,
               RowSink& list, ScanState& state) {
    char pattern[kMaxPath] = {};
    if (!BuildPattern(pattern, folder)) return;  // too long to list: skipped

    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(pattern, entry, error);
    if (!listing) return;

    do {
        if (state.stopRequested.load(std::memory_order_relaxed) != 0) break;
        list.Idle();
        const char* name = entry.name;
        bool isFolder = IsFolderEntry(entry);
        if (IsMalformedEntry(name, entry.attributes, options, state.attributeText)) {
            if (!BuildEntryPaths(state, pattern, entry)) continue;  // no 260-byte path names it
            if (isFolder) {
                ++state.malformedFolders;
                ++state.foldersSearched;
            } else {
                ++state.malformedFiles;
                ++state.filesSearched;
            }
            AppendResultRow(list, LongPathOf(longFolder, name), name, entry.attributes, state.attributeText);
            ++state.rowsListed;
        } else if (isFolder && !IsDotOrDotDot(name)) {
            ++state.foldersSearched;
            // A junction or symbolic link may loop or lead out of the tree.
            if (IsLinkEntry(entry)) continue;
            if (!BuildEntryPaths(state, pattern, entry)) continue;
            std::string child(state.shortEntryPath);
            LongFolder longChild;
            longChild.path = LongPathOf(longFolder, name);
            longChild.known = !longChild.path.empty();
            WalkLevel(fs, child, longChild, options, list, state);
        } else if (!IsDotOrDotDot(name)) {
            ++state.filesSearched;
        }
    } while (listing->Next(entry, error));  // any failure ends this folder
}

}  // namespace

void ScanFolder(FileSystem& fs, const std::string& folder, const ScanOptions& options, RowSink& list,
                ScanState& state) {
    if (!(options.malformedNames == 1 || options.hidden == 1 || options.readOnly == 1 || options.system == 1))
        return;
    if (folder.empty()) return;

    char pattern[kMaxPath] = {};
    if (!BuildPattern(pattern, folder)) return;
    // The root's folder part is resolved once; below it the walk builds on it.
    std::string_view part = FolderPartOf(pattern);
    LongFolder root;
    if (part.empty()) {
        root.known = true;
    } else {
        root.path = ResolveLongPath(fs, part);
        root.known = !root.path.empty();
    }
    WalkLevel(fs, folder, root, options, list, state);
}
