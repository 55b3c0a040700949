#include "PathForms.h"

#include <cstring>
#include <vector>

#include "PathText.h"
#include "Resolve.h"

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

enum class Lookup { Matched, NotFound, NotOpened };

// Picks the entry component names among entries: an exact long name first,
// then an exact alias, then the same without regard to case; with exactNames
// only the exact long name. An alias that two entries share names neither of
// them, and a name the code page holds only approximately names nothing.
bool PickEntry(const std::vector<FindData>& entries, const AliasCounts& counts, std::string_view component,
               size_t& index, bool exactNames) {
    for (int pass = 0; pass < (exactNames ? 1 : 4); ++pass) {
        for (size_t i = 0; i < entries.size(); ++i) {
            const FindData& e = entries[i];
            if (e.inexact) continue;
            bool byAlias = pass % 2 == 1;
            if (byAlias && (e.shortName[0] == '\0' || !counts.Unique(e))) continue;
            const char* text = byAlias ? e.shortName : e.name;
            bool same = pass < 2 ? component == text : EqualsIgnoreCase(component, text);
            if (same) {
                index = i;
                return true;
            }
        }
    }
    return false;
}

// Lists folder and picks the entry that component names. sawOther tells
// whether the listing held any entry at all.
Lookup ListAndMatch(FileSystem& fs, const std::string& folder, std::string_view component, FindData& match,
                    bool& sawOther, bool& aliasUnique, bool exactNames) {
    char pattern[kMaxPath];
    if (!CopyIfFits(pattern, sizeof pattern, folder + "\\*")) return Lookup::NotOpened;
    FindData entry;
    uint32_t error = 0;
    auto listing = fs.FindFirst(pattern, entry, error);
    if (!listing) return Lookup::NotOpened;
    std::vector<FindData> entries;
    AliasCounts counts;
    do {
        if (IsDotOrDotDot(entry.name)) continue;
        entries.push_back(entry);
        counts.Add(entry);
    } while (listing->Next(entry, error));  // any failure ends the listing
    sawOther = !entries.empty();
    size_t i = 0;
    if (!PickEntry(entries, counts, component, i, exactNames)) return Lookup::NotFound;
    match = entries[i];
    aliasUnique = counts.Unique(match);
    return Lookup::Matched;
}

Lookup CachedMatch(FileSystem& fs, ListingCache& cache, const std::string& folder, std::string_view component,
                   FindData& match, bool& sawOther, bool& aliasUnique, bool exactNames) {
    const ListingCache::Folder& f = cache.Get(fs, folder);
    if (!f.opened) return Lookup::NotOpened;
    std::string key(component);
    auto unique = [&](const FindData& e) {
        auto it = f.aliasUses.find(AliasKey(e));
        return it == f.aliasUses.end() || it->second < 2;
    };
    auto byName = f.byName.find(key);
    if (byName != f.byName.end() && !f.gone[byName->second]) {
        match = f.entries[byName->second];
        aliasUnique = unique(match);
        return Lookup::Matched;
    }
    if (exactNames) {
        sawOther = !f.entries.empty();
        return Lookup::NotFound;
    }
    auto byAlias = f.byAlias.find(key);
    if (byAlias != f.byAlias.end() && !f.gone[byAlias->second] && unique(f.entries[byAlias->second])) {
        match = f.entries[byAlias->second];
        aliasUnique = true;
        return Lookup::Matched;
    }
    sawOther = !f.entries.empty();
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < f.entries.size(); ++i) {
            const FindData& e = f.entries[i];
            if (f.gone[i] || e.inexact) continue;
            bool same = pass == 0 ? EqualsIgnoreCase(component, e.name)
                                  : e.shortName[0] != '\0' && unique(e) && EqualsIgnoreCase(component, e.shortName);
            if (same) {
                match = e;
                aliasUnique = unique(e);
                return Lookup::Matched;
            }
        }
    return Lookup::NotFound;
}

