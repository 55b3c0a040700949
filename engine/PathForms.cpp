#include "PathForms.h"

#include <cstring>
#include <vector>

#include "PathText.h"

namespace {

bool IsDotOrDotDot(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

bool IsDriveSpec(std::string_view c) {
    return c.size() == 2 && c[1] == ':' && ((c[0] >= 'A' && c[0] <= 'Z') || (c[0] >= 'a' && c[0] <= 'z'));
}

enum class Lookup { Matched, NotFound, NotOpened };

// Lists folder and picks the entry that component names: an exact match of
// the long name or the alias wins; failing that, the first entry that matches
// without regard to case. "." and ".." never match, so a path can't climb out
// of the folder it names. sawOther tells whether any entry was passed over.
Lookup FindComponent(FileSystem& fs, const std::string& folder, std::string_view component, FindData& match,
                     bool& sawOther) {
    sawOther = false;
    char pattern[kMaxPath];
    std::string text = folder + "\\*";
    if (!CopyIfFits(pattern, sizeof pattern, text)) return Lookup::NotOpened;

    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(pattern, entry, error);
    if (!listing) return Lookup::NotOpened;

    bool haveCandidate = false;
    do {
        if (IsDotOrDotDot(entry.name)) {
            sawOther = true;
            continue;
        }
        if (component == entry.name || (entry.shortName[0] != '\0' && component == entry.shortName)) {
            match = entry;
            return Lookup::Matched;
        }
        sawOther = true;
        if (!haveCandidate && (EqualsIgnoreCase(component, entry.name) ||
                               (entry.shortName[0] != '\0' && EqualsIgnoreCase(component, entry.shortName)))) {
            match = entry;
            haveCandidate = true;
        }
    } while (listing->Next(entry, error));  // any failure ends the listing
    return haveCandidate ? Lookup::Matched : Lookup::NotFound;
}

struct Resolution {
    std::string longPath;    // the first component as typed, then long names
    std::string lookupPath;  // what the listings go through: aliases where they exist
    bool isFolder = false;
    FindData last;
    bool hasLast = false;
};

// Walks the components of path. deviceForm chooses the device prefix for the
// first component; otherwise the lookups start from the path as typed. Either
// way a component with a long name ending in a dot or blank and no alias can
// only be named through "\\?\", so the lookup path switches to it.
bool Resolve(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r) {
    // A path that already carries a device prefix keeps it for the lookups;
    // the long form shows the path without it.
    std::string_view prefix;
    if (path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && (path[2] == '?' || path[2] == '.') &&
        path[3] == '\\') {
        prefix = path.substr(0, 4);
        path.remove_prefix(4);
    }
    std::vector<std::string_view> parts = SplitPathComponents(path);
    if (parts.empty()) return false;

    std::string first(parts[0]);
    r.longPath = first;
    if (!prefix.empty()) {
        r.lookupPath = std::string(prefix) + first;
    } else if (deviceForm) {
        std::string candidate = "\\\\.\\" + first;
        r.lookupPath = fs.GetAttributes((candidate + "\\").c_str()) != fs_attr::kInvalid ? candidate
                                                                                          : "\\\\?\\" + first;
    } else {
        r.lookupPath = first;
    }
    r.isFolder = true;

    for (size_t i = 1; i < parts.size(); ++i) {
        FindData entry;
        bool sawOther = false;
        Lookup found = FindComponent(fs, r.lookupPath, parts[i], entry, sawOther);
        if (found != Lookup::Matched) {
            if (found == Lookup::NotFound && sawOther) r.isFolder = false;
            return false;
        }
        r.longPath += '\\';
        r.longPath += entry.name;
        if (!AppendReachableName(r.lookupPath, entry)) return false;
        r.isFolder = IsFolderEntry(entry);
        r.last = entry;
        r.hasLast = true;
        if (r.lookupPath.size() >= kMaxPath || r.longPath.size() >= kMaxPath) return false;
    }
    return true;
}

}  // namespace

bool AppendReachableName(std::string& path, const FindData& entry) {
    bool hasAlias = entry.shortName[0] != '\0';
    size_t end = path.size();
    if (end > 0 && !EndsWithChar(path, '\\')) path += '\\';
    path += hasAlias ? entry.shortName : entry.name;
    if (hasAlias || !EndsInDotOrBlank(entry.name)) return true;
    if (path.compare(0, 4, "\\\\.\\") == 0) {
        path[2] = '?';
        return true;
    }
    if (path.compare(0, 4, "\\\\?\\") == 0) return true;
    std::vector<std::string_view> parts = SplitPathComponents(std::string_view(path).substr(0, end));
    if (parts.empty() || !IsDriveSpec(parts[0]) || path[0] == '\\') return false;
    path.insert(0, "\\\\?\\");
    return true;
}

std::string ResolveLongPath(FileSystem& fs, std::string_view path) {
    Resolution r;
    if (!Resolve(fs, path, false, r)) return std::string();
    return r.longPath;
}

std::string ResolveDevicePath(FileSystem& fs, std::string_view path, bool& isFolder, FindData* entry) {
    if (path.empty()) return std::string();
    Resolution r;
    r.isFolder = isFolder;
    bool ok = Resolve(fs, path, true, r);
    isFolder = r.isFolder;
    if (!ok) return std::string();
    if (entry && r.hasLast) *entry = r.last;
    return r.lookupPath;
}

std::string ParentFolderOf(std::string_view path) {
    std::vector<std::string_view> parts = SplitPathComponents(path);
    if (!parts.empty() && !EndsWithChar(path, '\\')) parts.pop_back();
    std::string result;
    for (std::string_view part : parts) {
        result += part;
        result += '\\';
    }
    return result;
}
