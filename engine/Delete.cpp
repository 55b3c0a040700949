#include "Delete.h"

#include <cstring>
#include <vector>

#include "PathForms.h"
#include "PathText.h"

namespace {

// A path that names something inside a drive: at least one component after
// the drive and none that climbs ("." or "..").
bool NamesEntryBelowDrive(std::string_view path) {
    bool prefixed = HasWin32Prefix(path);
    if (prefixed) path.remove_prefix(4);
    std::vector<std::string_view> parts = SplitPathComponents(path);
    if (parts.size() < 2) return false;
    for (std::string_view part : parts)
        if (IsDotOrDotDot(part)) return false;
    return true;
}

bool RemoveTree(FileSystem& fs, const Reach& reach, bool isFolder);

// A link is removed as itself. One without a tag cannot be told apart from
// its target (Wine opens the target for it): it is left, and that fails.
bool RemoveLink(FileSystem& fs, const std::string& path, const FindData& entry) {
    if (entry.reserved0 == 0) return false;
    uint32_t error = 0;
    return IsFolderEntry(entry) ? fs.RemoveFolder(path.c_str(), error) : fs.RemoveFile(path.c_str(), error);
}

// The attributes SetFileAttributes takes back, of those an entry had.
uint32_t SettableAttributes(uint32_t attributes) {
    constexpr uint32_t kSettable = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem | fs_attr::kArchive |
                                   0x100u /* temporary */ | 0x1000u /* offline */ | 0x2000u /* not indexed */;
    uint32_t kept = attributes & kSettable;
    return kept == 0 ? fs_attr::kNormal : kept;
}

// Resets the attributes, removes the entry, and puts the attributes back when
// the removal fails: an entry that stays keeps its read-only bit.
bool RemoveWithAttributesReset(FileSystem& fs, const std::string& path, bool isFolder) {
    uint32_t before = fs.GetAttributes(path.c_str());
    bool reset = before != fs_attr::kInvalid && SettableAttributes(before) != fs_attr::kNormal &&
                 fs.SetAttributes(path.c_str(), fs_attr::kNormal);
    if (before == fs_attr::kInvalid) fs.SetAttributes(path.c_str(), fs_attr::kNormal);  // best effort
    uint32_t error = 0;
    bool ok = isFolder ? fs.RemoveFolder(path.c_str(), error) : fs.RemoveFile(path.c_str(), error);
    if (!ok && reset) fs.SetAttributes(path.c_str(), SettableAttributes(before));
    return ok;
}

bool RemoveFile(FileSystem& fs, const std::string& path) { return RemoveWithAttributesReset(fs, path, false); }

// A file whose listed attributes hold nothing that stops a deletion is
// deleted at once; the attributes are reset only when that is refused.
bool RemoveListedFile(FileSystem& fs, const std::string& path, uint32_t attributes) {
    constexpr uint32_t kInTheWay = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem;
    uint32_t error = 0;
    if (!(attributes & kInTheWay) && fs.RemoveFile(path.c_str(), error)) return true;
    return RemoveFile(fs, path);
}

// Empties a folder child by child from its own fresh listing, then removes
// it. Each child goes by its long name while that fits, else by its alias
// when no other child shares it; a child neither reaches fails the folder.
bool RemoveTree(FileSystem& fs, const Reach& reach, bool isFolder) {
    const std::string& path = reach.Best();
    if (path.empty()) return false;
    if (!isFolder) return RemoveFile(fs, path);

    char pattern[kMaxPath] = {};
    if (CopyIfFits(pattern, sizeof pattern, reach.Pattern())) {
        FindData entry;
        uint32_t error = 0;
        std::vector<FindData> children;
        if (auto listing = fs.FindFirst(pattern, entry, error)) {
            do {
                if (IsDotOrDotDot(entry.name)) continue;
                children.push_back(entry);
            } while (listing->Next(entry, error));  // any failure ends the listing
        }
        AliasCounts counts;  // made when a child first needs its alias
        bool counted = false;
        for (const FindData& child : children) {
            Reach to = reach.Child(child, false);
            if (to.verbatim.empty() && child.shortName[0] != '\0') {
                if (!counted) {
                    for (const FindData& other : children) counts.Add(other);
                    counted = true;
                }
                to = reach.Child(child, counts.Unique(child));
            }
            if (to.Empty()) return false;
            bool ok;
            if (IsLinkEntry(child))
                ok = RemoveLink(fs, to.Best(), child);
            else if (IsFolderEntry(child))
                ok = RemoveTree(fs, to, true);
            else
                ok = RemoveListedFile(fs, to.Best(), child.attributes);
            if (!ok) return false;
        }
    }
    return RemoveWithAttributesReset(fs, path, true);
}

}  // namespace

bool DeleteTree(FileSystem& fs, const std::string& path, bool isFolder) {
    if (path.empty() || !NamesEntryBelowDrive(path)) return false;
    if (isFolder) {
        // Listing the path itself tells whether it is a link.
        FindData self;
        uint32_t error = 0;
        if (fs.FindFirst(path.c_str(), self, error) && IsLinkEntry(self)) return RemoveLink(fs, path, self);
    }
    // A device-form path may hold aliases: its children are named by theirs
    // only where they are certain.
    Reach reach;
    reach.alias = path;
    return RemoveTree(fs, reach, isFolder);
}

Outcome DeleteListedPath(FileSystem& fs, std::string_view path, EntrySession& session) {
    EntryPtr entry;
    std::string longPath;
    Outcome out;
    if (!ResolveEntry(fs, path, true, entry, longPath, nullptr, out.error)) return out;
    return session.Delete(*entry);
}

bool DeleteListedPath(FileSystem& fs, std::string_view path) {
    EntrySession session(fs);
    return DeleteListedPath(fs, path, session).ok;
}

bool DeleteSession::DeleteListedPath(std::string_view path) { return ::DeleteListedPath(m_fs, path, m_entries).ok; }

Outcome DeleteSession::Delete(const ResultRow& row) {
    if (row.entry) return m_entries.Delete(*row.entry);
    if (row.path.empty()) {
        Outcome out;
        out.error = fs_error::kFileNotFound;
        return out;
    }
    return ::DeleteListedPath(m_fs, row.path, m_entries);
}
