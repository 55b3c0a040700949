#include "Scan.h"

#include <cstring>
#include <utility>
#include <string_view>

#include "PathForms.h"
#include "PathText.h"
#include "Entry.h"
#include "Resolve.h"
#include <vector>

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

// The part of a listing pattern that an entry's name follows: everything up to
// the last "\", or a bare drive ("D:*" lists the drive's current folder).
std::string_view FolderPartOf(std::string_view pattern) {
    size_t after = AfterLastBackslash(pattern);
    if (after == 0 && pattern.size() >= 2 && pattern[1] == ':' &&
        !IsAnsiLeadByte(static_cast<unsigned char>(pattern[0])))
        return pattern.substr(0, 2);
    return pattern.substr(0, after);
}

}  // namespace

bool BuildEntryPaths(ScanState& state, const char* pattern, const FindData& entry) {
    std::string_view folder = FolderPartOf(pattern);
    std::string longPath(folder), shortPath(folder);
    longPath += entry.name;
    // The short path is how the walk goes on, so it must name this very entry.
    bool fits = AppendReachableName(shortPath, entry);
    fits = fits && longPath.size() < kMaxPath && shortPath.size() < kMaxPath;

    std::memset(state.longEntryPath, 0, sizeof state.longEntryPath);
    std::memset(state.shortEntryPath, 0, sizeof state.shortEntryPath);
    if (fits) {
        std::memcpy(state.longEntryPath, longPath.data(), longPath.size());
        std::memcpy(state.shortEntryPath, shortPath.data(), shortPath.size());
    }
    return fits;
}