// Finds the entry component names in a folder. The folder is known by its
// lookup path and, where there is one, by its "\\?\" path of long names,
// which is the one used: aliases can be ambiguous. "." and ".." never match,
// so a path can't climb out of the folder it names. Without a cache and
// unless listAll, the entry is asked for by its exact long name first (one
// call, whatever the size of the folder); aliasUnique is then not known and
// comes back false. The folder is listed when that finds nothing.
Lookup FindComponent(FileSystem& fs, const std::string& lookup, const std::string& verbatim, std::string_view component,
                     FindData& match, bool& sawOther, bool& aliasUnique, ListingCache* cache, bool listAll,
                     bool exactNames) {
    sawOther = false;
    aliasUnique = false;
    if (IsDotOrDotDot(component)) {
        sawOther = true;
        return Lookup::NotFound;
    }
    const std::string& folder = verbatim.empty() ? lookup : verbatim;
    if (cache) return CachedMatch(fs, *cache, folder, component, match, sawOther, aliasUnique, exactNames);
    char probe[kMaxPath];
    if (!listAll && !verbatim.empty() && component.find_first_of("*?") == std::string_view::npos &&
        CopyIfFits(probe, sizeof probe, verbatim + "\\" + std::string(component))) {
        FindData entry;
        uint32_t error = 0;
        if (fs.FindFirst(probe, entry, error) && !IsDotOrDotDot(entry.name) && !entry.inexact &&
            component == entry.name) {
            match = entry;
            sawOther = true;
            return Lookup::Matched;
        }
    }
    return ListAndMatch(fs, folder, component, match, sawOther, aliasUnique, exactNames);
}

bool ResolvePass(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r, ListingCache* cache,
                 bool listAll, bool exactNames) {
    // A path that already carries a device prefix keeps it for the lookups;
    // the long form shows the path without it.
    std::string_view prefix;
    if (HasWin32Prefix(path)) {
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
        r.lookupPath =
            fs.GetAttributes((candidate + "\\").c_str()) != fs_attr::kInvalid ? candidate : "\\\\?\\" + first;
    } else {
        r.lookupPath = first;
    }
    if (!prefix.empty() || IsDriveSpec(first)) r.verbatimPath = "\\\\?\\" + first;
    r.isFolder = true;
    bool lookupFits = true;

    for (size_t i = 1; i < parts.size(); ++i) {
        FindData entry;
        bool sawOther = false, aliasUnique = false;
        Lookup found = FindComponent(fs, lookupFits ? r.lookupPath : std::string(), r.verbatimPath, parts[i], entry,
                                     sawOther, aliasUnique, cache, listAll, exactNames);
        if (found != Lookup::Matched) {
            if (found == Lookup::NotFound && sawOther) r.isFolder = false;
            return false;
        }
        if (r.hasLast && IsLinkEntry(r.last)) r.throughLink = true;
        r.longPath += '\\';
        r.longPath += entry.name;
        r.parentLookup = r.verbatimPath.empty() ? r.lookupPath : r.verbatimPath;
        if (entry.shortName[0] != '\0' && !aliasUnique) {
            // Only a listing tells whether the alias is this entry's own.
            if (!listAll && !cache) r.aliasCertain = false;
            entry.shortName[0] = '\0';
        }
        if (lookupFits && (!AppendReachableName(r.lookupPath, entry) || r.lookupPath.size() >= kMaxPath)) {
            lookupFits = false;
            r.lookupPath.clear();
        }
        if (!r.verbatimPath.empty()) {
            r.verbatimPath += '\\';
            r.verbatimPath += entry.name;
            if (r.verbatimPath.size() >= kMaxPath) r.verbatimPath.clear();
        }
        r.isFolder = IsFolderEntry(entry);
        r.last = entry;
        r.hasLast = true;
        if (!lookupFits && r.verbatimPath.empty()) return false;
    }
    return true;
}

}  // namespace

std::string AliasKey(const FindData& entry) {
    std::string key(entry.shortName);
    for (char& c : key) c = FoldAscii(c);
    return key;
}

void AliasCounts::Add(const FindData& entry) {
    if (entry.shortName[0] != '\0') ++m_uses[AliasKey(entry)];
}

bool AliasCounts::Unique(const FindData& entry) const {
    if (entry.shortName[0] == '\0') return true;
    auto it = m_uses.find(AliasKey(entry));
    return it == m_uses.end() || it->second < 2;
}

