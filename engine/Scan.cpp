#include "Scan.h"

#include <cstring>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

#include "Entry.h"
#include "PathText.h"

void ScanState::ResetCounters() {
    rowsListed = 0;
    foldersSearched = 0;
    filesSearched = 0;
    malformedFolders = 0;
    malformedFiles = 0;
    unsearched = 0;
    rootMissing = false;
    std::memset(longEntryPath, 0, sizeof longEntryPath);
    std::memset(shortEntryPath, 0, sizeof shortEntryPath);
    attributeText = kAttrTextName;
}

void ScanState::CopyLongEntryPath(char (&out)[kMaxPath]) const {
    std::memcpy(out, longEntryPath, sizeof out);
    out[kMaxPath - 1] = '\0';
}

namespace {

// The progress path: what column 0 would show, or the folder's when the
// entry has none.
void ShowPath(ScanState& state, const std::string& path) {
    if (path.empty() || path.size() >= kMaxPath) return;
    std::memcpy(state.longEntryPath, path.data(), path.size());
    state.longEntryPath[path.size()] = '\0';
    std::memcpy(state.shortEntryPath, path.data(), path.size() + 1);
}

bool IsLinkInfo(uint32_t attributes, uint32_t tag) {
    return (attributes & fs_attr::kReparsePoint) != 0 && IsLinkTag(tag);
}

// One folder, open: its entries come from the handle, its sub-folders are
// opened relative to it by their exact names and checked by id, and a link is
// never entered. ansiPath is the folder's path as rows show it, empty when a
// name on the way has no exact form in the code page.
bool Excluded(const ScanState& state, const WideName& name) {
    for (const std::u16string& glob : state.exclude)
        if (MatchesGlob(glob, name)) return true;
    return false;
}

// Whether a name matches the pattern of a pattern root the way FindFirstFile
// matches it: "*" and "?" without regard to case, against the name or its
// 8.3 alias; "*.*" is everything.
bool MatchesRootPattern(const WideName& pattern, const DirEntry& e) {
    if (pattern.empty() || pattern == u"*" || pattern == u"*.*") return true;
    return MatchesGlob(pattern, e.name) || (!e.shortName.empty() && MatchesGlob(pattern, e.shortName));
}

EntryPtr MakeRef(const EntryPtr& parent, const DirEntry& e, bool isFolder) {
    auto ref = std::make_shared<EntryRef>();
    static_cast<Identity&>(*ref) = e;
    ref->parent = parent;
    ref->name = e.name;
    ref->isFolder = isFolder;
    return ref;
}

// The listings of one walk, one for each level: folders on one level are
// listed one after another, so each listing is written over the last one of
// its level and its names need no new room.
using Listings = std::deque<std::vector<DirEntry>>;

void WalkOpenFolder(FileSystem& fs, Node& folder, const EntryPtr& self, const std::string& ansiPath,
                    const ScanOptions& options, RowSink& list, ScanState& state, int depth, Listings& listings,
                    const WideName* pattern = nullptr) {
    if (listings.size() <= static_cast<size_t>(depth)) listings.resize(static_cast<size_t>(depth) + 1);
    std::vector<DirEntry>& entries = listings[static_cast<size_t>(depth)];
    uint32_t error = 0;
    // Only a pattern matches aliases.
    if (!(pattern ? fs.ListFolderWithAliases(folder, entries, error) : fs.ListFolder(folder, entries, error))) {
        ++state.unsearched;  // what it could not list, it did not look at
        if (entries.empty()) return;
    }
    ShowPath(state, ansiPath);
    for (const DirEntry& e : entries) {
        if (state.stopRequested.load(std::memory_order_relaxed) != 0) break;
        list.Idle();
        const bool isFolder = (e.attributes & fs_attr::kDirectory) != 0;
        if (!state.exclude.empty() && Excluded(state, e.name)) continue;
        // A pattern root lists what FindFirstFile would, and nothing else is met.
        if (pattern && !MatchesRootPattern(*pattern, e)) continue;
        if (IsMalformedEntry(e.name, e.attributes, options, state.attributeText) &&
            !(state.onlyPlainPathFails && fs.PlainPathReaches(WidePathOf(*self), e.name))) {
            std::string ansi;
            const bool exact = fs.ToAnsi(e.name, ansi);
            std::string path;
            if (exact && !ansiPath.empty()) {
                path.reserve(ansiPath.size() + 1 + ansi.size());
                path = ansiPath;
                if (!EndsWithChar(path, '\\')) path += '\\';
                path += ansi;
                if (path.size() >= kMaxPath) path.clear();
            }
            ShowPath(state, path);
            if (isFolder) {
                ++state.malformedFolders;
                ++state.foldersSearched;
            } else {
                ++state.malformedFiles;
                ++state.filesSearched;
            }
            ResultRow row = MakeResultRow(std::move(path), ansi.c_str(), e.attributes, state.attributeText);
            row.entry = MakeRef(self, e, isFolder);
            row.wideName = e.name;
            NoteWhyListed(fs, row, *self, e.attributes, options);
            list.AppendRow(row);
            ++state.rowsListed;
        } else if (isFolder) {
            ++state.foldersSearched;
            // A junction or symbolic link may loop or lead out of the tree.
            if (IsLinkInfo(e.attributes, e.tag)) continue;
            if (state.maxDepth >= 0 && depth >= state.maxDepth) continue;
            // The listing just gave its exact name and id: the handle must
            // hold that very entry, a folder and no link. Gone, replaced or
            // turned into a link since: not entered.
            NodeInfo info;
            std::unique_ptr<Node> child = fs.OpenChild(folder, e.name, FileSystem::OpenFor::kList, error);
            if (child && !fs.Query(*child, info, error)) child.reset();
            if (!child || !SameEntry(e, info, true) || !(info.attributes & fs_attr::kDirectory) ||
                IsLinkInfo(info.attributes, info.tag)) {
                ++state.unsearched;
                continue;
            }
            EntryPtr ref = MakeRef(self, e, true);
            std::string childPath;
            std::string ansi;
            if (!ansiPath.empty() && fs.ToAnsi(e.name, ansi)) {
                childPath = ansiPath;
                if (!EndsWithChar(childPath, '\\')) childPath += '\\';
                childPath += ansi;
            }
            WalkOpenFolder(fs, *child, ref, childPath, options, list, state, depth + 1, listings);
        } else {
            ++state.filesSearched;
        }
    }
}

}  // namespace

