#include "PathForms.h"

#include <cstring>
#include <vector>

#include "PathText.h"
#include "Resolve.h"

namespace {

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

bool MatchesExactly(std::string_view component, const FindData& e) {
    return component == e.name || (e.shortName[0] != '\0' && component == e.shortName);
}

bool MatchesIgnoringCase(std::string_view component, const FindData& e) {
    return EqualsIgnoreCase(component, e.name) || (e.shortName[0] != '\0' && EqualsIgnoreCase(component, e.shortName));
}

enum class Lookup { Matched, NotFound, NotOpened };

// Lists folder and picks the entry that component names: an exact match of
// the long name or the alias wins; failing that, the first entry that matches
// without regard to case. sawOther tells whether any entry was passed over.
Lookup ListAndMatch(FileSystem& fs, const std::string& folder, std::string_view component, FindData& match,
                    bool& sawOther) {
    char pattern[kMaxPath];
    if (!CopyIfFits(pattern, sizeof pattern, folder + "\\*")) return Lookup::NotOpened;
    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(pattern, entry, error);
    if (!listing) return Lookup::NotOpened;
    bool haveCandidate = false;
    do {
        if (!IsDotOrDotDot(entry.name) && MatchesExactly(component, entry)) {
            match = entry;
            return Lookup::Matched;
        }
        sawOther = true;
        if (!haveCandidate && !IsDotOrDotDot(entry.name) && MatchesIgnoringCase(component, entry)) {
            match = entry;
            haveCandidate = true;
        }
    } while (listing->Next(entry, error));  // any failure ends the listing
    return haveCandidate ? Lookup::Matched : Lookup::NotFound;
}

Lookup CachedMatch(FileSystem& fs, ListingCache& cache, const std::string& folder, std::string_view component,
                   FindData& match, bool& sawOther) {
    const ListingCache::Folder& f = cache.Get(fs, folder);
    if (!f.opened) return Lookup::NotOpened;
    std::string key(component);
    for (const auto* index : {&f.byName, &f.byAlias}) {
        auto it = index->find(key);
        if (it != index->end() && !f.gone[it->second]) {
            match = f.entries[it->second];
            return Lookup::Matched;
        }
    }
    sawOther = !f.entries.empty();
    for (size_t i = 0; i < f.entries.size(); ++i)
        if (!f.gone[i] && !IsDotOrDotDot(f.entries[i].name) && MatchesIgnoringCase(component, f.entries[i])) {
            match = f.entries[i];
            return Lookup::Matched;
        }
    return Lookup::NotFound;
}

// Finds the entry component names in a folder. The folder is known by its
// lookup path and, where there is one, by its "\\?\" path of long names,
// which is the one used: aliases can be ambiguous. "." and ".." never match,
// so a path can't climb out of the folder it names. Without a cache, the
// entry is asked for by name first (one call, whatever the size of the
// folder); the folder is listed only when that finds nothing exact.
Lookup FindComponent(FileSystem& fs, const std::string& lookup, const std::string& verbatim,
                     std::string_view component, FindData& match, bool& sawOther, ListingCache* cache) {
    sawOther = false;
    if (IsDotOrDotDot(component)) {
        sawOther = true;
        return Lookup::NotFound;
    }
    const std::string& folder = verbatim.empty() ? lookup : verbatim;
    if (cache) return CachedMatch(fs, *cache, folder, component, match, sawOther);
    char probe[kMaxPath];
    if (!verbatim.empty() && component.find_first_of("*?") == std::string_view::npos &&
        CopyIfFits(probe, sizeof probe, verbatim + "\\" + std::string(component))) {
        FindData entry;
        uint32_t error = 0;
        if (fs.FindFirst(probe, entry, error) && !IsDotOrDotDot(entry.name) && MatchesExactly(component, entry)) {
            match = entry;
            sawOther = true;
            return Lookup::Matched;
        }
    }
    return ListAndMatch(fs, folder, component, match, sawOther);
}

}  // namespace

bool IsDriveSpec(std::string_view c) {
    return c.size() == 2 && c[1] == ':' && ((c[0] >= 'A' && c[0] <= 'Z') || (c[0] >= 'a' && c[0] <= 'z'));
}

const ListingCache::Folder& ListingCache::Get(FileSystem& fs, const std::string& folder) {
    auto found = m_folders.find(folder);
    if (found != m_folders.end()) return found->second;
    Folder& f = m_folders[folder];
    char pattern[kMaxPath];
    if (!CopyIfFits(pattern, sizeof pattern, folder + "\\*")) return f;
    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(pattern, entry, error);
    if (!listing) return f;
    f.opened = true;
    do {
        if (IsDotOrDotDot(entry.name)) continue;
        size_t i = f.entries.size();
        f.entries.push_back(entry);
        f.byName.emplace(entry.name, i);
        if (entry.shortName[0] != '\0') f.byAlias.emplace(entry.shortName, i);
    } while (listing->Next(entry, error));
    f.gone.assign(f.entries.size(), false);
    return f;
}

void ListingCache::Forget(const std::string& folder, const char* name) {
    auto found = m_folders.find(folder);
    if (found == m_folders.end()) return;
    auto it = found->second.byName.find(name);
    if (it != found->second.byName.end()) found->second.gone[it->second] = true;
}

// Walks the components of path. deviceForm chooses the device prefix for the
// first component; otherwise the lookups start from the path as typed. Either
// way a component with a long name ending in a dot or blank and no alias can
// only be named through "\\?\", so the lookup path switches to it.
bool ResolveComponents(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r, ListingCache* cache) {
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
    if (!prefix.empty() || IsDriveSpec(first)) r.verbatimPath = "\\\\?\\" + first;
    r.isFolder = true;

    for (size_t i = 1; i < parts.size(); ++i) {
        FindData entry;
        bool sawOther = false;
        Lookup found = FindComponent(fs, r.lookupPath, r.verbatimPath, parts[i], entry, sawOther, cache);
        if (found != Lookup::Matched) {
            if (found == Lookup::NotFound && sawOther) r.isFolder = false;
            return false;
        }
        r.longPath += '\\';
        r.longPath += entry.name;
        r.parentLookup = r.verbatimPath.empty() ? r.lookupPath : r.verbatimPath;
        if (!AppendReachableName(r.lookupPath, entry)) return false;
        if (!r.verbatimPath.empty()) {
            r.verbatimPath += '\\';
            r.verbatimPath += entry.name;
            if (r.verbatimPath.size() >= kMaxPath) r.verbatimPath.clear();
        }
        r.isFolder = IsFolderEntry(entry);
        r.last = entry;
        r.hasLast = true;
        if (r.lookupPath.size() >= kMaxPath || r.longPath.size() >= kMaxPath) return false;
    }
    return true;
}


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
    if (!ResolveComponents(fs, path, false, r, nullptr)) return std::string();
    return r.longPath;
}

std::string ResolveDevicePath(FileSystem& fs, std::string_view path, bool& isFolder, FindData* entry) {
    if (path.empty()) return std::string();
    Resolution r;
    r.isFolder = isFolder;
    bool ok = ResolveComponents(fs, path, true, r, nullptr);
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