Reach Reach::Child(const FindData& entry, bool aliasUnique) const {
    Reach child;
    if (entry.inexact) return child;  // its name here is a look-alike
    if (!verbatim.empty()) {
        std::string v = verbatim;
        if (!EndsWithChar(v, '\\')) v += '\\';
        v += entry.name;
        if (v.size() < kMaxPath) child.verbatim = std::move(v);
    }
    if (!alias.empty()) {
        FindData use = entry;
        if (!aliasUnique) use.shortName[0] = '\0';
        std::string a = alias;
        if (AppendReachableName(a, use) && a.size() < kMaxPath) child.alias = std::move(a);
    }
    return child;
}

std::string Reach::Pattern() const {
    for (const std::string* form : {&verbatim, &alias}) {
        if (form->empty()) continue;
        std::string pattern = *form + (EndsWithChar(*form, '\\') ? "*" : "\\*");
        if (pattern.size() < kMaxPath) return pattern;
    }
    return std::string();
}

Reach ReachOf(const Resolution& r) {
    Reach reach;
    reach.verbatim = r.verbatimPath;
    if (r.aliasCertain) reach.alias = r.lookupPath;
    return reach;
}

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
        if (!entry.inexact) f.byName.emplace(entry.name, i);
        if (entry.shortName[0] != '\0') {
            f.byAlias.emplace(entry.shortName, i);
            ++f.aliasUses[AliasKey(entry)];
        }
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

// Walks the components of path; see Resolve.h. A first pass asks for each
// component by its exact name; when the result can only be reached through
// aliases it did not see listed, a second pass lists every folder.
bool ResolveComponents(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r, ListingCache* cache,
                       bool listAll, bool exactNames) {
    bool isFolder = r.isFolder;
    bool ok = ResolvePass(fs, path, deviceForm, r, cache, listAll, exactNames);
    // Also when no form fitted: a path too long for its long names may still
    // fit through aliases, which only full listings show to be certain.
    bool tooLong = !ok && r.hasLast && r.verbatimPath.empty() && r.lookupPath.empty();
    if ((ok && r.verbatimPath.empty() && !r.aliasCertain) || (tooLong && !listAll && !cache)) {
        r = Resolution();
        r.isFolder = isFolder;
        ok = ResolvePass(fs, path, deviceForm, r, cache, true, exactNames);
    }
    return ok;
}

bool AppendReachableName(std::string& path, const FindData& entry) {
    bool hasAlias = entry.shortName[0] != '\0';
    size_t end = path.size();
    if (end > 0 && !EndsWithChar(path, '\\')) path += '\\';
    path += hasAlias ? entry.shortName : entry.name;
    if (hasAlias || !EndsInDotOrBlank(entry.name)) return true;
    if (HasWin32Prefix(path)) {
        path[2] = '?';  // a "\\.\" path would lose the dot or blank
        return true;
    }
    std::vector<std::string_view> parts = SplitPathComponents(std::string_view(path).substr(0, end));
    if (parts.empty() || !IsDriveSpec(parts[0]) || path[0] == '\\') return false;
    path.insert(0, "\\\\?\\");
    return true;
}

std::string ResolveLongPath(FileSystem& fs, std::string_view path) {
    Resolution r;
    if (!ResolveComponents(fs, path, false, r, nullptr) || r.longPath.size() >= kMaxPath) return std::string();
    return r.longPath;
}

std::string ResolveDevicePath(FileSystem& fs, std::string_view path, bool& isFolder, FindData* entry) {
    if (path.empty()) return std::string();
    Resolution r;
    r.isFolder = isFolder;
    // Every folder on the way is listed, so that each alias is known certain.
    bool ok = ResolveComponents(fs, path, true, r, nullptr, true);
    isFolder = r.isFolder;
    if (!ok) return std::string();
    if (entry && r.hasLast) *entry = r.last;
    // The alias form, when every alias in it is certain; else the long names.
    Reach reach = ReachOf(r);
    return reach.alias.empty() ? reach.verbatim : reach.alias;
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