namespace {

// The long-name form of the folder a level lists. The walk knows it from the
// level above, so column 0 costs no listing of the ancestors: it is the same
// text ResolveLongPath would build for the entry path.
struct LongFolder {
    bool known = false;  // false: rows get an empty path, which nothing deletes
    std::string path;
};

std::string LongPathOf(const LongFolder& folder, const char* name) {
    if (!folder.known) return std::string();
    std::string path = folder.path.empty() ? std::string(name) : folder.path + "\\" + name;
    return path.size() < kMaxPath ? path : std::string();
}

// The progress paths of the entry in hand; the long one as column 0 shows it
// rather than the verbatim form the walk lists by.
void ShowProgress(ScanState& state, const char* pattern, const FindData& entry, const std::string& longPath) {
    BuildEntryPaths(state, pattern, entry);
    if (longPath.empty()) return;
    std::memset(state.longEntryPath, 0, sizeof state.longEntryPath);
    std::memcpy(state.longEntryPath, longPath.data(), longPath.size());
}

// "Could not look": a listing that failed for any other reason than that
// there was nothing to list (2 is what an empty drive root answers).
bool CouldNotLook(uint32_t error) { return error != fs_error::kNoMoreFiles && error != fs_error::kFileNotFound; }

void WalkLevel(FileSystem& fs, const std::string& pattern, const Reach& folder, const LongFolder& longFolder,
               const ScanOptions& options, RowSink& list, ScanState& state) {
    char buffer[kMaxPath] = {};
    if (pattern.empty() || !CopyIfFits(buffer, sizeof buffer, pattern)) {
        ++state.unsearched;
        return;
    }
    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(buffer, entry, error);
    if (!listing) {
        if (CouldNotLook(error)) ++state.unsearched;
        return;
    }
    // The whole listing first: whether an alias is an entry's own is only
    // known once every entry of the folder has been seen.
    std::vector<FindData> entries;
    do {
        entries.push_back(entry);
    } while (listing->Next(entry, error));
    // Aliases are counted only when a folder's long form is too long to go
    // on by: most folders never need them.
    AliasCounts counts;
    bool counted = false;
    listing.reset();
    if (error != fs_error::kNoMoreFiles) ++state.unsearched;  // cut short: the rest was not seen

    for (const FindData& e : entries) {
        if (state.stopRequested.load(std::memory_order_relaxed) != 0) break;
        list.Idle();
        const char* name = e.name;
        bool isFolder = IsFolderEntry(e);
        if (IsMalformedEntry(name, e.attributes, options, state.attributeText)) {
            // Every listed entry gets its row; whether it can be reached is
            // the deletion's business.
            // A name the code page holds only approximately gets no path: the
            // look-alike would name another entry, or none.
            std::string longPath = e.inexact ? std::string() : LongPathOf(longFolder, name);
            ShowProgress(state, buffer, e, longPath);
            if (isFolder) {
                ++state.malformedFolders;
                ++state.foldersSearched;
            } else {
                ++state.malformedFiles;
                ++state.filesSearched;
            }
            AppendResultRow(list, std::move(longPath), name, e.attributes, state.attributeText);
            ++state.rowsListed;
        } else if (isFolder && !IsDotOrDotDot(name)) {
            ++state.foldersSearched;
            // A junction or symbolic link may loop or lead out of the tree.
            if (IsLinkEntry(e)) continue;
            if (e.inexact) {
                ++state.unsearched;  // no narrow path names it
                continue;
            }
            Reach child = folder.Child(e, false);
            if (child.verbatim.empty() && e.shortName[0] != '\0') {
                if (!counted) {
                    for (const FindData& other : entries) counts.Add(other);
                    counted = true;
                }
                child = folder.Child(e, counts.Unique(e));
            }
            if (child.Empty()) {
                ++state.unsearched;  // no path to it fits, or only an alias it shares
                continue;
            }
            LongFolder longChild;
            longChild.path = LongPathOf(longFolder, name);
            longChild.known = !longChild.path.empty();
            ShowProgress(state, buffer, e, longChild.path);
            WalkLevel(fs, child.Pattern(), child, longChild, options, list, state);
        } else if (!IsDotOrDotDot(name)) {
            ++state.filesSearched;
        }
    }
}

// "." and ".." of a root typed as a plain or "\\.\" path, folded the way
// Win32 folds them (a "\\?\" path keeps them, and then names nothing).
std::string FoldDotComponents(const std::string& root) {
    if (IsVerbatimPath(root)) return root;
    std::string_view prefix = HasWin32Prefix(root) ? std::string_view(root).substr(0, 4) : std::string_view();
    std::vector<std::string_view> parts = SplitPathComponents(std::string_view(root).substr(prefix.size()));
    std::vector<std::string_view> kept;
    for (std::string_view part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (kept.size() > 1) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string out(prefix);
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) out += '\\';
        out += kept[i];
    }
    return out;
}

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

void WalkOpenFolder(FileSystem& fs, Node& folder, const EntryPtr& self, const std::string& ansiPath,
                    const ScanOptions& options, RowSink& list, ScanState& state, int depth) {
    std::vector<DirEntry> entries;
    uint32_t error = 0;
    if (!fs.ListFolder(folder, entries, error)) {
        ++state.unsearched;  // what it could not list, it did not look at
        if (entries.empty()) return;
    }
    ShowPath(state, ansiPath);
    for (const DirEntry& e : entries) {
        if (state.stopRequested.load(std::memory_order_relaxed) != 0) break;
        list.Idle();
        const bool isFolder = (e.attributes & fs_attr::kDirectory) != 0;
        if (!state.exclude.empty() && Excluded(state, e.name)) continue;
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
            auto ref = std::make_shared<EntryRef>();
            ref->parent = self;
            ref->name = e.name;
            ref->id = e.id;
            ref->isFolder = isFolder;
            row.entry = std::move(ref);
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
            if (!child || info.id != e.id || !(info.attributes & fs_attr::kDirectory) ||
                IsLinkInfo(info.attributes, info.tag)) {
                ++state.unsearched;
                continue;
            }
            auto ref = std::make_shared<EntryRef>();
            ref->parent = self;
            ref->name = e.name;
            ref->id = e.id;
            ref->isFolder = true;
            std::string childPath;
            std::string ansi;
            if (!ansiPath.empty() && fs.ToAnsi(e.name, ansi)) {
                childPath = ansiPath;
                if (!EndsWithChar(childPath, '\\')) childPath += '\\';
                childPath += ansi;
            }
            WalkOpenFolder(fs, *child, ref, childPath, options, list, state, depth + 1);
        } else {
            ++state.filesSearched;
        }
    }
}

}  // namespace

