#include "Delete.h"

#include <cstring>
#include <vector>

#include "PathForms.h"
#include "PathText.h"

namespace {

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

// A path that names something inside a drive: at least one component after
// the drive and none that climbs ("." or "..").
bool NamesEntryBelowDrive(std::string_view path) {
    bool prefixed = path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && (path[2] == '?' || path[2] == '.') &&
                    path[3] == '\\';
    if (prefixed) path.remove_prefix(4);
    std::vector<std::string_view> parts = SplitPathComponents(path);
    if (parts.size() < 2) return false;
    for (std::string_view part : parts)
        if (IsDotOrDotDot(part)) return false;
    return true;
}

bool RemoveTree(FileSystem& fs, const std::string& path, bool isFolder);

bool RemoveLink(FileSystem& fs, const std::string& path, bool isFolder) {
    uint32_t error = 0;
    return isFolder ? fs.RemoveFolder(path.c_str(), error) : fs.RemoveFile(path.c_str(), error);
}

bool RemoveFile(FileSystem& fs, const std::string& path) {
    fs.SetAttributes(path.c_str(), fs_attr::kNormal);  // best effort; the deletion decides
    uint32_t error = 0;
    return fs.RemoveFile(path.c_str(), error);
}

// A file whose listed attributes hold nothing that stops a deletion is
// deleted at once; the attributes are reset only when that is refused.
bool RemoveListedFile(FileSystem& fs, const std::string& path, uint32_t attributes) {
    constexpr uint32_t kInTheWay = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem;
    uint32_t error = 0;
    if (!(attributes & kInTheWay) && fs.RemoveFile(path.c_str(), error)) return true;
    return RemoveFile(fs, path);
}

// Resolves and deletes one listed path. The entry is reached by its long
// names under "\\?\" when that fits in 259 bytes: 8.3 aliases can name
// another entry where the file system makes them ambiguous, and they are only
// needed to keep deep paths short.
bool ResolveAndDelete(FileSystem& fs, std::string_view path, ListingCache* cache) {
    Resolution r;
    if (!ResolveComponents(fs, path, true, r, cache) || !r.hasLast) return false;  // missing, or a drive root
    const std::string& target = r.verbatimPath.empty() ? r.lookupPath : r.verbatimPath;
    bool isFolder = IsFolderEntry(r.last);
    bool ok;
    if (IsLinkEntry(r.last))
        ok = RemoveLink(fs, target, isFolder);
    else if (isFolder)
        ok = RemoveTree(fs, target, true);
    else
        ok = RemoveListedFile(fs, target, r.last.attributes);
    if (ok && cache) cache->Forget(r.parentLookup, r.last.name);
    return ok;
}

bool RemoveTree(FileSystem& fs, const std::string& path, bool isFolder) {
    if (path.empty()) return false;
    if (!isFolder) return RemoveFile(fs, path);

    std::string text = path;
    if (EndsWithChar(path, '\\'))
        text += '*';
    else if (!EndsWithChar(path, '*'))
        text += "\\*";
    char pattern[kMaxPath] = {};
    if (CopyIfFits(pattern, sizeof pattern, text)) {
        FindData entry;
        uint32_t error = 0;
        auto listing = fs.FindFirst(pattern, entry, error);
        if (listing) {
            std::string folder(pattern, AfterLastBackslash(pattern));
            do {
                if (IsDotOrDotDot(entry.name)) continue;
                std::string child = folder;
                if (!AppendReachableName(child, entry) || child.size() >= kMaxPath) return false;
                bool ok;
                if (IsLinkEntry(entry))
                    ok = RemoveLink(fs, child, IsFolderEntry(entry));
                else if (IsFolderEntry(entry))
                    ok = RemoveTree(fs, child, true);
                else
                    ok = RemoveFile(fs, child);
                if (!ok) return false;
            } while (listing->Next(entry, error));  // any failure ends the listing
        }
    }
    fs.SetAttributes(path.c_str(), fs_attr::kNormal);
    uint32_t error = 0;
    return fs.RemoveFolder(path.c_str(), error);
}

}  // namespace

bool DeleteTree(FileSystem& fs, const std::string& path, bool isFolder) {
    if (path.empty() || !NamesEntryBelowDrive(path)) return false;
    if (isFolder) {
        // Listing the path itself tells whether it is a link.
        FindData self;
        uint32_t error = 0;
        if (fs.FindFirst(path.c_str(), self, error) && IsLinkEntry(self)) return RemoveLink(fs, path, true);
    }
    return RemoveTree(fs, path, isFolder);
}

bool DeleteListedPath(FileSystem& fs, std::string_view path) { return ResolveAndDelete(fs, path, nullptr); }

bool DeleteSession::DeleteListedPath(std::string_view path) { return ResolveAndDelete(m_fs, path, &m_cache); }