void ScanFolder(FileSystem& fs, std::u16string_view folder, const ScanOptions& options, RowSink& list,
                ScanState& state) {
    if (!(options.malformedNames == 1 || options.hidden == 1 || options.readOnly == 1 || options.system == 1)) return;
    if (folder.empty()) return;
    // Every form of root is opened from the top folder of its volume by the
    // names typed (as the system matches them: case, aliases, links all as
    // Windows would) and walked through handles from there. A trailing dot or
    // blank is part of the name it ends: "a." is never taken for "a".
    TypedPath typed;
    EntryPtr top;
    std::string longPath;
    NodeInfo info;
    std::unique_ptr<Node> open;
    uint32_t error = 0;
    if (!SplitTypedPath(fs, folder, PathUse::kRoot, typed, error) ||
        !OpenTypedPath(fs, typed, false, top, longPath, info, &open, error) || !top->isFolder) {
        ++state.unsearched;
        state.rootMissing = true;
        return;
    }
    if (longPath.size() >= kMaxPath) longPath.clear();
    const bool everything = typed.pattern.empty() || typed.pattern == u"*" || typed.pattern == u"*.*";
    Listings listings;
    WalkOpenFolder(fs, *open, top, longPath, options, list, state, 0, listings, everything ? nullptr : &typed.pattern);
}

void ScanFolder(FileSystem& fs, const std::string& folder, const ScanOptions& options, RowSink& list,
                ScanState& state) {
    if (!(options.malformedNames == 1 || options.hidden == 1 || options.readOnly == 1 || options.system == 1)) return;
    if (folder.empty()) return;
    WideName wide;
    // A folder the code page holds only approximately names no folder for certain.
    if (!fs.ToWide(folder, wide) || wide.empty()) {
        ++state.unsearched;
        state.rootMissing = true;
        return;
    }
    ScanFolder(fs, std::u16string_view(wide), options, list, state);
}