void ScanFolder(FileSystem& fs, const std::string& folder, const ScanOptions& options, RowSink& list,
                ScanState& state) {
    if (!(options.malformedNames == 1 || options.hidden == 1 || options.readOnly == 1 || options.system == 1)) return;
    if (folder.empty()) return;

    // A pattern root ("D:\sub\con*") is its folder and what it matches.
    std::string root = folder, filter = "*";
    size_t after = AfterLastBackslash(folder);
    bool driveLetter = folder.size() >= 2 && folder[1] == ':' && !IsAnsiLeadByte(static_cast<unsigned char>(folder[0]));
    // "C:*" and "C:name" name the drive's current folder, not its root.
    bool driveRelative = driveLetter && folder.size() > 2 && folder[2] != '\\';
    if (folder.find_first_of("*?", after) != std::string::npos) {
        filter = folder.substr(after);
        root = folder.substr(0, after);
        if (after == 0 && driveLetter) {
            root = folder.substr(0, 2);
            filter = folder.substr(2);
        }
    }

    Reach reach;
    LongFolder longRoot;
    std::string_view unprefixed = HasWin32Prefix(root) ? std::string_view(root).substr(4) : std::string_view(root);
    std::vector<std::string_view> parts = SplitPathComponents(unprefixed);
    bool hasDrive = !parts.empty() && IsDriveSpec(parts[0]) && unprefixed.size() >= 2 && unprefixed[1] == ':';
    // A folder on a drive is opened from the drive's top folder by the names
    // typed (as the system matches them: case, aliases, links all as Windows
    // would) and walked through handles from there. A trailing dot or blank is
    // part of the name it ends: "a." is never taken for "a".
    if (filter == "*" && hasDrive && !driveRelative) {
        EntryPtr top;
        std::string longPath;
        std::unique_ptr<Node> open;
        uint32_t error = 0;
        if (!ResolveEntry(fs, root, false, top, longPath, &open, error) || !top->isFolder) {
            ++state.unsearched;
            state.rootMissing = true;
            return;
        }
        if (longPath.size() >= kMaxPath) longPath.clear();
        WalkOpenFolder(fs, *open, top, longPath, options, list, state, 0);
        return;
    }

    if (hasDrive && !driveRelative) {
        // Resolved once through the listings of its folders, exact names
        // first (so that its aliases are known certain too), and walked
        // by its verbatim form: a plain path would lose a trailing dot or
        // blank and list the twin.
        Resolution r;
        if (!ResolveComponents(fs, FoldDotComponents(root), true, r, nullptr, true) || !r.isFolder ||
            r.longPath.empty()) {
            ++state.unsearched;
            state.rootMissing = true;
            return;
        }
        reach = ReachOf(r);
        if (reach.Empty()) {
            ++state.unsearched;
            return;
        }
        longRoot.known = r.longPath.size() < kMaxPath;
        if (longRoot.known) longRoot.path = r.longPath;
    } else {
        // A share, a relative or a drive-relative root has no verbatim form
        // here: it is listed as typed, and its rows show no path, since none
        // that this program builds would name the same entries for certain.
        while (root.size() > 1 && EndsWithChar(root, '\\') && !(driveLetter && root.size() == 3)) root.pop_back();
        reach.alias = root;
    }
    std::string pattern;
    if (filter == "*" && hasDrive && !driveRelative) {
        pattern = reach.Pattern();
    } else {
        pattern = reach.Best();
        if (!pattern.empty() && !EndsWithChar(pattern, '\\') && !(driveRelative && pattern.size() == 2))
            pattern += '\\';
        pattern += filter;
    }
    WalkLevel(fs, pattern, reach, longRoot, options, list, state);
}
