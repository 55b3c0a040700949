// How the path forms find the entry each component of a path names. Used by
// the path forms and by deletion; not part of the engine's interface.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FileSystem.h"

// The listings of the folders a batch of deletions went through, so that a
// thousand rows in one folder cost one listing of it, not a thousand.
class ListingCache {
public:
    struct Folder {
        bool opened = false;
        std::vector<FindData> entries;
        std::vector<bool> gone;
        std::unordered_map<std::string, size_t> byName;
        std::unordered_map<std::string, size_t> byAlias;
        std::unordered_map<std::string, int> aliasUses;  // by upper-case alias
    };
    // The listing of folder (a lookup path), made on first use.
    const Folder& Get(FileSystem& fs, const std::string& folder);
    // An entry of folder was deleted: it must not be found again.
    void Forget(const std::string& folder, const char* name);

private:
    std::map<std::string, Folder> m_folders;
};

// How one entry is reached: by its long names under "\\?\" and by a path
// that may use 8.3 aliases. An alias is only ever put into a path when no other
// entry of the same listing has it, so both forms, where present, name the
// entry itself. Empty means: no such form (too long, or not certain).
struct Reach {
    std::string verbatim;
    std::string alias;
    // The form to use: the long names while they fit.
    const std::string& Best() const { return verbatim.empty() ? alias : verbatim; }
    bool Empty() const { return verbatim.empty() && alias.empty(); }
    // The pattern that lists the entry as a folder, by the same choice; empty
    // when neither form leaves room for "\*".
    std::string Pattern() const;
    // The reach of entry, listed in this folder; aliasUnique tells whether its
    // alias is its own within that listing.
    Reach Child(const FindData& entry, bool aliasUnique) const;
};

// Upper-case alias of entry (ASCII letters folded), empty when it has none.
std::string AliasKey(const FindData& entry);

// Counts the aliases of a listing, so that a shared one is never used.
class AliasCounts {
public:
    void Add(const FindData& entry);
    bool Unique(const FindData& entry) const;

private:
    std::unordered_map<std::string, int> m_uses;
};

struct Resolution {
    std::string longPath;      // the first component as typed, then stored long names
    std::string lookupPath;    // prefix (when asked for) and aliases where they exist
    std::string verbatimPath;  // "\\?\" and long names; empty when there is no such form
    std::string parentLookup;  // how the folder holding the last entry was listed
    bool isFolder = false;
    FindData last;
    bool hasLast = false;      // false for a bare drive
    bool aliasCertain = true;  // every alias in lookupPath was its entry's own
    bool throughLink = false;  // a folder on the way is a junction or link
};

// Resolves every component after the first. deviceForm chooses the "\\.\" or
// "\\?\" prefix for the lookup path. cache may be null. False when a component
// is not found (or only by an alias two entries share), or when neither the
// verbatim nor the lookup path fits in 259 bytes; isFolder then follows the
// rules of the device form. A lookup path that only fits through aliases is
// checked against full listings, so that every alias in it is certain.
// exactNames: a component matches only the exact long name of an entry, never
// an alias or the same name in another case (what deletion asks for: the path
// of a listed entry holds its long names, and a namesake must not stand in).
bool ResolveComponents(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r, ListingCache* cache,
                       bool listAll = false, bool exactNames = false);

// The reach of a resolved path: its verbatim form, and its lookup path when
// that is certain.
Reach ReachOf(const Resolution& r);

bool IsDriveSpec(std::string_view component);
